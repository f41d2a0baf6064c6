// The link against a simulated box on a pseudo-terminal, without a window: how long a connection
// takes from the box's sync byte to the panel being connected, against the least the protocol allows,
// and how much CPU the process spends while a lamp test waits for a key. When ser2net is installed
// the same box is also reached through it on 127.0.0.1, raw and through Telnet with the COM-PORT
// option, the three lines taking turns run by run, and the table gives each network line's time
// against the local line's. Every line counts the host's bytes out only once they had their time on
// the line at its baud rate, so the figures compare like for like.
//
// The connection runs as the plug-in runs it: the host's registry and "com connector" on the
// simulator's line at 115200 baud, a link agent on an owner of this program's own, and a client file
// of the size asked for. The clock starts when the connector hands over the sync byte (the agent
// sees it in the same broadcast) and stops when the agent sets panel_connected.
//
// The floor is the protocol's own waits (three client start waits, two piece gaps for each block
// piece) plus every byte both ways on the line at 10 bits a byte.
//
// Run by hand: bench_link_bench [--runs N] [--client-bytes N] [--idle-seconds S]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "config/config_block.h"
#include "host/com_connector.h"
#include "host/host_registry.h"
#include "link/agent/link_agent.h"
#include "link/agent/link_frames.h"
#include "link/agent/link_owner.h"
#include "link/agent/link_timing.h"
#include "link/host_components.h"
#include "tests/support/ser2net_process.h"

extern char** environ;

using namespace velmora;
using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

namespace {

constexpr int k_baud = 115200;
constexpr double k_bits_per_byte = 10;
// Generous: the machine may be busy; nothing waits this long when the link works.
constexpr std::chrono::seconds k_first_line_limit{10};
constexpr std::chrono::seconds k_connect_limit{60};
constexpr std::chrono::seconds k_settle_limit{5};
constexpr std::chrono::seconds k_reopen_limit{5};
constexpr std::chrono::seconds k_test_limit{5};
constexpr std::chrono::seconds k_exit_limit{5};
constexpr std::chrono::milliseconds k_exit_poll{20};

double line_seconds(std::size_t bytes) {
    return static_cast<double>(bytes) * k_bits_per_byte / k_baud;
}

double seconds_of(Clock::duration d) {
    return std::chrono::duration_cast<Seconds>(d).count();
}

double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A moment that one thread notes once and another reads; zero until noted.
class Moment {
public:
    void clear() { at_.store(0); }
    void note() {
        std::int64_t expected = 0;
        at_.compare_exchange_strong(expected, Clock::now().time_since_epoch().count());
    }
    bool noted() const { return at_.load() != 0; }
    Clock::time_point at() const { return Clock::time_point(Clock::duration(at_.load())); }

private:
    std::atomic<Clock::duration::rep> at_{0};
};

// The owner: no window, every flag an atomic, message boxes answered at once and counted.
class BenchOwner final : public link_owner {
public:
    explicit BenchOwner(std::uint32_t client_image_size) : client_image_size_(client_image_size) {
        // A few values, so the block is no blank one.
        block_.set_u16(0, 0x0102);
        block_.set_u32(4, 115200);
        block_.bytes[200] = 0x5A;
        block_.bytes[k_config_block_size - 1] = 0xA5;
    }

    void start_run() {
        client_sent.clear();
        handshake_done.clear();
        upload_done.clear();
    }

    void SetUpgInfo(UpgStatus, std::int32_t, std::int32_t) override {}
    bool IsLinkOnline() const override { return link_online.load(); }
    bool panel_connected() const override { return panel_connected_.load(); }
    void set_panel_connected(bool connected) override {
        if (connected) {
            upload_done.note();
        }
        {
            std::lock_guard lock(mutex_);
            panel_connected_.store(connected);
        }
        changed_.notify_all();
    }
    void with_config(const std::function<void(ConfigBlock&)>& use) override {
        // The upload takes the block once the handshake has passed.
        handshake_done.note();
        std::lock_guard lock(mutex_);
        use(block_);
    }
    LinkBoxAnswer message_box(const std::string& text, LinkBoxButtons buttons) override {
        boxes.fetch_add(1);
        std::fprintf(stderr, "message box: %s\n", text.c_str());
        return buttons == LinkBoxButtons::ok ? LinkBoxAnswer::ok : LinkBoxAnswer::cancel;
    }
    void post_to_page(LinkPage, int) override { page_posts.fetch_add(1); }
    void send_progress(std::uint32_t done, std::uint32_t total) override {
        if (total == client_image_size_ && done == total) {
            client_sent.note();
        }
    }

