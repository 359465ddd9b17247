#pragma once

#include "platform/handler_policy.h"

#include <QObject>
#include <QProcessEnvironment>
#include <QSerialPort>
#include <QString>

#include <array>

/// What the CommSpy log records, each switched on its own.
enum class LogSwitch { Events, Input, Output, Properties, Warnings };

/// The serial control: owns the serial port and offers the operations the terminal uses,
/// each of which reads back the value last written.
class SaxComm : public QObject
{
    Q_OBJECT

public:
    explicit SaxComm(QProcessEnvironment environment = QProcessEnvironment::systemEnvironment(),
        QObject* parent = nullptr);

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
    void setStartupOption(int option) { m_startupOption = option; }

    bool commSpy() const { return m_commSpy; }
    void setCommSpy(bool on) { m_commSpy = on; }
    bool logSwitch(LogSwitch which) const { return m_logSwitches[index(which)]; }
    void setLogSwitch(LogSwitch which, bool on) { m_logSwitches[index(which)] = on; }

    /// The device the current port name stands for.
    QString devicePath() const;

    QSerialPort& port() { return m_port; }

private:
    static std::size_t index(LogSwitch which) { return static_cast<std::size_t>(which); }
    Failure applySettings();

    QProcessEnvironment m_environment;
    QSerialPort m_port;
    QString m_settings = QStringLiteral("9600,n,8,1");
    QString m_commPort = QStringLiteral("COM1");
    int m_startupOption = 3;
    bool m_commSpy = false;
    std::array<bool, 5> m_logSwitches {};
};
