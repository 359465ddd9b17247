#include "device_sim/upload_receiver.h"

#include "device_sim/line_endpoint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kPlainSilenceMs = 1000;
constexpr int kRestartDelayMs = 100;

// lrzsz's receivers, binary and overwriting; XMODEM names the file itself and checks with CRC.
QStringList receiverCommand(UploadProtocol protocol)
{
    switch (protocol) {
    case UploadProtocol::Xmodem:
        return { u"rx"_s, u"-b"_s, u"-c"_s, u"server.ini"_s };
    case UploadProtocol::Ymodem:
        return { u"rb"_s, u"-b"_s, u"-y"_s };
    case UploadProtocol::Zmodem:
        return { u"rz"_s, u"-b"_s, u"-y"_s };
    case UploadProtocol::Plain:
        break;
    }
    return {};
}

} // namespace

UploadReceiver::UploadReceiver(LineEndpoint& line, UploadProtocol protocol, QString folder)
    : m_line(line)
    , m_protocol(protocol)
    , m_folder(std::move(folder))
{
    m_silence.setSingleShot(true);
    m_silence.setInterval(kPlainSilenceMs);
    connect(&m_silence, &QTimer::timeout, this, &UploadReceiver::plainUploadEnded);
    connect(&m_line, &LineEndpoint::received, this, &UploadReceiver::fromLine);
    m_receiver.setWorkingDirectory(m_folder);
    m_receiver.setProcessChannelMode(QProcess::SeparateChannels);
    m_receiver.setStandardErrorFile(QProcess::nullDevice());
    connect(&m_receiver, &QProcess::readyReadStandardOutput, this, [this] {
        const QByteArray bytes = m_receiver.readAllStandardOutput();
        // rz announces itself unasked, again and again while it waits. A ZMODEM sender opens the
        // session itself, so only the latest announcement is kept back, and it goes out as soon
        // as the sender speaks: no stale headers pile up on the line.
        if (m_protocol == UploadProtocol::Zmodem && m_bytesFromTerminal == 0)
            m_heldBack = bytes;
        else
            m_line.send(bytes);
    });
    connect(&m_receiver, &QProcess::finished, this,
        [this](int exitCode) { receiverFinished(exitCode); });
}

void UploadReceiver::start()
{
    if (m_protocol == UploadProtocol::Plain)
        m_takesInput = true;
    else
        startReceiver();
}

void UploadReceiver::startReceiver()
{
    const QStringList command = receiverCommand(m_protocol);
    m_receiver.start(command.first(), command.mid(1));
    m_takesInput = true;
    toReceiver(std::exchange(m_forNextReceiver, {}));
}

void UploadReceiver::fromLine(const QByteArray& bytes)
{
    if (m_takesInput)
        toReceiver(bytes);
    else
        m_forNextReceiver += bytes;
}

void UploadReceiver::toReceiver(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    if (m_bytesFromTerminal == 0) {
        m_sinceFirstByte.start();
        m_line.send(std::exchange(m_heldBack, {}));
    }
    m_bytesFromTerminal += bytes.size();
    if (m_protocol == UploadProtocol::Plain) {
        m_plain += bytes;
        m_silence.start();
    } else {
        m_receiver.write(bytes);
    }
}

void UploadReceiver::plainUploadEnded()
{
    emit uploadEnded({ m_protocol, m_sinceFirstByte.elapsed() - kPlainSilenceMs, true,
        std::exchange(m_plain, {}), {} });
    m_bytesFromTerminal = 0;
}

QByteArray UploadReceiver::takeReceivedFile()
{
    const QFileInfoList files = QDir(m_folder).entryInfoList(QDir::Files, QDir::Time);
    if (files.isEmpty())
        return {};
    QFile file(files.first().filePath());
    QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    for (const QFileInfo& info : files)
        QFile::remove(info.filePath());
    // XMODEM has no length: the last block comes padded with 0x1A.
    if (m_protocol == UploadProtocol::Xmodem) {
        while (bytes.endsWith('\x1a'))
            bytes.chop(1);
    }
    return bytes;
}

void UploadReceiver::receiverFinished(int exitCode)
{
    const bool arrived = !QDir(m_folder).isEmpty(QDir::Files);
    // A receiver that gave up waiting while the terminal sent nothing is no upload.
    if (arrived || m_bytesFromTerminal > 0) {
        UploadReport report { m_protocol, m_sinceFirstByte.elapsed(), arrived, {}, {} };
        if (arrived)
            report.bytes = takeReceivedFile();
        else
            report.error
                = u"the receiver stopped (exit code %1) and no file arrived"_s.arg(exitCode);
        emit uploadEnded(report);
    }
    m_takesInput = false;
    m_bytesFromTerminal = 0;
    m_heldBack.clear();
    QTimer::singleShot(kRestartDelayMs, this, &UploadReceiver::startReceiver);
}
