#pragma once

#include "core/result.h"
#include "serial_link/comm_spy.h"
#include "serial_link/file_transfer.h"
#include "serial_link/port_devices.h"
#include "serial_link/serial_line.h"

#include <QObject>
#include <QProcessEnvironment>
#include <QString>

/// The serial control: the operations the terminal uses, each of which reads back the value
/// last written. It puts together the serial line, the CommSpy log and the file transfer; its
/// integer commands (the start-up option, the transfer command) become named operations here.
class SaxComm : public QObject
{
    Q_OBJECT

public:
    explicit SaxComm(DeviceSources sources, QObject* parent = nullptr);
    /// Neither detects ports nor keeps choices: the environment or the machine's ports.
    explicit SaxComm(QProcessEnvironment environment = QProcessEnvironment::systemEnvironment(),
        QObject* parent = nullptr);

    bool portOpen() const { return m_line.isOpen(); }
    /// true opens the port with the current port name and settings string; false ends a running
    /// transfer and closes it.
    Result<> setPortOpen(bool open);

    QString settings() const { return m_line.settings(); }
    /// Takes effect at once on an open port.
    Result<> setSettings(const QString& settings);

    QString commPort() const { return m_line.portName(); }
    /// The port name can only change while the port is closed.
    Result<> setCommPort(const QString& portName);

    /// Selects the file-transfer protocol: 0 plain bytes, 1 XMODEM, 2 YMODEM, 3 ZMODEM.
    int startupOption() const { return m_startupOption; }
    void setStartupOption(int option);

    bool commSpy() const { return m_spy.enabled(); }
    void setCommSpy(bool on) { m_spy.setEnabled(on); }
    bool logSwitch(LogSwitch which) const { return m_spy.logSwitch(which); }
    void setLogSwitch(LogSwitch which, bool on) { m_spy.setLogSwitch(which, on); }
    /// Where the CommSpy log is written.
    QString commSpyLogPath() const { return m_spy.logPath(); }

    /// The file the transfer command sends: a full path.
    QString fileToSend() const { return m_fileToSend; }
    void setFileToSend(const QString& path);
    /// 1 starts sending fileToSend() with the protocol the start-up option selects and returns
    /// at once; transfer() tells how it goes. A missing or unreadable file, a closed port or a
    /// start-up option that selects no protocol fails at once.
    Result<> setTransfer(int command);
    /// Starts sending a file already read, under the name it carries, with the protocol the
    /// start-up option selects; otherwise as the transfer command.
    Result<> sendFile(TransferFile file);
    bool transferRunning() const { return m_transfer.isRunning(); }
    /// Ends a running transfer as failed with this reason, telling the receiver so.
    void abortTransfer(const QString& reason) { m_transfer.cancel(reason); }

    /// The running transfer, for those who follow it.
    FileTransfer& transfer() { return m_transfer; }
    /// The device the current port name stands for.
    QString devicePath() const { return m_line.devicePath(); }
    /// The device a port name stands for, and where that comes from.
    PortDevice deviceFor(const QString& portName) const { return m_devices.deviceFor(portName); }
    /// The serial ports present now.
    QList<SerialPortEntry> detectedPorts() const { return m_devices.detectedPorts(); }
    /// Chooses the device behind a port name for the rest of this run; not while the port is
    /// open on that name.
    Result<> chooseDevice(const QString& portName, const QString& devicePath);
    /// Keeps the device chosen for the open port for the next starts.
    Result<> keepDevice();
    QSerialPort& port() { return m_line.port(); }

signals:
    /// A transfer has ended: the outcome as the status window shows it.
    void transferFinished(bool success, const QString& outcome);

private:
    Result<TransferProtocol> selectedProtocol() const;

    CommSpy m_spy;
    PortDevices m_devices;
    SerialLine m_line;
    FileTransfer m_transfer;
    int m_startupOption = 3;
    QString m_fileToSend;
};
