#include "serial_link/sax_comm.h"

#include "platform/serial_device.h"
#include "serial_link/frm_sax_comm.h"
#include "serial_link/line_settings.h"
#include "serial_link/port_names.h"
#include "serial_link/transfer/transfer_sender.h"

#include <QScopedValueRollback>

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

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

// Input that arrived this long before a transfer began is too old to be the receiver's call.
constexpr qint64 kIdleInputLifeMs = 20000;
constexpr qsizetype kIdleInputKept = 1024;

} // namespace

SaxComm::SaxComm(QProcessEnvironment environment, QObject* parent)
    : QObject(parent)
    , m_environment(std::move(environment))
{
    setObjectName(QStringLiteral("SaxComm1"));
    connect(&m_port, &QSerialPort::readyRead, this, &SaxComm::readWhileIdle);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SaxComm::portError);
}

SaxComm::~SaxComm()
{
    // The sender and its window go before the port they use.
    m_sender.reset();
}

QString SaxComm::devicePath() const
{
    return devicePathForPortName(m_commPort, m_environment);
}

Failure SaxComm::setPortOpen(bool open)
{
    log(LogSwitch::Properties, QStringLiteral("port open = %1").arg(open ? u"true" : u"false"));
    if (open == m_port.isOpen())
        return std::nullopt;
    if (!open) {
        abortTransfer(QStringLiteral("port closed"));
        // The cancel sequence goes out before the port closes.
        m_port.flush();
        m_port.close();
        log(LogSwitch::Events, QStringLiteral("Port %1 closed").arg(m_commPort));
        return std::nullopt;
    }
    const QString device = devicePath();
    m_port.setPortName(device);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const SerialOpenProblem problem = m_port.error() == QSerialPort::DeviceNotFoundError
            ? SerialOpenProblem::NotFound
            : m_port.error() == QSerialPort::PermissionError ? diagnoseSerialOpenFailure(device)
                                                             : SerialOpenProblem::Other;
        const QString failure = describeOpenFailure(
            problem, m_commPort, device, m_port.errorString(), serialDeviceGroup(device));
        log(LogSwitch::Warnings, failure);
        return failure;
    }
    // The serial library's lock file and exclusive mode do not stop every program (nor root):
    // programs that lock the device itself are heeded too.
    if (!lockSerialDevice(m_port.handle())) {
        m_port.close();
        const QString failure
            = describeOpenFailure(SerialOpenProblem::Busy, m_commPort, device, QString());
        log(LogSwitch::Warnings, failure);
        return failure;
    }
    if (Failure failure = applySettings()) {
        m_port.close();
        log(LogSwitch::Warnings, *failure);
        return failure;
    }
    // What came in before the port closed was said to an earlier session.
    m_idleInput.clear();
    log(LogSwitch::Events,
        QStringLiteral("Port %1 (%2) opened at %3").arg(m_commPort, device, m_settings));
    return std::nullopt;
}

