#include "testkit/line_simulator.h"

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

// The longest burst of random bytes a fault inserts.
constexpr int kNoiseBurst = 4;
// What the relay releases toward an end before that end has taken it.
constexpr std::size_t kPendingLimit = 4096;

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
{
    // Two generators that never meet: one per direction, both from the seed.
    const unsigned long long base = options.faults.seed * 2654435761ULL;
    m_forward.random = base + 1;
    m_backward.random = (base ^ 0x9E3779B97F4A7C15ULL) | 1;
}

LineSimulator::~LineSimulator()
{
    stop();
}

bool LineSimulator::openTerminal(int& master, int& slave, std::string& path)
{
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return false;
    path = ::ptsname(master);
    // Held open by the relay, so that the pseudo-terminal lives between the ends' opens.
    slave = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        return false;
    termios raw {};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    int one = 1;
    if (::ioctl(master, TIOCPKT, &one) != 0)
        return false;
    setNonBlocking(master);
    return true;
}

bool LineSimulator::start(const std::vector<std::string>& receiver, const std::string& folder)
{
    if (!openTerminal(m_senderMaster, m_senderSlave, m_senderPath))
        return false;
    m_forward.from = m_senderMaster;
    m_forward.packetMode = true;
    m_backward.to = m_senderMaster;

    if (receiver.empty() || m_options.receiverOnTerminal) {
        if (!openTerminal(m_receiverMaster, m_receiverSlave, m_receiverPath))
            return false;
        m_forward.to = m_receiverMaster;
        m_backward.from = m_receiverMaster;
        m_backward.packetMode = true;
        if (!receiver.empty()) {
            m_receiverPid = spawn(receiver, folder, m_receiverSlave, m_options.receiverDiagnostics);
            if (m_receiverPid < 0)
                return false;
        }
    } else {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            return false;
        m_socket = pair[0];
        setNonBlocking(m_socket);
        m_receiverPid = spawn(receiver, folder, pair[1], m_options.receiverDiagnostics);
        ::close(pair[1]);
        if (m_receiverPid < 0)
            return false;
        m_forward.to = m_socket;
        m_forward.toSocket = true;
        m_backward.from = m_socket;
    }
    m_running = true;
    m_thread = std::thread([this] { run(); });
    return true;
}

bool LineSimulator::runSender(const std::vector<std::string>& command, const std::string& folder)
{
    const int fd = ::open(m_senderPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    m_senderPid = spawn(command, folder, fd, false);
    ::close(fd);
    return m_senderPid > 0;
}

pid_t LineSimulator::spawn(
    const std::vector<std::string>& command, const std::string& folder, int fd, bool diagnostics)
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
    if (!diagnostics) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
    }
    ::execvp(argv[0], argv.data());
    ::_exit(127);
}

bool LineSimulator::waitFor(pid_t& pid, int timeoutMs, int* status)
{
    if (pid <= 0)
        return true;
    const double deadline = now() + timeoutMs / 1000.0;
    do {
        int result = 0;
        if (::waitpid(pid, &result, WNOHANG) == pid) {
            pid = -1;
            if (status)
                *status = result;
            return true;
        }
        ::usleep(5000);
    } while (now() < deadline);
    return false;
}