    bool lamp_test_running() const override { return lamp_running.load(); }
    LampKey take_lamp_key_request() override { return lamp_request.exchange(LampKey::none); }
    void set_lamp_key_request(LampKey request) override { lamp_request.store(request); }

    bool wait_connected(std::chrono::seconds limit) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [this] { return panel_connected_.load(); });
    }

    std::atomic<bool> link_online{false};
    std::atomic<bool> lamp_running{false};
    std::atomic<LampKey> lamp_request{LampKey::none};
    std::atomic<int> boxes{0};
    std::atomic<int> page_posts{0};
    Moment client_sent;
    Moment handshake_done;
    Moment upload_done;

private:
    const std::uint32_t client_image_size_;
    std::atomic<bool> panel_connected_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    ConfigBlock block_;
};

// Hears the connector's broadcasts beside the agent and notes the first sync byte of a run.
class SyncProbe final : public component {
public:
    explicit SyncProbe(component_registry* registry) : component("link bench probe", registry) {
        set_active(true);
    }
    bool is_shareable() const override { return true; }
    std::string type_name() const override { return "probe"; }
    std::uint32_t deliver(const component_msg& msg) override {
        if (msg.code == k_connector_received && msg.param2 != nullptr &&
            std::memchr(msg.param2, k_sync_byte, msg.param1) != nullptr) {
            sync.note();
        }
        return 0;
    }
    Moment sync;
};

// "output": keeps what the agent writes, so the program can wait for a line and show the log.
class OutputProbe final : public component {
public:
    explicit OutputProbe(component_registry* registry) : component(k_output, registry) {}
    bool is_shareable() const override { return true; }
    std::string type_name() const override { return "output"; }
    std::uint32_t deliver(const component_msg& msg) override {
        if (msg.code == k_output_text && msg.param2 != nullptr) {
            {
                std::lock_guard lock(mutex_);
                text_.append(static_cast<const char*>(msg.param2), msg.param1);
            }
            changed_.notify_all();
        }
        return 0;
    }
    // Waits until `part` appears after what was there at `mark()`.
    std::size_t mark() {
        std::lock_guard lock(mutex_);
        return text_.size();
    }
    bool wait_for(std::size_t from, const std::string& part, std::chrono::seconds limit) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return text_.find(part, from) != std::string::npos; });
    }
    std::string text() {
        std::lock_guard lock(mutex_);
        return text_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string text_;
};

// velmora-stb-sim as a child: commands on its standard input, the line's path on its first output
// line, its log in a file.
class Simulator {
public:
    explicit Simulator(const std::filesystem::path& log) {
        int input[2];
        int output[2];
        if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        std::string program = VELMORA_STB_SIM;
        std::string baud_option = "--baud";
        std::string baud = std::to_string(k_baud);
        char* argv[] = {program.data(), baud_option.data(), baud.data(), nullptr};
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(input[0]);
        close(output[1]);
        input_ = input[1];
        output_ = output[0];
    }
    ~Simulator() {
        if (input_ >= 0) {
            type("quit\n");
            close(input_);
        }
        if (output_ >= 0) {
            close(output_);
        }
        if (pid_ <= 0) {
            return;
        }
        for (auto give_up = Clock::now() + k_exit_limit; Clock::now() < give_up;) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                return;
            }
            std::this_thread::sleep_for(k_exit_poll);
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // The pseudo-terminal's path; empty when none came in time.
    std::string line_path() {
        std::string line;
        char c;
        const auto limit = static_cast<int>(std::chrono::milliseconds(k_first_line_limit).count());
        pollfd wait{output_, POLLIN, 0};
        while (pid_ > 0 && poll(&wait, 1, limit) == 1 && read(output_, &c, 1) == 1) {
            if (c == '\n') {
                return line;
            }
            line += c;
        }
        return {};
    }
    bool type(const std::string& command) {
        return write(input_, command.data(), command.size()) == static_cast<ssize_t>(command.size());
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
};

struct Options {
    int runs = 3;
    std::size_t client_bytes = 64 * 1024;
    int idle_seconds = 5;
};

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--runs" && has_value) {
            options.runs = std::atoi(argv[++i]);
        } else if (arg == "--client-bytes" && has_value) {
            options.client_bytes = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--idle-seconds" && has_value) {
            options.idle_seconds = std::atoi(argv[++i]);
        } else {
            return false;
        }
    }
    return options.runs > 0 && options.idle_seconds > 0 && options.client_bytes <= k_max_client_size;
}

