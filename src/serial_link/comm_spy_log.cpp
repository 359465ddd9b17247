#include "serial_link/comm_spy_log.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <utility>

namespace {

constexpr qsizetype kBytesPerLine = 16;

} // namespace

CommSpyLog::CommSpyLog(QString path, qint64 limit)
    : m_path(std::move(path))
    , m_limit(limit)
{ }

QString CommSpyLog::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
        + QStringLiteral("/commspy.log");
}

QString CommSpyLog::kindName(LogSwitch kind)
{
    switch (kind) {
    case LogSwitch::Events:
        return QStringLiteral("event");
    case LogSwitch::Input:
        return QStringLiteral("input");
    case LogSwitch::Output:
        return QStringLiteral("output");
    case LogSwitch::Properties:
        return QStringLiteral("property");
    case LogSwitch::Warnings:
        break;
    }
    return QStringLiteral("warning");
}

QString CommSpyLog::hexLine(QByteArrayView bytes)
{
    QString hex;
    QString ascii;
    for (const char c : bytes) {
        const auto b = static_cast<quint8>(c);
        hex += QStringLiteral("%1 ").arg(b, 2, 16, QLatin1Char('0'));
        ascii += b >= 0x20 && b < 0x7F ? QChar(QLatin1Char(c)) : QChar(u'.');
    }
    return hex.leftJustified(3 * kBytesPerLine) + u' ' + ascii;
}

void CommSpyLog::record(LogSwitch kind, const QString& text)
{
    write(kind, { text });
}

void CommSpyLog::recordBytes(LogSwitch kind, QByteArrayView bytes)
{
    QStringList lines;
    for (qsizetype at = 0; at < bytes.size(); at += kBytesPerLine)
        lines.append(hexLine(bytes.sliced(at, std::min(kBytesPerLine, bytes.size() - at))));
    write(kind, lines);
}

void CommSpyLog::write(LogSwitch kind, const QStringList& lines)
{
    const QString prefix = QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm:ss.zzz ")
        + kindName(kind).leftJustified(9);
    QByteArray text;
    for (const QString& line : lines)
        text += (prefix + line + u'\n').toUtf8();
    if (!m_file.isOpen() && !openForAppend())
        return;
    if (m_file.size() + text.size() > m_limit && m_file.size() > 0) {
        m_file.close();
        const QString previous = m_path + QStringLiteral(".1");
        QFile::remove(previous);
        QFile::rename(m_path, previous);
        if (!openForAppend())
            return;
    }
    // A single record larger than the whole limit keeps its first lines only.
    if (text.size() > m_limit)
        text.truncate(text.lastIndexOf('\n', m_limit - 1) + 1);
    m_file.write(text);
    m_file.flush();
}

bool CommSpyLog::openForAppend()
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    m_file.setFileName(m_path);
    // The log shows every byte on the line, the FTP password in an upload among them: it is the
    // owner's alone, from the moment it is made (a log from before is narrowed too).
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text, ownerOnly))
        return false;
    m_file.setPermissions(ownerOnly);
    return true;
}
