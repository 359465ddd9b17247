#include "serial_link/sax_comm.h"

#include "platform/serial_device.h"
#include "serial_link/line_settings.h"
#include "serial_link/port_names.h"

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

} // namespace

SaxComm::SaxComm(QProcessEnvironment environment, QObject* parent)
    : QObject(parent)
    , m_environment(std::move(environment))
{
    setObjectName(QStringLiteral("SaxComm1"));
}

QString SaxComm::devicePath() const
{
    return devicePathForPortName(m_commPort, m_environment);
}

Failure SaxComm::setPortOpen(bool open)
{
    if (open == m_port.isOpen())
        return std::nullopt;
    if (!open) {
        m_port.close();
        return std::nullopt;
    }
    const QString device = devicePath();
    m_port.setPortName(device);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const SerialOpenProblem problem = m_port.error() == QSerialPort::DeviceNotFoundError
            ? SerialOpenProblem::NotFound
            : m_port.error() == QSerialPort::PermissionError ? diagnoseSerialOpenFailure(device)
                                                             : SerialOpenProblem::Other;
        return describeOpenFailure(problem, m_commPort, device, m_port.errorString());
    }
    if (Failure failure = applySettings()) {
        m_port.close();
        return failure;
    }
    return std::nullopt;
}

Failure SaxComm::setSettings(const QString& settings)
{
    if (!parseLineSettings(settings))
        return QStringLiteral("Invalid settings string \"%1\": give baud rate, parity, data bits "
                              "and stop bits, as in 9600,n,8,1.")
            .arg(settings);
    const QString previous = std::exchange(m_settings, settings);
    if (!m_port.isOpen())
        return std::nullopt;
    Failure failure = applySettings();
    if (failure) {
        // The port keeps working with the line it had.
        m_settings = previous;
        applySettings();
    }
    return failure;
}

Failure SaxComm::setCommPort(const QString& portName)
{
    if (portName == m_commPort)
        return std::nullopt;
    if (m_port.isOpen())
        return QStringLiteral("The port name cannot change while port %1 is open.").arg(m_commPort);
    m_commPort = portName;
    return std::nullopt;
}

Failure SaxComm::applySettings()
{
    const std::optional<LineSettings> line = parseLineSettings(m_settings);
    const bool applied = line && m_port.setBaudRate(line->baudRate)
        && m_port.setParity(toQt(line->parity))
        && m_port.setDataBits(static_cast<QSerialPort::DataBits>(line->dataBits))
        && m_port.setStopBits(line->stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop)
        && m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (applied)
        return std::nullopt;
    return QStringLiteral("Serial port %1 does not take the settings \"%2\": %3.")
        .arg(m_commPort, m_settings, m_port.errorString());
}
