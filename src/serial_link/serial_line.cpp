#include "serial_link/serial_line.h"

#include "core/line_settings.h"
#include "platform/serial_device.h"
#include "serial_link/comm_spy.h"
#include "serial_link/port_devices.h"

#include <utility>

namespace {

QSerialPort::Parity toQt(LineSettings::Parity parity)
{
    switch (parity) {
    case LineSettings::Parity::Even:
        return QSerialPort::EvenParity;
    case LineSettings::Parity::Odd:
        return QSerialPort::OddParity;
    case LineSettings::Parity::Mark:
        return QSerialPort::MarkParity;
    case LineSettings::Parity::Space:
        return QSerialPort::SpaceParity;
    case LineSettings::Parity::None:
        break;
    }
    return QSerialPort::NoParity;
}

// Input that arrived this long before a transfer began is too old to be the receiver's call.
constexpr qint64 kIdleInputLifeMs = 20000;
constexpr qsizetype kIdleInputKept = 1024;

} // namespace

SerialLine::SerialLine(CommSpy& spy, const PortDevices& devices, QObject* parent)
    : QObject(parent)
    , m_spy(spy)
    , m_devices(devices)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLine::readWhileIdle);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialLine::portError);
}

QString SerialLine::devicePath() const
{
    return m_devices.deviceFor(m_portName).path;
}

Result<> SerialLine::open()
{
    const PortDevice chosen = m_devices.deviceFor(m_portName);
    const QString& device = chosen.path;
    m_port.setPortName(device);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const SerialOpenProblem problem = m_port.error() == QSerialPort::DeviceNotFoundError
            ? SerialOpenProblem::NotFound
            : m_port.error() == QSerialPort::PermissionError ? diagnoseSerialOpenFailure(device)
                                                             : SerialOpenProblem::Other;
        const QString failure = describeOpenFailure(
            problem, m_portName, chosen, m_port.errorString(), serialDeviceGroup(device));
        m_spy.log(LogSwitch::Warnings, failure);
        return Failure { failure };
    }
    // The serial library's lock file and exclusive mode do not stop every program (nor root):
    // programs that lock the device itself are heeded too.
    if (!lockSerialDevice(m_port.handle())) {
        m_port.close();
        const QString failure
            = describeOpenFailure(SerialOpenProblem::Busy, m_portName, chosen, QString());
        m_spy.log(LogSwitch::Warnings, failure);
        return Failure { failure };
    }
    if (Result<> applied = applySettings(); !applied.ok()) {
        m_port.close();
        m_spy.log(LogSwitch::Warnings, applied.error());
        return applied;
    }
    // What came in before the port closed was said to an earlier session.
    m_idleInput.clear();
    m_spy.log(LogSwitch::Events,
        QStringLiteral("Port %1 (%2) opened at %3").arg(m_portName, device, m_settings));
    return {};
}

void SerialLine::close()
{
    m_port.flush();
    m_port.close();
    m_spy.log(LogSwitch::Events, QStringLiteral("Port %1 closed").arg(m_portName));
}

Result<> SerialLine::setSettings(const QString& settings)
{
    if (!parseLineSettings(settings))
        return Failure { QStringLiteral("Invalid settings string \"%1\": give baud rate, parity, "
                                        "data bits and stop bits, as in 9600,n,8,1.")
                             .arg(settings) };
    const QString previous = std::exchange(m_settings, settings);
    if (!m_port.isOpen())
        return {};
    Result<> applied = applySettings();
    if (!applied.ok()) {
        // The port keeps working with the line it had.
        m_settings = previous;
        applySettings();
    }
    return applied;
}

Result<> SerialLine::setPortName(const QString& portName)
{
    if (portName == m_portName)
        return {};
    if (m_port.isOpen())
        return Failure {
            QStringLiteral("The port name cannot change while port %1 is open.").arg(m_portName)
        };
    m_portName = portName;
    return {};
}

Result<> SerialLine::applySettings()
{
    const std::optional<LineSettings> line = parseLineSettings(m_settings);
    const bool applied = line && m_port.setBaudRate(line->baudRate)
        && m_port.setParity(toQt(line->parity))
        && m_port.setDataBits(static_cast<QSerialPort::DataBits>(line->dataBits))
        && m_port.setStopBits(line->stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop)
        && m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (applied)
        return {};
    return Failure { QStringLiteral("Serial port %1 does not take the settings \"%2\": %3.")
                         .arg(m_portName, m_settings, m_port.errorString()) };
}

int SerialLine::characterRate() const
{
    const std::optional<LineSettings> line = parseLineSettings(m_settings);
    if (!line)
        return 0;
    const int bits = 1 + line->dataBits + (line->parity == LineSettings::Parity::None ? 0 : 1)
        + line->stopBits;
    return line->baudRate / bits;
}

QByteArray SerialLine::takeIdleInput()
{
    QByteArray input;
    if (m_idleInputAge.isValid() && !m_idleInputAge.hasExpired(kIdleInputLifeMs))
        input = m_idleInput;
    m_idleInput.clear();
    return input;
}

void SerialLine::readWhileIdle()
{
    if (m_transferActive)
        return;
    const QByteArray bytes = m_port.readAll();
    if (bytes.isEmpty())
        return;
    m_spy.logBytes(LogSwitch::Input, bytes);
    // A receiver that has been waiting long may have called, given up and called again: only
    // what came lately can be its call.
    if (m_idleInputAge.isValid() && m_idleInputAge.hasExpired(kIdleInputLifeMs))
        m_idleInput.clear();
    m_idleInput += bytes;
    if (m_idleInput.size() > kIdleInputKept)
        m_idleInput.remove(0, m_idleInput.size() - kIdleInputKept);
    m_idleInputAge.start();
}

void SerialLine::portError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return;
    m_spy.log(
        LogSwitch::Warnings, QStringLiteral("Port %1: %2").arg(m_portName, m_port.errorString()));
    // A device unplugged reports a resource error; a pseudo-terminal whose other end has closed
    // reports a read error, again and again. Either way the port is of no more use.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError
        && error != QSerialPort::WriteError)
        return;
    // Closed first, so that whoever hears of the loss finds the port closed.
    if (m_port.isOpen()) {
        m_port.close();
        m_spy.log(LogSwitch::Events,
            QStringLiteral("Port %1 closed: the device is gone").arg(m_portName));
    }
    emit lost();
}
