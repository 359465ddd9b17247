#include "device_sim/line_endpoint.h"

#include <QSerialPort>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QString systemError(const QString& what)
{
    return u"%1: %2"_s.arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

class PseudoTerminalEndpoint final : public LineEndpoint
{
public:
    PseudoTerminalEndpoint(int master, int slave, QString slavePath)
        : m_master(master)
        , m_slave(slave)
        , m_slavePath(std::move(slavePath))
        , m_readable(master, QSocketNotifier::Read)
        , m_writable(master, QSocketNotifier::Write)
    {
        m_writable.setEnabled(false);
        connect(&m_readable, &QSocketNotifier::activated, this, &PseudoTerminalEndpoint::drain);
        connect(&m_writable, &QSocketNotifier::activated, this, &PseudoTerminalEndpoint::flush);
    }

    ~PseudoTerminalEndpoint() override
    {
        ::close(m_master);
        ::close(m_slave);
    }

    QString terminalSidePath() const override { return m_slavePath; }

    void send(const QByteArray& bytes) override
    {
        m_pending += bytes;
        flush();
    }

private:
    void drain()
    {
        char chunk[4096];
        for (;;) {
            const ssize_t n = ::read(m_master, chunk, sizeof chunk);
            if (n <= 0)
                return;
            emit received(QByteArray(chunk, n));
        }
    }

    void flush()
    {
        while (!m_pending.isEmpty()) {
            const ssize_t n = ::write(m_master, m_pending.constData(), m_pending.size());
            if (n <= 0)
                break;
            m_pending.remove(0, n);
        }
        m_writable.setEnabled(!m_pending.isEmpty());
    }

    int m_master;
    int m_slave;
    QString m_slavePath;
    QByteArray m_pending;
    QSocketNotifier m_readable;
    QSocketNotifier m_writable;
};

class SerialDeviceEndpoint final : public LineEndpoint
{
public:
    explicit SerialDeviceEndpoint(const QString& path)
        : m_port(path)
    {
        connect(
            &m_port, &QSerialPort::readyRead, this, [this] { emit received(m_port.readAll()); });
    }

    Result<> open()
    {
        if (m_port.open(QIODevice::ReadWrite) && m_port.setBaudRate(9600)
            && m_port.setParity(QSerialPort::NoParity) && m_port.setDataBits(QSerialPort::Data8)
            && m_port.setStopBits(QSerialPort::OneStop))
            return {};
        return Failure { u"%1: %2"_s.arg(m_port.portName(), m_port.errorString()) };
    }

    QString terminalSidePath() const override { return m_port.portName(); }
    void send(const QByteArray& bytes) override { m_port.write(bytes); }

private:
    QSerialPort m_port;
};

} // namespace

Result<std::unique_ptr<LineEndpoint>> LineEndpoint::openPseudoTerminal()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        const QString error = systemError(u"Cannot create a pseudo-terminal"_s);
        if (master >= 0)
            ::close(master);
        return Failure { error };
    }
    const QString slavePath = QString::fromLocal8Bit(::ptsname(master));
    // Holding the terminal's side open keeps the line up while the terminal closes and reopens
    // its port, and lets the line be made raw before the terminal ever opens it.
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw {};
    if (slave < 0 || ::tcgetattr(slave, &raw) != 0) {
        const QString error = systemError(u"Cannot open %1"_s.arg(slavePath));
        ::close(master);
        if (slave >= 0)
            ::close(slave);
        return Failure { error };
    }
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    return std::unique_ptr<LineEndpoint>(
        std::make_unique<PseudoTerminalEndpoint>(master, slave, slavePath));
}

Result<std::unique_ptr<LineEndpoint>> LineEndpoint::openDevice(const QString& path)
{
    auto endpoint = std::make_unique<SerialDeviceEndpoint>(path);
    if (Result<> opened = endpoint->open(); !opened.ok())
        return Failure { opened.error() };
    return std::unique_ptr<LineEndpoint>(std::move(endpoint));
}