// One connection's moments, as seconds after the sync byte.
struct Run {
    double reset_to_sync = 0;
    double client_sent = 0;
    double handshake_done = 0;
    double connected = 0;
};

// A way to the box, and the connections made through it.
struct BenchLine {
    const char* name;
    std::string port;
    std::vector<Run> runs;
};

// A network line may add this much to a connection's time, against the local line.
constexpr double k_network_ratio_goal = 1.02;

// The least each step can take: the protocol's waits, and the bytes each way on the line.
struct Step {
    const char* name;
    double waits;
    std::size_t host_bytes;
    std::size_t box_bytes;
    double floor() const { return waits + line_seconds(host_bytes) + line_seconds(box_bytes); }
};

std::vector<Step> connection_steps(std::size_t client_bytes) {
    const LinkTiming timing;
    const std::size_t pieces = (k_config_block_size + k_upload_piece_size - 1) / k_upload_piece_size;
    const std::size_t command_replies = 2 * k_reply_size;  // receipt and result
    return {
        {"sync -> client sent", 0, 1 + k_client_header_size + client_bytes, 0},
        {"-> handshake done", 3 * seconds_of(timing.client_start_wait),
         k_command_overhead + k_handshake_text.size(), command_replies + k_handshake_text.size()},
        {"-> upload done", static_cast<double>(2 * pieces) * seconds_of(timing.block_piece_gap),
         k_command_overhead + k_announce_block_payload.size() +
             pieces * (k_block_header_size + k_frame_crc_size) + k_config_block_size,
         command_replies + pieces * k_block_ack_size},
    };
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double excess_percent(double measured, double floor) {
    return 100 * (measured - floor) / floor;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--runs N] [--client-bytes N (at most %zu)] [--idle-seconds S]\n",
                     argv[0], k_max_client_size);
        return 2;
    }
    QCoreApplication app(argc, argv);

    std::string folder_template =
        (std::filesystem::temp_directory_path() / "velmora-link-bench-XXXXXX").string();
    const char* made = mkdtemp(folder_template.data());
    if (made == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path folder = made;
    const std::filesystem::path client = folder / "velmora.bin";
    {
        std::vector<char> bytes(options.client_bytes);
        std::mt19937 random(11);
        std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(random() & 0xFF); });
        std::ofstream(client, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    int status = 0;
    {
        Simulator sim(folder / "sim.log");
        const std::string line = sim.line_path();
        HostRegistry registry;
        OutputProbe output(&registry);
        SyncProbe probe(&registry);
        ComConnector connector(&registry);
        QString error;
        if (line.empty() || !connector.open(QString::fromStdString(line), k_baud, error)) {
            std::fprintf(stderr, "no line to the simulator: %s\n", qPrintable(error));
            status = 1;
        }
        BenchOwner owner(static_cast<std::uint32_t>(k_client_header_size + options.client_bytes));
        link_agent agent(owner, &registry);
        agent.set_client_path(client);

        const std::vector<Step> steps = connection_steps(options.client_bytes);
        double floor = 0;
        double waits = 0;
        std::size_t host_bytes = 0;
        std::size_t box_bytes = 0;
        for (const Step& step : steps) {
            floor += step.floor();
            waits += step.waits;
            host_bytes += step.host_bytes;
            box_bytes += step.box_bytes;
        }
        std::printf("link: client %zu bytes, %d baud at 10 bits a byte, velmora-stb-sim --baud %d\n",
                    options.client_bytes, k_baud, k_baud);
        std::printf(
            "floor: waits %.3f s + line %.3f s (host->box %zu B %.3f s, box->host %zu B %.3f s) = %.3f s\n",
            waits, line_seconds(host_bytes + box_bytes), host_bytes, line_seconds(host_bytes), box_bytes,
            line_seconds(box_bytes), floor);
        std::printf("clock: from the connector handing over the sync byte to panel_connected == 1\n\n");

        // The lines, the local one last in each round, so the idle figures below are the local line's.
        std::vector<BenchLine> lines;
        std::unique_ptr<test::Ser2netProcess> ser2net;
        if (status == 0 && !test::Ser2netProcess::program().empty()) {
            ser2net = std::make_unique<test::Ser2netProcess>(
                folder, std::vector<test::Ser2netProcess::Line>{{line, test::Ser2netProcess::Mode::raw},
                                                                {line, test::Ser2netProcess::Mode::rfc2217}});
            if (ser2net->ok()) {
                lines.push_back({"ser2net raw", ser2net->url(0), {}});
                lines.push_back({"ser2net rfc2217", ser2net->url(1), {}});
            } else {
                std::printf("ser2net did not start; the local line alone:\n%s\n", ser2net->log().c_str());
            }
        } else if (status == 0) {
            std::printf("ser2net is not installed: the local line alone\n\n");
        }
        lines.push_back({"local pty", line, {}});

        for (int n = 1; status == 0 && n <= options.runs; ++n) {
            for (BenchLine& bench_line : lines) {
                connector.close();
                // ser2net lets the line go a moment after the last connection to it closed.
                bool opened = false;
                for (auto give_up = Clock::now() + k_reopen_limit; !opened && Clock::now() < give_up;) {
                    opened = connector.open(QString::fromStdString(bench_line.port), k_baud, error);
                    if (!opened) {
                        std::this_thread::sleep_for(k_exit_poll);
                    }
                }
                if (!opened) {
                    std::printf("%s: %s\n", bench_line.name, qPrintable(error));
                    status = 1;
                    break;
                }
                owner.start_run();
                probe.sync.clear();
                agent.go_online();
                owner.link_online.store(true);
                const Clock::time_point reset = Clock::now();
                sim.type("reset\n");
                if (!owner.wait_connected(k_connect_limit) || !probe.sync.noted()) {
                    std::printf("%s run %d: not connected within %lld s\n%s\n", bench_line.name, n,
                                static_cast<long long>(k_connect_limit.count()), output.text().c_str());
                    status = 1;
                    break;
                }
                const Clock::time_point sync = probe.sync.at();
                bench_line.runs.push_back({seconds_of(sync - reset),
                                           seconds_of(owner.client_sent.at() - sync),
                                           seconds_of(owner.handshake_done.at() - sync),
                                           seconds_of(owner.upload_done.at() - sync)});
                // The worker goes idle at its next pass; the next run starts from there.
                for (auto give_up = Clock::now() + k_settle_limit;
                     agent.link_state() != LinkState::idle && Clock::now() < give_up;) {
                    std::this_thread::sleep_for(k_exit_poll);
                }
                if (n < options.runs || &bench_line != &lines.back()) {
                    agent.go_offline();
                    owner.link_online.store(false);
                }
            }
        }

        const auto median_of = [](const std::vector<Run>& runs, double Run::*field) {
            std::vector<double> values;
            for (const Run& r : runs) {
                values.push_back(r.*field);
            }
            return median(values);
        };
        for (const BenchLine& bench_line : lines) {
            const std::vector<Run>& runs = bench_line.runs;
            if (runs.empty()) {
                continue;
            }
            std::printf("%s (%s)\n", bench_line.name, bench_line.port.c_str());
            std::printf("%-4s %9s %9s %9s | %19s %19s %19s | %11s\n", "run", "connect", "floor", "excess",
                        steps[0].name, steps[1].name, steps[2].name, "reset->sync");
            const auto row = [&](const char* name, const Run& r) {
                std::printf("%-4s %7.3f s %7.3f s %+7.1f %% | %17.3f s %17.3f s %17.3f s | %9.3f s\n", name,
                            r.connected, floor, excess_percent(r.connected, floor), r.client_sent,
                            r.handshake_done - r.client_sent, r.connected - r.handshake_done,
                            r.reset_to_sync);
            };
            for (std::size_t i = 0; i < runs.size(); ++i) {
                row(std::to_string(i + 1).c_str(), runs[i]);
            }
            const Run middle{median_of(runs, &Run::reset_to_sync), median_of(runs, &Run::client_sent),
                             median_of(runs, &Run::handshake_done), median_of(runs, &Run::connected)};
            row("med", middle);
            std::printf("%-4s %9s %7.3f s %9s | %17.3f s %17.3f s %17.3f s |\n", "flr", "", floor, "",
                        steps[0].floor(), steps[1].floor(), steps[2].floor());
            std::printf("\nconnect: %.2f s  floor: %.2f s  excess: %+.1f %%\n\n", middle.connected, floor,
                        excess_percent(middle.connected, floor));
        }
        const std::vector<Run>& local_runs = lines.back().runs;
        if (lines.size() > 1 && !local_runs.empty()) {
            const double local = median_of(local_runs, &Run::connected);
            std::printf(
                "sync byte to connected, median of %d runs, against the local pty (goal: at most %.2f):\n",
                options.runs, k_network_ratio_goal);
            for (const BenchLine& bench_line : lines) {
                if (!bench_line.runs.empty()) {
                    const double connected = median_of(bench_line.runs, &Run::connected);
                    std::printf("  %-16s %7.3f s  ratio %.4f\n", bench_line.name, connected,
                                connected / local);
                }
            }
        }
        std::printf("message boxes answered: %d\n\n", owner.boxes.load());

        if (status == 0) {
            const auto idle_cpu = [&] {
                const double cpu_before = cpu_seconds();
                const Clock::time_point start = Clock::now();
                std::this_thread::sleep_for(std::chrono::seconds(options.idle_seconds));
                return 100 * (cpu_seconds() - cpu_before) / seconds_of(Clock::now() - start);
            };
            const double connected_idle = idle_cpu();
            owner.lamp_running.store(true);
            owner.lamp_request.store(LampKey::none);
            const std::size_t mark = output.mark();
            if (!agent.start_lamp_test() ||
                !output.wait_for(mark, "Press OK when lamp is light!", k_test_limit)) {
                std::printf("the lamp test did not start\n%s\n", output.text().substr(mark).c_str());
                status = 1;
            } else {
                const double waiting = idle_cpu();
                // As the page's Stop does: the flag, then the wake.
                owner.lamp_running.store(false);
                agent.page_changed();
                const bool ended = output.wait_for(mark, "Stop test lamp pos!", k_test_limit);
                for (auto give_up = Clock::now() + k_test_limit;
                     agent.link_thread_running() && Clock::now() < give_up;) {
                    std::this_thread::sleep_for(k_exit_poll);
                }
                std::printf("connected, no test: %.2f %% of a core (%d s)\n", connected_idle,
                            options.idle_seconds);
                std::printf("lamp test waiting: %.2f %% of a core (%d s)%s\n", waiting, options.idle_seconds,
                            ended && !agent.link_thread_running() ? "" : "  (the test did not end)");
            }
        }

        connector.close();
        agent.shutdown();
        registry.unregister_component(&agent);
        registry.unregister_component(&probe);
        registry.unregister_component(&output);
    }
    std::filesystem::remove_all(folder);
    return status;
}
