#include "serial_link/sax_comm.h"

SaxComm::SaxComm(QProcessEnvironment environment, QObject* parent)
    : QObject(parent)
    , m_line(m_spy, std::move(environment))
    , m_transfer(m_line, m_spy)
{
    setObjectName(QStringLiteral("SaxComm1"));
    connect(&m_transfer, &FileTransfer::finished, this, &SaxComm::transferFinished);
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
