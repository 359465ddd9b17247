// Starts a program again and again under an X server and measures the time until its first
// top-level window is mapped and until its first contents are drawn (the first damage to the
// mapped window), and the program's peak resident memory at that moment.
//
//   zelvic_startup_bench RUNS NAME=PROGRAM [NAME=PROGRAM ...]
//
// The first program is the baseline; each other one is printed with its ratio to it.

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct Sample
{
    double mappedMs = 0;
    double paintedMs = 0;
    long peakKiB = 0;
};

uint8_t damageEventBase = 0;

long peakResidentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

using Clock = std::chrono::steady_clock;

// Follows the new top-level windows until one is mapped and then drawn into; records both
// moments. False after the timeout.
bool waitForFirstPaint(
    xcb_connection_t* connection, Clock::time_point start, Sample& sample, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd fd { xcb_get_file_descriptor(connection), POLLIN, 0 };
    xcb_window_t mapped = XCB_NONE;
    const auto since
        = [&] { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); };
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            const uint8_t type = event->response_type & 0x7f;
            if (type == XCB_CREATE_NOTIFY) {
                // Watch every new top-level window: which one is shown is known only later.
                const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event);
                xcb_damage_create(connection, xcb_generate_id(connection), created->window,
                    XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
                xcb_flush(connection);
            } else if (type == XCB_MAP_NOTIFY && mapped == XCB_NONE) {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                if (!map->override_redirect) {
                    mapped = map->window;
                    sample.mappedMs = since();
                }
            } else if (type == damageEventBase + XCB_DAMAGE_NOTIFY && mapped != XCB_NONE
                && reinterpret_cast<xcb_damage_notify_event_t*>(event)->drawable == mapped) {
                sample.paintedMs = since();
                std::free(event);
                return true;
            }
            std::free(event);
        }
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) < 0)
            return false;
    }
}

bool measure(xcb_connection_t* connection, const std::string& program, Sample& sample)
{
    char* argv[] = { const_cast<char*>(program.c_str()), nullptr };
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
        std::perror(program.c_str());
        return false;
    }
    const bool shown = waitForFirstPaint(connection, start, sample, 20000);
    sample.peakKiB = peakResidentKiB(pid);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return shown;
}

template <typename T> T median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s RUNS NAME=PROGRAM [NAME=PROGRAM ...]\n", argv[0]);
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "cannot connect to the X server named by DISPLAY\n");
        return 1;
    }
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(connection, &xcb_damage_id);
    if (!damage || !damage->present) {
        std::fprintf(stderr, "the X server has no DAMAGE extension\n");
        return 1;
    }
    damageEventBase = damage->first_event;
    xcb_discard_reply(connection,
        xcb_damage_query_version(connection, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION)
            .sequence);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);

    struct Result
    {
        std::string name;
        double mappedMs;
        double paintedMs;
        long peakKiB;
    };
    std::vector<Result> results;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const std::string program = arg.substr(equals + 1);
        std::vector<double> mapped;
        std::vector<double> painted;
        std::vector<long> peaks;
        for (int run = 0; run < runs; ++run) {
            Sample sample;
            if (!measure(connection, program, sample)) {
                std::fprintf(stderr, "%s: no window within 20 s\n", name.c_str());
                return 1;
            }
            mapped.push_back(sample.mappedMs);
            painted.push_back(sample.paintedMs);
            peaks.push_back(sample.peakKiB);
        }
        results.push_back({ name, median(mapped), median(painted), median(peaks) });
    }

    std::printf("medians of %d runs; ratios to %s\n", runs, results.front().name.c_str());
    std::printf("%-14s %10s %11s %9s %9s %9s\n", "program", "mapped ms", "painted ms", "peak MiB",
        "x painted", "x memory");
    for (const Result& r : results) {
        std::printf("%-14s %10.1f %11.1f %9.1f %9.2f %9.2f\n", r.name.c_str(), r.mappedMs,
            r.paintedMs, r.peakKiB / 1024.0, r.paintedMs / results.front().paintedMs,
            static_cast<double>(r.peakKiB) / static_cast<double>(results.front().peakKiB));
    }
    xcb_disconnect(connection);
    return 0;
}
