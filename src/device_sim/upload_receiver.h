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
/// A receiver that gives up waiting for an upload is started again, and whatever it says on
/// its way out stays off the line. What the terminal sends between one receiver's end and the
/// next one's first call is kept for the next, so a call to start an upload right after the
/// last one, or while a receiver restarts, is answered, not lost.
class UploadReceiver : public QObject
{
    Q_OBJECT

public:
    /// giveUpMs: how long a receiver waits for an upload to begin before it gives up; 0 leaves
    /// that to the receiver's own limits.
    UploadReceiver(LineEndpoint& line, UploadProtocol protocol, QString folder, int giveUpMs = 0);
    void start();
    /// The program that receives: rx, rb or rz; empty for plain uploads.
    QString receiverProgram() const;

signals:
    void uploadEnded(const UploadReport& report);
    /// A receiver has waited this long without an upload beginning and is started again.
    void receiverGaveUp(qint64 waitedMs);
    /// A receiver started again after one gave up or failed has made its first call.
    void receiverReady();

private:
    void fromLine(const QByteArray& bytes);
    void fromReceiver(const QByteArray& bytes);
    void toReceiver(QByteArray bytes);
    void startReceiver();
    void giveUp();
    void receiverFinished(int exitCode);
    void plainUploadEnded();
    QByteArray takeReceivedFile();

    LineEndpoint& m_line;
    UploadProtocol m_protocol;
    QString m_folder;
    QProcess m_receiver;
    QTimer m_silence;
    QTimer m_waitLimit;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sinceFirstByte;
    qint64 m_bytesFromTerminal = 0;
    QByteArray m_plain;
    QByteArray m_heldBack;
    bool m_takesInput = false;
    bool m_gaveUp = false;
    bool m_announceReady = false;
    QByteArray m_forNextReceiver;
};
