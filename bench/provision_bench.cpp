// velmora-provision with N boxes at once against one box alone: a production line only pays off
// when the ports do not slow each other down, so the figure to watch is the ratio of the two times
// (the goal is at most 1.1).
//
// Each run starts velmora-stb-sim boxes on pseudo-terminals at 115200 baud, starts the program on
// their lines, resets every box once the program has asked for it, and takes the time from the
// resets to the program's exit; it also gives the longest box time of the program's own log (from
// the sync byte to the panel connected).
//
// Run by hand: bench_provision_bench [--boxes N] [--runs N] [--client-bytes N]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "link/link_values.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* k_baud = "115200";
// Generous: the machine may be busy; nothing waits this long when the programs work.
constexpr std::chrono::seconds k_first_line_limit{10};
constexpr std::chrono::seconds k_run_limit{120};
constexpr std::chrono::milliseconds k_poll{5};

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// A child program; its standard input a pipe (or /dev/null), its standard output a pipe or a file.
class Child {
public:
    Child(std::vector<std::string> args, const fs::path& out_file, const fs::path& err_file, bool pipes) {
        int input[2] = {-1, -1};
        int output[2] = {-1, -1};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (pipes && pipe2(input, O_CLOEXEC) == 0 && pipe2(output, O_CLOEXEC) == 0) {
            posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
            posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_file.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0600);
        }
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_file.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        if (input[0] >= 0) {
            close(input[0]);
            close(output[1]);
            input_ = input[1];
            output_ = output[0];
        }
    }
    ~Child() {
        if (input_ >= 0) {
            close(input_);
        }
        if (output_ >= 0) {
            close(output_);
        }
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    std::string first_line() {
        std::string line;
        char c;
        pollfd wait{output_, POLLIN, 0};
        const auto limit = static_cast<int>(std::chrono::milliseconds(k_first_line_limit).count());
        while (pid_ > 0 && poll(&wait, 1, limit) == 1 && read(output_, &c, 1) == 1 && c != '\n') {
            line += c;
        }
        return line;
    }
    bool type(const std::string& text) {
        return write(input_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }
    // The exit status, or -1 when the child is still running.
    int poll_exit() {
        int status = 0;
        if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
};

struct Timing {
    double wall = 0;     // from the resets to the program's exit
    double longest = 0;  // the longest box of the log
    bool ok = false;
};

Timing run_line(int boxes, const fs::path& folder, const fs::path& image, const fs::path& client) {
    Timing timing;
    const fs::path log = folder / "boxes.jsonl";
    fs::remove(log);
    std::vector<std::unique_ptr<Child>> sims;
    std::vector<std::string> args = {VELMORA_PROVISION, "--image", image.string(), "--client",
                                     client.string(),   "--baud",  k_baud,         "--log",
                                     log.string()};
    for (int i = 0; i < boxes; ++i) {
        sims.push_back(std::make_unique<Child>(std::vector<std::string>{VELMORA_STB_SIM, "--baud", k_baud},
                                               fs::path(), folder / ("sim" + std::to_string(i) + ".log"),
                                               true));
        const std::string line = sims.back()->first_line();
        if (line.empty()) {
            std::fprintf(stderr, "box %d has no line\n", i);
            return timing;
        }
        args.insert(args.end(), {"--port", line});
    }
    const fs::path out = folder / "stdout.txt";
    Child program(args, out, folder / "stderr.txt", false);
    const auto give_up = Clock::now() + k_run_limit;
    while (count_of(slurp(out), std::string(velmora::k_reset_prompt)) < static_cast<std::size_t>(boxes)) {
        if (Clock::now() > give_up) {
            std::fprintf(stderr, "the program never asked for the resets\n%s",
                         slurp(folder / "stderr.txt").c_str());
            return timing;
        }
        std::this_thread::sleep_for(k_poll);
    }
    const Clock::time_point reset = Clock::now();
    for (auto& sim : sims) {
        sim->type("reset\n");
    }
    int status = -1;
    while ((status = program.poll_exit()) < 0 && Clock::now() < give_up) {
        std::this_thread::sleep_for(k_poll);
    }
    timing.wall = std::chrono::duration<double>(Clock::now() - reset).count();
    std::istringstream lines(slurp(log));
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json entry = nlohmann::json::parse(line);
        if (entry.at("type") == "box") {
            timing.longest = std::max(timing.longest, entry.at("seconds").get<double>());
        }
    }
    timing.ok = status == 0;
    if (!timing.ok) {
        std::fprintf(stderr, "the program ended with %d\n%s", status, slurp(out).c_str());
    }
    return timing;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    int boxes = 4;
    int runs = 3;
    std::size_t client_bytes = 64 * 1024;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--boxes" && i + 1 < argc) {
            boxes = std::atoi(argv[++i]);
        } else if (arg == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (arg == "--client-bytes" && i + 1 < argc) {
            client_bytes = std::strtoull(argv[++i], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: %s [--boxes N] [--runs N] [--client-bytes N]\n", argv[0]);
            return 2;
        }
    }
    if (boxes < 1 || runs < 1) {
        return 2;
    }
    std::string folder_template = (fs::temp_directory_path() / "velmora-provision-bench-XXXXXX").string();
    if (mkdtemp(folder_template.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path folder = folder_template;
    const fs::path image = folder / "sample.bin";
    const fs::path client = folder / "velmora.bin";
    const std::string sample =
        std::string(VELMORA_IMAGE_TOOL) + " sample -o " + image.string() + " >/dev/null";
    int status = std::system(sample.c_str()) == 0 ? 0 : 1;
    {
        std::vector<char> bytes(client_bytes);
        std::mt19937 random(11);
        std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(random() & 0xFF); });
        std::ofstream(client, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    std::printf("velmora-provision: client %zu bytes, %s baud, velmora-stb-sim --baud %s\n", client_bytes,
                k_baud, k_baud);
    std::printf("clock: from the resets to the program's exit; box: the longest box of the log\n\n");
    std::printf("%-4s %12s %12s %14s %14s\n", "run", "1 box", "box",
                std::to_string(boxes).append(" boxes").c_str(), "box");
    std::vector<double> alone;
    std::vector<double> together;
    std::vector<double> alone_box;
    std::vector<double> together_box;
    for (int run = 1; status == 0 && run <= runs; ++run) {
        const Timing one = run_line(1, folder, image, client);
        const Timing many = run_line(boxes, folder, image, client);
        if (!one.ok || !many.ok) {
            status = 1;
            break;
        }
        alone.push_back(one.wall);
        together.push_back(many.wall);
        alone_box.push_back(one.longest);
        together_box.push_back(many.longest);
        std::printf("%-4d %10.3f s %10.3f s %12.3f s %12.3f s\n", run, one.wall, one.longest, many.wall,
                    many.longest);
    }
    if (status == 0) {
        const double ratio = median(together) / median(alone);
        std::printf("%-4s %10.3f s %10.3f s %12.3f s %12.3f s\n\n", "med", median(alone), median(alone_box),
                    median(together), median(together_box));
        std::printf("%d boxes at once: %.3f s, one box alone: %.3f s, ratio %.3f (goal: at most 1.1)%s\n",
                    boxes, median(together), median(alone), ratio, ratio <= 1.1 ? "" : "  ABOVE THE GOAL");
        std::printf("box times from the log: ratio %.3f\n", median(together_box) / median(alone_box));
    }
    fs::remove_all(folder);
    return status;
}
