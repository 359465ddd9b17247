#include "line_simulator.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

double now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void setNonBlocking(int fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

} // namespace

LineSimulator::LineSimulator(LineOptions options)
    : m_options(options)
    , m_random(options.faults.seed * 2654435761ULL + 1)
{ }

LineSimulator::~LineSimulator()
{
    stop();
}

bool LineSimulator::start(const std::vector<std::string>& receiver, const std::string& folder)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return false;
    m_slavePath = ::ptsname(m_master);
    // Held open by the relay, so that the pseudo-terminal lives between the sender's opens.
    m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return false;
    termios raw {};
    ::tcgetattr(m_slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(m_slave, TCSANOW, &raw);
    int one = 1;
    if (::ioctl(m_master, TIOCPKT, &one) != 0)
        return false;
    setNonBlocking(m_master);

    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return false;
    m_socket = pair[0];
    setNonBlocking(m_socket);
    m_receiverPid = spawn(receiver, folder, pair[1]);
    ::close(pair[1]);
    if (m_receiverPid < 0)
        return false;

    m_forward.from = m_master;
    m_forward.packetMode = true;
    m_forward.to = m_socket;
    m_backward.from = m_socket;
    m_backward.to = m_master;
    m_running = true;
    m_thread = std::thread([this] { run(); });
    return true;
}

bool LineSimulator::runSender(const std::vector<std::string>& command, const std::string& folder)
{
    const int fd = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    m_senderPid = spawn(command, folder, fd);
    ::close(fd);
    return m_senderPid > 0;
}

pid_t LineSimulator::spawn(
    const std::vector<std::string>& command, const std::string& folder, int fd)
{
    std::vector<char*> argv;
    for (const std::string& argument : command)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    // The child: only async-signal-safe calls until exec.
    if (::chdir(folder.c_str()) != 0)
        ::_exit(126);
    ::dup2(fd, 0);
    ::dup2(fd, 1);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 2);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
}

bool LineSimulator::waitFor(pid_t& pid, int timeoutMs)
{
    if (pid <= 0)
        return true;
    const double deadline = now() + timeoutMs / 1000.0;
    do {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return true;
        }
        ::usleep(5000);
    } while (now() < deadline);
    return false;
}

void LineSimulator::stop()
{
    for (pid_t* pid : { &m_senderPid, &m_receiverPid }) {
        if (*pid <= 0)
            continue;
        ::kill(*pid, SIGTERM);
        if (!waitFor(*pid, 1000)) {
            ::kill(*pid, SIGKILL);
            waitFor(*pid, 1000);
        }
    }
    m_running = false;
    if (m_thread.joinable())
        m_thread.join();
    for (int* fd : { &m_socket, &m_slave, &m_master }) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

LineSimulator::Counters LineSimulator::counters() const
{
    std::lock_guard lock(m_mutex);
    return m_counters;
}

void LineSimulator::run()
{
    while (m_running) {
        const double t = now();
        {
            std::lock_guard lock(m_mutex);
            release(m_forward, t);
            release(m_backward, t);
        }
        pollfd fds[2] = {
            { m_master, 0, 0 },
            { m_socket, 0, 0 },
        };
        const auto room = [this](const Direction& d) {
            return !d.closed && d.queue.size() < std::size_t(m_options.bufferBytes);
        };
        if (room(m_forward))
            fds[0].events |= POLLIN;
        if (!m_backward.pending.empty())
            fds[0].events |= POLLOUT;
        if (room(m_backward))
            fds[1].events |= POLLIN;
        if (!m_forward.pending.empty() && !m_forward.closed)
            fds[1].events |= POLLOUT;
        const double next = std::min(nextEvent(m_forward), nextEvent(m_backward));
        const int timeout = std::clamp(int(std::ceil((next - t) * 1000)), 0, 20);
        if (m_backward.closed)
            fds[1].fd = -1;
        ::poll(fds, 2, timeout);
        const double after = now();
        std::lock_guard lock(m_mutex);
        if (fds[0].revents & POLLIN)
            readInto(m_forward, after);
        if (fds[1].revents & (POLLIN | POLLHUP))
            readInto(m_backward, after);
    }
}

double LineSimulator::nextEvent(const Direction& direction) const
{
    if (!direction.pending.empty())
        return now() + 0.001;
    if (direction.queue.empty())
        return now() + 1;
    const double byteTime
        = m_options.baud > 0 ? double(m_options.bitsPerByte) / m_options.baud : 0.0;
    return std::max(
               direction.wireFree, direction.queue.front().arrival + m_options.latencyMs / 1000.0)
        + byteTime;
}

void LineSimulator::readInto(Direction& direction, double t)
{
    unsigned char buffer[8192];
    const std::size_t room = std::size_t(m_options.bufferBytes) - direction.queue.size();
    const std::size_t want = std::min(sizeof buffer, room + (direction.packetMode ? 1 : 0));
    const ssize_t n = ::read(direction.from, buffer, want);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO)) {
        direction.closed = true;
        return;
    }
    if (n <= 0)
        return;
    std::size_t at = 0;
    if (direction.packetMode) {
        if (buffer[0] != TIOCPKT_DATA) {
            if ((buffer[0] & TIOCPKT_FLUSHWRITE) && m_options.honourFlush)
                direction.queue.clear();
            return;
        }
        at = 1;
    }
    for (; at < std::size_t(n); ++at)
        direction.queue.push_back({ buffer[at], t });
}

void LineSimulator::release(Direction& direction, double t)
{
    const double byteTime
        = m_options.baud > 0 ? double(m_options.bitsPerByte) / m_options.baud : 0.0;
    const double latency = m_options.latencyMs / 1000.0;
    while (!direction.queue.empty() && direction.pending.size() < 4096) {
        const Item item = direction.queue.front();
        const double done = std::max(direction.wireFree, item.arrival + latency) + byteTime;
        if (done > t)
            break;
        direction.wireFree = done;
        direction.queue.pop_front();
        unsigned char byte = item.byte;
        if (fault(byte, direction.count++))
            direction.pending += char(byte);
    }
    if (direction.pending.empty())
        return;
    // send() rather than write(), so that a receiver gone does not raise SIGPIPE.
    const ssize_t written = direction.to == m_socket
        ? ::send(direction.to, direction.pending.data(), direction.pending.size(), MSG_NOSIGNAL)
        : ::write(direction.to, direction.pending.data(), direction.pending.size());
    if (written > 0)
        direction.pending.erase(0, std::size_t(written));
    else if (written < 0 && errno != EAGAIN && errno != EINTR)
        direction.pending.clear();
}

bool LineSimulator::fault(unsigned char& byte, long long index)
{
    const LineFaults& faults = m_options.faults;
    if (faults.dropEvery > 0 && index % faults.dropEvery == faults.dropEvery - 1) {
        ++m_counters.faults;
        return false;
    }
    if (faults.flipEvery > 0 && index % faults.flipEvery == faults.flipEvery - 1) {
        byte ^= static_cast<unsigned char>(1U << ((index / faults.flipEvery) % 8));
        ++m_counters.faults;
    }
    if (faults.bitErrorRate > 0) {
        for (int bit = 0; bit < 8; ++bit) {
            // xorshift64*
            m_random ^= m_random >> 12;
            m_random ^= m_random << 25;
            m_random ^= m_random >> 27;
            const double uniform = double((m_random * 2685821657736338717ULL) >> 11) * 0x1.0p-53;
            if (uniform < faults.bitErrorRate) {
                byte ^= static_cast<unsigned char>(1U << bit);
                ++m_counters.faults;
            }
        }
    }
    return true;
}