Failure SaxComm::setSettings(const QString& settings)
{
    log(LogSwitch::Properties, QStringLiteral("settings = %1").arg(settings));
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
    log(LogSwitch::Properties, QStringLiteral("port name = %1").arg(portName));
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

void SaxComm::setStartupOption(int option)
{
    log(LogSwitch::Properties, QStringLiteral("start-up option = %1").arg(option));
    m_startupOption = option;
}

void SaxComm::setCommSpy(bool on)
{
    if (!on && m_commSpy)
        log(LogSwitch::Properties, QStringLiteral("CommSpy = off"));
    m_commSpy = on;
    if (on)
        log(LogSwitch::Properties, QStringLiteral("CommSpy = on"));
    else
        m_log.close();
}

void SaxComm::setLogSwitch(LogSwitch which, bool on)
{
    m_logSwitches[index(which)] = on;
    log(LogSwitch::Properties,
        QStringLiteral("log %1 = %2").arg(CommSpyLog::kindName(which), onOff(on)));
}

void SaxComm::setFileToSend(const QString& path)
{
    log(LogSwitch::Properties, QStringLiteral("file to send = %1").arg(path));
    m_fileToSend = path;
}

bool SaxComm::transferRunning() const
{
    return m_sender && m_sender->isRunning();
}

Failure SaxComm::setTransfer(int command)
{
    log(LogSwitch::Properties, QStringLiteral("transfer = %1").arg(command));
    if (command != 1)
        return QStringLiteral("Transfer command %1 is unknown: 1 starts sending the file.")
            .arg(command);
    if (transferRunning()) {
        const QString refusal
            = QStringLiteral("A second transfer command was turned down: %1 is still being sent.")
                  .arg(m_sender->file().name);
        log(LogSwitch::Warnings, refusal);
        window().showNotice(refusal);
        return std::nullopt;
    }
    if (!m_port.isOpen())
        return QStringLiteral("Serial port %1 is closed: the file cannot be sent.").arg(m_commPort);
    if (m_startupOption < 0 || m_startupOption > 3)
        return QStringLiteral("Start-up option %1 selects no transfer protocol (0 plain bytes, "
                              "1 XMODEM, 2 YMODEM, 3 ZMODEM).")
            .arg(m_startupOption);
    QString error;
    std::optional<TransferFile> file = readTransferFile(m_fileToSend, error);
    if (!file) {
        log(LogSwitch::Warnings, error);
        return error;
    }

    const auto protocol = static_cast<TransferProtocol>(m_startupOption);
    const QString name = file->name;
    const qint64 size = file->data.size();
    m_sender = TransferSender::create(protocol, m_port, std::move(*file));
    m_sender->setLineRate(lineRate());
    m_sender->setOutputDiscarder([this] { m_port.clear(QSerialPort::Output); });
    TransferSender* sender = m_sender.get();
    connect(sender, &TransferSender::progress, this,
        [this](qint64 acknowledged, qint64 total) { window().setProgress(acknowledged, total); });
    connect(sender, &TransferSender::finished, this, &SaxComm::transferEnded);
    connect(sender, &TransferSender::dataSent, this,
        [this](const QByteArray& bytes) { logBytes(LogSwitch::Output, bytes); });
    connect(sender, &TransferSender::dataReceived, this,
        [this](const QByteArray& bytes) { logBytes(LogSwitch::Input, bytes); });
    connect(sender, &TransferSender::protocolEvent, this,
        [this](const QString& text) { log(LogSwitch::Events, text); });
    connect(sender, &TransferSender::protocolWarning, this,
        [this](const QString& text) { log(LogSwitch::Warnings, text); });

    log(LogSwitch::Events,
        QStringLiteral("Sending %1 (%2 bytes) with %3")
            .arg(name)
            .arg(size)
            .arg(protocolName(protocol)));
    window().begin(name, protocolName(protocol), size);
    QByteArray earlier;
    if (m_idleInputAge.isValid() && !m_idleInputAge.hasExpired(kIdleInputLifeMs))
        earlier = m_idleInput;
    m_idleInput.clear();
    sender->start(earlier);
    return std::nullopt;
}

void SaxComm::abortTransfer(const QString& reason)
{
    if (!transferRunning())
        return;
    log(LogSwitch::Events, QStringLiteral("Transfer cancelled: %1").arg(reason));
    const QScopedValueRollback cancelling(m_cancelling, true);
    m_sender->cancel(reason);
}

void SaxComm::transferEnded(bool success, const QString& reason)
{
    TransferSender* sender = m_sender.get();
    const QString outcome = success ? QStringLiteral("Completed: %1 bytes in %2 s")
                                          .arg(sender->total())
                                          .arg(double(sender->elapsedMs()) / 1000.0, 0, 'f', 1)
                                    : QStringLiteral("Failed: %1").arg(reason);
    log(success ? LogSwitch::Events : LogSwitch::Warnings,
        QStringLiteral("Transfer %1").arg(outcome));
    window().finish(outcome);
    // A transfer that failed by itself, not by a request to stop it: what the user can do.
    if (!success && !m_cancelling)
        window().showNotice(m_port.isOpen()
                ? QStringLiteral("Check that the server is connected, switched on and ready, "
                                 "then press Write again.")
                : QStringLiteral("Serial port %1 is gone: reconnect the cable or adapter, then "
                                 "open the port again under Settings, RS232 Port Setup.")
                      .arg(m_commPort));
    // The sender is in the middle of emitting; it goes when control returns to the event loop.
    m_sender.release()->deleteLater();
    emit transferFinished(success, outcome);
}

void SaxComm::readWhileIdle()
{
    if (transferRunning())
        return;
    const QByteArray bytes = m_port.readAll();
    if (bytes.isEmpty())
        return;
    logBytes(LogSwitch::Input, bytes);
    // A receiver that has been waiting long may have called, given up and called again: only
    // what came lately can be its call.
    if (m_idleInputAge.isValid() && m_idleInputAge.hasExpired(kIdleInputLifeMs))
        m_idleInput.clear();
    m_idleInput += bytes;
    if (m_idleInput.size() > kIdleInputKept)
        m_idleInput.remove(0, m_idleInput.size() - kIdleInputKept);
    m_idleInputAge.start();
}

void SaxComm::portError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return;
    log(LogSwitch::Warnings, QStringLiteral("Port %1: %2").arg(m_commPort, m_port.errorString()));
    // A device unplugged reports a resource error; a pseudo-terminal whose other end has closed
    // reports a read error, again and again. Either way the port is of no more use.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError
        && error != QSerialPort::WriteError)
        return;
    // Closed first, so that whoever hears of the transfer's end finds the port closed.
    if (m_port.isOpen()) {
        m_port.close();
        log(LogSwitch::Events,
            QStringLiteral("Port %1 closed: the device is gone").arg(m_commPort));
    }
    if (transferRunning())
        m_sender->lineLost(QStringLiteral("port lost"));
}

int SaxComm::lineRate() const
{
    const std::optional<LineSettings> line = parseLineSettings(m_settings);
    if (!line)
        return 0;
    const int bits = 1 + line->dataBits + (line->parity == LineSettings::Parity::None ? 0 : 1)
        + line->stopBits;
    return line->baudRate / bits;
}

frmSaxComm& SaxComm::window()
{
    if (!m_statusWindow) {
        m_statusWindow = std::make_unique<frmSaxComm>();
        connect(m_statusWindow.get(), &frmSaxComm::cancelRequested, this,
            [this] { abortTransfer(QStringLiteral("cancelled by user")); });
    }
    return *m_statusWindow;
}

void SaxComm::log(LogSwitch kind, const QString& text)
{
    if (logging(kind))
        m_log.record(kind, text);
}

void SaxComm::logBytes(LogSwitch kind, const QByteArray& bytes)
{
    if (logging(kind))
        m_log.recordBytes(kind, bytes);
}