bool LineSimulator::drainToSender(int timeoutMs)
{
    const double deadline = now() + timeoutMs / 1000.0;
    do {
        {
            std::lock_guard lock(m_mutex);
            // A socket has given everything once it is closed; a pseudo-terminal is read as
            // soon as something arrives.
            if (m_backward.queue.empty() && m_backward.pending.empty()
                && (m_backward.closed || m_socket < 0))
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
        int* status = pid == &m_receiverPid ? &m_receiverStatus : nullptr;
        ::kill(*pid, SIGTERM);
        if (!waitFor(*pid, 1000, status)) {
            ::kill(*pid, SIGKILL);
            waitFor(*pid, 1000, status);
        }
    }
    m_running = false;
    if (m_thread.joinable())
        m_thread.join();
    for (int* fd :
        { &m_socket, &m_receiverSlave, &m_receiverMaster, &m_senderSlave, &m_senderMaster }) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

LineSimulator::Counters LineSimulator::counters(Way way) const
{
    std::lock_guard lock(m_mutex);
    if (way == Way::ToReceiver)
        return m_forward.counters;
    if (way == Way::ToSender)
        return m_backward.counters;
    Counters sum = m_forward.counters;
    const Counters& back = m_backward.counters;
    sum.bytes += back.bytes;
    sum.flips += back.flips;
    sum.drops += back.drops;
    sum.noise += back.noise;
    sum.stalls += back.stalls;
    sum.faults += back.faults;
    return sum;
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
            { m_forward.from, 0, 0 },
            { m_backward.from, 0, 0 },
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
        if (!m_forward.pending.empty() && !m_backward.closed)
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
    const Item& front = direction.queue.front();
    if (front.stall)
        return now();
    const double byteTime
        = m_options.baud > 0 ? double(m_options.bitsPerByte) / m_options.baud : 0.0;
    return std::max({ direction.wireFree, front.arrival + m_options.latencyMs / 1000.0,
               direction.pausedUntil })
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
        take(direction, buffer[at], t);
}

double LineSimulator::uniform(unsigned long long& state)
{
    // xorshift64*
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return double((state * 2685821657736338717ULL) >> 11) * 0x1.0p-53;
}

void LineSimulator::take(Direction& direction, unsigned char byte, double t)
{
    const LineFaults& faults = m_options.faults;
    Counters& counters = direction.counters;
    const long long index = counters.bytes++;
    if (faults.noiseRate > 0 && uniform(direction.random) < faults.noiseRate) {
        const int burst = 1 + int(uniform(direction.random) * kNoiseBurst);
        for (int i = 0; i < burst; ++i)
            direction.queue.push_back(
                { static_cast<unsigned char>(uniform(direction.random) * 256), false, false, t });
        counters.noise += burst;
        ++counters.faults;
    }
    bool drop = (faults.dropEvery > 0 && index % faults.dropEvery == faults.dropEvery - 1)
        || (faults.dropRate > 0 && uniform(direction.random) < faults.dropRate);
    if (drop) {
        ++counters.drops;
        ++counters.faults;
    }
    if (faults.flipEvery > 0 && index % faults.flipEvery == faults.flipEvery - 1 && !drop) {
        byte ^= static_cast<unsigned char>(1U << ((index / faults.flipEvery) % 8));
        ++counters.flips;
        ++counters.faults;
    }
    if (faults.bitErrorRate > 0) {
        for (int bit = 0; bit < 8; ++bit) {
            if (uniform(direction.random) < faults.bitErrorRate && !drop) {
                byte ^= static_cast<unsigned char>(1U << bit);
                ++counters.flips;
                ++counters.faults;
            }
        }
    }
    const bool stall = faults.stallRate > 0 && uniform(direction.random) < faults.stallRate;
    direction.queue.push_back({ byte, drop, stall, t });
}

void LineSimulator::release(Direction& direction, double t)
{
    const double byteTime
        = m_options.baud > 0 ? double(m_options.bitsPerByte) / m_options.baud : 0.0;
    const double latency = m_options.latencyMs / 1000.0;
    while (!direction.queue.empty() && direction.pending.size() < kPendingLimit) {
        Item& item = direction.queue.front();
        if (item.stall) {
            // The line goes quiet before this byte; what follows waits behind it.
            item.stall = false;
            direction.pausedUntil = t + m_options.faults.stallMs / 1000.0;
            ++direction.counters.stalls;
            ++direction.counters.faults;
        }
        const double done
            = std::max({ direction.wireFree, item.arrival + latency, direction.pausedUntil })
            + byteTime;
        if (done > t)
            break;
        direction.wireFree = done;
        if (!item.drop)
            direction.pending += char(item.byte);
        direction.queue.pop_front();
    }
    if (direction.pending.empty())
        return;
    // send() rather than write(), so that a receiver gone does not raise SIGPIPE.
    const ssize_t written = direction.toSocket
        ? ::send(direction.to, direction.pending.data(), direction.pending.size(), MSG_NOSIGNAL)
        : ::write(direction.to, direction.pending.data(), direction.pending.size());
    if (written > 0)
        direction.pending.erase(0, std::size_t(written));
    else if (written < 0 && errno != EAGAIN && errno != EINTR)
        direction.pending.clear();
}
