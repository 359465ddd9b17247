#pragma once

#include "platform/handler_policy.h"
#include "serial_link/comm_spy_log.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QProcessEnvironment>
#include <QSerialPort>
#include <QString>

#include <array>
#include <memory>

class TransferSender;
class frmSaxComm;

/// The serial control: owns the serial port and offers the operations the terminal uses,
/// each of which reads back the value last written. It sends files over the port with the
/// protocol the start-up option selects, shows each transfer in its status window
/// (frmSaxComm) and, while CommSpy is on, records what happens in the CommSpy log.
class SaxComm : public QObject
{
    Q_OBJECT

public:
    explicit SaxComm(QProcessEnvironment environment = QProcessEnvironment::systemEnvironment(),
        QObject* parent = nullptr);
    ~SaxComm() override;

    bool portOpen() const { return m_port.isOpen(); }
    /// true opens the port with the current port name and settings string; false closes it.
    Failure setPortOpen(bool open);

    QString settings() const { return m_settings; }
    /// Takes effect at once on an open port.
    Failure setSettings(const QString& settings);

    QString commPort() const { return m_commPort; }
    /// The port name can only change while the port is closed.
    Failure setCommPort(const QString& portName);

    /// Selects the file-transfer protocol: 0 plain bytes, 1 XMODEM, 2 YMODEM, 3 ZMODEM.
    int startupOption() const { return m_startupOption; }
    void setStartupOption(int option);

    bool commSpy() const { return m_commSpy; }
    void setCommSpy(bool on);
    bool logSwitch(LogSwitch which) const { return m_logSwitches[index(which)]; }
    void setLogSwitch(LogSwitch which, bool on);
    /// Where the CommSpy log is written.
    QString commSpyLogPath() const { return m_log.path(); }

    /// The file the transfer command sends: a full path.
    QString fileToSend() const { return m_fileToSend; }
    void setFileToSend(const QString& path);
    /// 1 starts sending fileToSend() and returns at once; the status window follows the
    /// transfer and transferFinished() reports its outcome. A missing or unreadable file or a
    /// closed port fails at once. A command while a transfer runs is turned down in the status
    /// window and leaves that transfer alone.
    Failure setTransfer(int command);
    bool transferRunning() const;
    /// Ends a running transfer as failed with this reason, telling the receiver so.
    void abortTransfer(const QString& reason);
    /// The status window; null until the first transfer command.
    frmSaxComm* statusWindow() const { return m_statusWindow.get(); }

    /// The device the current port name stands for.
    QString devicePath() const;

    QSerialPort& port() { return m_port; }

signals:
    /// A transfer has ended: the outcome as the status window shows it.
    void transferFinished(bool success, const QString& outcome);

private:
    static std::size_t index(LogSwitch which) { return static_cast<std::size_t>(which); }
    Failure applySettings();
    void readWhileIdle();
    void portError(QSerialPort::SerialPortError error);
    void transferEnded(bool success, const QString& reason);
    int lineRate() const;
    frmSaxComm& window();
    bool logging(LogSwitch kind) const { return m_commSpy && logSwitch(kind); }
    void log(LogSwitch kind, const QString& text);
    void logBytes(LogSwitch kind, const QByteArray& bytes);

    QProcessEnvironment m_environment;
    QSerialPort m_port;
    QString m_settings = QStringLiteral("9600,n,8,1");
    QString m_commPort = QStringLiteral("COM1");
    int m_startupOption = 3;
    bool m_commSpy = false;
    std::array<bool, 5> m_logSwitches {};
    CommSpyLog m_log;
    QString m_fileToSend;
    bool m_cancelling = false;
    std::unique_ptr<TransferSender> m_sender;
    std::unique_ptr<frmSaxComm> m_statusWindow;
    // What the receiver said before a transfer began: its call to start may be in it.
    QByteArray m_idleInput;
    QElapsedTimer m_idleInputAge;
};
