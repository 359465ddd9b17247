// A faulty serial line on the command line: a relay between the terminal's pseudo-terminal and
// a receiver that flips bits, drops bytes, inserts noise and stalls, in both directions, at set
// rates and from a seed.

#include "testkit/line_simulator.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void requestStop(int)
{
    g_stop = 1;
}

const char kUsage[] = R"(Usage: zelvic-line-relay [OPTIONS] [-- RECEIVER [ARGUMENTS...]]

A serial line with faults between the terminal and a receiver. It creates a pseudo-terminal for
the terminal side and prints its device path on the first line of standard output; point the
terminal at it (ZELVIC_COM1=<path>). With a RECEIVER command, the relay starts it in the current
folder with the line as its standard input and output (a socket pair, or a pseudo-terminal with
--receiver-pty) and ends when it ends, with its exit status. Without one, it creates a second
pseudo-terminal, prints its path on the second line and runs until interrupted.

Every rate is a probability, drawn per byte (per bit for --ber) as the byte goes onto the line,
in each direction separately; the faults follow from the seed and the bytes carried.

Options:
  --ber RATE        flip each bit with this probability (bit-error rate)   [0]
  --drop RATE       lose each byte with this probability                   [0]
  --noise RATE      before each byte, insert 1 to 4 random bytes           [0]
  --stall RATE      before each byte, pause this direction                 [0]
  --stall-ms MS     how long a pause lasts                                 [1000]
  --seed N          seed of the faults; the same seed repeats a run        [1]
  --baud N          release one byte every 10/N seconds; 0: no limit       [0]
  --buffer BYTES    each direction's transmit buffer                       [4096]
  --latency MS      delay of every byte                                    [0]
  --ignore-flush    deliver what an end flushed from its output (by default a flush drops what
                    the relay still holds for it, as a UART driver does)
  --receiver-pty    run RECEIVER on a pseudo-terminal instead of a socket pair (lrzsz's rx and
                    rb flush their input after each answer, which loses bytes on a terminal)
  --quiet           drop RECEIVER's standard error and the closing summary
  --timeout S       end after S seconds, stopping RECEIVER                 [none]
  -h, --help        this text

The closing summary on standard error counts, per direction, the bytes carried and the faults.

Example:
  zelvic-line-relay --ber 1e-4 --drop 1e-4 --noise 1e-4 --stall 1e-5 --seed 7 -- rz -b -y
)";

bool number(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && value >= 0;
}

void summary(const char* name, const LineSimulator::Counters& c)
{
    std::fprintf(stderr,
        "zelvic-line-relay: %s: %lld bytes, %lld bits flipped, %lld dropped, %lld noise bytes, "
        "%lld stalls\n",
        name, c.bytes, c.flips, c.drops, c.noise, c.stalls);
}

} // namespace

int main(int argc, char* argv[])
{
    LineOptions options;
    options.baud = 0;
    double timeout = 0;
    bool quiet = false;
    std::vector<std::string> receiver;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--") {
            receiver.assign(argv + i + 1, argv + argc);
            break;
        }
        if (option == "-h" || option == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (option == "--ignore-flush") {
            options.honourFlush = false;
            continue;
        }
        if (option == "--receiver-pty") {
            options.receiverOnTerminal = true;
            continue;
        }
        if (option == "--quiet") {
            quiet = true;
            continue;
        }
        const std::vector<std::string> valued { "--ber", "--drop", "--noise", "--stall",
            "--stall-ms", "--seed", "--baud", "--buffer", "--latency", "--timeout" };
        double value = 0;
        if (std::find(valued.begin(), valued.end(), option) == valued.end() || i + 1 == argc
            || !number(argv[i + 1], value)) {
            std::fprintf(stderr, "zelvic-line-relay: bad option or value: %s\n%s", option.c_str(),
                "Try --help.\n");
            return 2;
        }
        ++i;
        if ((option == "--ber" || option == "--drop" || option == "--noise" || option == "--stall")
            && value > 1) {
            std::fprintf(
                stderr, "zelvic-line-relay: %s is a probability: %s\n", option.c_str(), argv[i]);
            return 2;
        }
        LineFaults& faults = options.faults;
        if (option == "--ber")
            faults.bitErrorRate = value;
        else if (option == "--drop")
            faults.dropRate = value;
        else if (option == "--noise")
            faults.noiseRate = value;
        else if (option == "--stall")
            faults.stallRate = value;
        else if (option == "--stall-ms")
            faults.stallMs = int(value);
        else if (option == "--seed")
            faults.seed = unsigned(value);
        else if (option == "--baud")
            options.baud = int(value);
        else if (option == "--buffer")
            options.bufferBytes = std::max(1, int(value));
        else if (option == "--latency")
            options.latencyMs = int(value);
        else
            timeout = value;
    }
    options.receiverDiagnostics = !quiet;

    struct sigaction action
    {
    };
    action.sa_handler = requestStop;
    for (const int signal : { SIGINT, SIGTERM, SIGHUP })
        ::sigaction(signal, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    LineSimulator line(options);
    if (!line.start(receiver, ".")) {
        std::fprintf(
            stderr, "zelvic-line-relay: cannot set up the line: %s\n", std::strerror(errno));
        return 1;
    }
    std::printf("%s\n", line.senderDevice().c_str());
    if (receiver.empty() || options.receiverOnTerminal)
        std::printf("%s\n", line.receiverDevice().c_str());
    std::fflush(stdout);

    int elapsedMs = 0;
    while (!g_stop && (timeout <= 0 || elapsedMs < timeout * 1000)) {
        if (!receiver.empty() && line.waitForReceiver(0))
            break;
        ::usleep(20000);
        elapsedMs += 20;
    }
    // The receiver's last answer still has to reach the terminal.
    if (!receiver.empty() && line.receiverStatus() != -1)
        line.drainToSender(2000 + options.faults.stallMs);
    line.stop();
    if (!quiet) {
        summary("to the receiver", line.counters(LineSimulator::Way::ToReceiver));
        summary("to the terminal", line.counters(LineSimulator::Way::ToSender));
    }
    const int status = line.receiverStatus();
    if (receiver.empty() || status == -1)
        return 0;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
