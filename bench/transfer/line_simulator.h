#pragma once

#include <sys/types.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

/// What goes wrong on the line, in each direction, as bytes go onto the wire.
struct LineFaults
{
    int flipEvery = 0; ///< one bit flipped in every Nth byte; 0: never
    int dropEvery = 0; ///< every Nth byte lost; 0: never
    double bitErrorRate = 0; ///< random bit errors, from the seed
    unsigned seed = 1;
};

struct LineOptions
{
    int baud = 9600; ///< 0: as fast as both ends go
    int bitsPerByte = 10; ///< start, 8 data, stop
    int bufferBytes = 4096; ///< each direction's transmit buffer
    int latencyMs = 0;
    /// Whether a flush of the sender's output drops what the relay still holds, as a UART
    /// driver does; a line that ignores flushes delivers it all.
    bool honourFlush = true;
    LineFaults faults;
};

/// A serial line between a sender on a pseudo-terminal and a receiver program on a socketpair:
/// a relay that releases one byte every bitsPerByte/baud seconds in each direction and applies
/// faults to the bytes it releases. The pseudo-terminal is in packet mode, so a flush of the
/// sender's output drops what the relay still holds, as a UART driver drops its buffer.
class LineSimulator
{
public:
    explicit LineSimulator(LineOptions options);
    ~LineSimulator();
    LineSimulator(const LineSimulator&) = delete;
    LineSimulator& operator=(const LineSimulator&) = delete;

    /// Creates the line and starts the receiver in folder; false when that fails.
    bool start(const std::vector<std::string>& receiver, const std::string& folder);
    /// The device the sender opens.
    const std::string& senderDevice() const { return m_slavePath; }
    /// Runs a program with the sender's device as its standard input and output.
    bool runSender(const std::vector<std::string>& command, const std::string& folder);
    /// Waits for the sender program started by runSender(); false on timeout.
    bool waitForSender(int timeoutMs) { return waitFor(m_senderPid, timeoutMs); }
    bool waitForReceiver(int timeoutMs) { return waitFor(m_receiverPid, timeoutMs); }
    /// Ends both programs and the relay.
    void stop();

    struct Counters
    {
        long long faults = 0; ///< bytes flipped or dropped
    };
    Counters counters() const;

private:
    struct Item
    {
        unsigned char byte;
        double arrival;
    };
    struct Direction
    {
        int from = -1;
        int to = -1;
        bool packetMode = false;
        std::deque<Item> queue;
        std::string pending; // released, not yet taken by the far end
        double wireFree = 0;
        long long count = 0;
        bool closed = false; // the far end of `from` has gone
    };

    void run();
    void readInto(Direction& direction, double now);
    void release(Direction& direction, double now);
    bool fault(unsigned char& byte, long long index);
    double nextEvent(const Direction& direction) const;
    bool waitFor(pid_t& pid, int timeoutMs);
    static pid_t spawn(const std::vector<std::string>& command, const std::string& folder, int fd);

    LineOptions m_options;
    int m_master = -1;
    int m_slave = -1;
    int m_socket = -1;
    std::string m_slavePath;
    pid_t m_receiverPid = -1;
    pid_t m_senderPid = -1;
    Direction m_forward;
    Direction m_backward;
    std::atomic<bool> m_running { false };
    std::thread m_thread;
    mutable std::mutex m_mutex;
    Counters m_counters;
    unsigned long long m_random = 1;
};
