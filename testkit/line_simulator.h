#pragma once

#include <sys/types.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

/// What goes wrong on the line, in each direction. The faults of a byte are drawn when the
/// relay takes it from its source, from a generator of its own per direction, so that the same
/// seed and the same bytes give the same faults however the two ends are timed.
struct LineFaults
{
    int flipEvery = 0; ///< one bit flipped in every Nth byte; 0: never
    int dropEvery = 0; ///< every Nth byte lost; 0: never
    double bitErrorRate = 0; ///< each bit flipped with this probability
    unsigned seed = 1;
    double dropRate = 0; ///< each byte lost with this probability
    double noiseRate = 0; ///< before each byte, a burst of random bytes with this probability
    double stallRate = 0; ///< before each byte, the direction pauses with this probability
    int stallMs = 1000; ///< how long a pause lasts
};

struct LineOptions
{
    int baud = 9600; ///< 0: as fast as both ends go
    int bitsPerByte = 10; ///< start, 8 data, stop
    int bufferBytes = 4096; ///< each direction's transmit buffer
    int latencyMs = 0;
    /// Whether a flush of an end's output drops what the relay still holds for it, as a UART
    /// driver does; a line that ignores flushes delivers it all.
    bool honourFlush = true;
    /// Whether a receiver program runs on a pseudo-terminal of its own rather than on a socket
    /// pair. A socket pair makes the flushes some receivers do after each answer harmless.
    bool receiverOnTerminal = false;
    /// Whether the receiver program's standard error goes to ours rather than nowhere.
    bool receiverDiagnostics = false;
    LineFaults faults;
};

/// A serial line between a sender on a pseudo-terminal and a receiver: a program on a socket
/// pair or a pseudo-terminal, or, with no program, a second pseudo-terminal that anything may
/// open. A relay between the two releases one byte every bitsPerByte/baud seconds in each
/// direction and applies the faults to them. The pseudo-terminals are in packet mode, so a
/// flush of an end's output drops what the relay still holds, as a UART driver drops its buffer.
class LineSimulator
{
public:
    explicit LineSimulator(LineOptions options);
    ~LineSimulator();
    LineSimulator(const LineSimulator&) = delete;
    LineSimulator& operator=(const LineSimulator&) = delete;

    /// Creates the line and starts the receiver program in folder, or, when receiver is empty,
    /// a second pseudo-terminal for the receiver (receiverDevice()); false when that fails.
    bool start(const std::vector<std::string>& receiver, const std::string& folder);
    /// The device the sender opens.
    const std::string& senderDevice() const { return m_senderPath; }
    /// The device a receiver opens, when no receiver program was given or it runs on one.
    const std::string& receiverDevice() const { return m_receiverPath; }
    /// Runs a program with the sender's device as its standard input and output.
    bool runSender(const std::vector<std::string>& command, const std::string& folder);
    /// Waits for the sender program started by runSender(); false on timeout.
    bool waitForSender(int timeoutMs) { return waitFor(m_senderPid, timeoutMs); }
    bool waitForReceiver(int timeoutMs)
    {
        return waitFor(m_receiverPid, timeoutMs, &m_receiverStatus);
    }
    /// How the receiver program ended, as waitpid() reports it; -1 while it runs.
    int receiverStatus() const { return m_receiverStatus; }
    /// Waits until what the receiver sent has all gone to the sender's side; false on timeout.
    bool drainToSender(int timeoutMs);
    /// Ends both programs and the relay.
    void stop();

    struct Counters
    {
        long long bytes = 0; ///< bytes taken from the source
        long long flips = 0; ///< bits flipped
        long long drops = 0; ///< bytes lost
        long long noise = 0; ///< random bytes inserted
        long long stalls = 0; ///< pauses
        long long faults = 0; ///< flips, drops, noise bursts and stalls
    };
    enum class Way { ToReceiver, ToSender, Both };
    Counters counters(Way way = Way::Both) const;

private:
    struct Item
    {
        unsigned char byte;
        bool drop;
        bool stall;
        double arrival;
    };
    struct Direction
    {
        int from = -1;
        int to = -1;
        bool packetMode = false;
        bool toSocket = false;
        std::deque<Item> queue;
        std::string pending; // released, not yet taken by the far end
        double wireFree = 0;
        double pausedUntil = 0;
        bool closed = false; // the far end of `from` has gone
        unsigned long long random = 1;
        Counters counters;
    };

    void run();
    void readInto(Direction& direction, double now);
    void take(Direction& direction, unsigned char byte, double now);
    void release(Direction& direction, double now);
    double nextEvent(const Direction& direction) const;
    bool waitFor(pid_t& pid, int timeoutMs, int* status = nullptr);
    bool openTerminal(int& master, int& slave, std::string& path);
    static double uniform(unsigned long long& state);
    static pid_t spawn(const std::vector<std::string>& command, const std::string& folder, int fd,
        bool diagnostics);

    LineOptions m_options;
    int m_senderMaster = -1;
    int m_senderSlave = -1;
    int m_receiverMaster = -1;
    int m_receiverSlave = -1;
    int m_socket = -1;
    std::string m_senderPath;
    std::string m_receiverPath;
    pid_t m_receiverPid = -1;
    pid_t m_senderPid = -1;
    int m_receiverStatus = -1;
    Direction m_forward;
    Direction m_backward;
    std::atomic<bool> m_running { false };
    std::thread m_thread;
    mutable std::mutex m_mutex;
};
