#include "serial_link/sax_comm.h"

SaxComm::SaxComm(DeviceSources sources, QObject* parent)
    : QObject(parent)
    , m_devices(std::move(sources))
    , m_line(m_spy, m_devices)
    , m_transfer(m_line, m_spy)
{
    setObjectName(QStringLiteral("SaxComm1"));
    connect(&m_transfer, &FileTransfer::finished, this, &SaxComm::transferFinished);
}

SaxComm::SaxComm(QProcessEnvironment environment, QObject* parent)
    : SaxComm(DeviceSources { std::move(environment) }, parent)
{ }

Result<> SaxComm::chooseDevice(const QString& portName, const QString& devicePath)
{
    m_spy.log(LogSwitch::Properties, QStringLiteral("%1 device = %2").arg(portName, devicePath));
    if (m_line.isOpen() && portName == m_line.portName())
        return Failure {
            QStringLiteral("The device cannot change while port %1 is open.").arg(portName)
        };
    m_devices.choose(portName, devicePath);
    return {};
}

Result<> SaxComm::keepDevice()
{
    if (!m_line.isOpen())
        return {};
    return m_devices.keep(m_line.portName());
}

Result<> SaxComm::setPortOpen(bool open)
{
    m_spy.log(
        LogSwitch::Properties, QStringLiteral("port open = %1").arg(open ? u"true" : u"false"));
    if (open == m_line.isOpen())
        return {};
    if (open)
        return m_line.open();
    // The cancel sequence goes out before the port closes.
    m_transfer.cancel(QStringLiteral("port closed"));
    m_line.close();
    return {};
}

Result<> SaxComm::setSettings(const QString& settings)
{
    m_spy.log(LogSwitch::Properties, QStringLiteral("settings = %1").arg(settings));
    return m_line.setSettings(settings);
}

Result<> SaxComm::setCommPort(const QString& portName)
{
    m_spy.log(LogSwitch::Properties, QStringLiteral("port name = %1").arg(portName));
    return m_line.setPortName(portName);
}

void SaxComm::setStartupOption(int option)
{
    m_spy.log(LogSwitch::Properties, QStringLiteral("start-up option = %1").arg(option));
    m_startupOption = option;
}

void SaxComm::setFileToSend(const QString& path)
{
    m_spy.log(LogSwitch::Properties, QStringLiteral("file to send = %1").arg(path));
    m_fileToSend = path;
}

Result<TransferProtocol> SaxComm::selectedProtocol() const
{
    if (m_startupOption < 0 || m_startupOption > 3)
        return Failure { QStringLiteral("Start-up option %1 selects no transfer protocol (0 plain "
                                        "bytes, 1 XMODEM, 2 YMODEM, 3 ZMODEM).")
                             .arg(m_startupOption) };
    return static_cast<TransferProtocol>(m_startupOption);
}

Result<> SaxComm::setTransfer(int command)
{
    m_spy.log(LogSwitch::Properties, QStringLiteral("transfer = %1").arg(command));
    if (command != 1)
        return Failure { QStringLiteral(
            "Transfer command %1 is unknown: 1 starts sending the file.")
                             .arg(command) };
    const Result<TransferProtocol> protocol = selectedProtocol();
    if (!protocol.ok())
        return Failure { protocol.error() };
    return m_transfer.send(m_fileToSend, protocol.value());
}

Result<> SaxComm::sendFile(TransferFile file)
{
    const Result<TransferProtocol> protocol = selectedProtocol();
    if (!protocol.ok())
        return Failure { protocol.error() };
    return m_transfer.send(std::move(file), protocol.value());
}
