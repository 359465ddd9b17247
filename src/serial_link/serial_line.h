#pragma once

#include "core/result.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>

class CommSpy;
class PortDevices;

/// The serial line: the port, the name it is known by ("COM1"), the settings string it runs
/// at, and what the far end says while no transfer reads the line. Every step is recorded in
/// the CommSpy log.
class SerialLine : public QObject
{
    Q_OBJECT

public:
    SerialLine(CommSpy& spy, const PortDevices& devices, QObject* parent = nullptr);

    bool isOpen() const { return m_port.isOpen(); }
    /// Opens the device the port name stands for at the current settings.
    Result<> open();
    /// Sends what is still buffered, then closes the port.
    void close();

    QString settings() const { return m_settings; }
    /// Takes effect at once on an open port; a refused string leaves the line as it was.
    Result<> setSettings(const QString& settings);

    QString portName() const { return m_portName; }
    /// The port name can only change while the port is closed.
    Result<> setPortName(const QString& portName);
    /// The device the port name stands for.
    QString devicePath() const;

    /// Characters a second at the current settings; 0 when they cannot be read.
    int characterRate() const;

    /// While a transfer owns the line, its sender reads the input, not the line.
    void setTransferActive(bool active) { m_transferActive = active; }
    /// What the far end said while the line was idle and recently enough to be a call to start
    /// a transfer; the line forgets it.
    QByteArray takeIdleInput();

    QSerialPort& port() { return m_port; }

signals:
    /// The device went away (unplugged, or the far end of a pseudo-terminal closed); the port
    /// is closed already.
    void lost();

private:
    Result<> applySettings();
    void readWhileIdle();
    void portError(QSerialPort::SerialPortError error);

    CommSpy& m_spy;
    const PortDevices& m_devices;
    QSerialPort m_port;
    QString m_settings = QStringLiteral("9600,n,8,1");
    QString m_portName = QStringLiteral("COM1");
    bool m_transferActive = false;
    QByteArray m_idleInput;
    QElapsedTimer m_idleInputAge;
};
