// The terminal pane under load: "output" is fed from a thread, as the connector thread feeds it, at
// 115200 and 921600 baud, 30 MB/s and flat out (as fast as the feeding thread can call), with an
// ordinary log, 100 KB lines and binary bytes. Each case runs in a child process of its own, so its
// CPU time and peak memory are its own. The figures: the child's user+system CPU over the wall time
// (100 % is one core; flat out, the feeding thread's own spinning is most of it), the window thread's
// share, the longest gap between two ticks of a 16 ms timer on the window thread (how long the window
// could not react), how long the pane takes to show what waits once the feeding stops (the window is
// idle then; goal: under a second), and the peak resident memory. The flat-out cases run again with
// the pane's log on, in each form, into a file beside the bench (what the log did not take is shown).
//
// Run by hand: bench_terminal_bench [seconds per case, default 3].
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "host/host_registry.h"
#include "host/output_component.h"
#include "link/host_components.h"
#include "tools/velmora-host/terminal_pane.h"

using namespace velmora;
using namespace std::chrono_literals;

namespace {

enum class Content { log, long_lines, binary };

struct Case {
    const char* name;
    Content content;
    double bytes_per_second;  // 0: flat out
    bool hex = false;
    std::optional<host_app::TerminalLog::Form> log = std::nullopt;
};

// What a child reports back through its pipe.
struct Figures {
    double delivered = 0;
    double dropped = 0;
    double ui_cpu_seconds = 0;
    double max_stall_ms = 0;
    double idle_ms = 0;
    double not_logged = 0;
    int lines = 0;
};

constexpr std::size_t k_chunk = 4096;  // what one read of the port hands over at most
constexpr std::chrono::milliseconds k_feed_tick{1};
constexpr std::chrono::milliseconds k_probe_interval{16};
constexpr std::chrono::milliseconds k_idle_poll{1};

QByteArray make_content(Content content) {
    QByteArray bytes;
    switch (content) {
        case Content::log:
            for (int k = 0; bytes.size() < (1 << 20); ++k) {
                bytes += QByteArray("[") + QByteArray::number(k * 0.001234, 'f', 6) +
                         "] eth0: link up, 100 Mbps full duplex, flow control off\r\n";
            }
            break;
        case Content::long_lines:
            for (int k = 0; k < 10; ++k) {
                bytes += QByteArray(100 * 1000, static_cast<char>('a' + k)) + "\r\n";
            }
            break;
        case Content::binary: {
            std::mt19937 random(7);
            bytes.resize(1 << 20);
            for (char& byte : bytes) {
                byte = static_cast<char>(random() & 0xFF);
            }
            break;
        }
    }
    return bytes;
}

double thread_cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

Figures run_case(const Case& c, std::chrono::seconds duration, int argc, char** argv) {
    QApplication app(argc, argv);
    HostRegistry registry;
    OutputComponent output(&registry);
    host_app::TerminalPane pane;
    pane.resize(1000, 300);
    pane.set_hex_view(c.hex);
    pane.show();
    pane.attach(output);
    const std::string log_path = "velmora-terminal-bench-" + std::to_string(getpid()) + ".log";
    if (c.log) {
        pane.log_toggle().set_form(*c.log);
        pane.log_toggle().start(QString::fromStdString(log_path));
    }

    const QByteArray content = make_content(c.content);
    std::atomic<bool> stop{false};
    std::atomic<double> delivered{0};
    std::thread feeder([&] {
        const auto start = std::chrono::steady_clock::now();
        std::size_t at = 0;
        double sent = 0;
        const auto deliver = [&](std::size_t size) {
            if (at + size > static_cast<std::size_t>(content.size())) {
                at = 0;
            }
            output.deliver({k_output_text, static_cast<std::uint32_t>(size), content.constData() + at});
            at += size;
            sent += static_cast<double>(size);
        };
        while (!stop.load()) {
            if (c.bytes_per_second == 0) {
                deliver(k_chunk);
                continue;
            }
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
            while (sent + 1 <= elapsed.count() * c.bytes_per_second) {
                deliver(std::min<std::size_t>(
                    k_chunk, static_cast<std::size_t>(elapsed.count() * c.bytes_per_second - sent)));
            }
            std::this_thread::sleep_for(k_feed_tick);
        }
        delivered.store(sent);
    });

    Figures figures;
    auto last_tick = std::chrono::steady_clock::now();
    QTimer probe;
    probe.setInterval(k_probe_interval);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const auto now = std::chrono::steady_clock::now();
        const std::chrono::duration<double, std::milli> gap = now - last_tick;
        figures.max_stall_ms = std::max(figures.max_stall_ms, gap.count());
        last_tick = now;
    });
    probe.start();
    // At the end of the feeding, the time until the pane has shown everything it kept.
    std::chrono::steady_clock::time_point fed_until;
    QTimer idle_poll;
    idle_poll.setInterval(k_idle_poll);
    QObject::connect(&idle_poll, &QTimer::timeout, [&] {
        if (pane.backlog().held() == 0) {
            const std::chrono::duration<double, std::milli> catching_up =
                std::chrono::steady_clock::now() - fed_until;
            figures.idle_ms = catching_up.count();
            QApplication::quit();
        }
    });
    QTimer::singleShot(duration, &app, [&] {
        stop.store(true);
        feeder.join();
        fed_until = std::chrono::steady_clock::now();
        probe.stop();
        idle_poll.start();
    });
    const double cpu_before = thread_cpu_seconds();
    QApplication::exec();
    figures.ui_cpu_seconds = thread_cpu_seconds() - cpu_before;
    pane.detach();
    pane.log_toggle().stop();
    pane.log().wait_closed();
    figures.not_logged = static_cast<double>(pane.log().not_logged());
    std::remove(log_path.c_str());
    figures.delivered = delivered.load();
    figures.dropped = static_cast<double>(pane.backlog().dropped_total());
    figures.lines = pane.line_count();
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::chrono::seconds duration{argc > 1 ? std::atoi(argv[1]) : 3};
    const std::vector<Case> cases = {
        {"log at 115200 baud", Content::log, 115200 / 10.0},
        {"log at 921600 baud", Content::log, 921600 / 10.0},
        {"log at 30 MB/s", Content::log, 30e6},
        {"log flat out", Content::log, 0},
        {"100 KB lines at 921600 baud", Content::long_lines, 921600 / 10.0},
        {"100 KB lines flat out", Content::long_lines, 0},
        {"binary at 921600 baud", Content::binary, 921600 / 10.0},
        {"binary flat out", Content::binary, 0},
        {"binary flat out, hex view", Content::binary, 0, true},
        {"log flat out, raw log", Content::log, 0, false, host_app::TerminalLog::Form::raw},
        {"log flat out, text log", Content::log, 0, false, host_app::TerminalLog::Form::text},
    };
    std::printf("%-28s %9s %9s %8s %8s %9s %8s %8s %8s %10s\n", "case", "fed MB/s", "dropped%", "CPU %",
                "UI CPU %", "stall ms", "idle ms", "lines", "RSS MB", "unlogged%");
    for (const Case& c : cases) {
        int pipe_ends[2];
        if (pipe(pipe_ends) != 0) {
            std::perror("pipe");
            return 1;
        }
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = fork();
        if (child == 0) {
            close(pipe_ends[0]);
            const Figures figures = run_case(c, duration, argc, argv);
            const bool written = write(pipe_ends[1], &figures, sizeof figures) == sizeof figures;
            _exit(written ? 0 : 1);
        }
        close(pipe_ends[1]);
        Figures figures;
        const bool read_all = read(pipe_ends[0], &figures, sizeof figures) == sizeof figures;
        close(pipe_ends[0]);
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
        if (!read_all || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::printf("%-28s failed\n", c.name);
            continue;
        }
        const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        const double seconds = static_cast<double>(duration.count());
        const auto share = [&](double part) {
            return figures.delivered > 0 ? 100 * part / figures.delivered : 0.0;
        };
        std::printf("%-28s %9.2f %8.0f%% %8.1f %8.1f %9.1f %8.1f %8d %8.1f %9.1f%%\n", c.name,
                    figures.delivered / seconds / 1e6, share(figures.dropped), 100 * cpu / wall.count(),
                    100 * figures.ui_cpu_seconds / seconds, figures.max_stall_ms, figures.idle_ms,
                    figures.lines, static_cast<double>(usage.ru_maxrss) / 1024,
                    c.log ? share(figures.not_logged) : 0.0);
        std::fflush(stdout);
    }
    return 0;
}
