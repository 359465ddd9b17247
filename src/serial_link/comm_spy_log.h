#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <QStringList>

/// What the CommSpy log records, each switched on its own.
enum class LogSwitch { Events, Input, Output, Properties, Warnings };

/// The serial control's diagnostic log: one line per record, a timestamp with milliseconds,
/// the kind, then the text, or for input and output the bytes in hex and ASCII, 16 a line.
/// When the file would grow past its limit it is renamed to "<path>.1" (replacing the one
/// before) and a new file is begun, so the log never takes more than twice the limit. Both are
/// readable and writable by their owner only.
class CommSpyLog
{
public:
    static constexpr qint64 kDefaultLimit = 1024 * 1024;

    explicit CommSpyLog(QString path = defaultPath(), qint64 limit = kDefaultLimit);

    /// The log file in the user's state folder (the application's local data location).
    static QString defaultPath();
    QString path() const { return m_path; }

    /// An event, property or warning record.
    void record(LogSwitch kind, const QString& text);
    /// An input or output record: one line for every 16 bytes.
    void recordBytes(LogSwitch kind, QByteArrayView bytes);
    /// Closes the file; the next record opens it again.
    void close() { m_file.close(); }

    /// The hex and ASCII columns for up to 16 bytes.
    static QString hexLine(QByteArrayView bytes);
    static QString kindName(LogSwitch kind);

private:
    void write(LogSwitch kind, const QStringList& lines);
    bool openForAppend();

    QString m_path;
    qint64 m_limit;
    QFile m_file;
};
