#pragma once

#include "device_sim/device_state.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

class LineEndpoint;

/// What one upload brought: the file's bytes, or why nothing came.
struct UploadReport
{
    UploadProtocol protocol = UploadProtocol::Zmodem;
    qint64 milliseconds = 0;
    bool received = false;
    QByteArray bytes;
    QString error;
};

/// Receives uploads on the line, one after another. The XMODEM, YMODEM and ZMODEM receivers
/// are lrzsz's own rx, rb and rz, run in the receiving folder and fed through pipes (which
/// makes their flushes of the line harmless); plain uploads end after a second of silence.
/// What the terminal sends between one receiver's end and the next one's start is kept for
/// the next, so a call to start an upload right after the last one is answered, not lost.
class UploadReceiver : public QObject
{
    Q_OBJECT

public:
    UploadReceiver(LineEndpoint& line, UploadProtocol protocol, QString folder);
    void start();

signals:
    void uploadEnded(const UploadReport& report);

private:
    void fromLine(const QByteArray& bytes);
    void toReceiver(const QByteArray& bytes);
    void startReceiver();
    void receiverFinished(int exitCode);
    void plainUploadEnded();
    QByteArray takeReceivedFile();

    LineEndpoint& m_line;
    UploadProtocol m_protocol;
    QString m_folder;
    QProcess m_receiver;
    QTimer m_silence;
    QElapsedTimer m_sinceFirstByte;
    qint64 m_bytesFromTerminal = 0;
    QByteArray m_plain;
    QByteArray m_heldBack;
    bool m_takesInput = false;
    QByteArray m_forNextReceiver;
};
