// Runs the real velmora-provision against real velmora-stb-sim boxes on pseudo-terminals, in a
// private folder with a sample image and a client file, and works out what each box must have
// recorded: the block of `velmora-image generate` of the same inputs, with the box's LED font
// written over it as the upload does.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "config/config_block.h"
#include "config/crc32.h"
#include "link/led_font.h"
#include "tests/stb_sim/sim_process.h"
#include "tests/support/temp_directory.h"

extern char** environ;

namespace velmora::provision::test {

namespace fs = std::filesystem;
using stb_sim::test::SimProcess;

// Generous: the machine may be busy; nothing waits this long when the programs work.
inline constexpr std::chrono::seconds k_run_limit{60};
inline constexpr std::chrono::milliseconds k_watch_poll{20};

// What a box sends before it goes silent under "silent-after", so the upload waits for its
// acknowledgement: the sync byte, the handshake's receipt, result and echo, and the announcement's
// receipt and result.
inline constexpr int k_bytes_before_block_ack = 1 + 3 + 3 + 15 + 3 + 3;

inline std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<std::uint8_t> bytes_of(const fs::path& path) {
    const std::string text = slurp(path);
    return {text.begin(), text.end()};
}

// Adds the file actions that set up the child's standard streams.
using StreamSetup = std::function<void(posix_spawn_file_actions_t* actions)>;

// Standard input from /dev/null, output and errors into the files named.
inline StreamSetup stream_files(const fs::path& out, const fs::path& err) {
    return [out, err](posix_spawn_file_actions_t* actions) {
        ::posix_spawn_file_actions_addopen(actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_addopen(actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                           0600);
        ::posix_spawn_file_actions_addopen(actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                           0600);
    };
}

// velmora-provision as a child, by default its output in files.
class ProvisionProcess {
public:
    ProvisionProcess(std::vector<std::string> args, const fs::path& out, const fs::path& err)
        : ProvisionProcess(std::move(args), out, stream_files(out, err)) {}
    // The streams as `streams` sets them up; `out` is the file that watch() reads. A `launcher`
    // (prlimit with its options, say) runs the program with the arguments after it.
    ProvisionProcess(std::vector<std::string> args, const fs::path& out, const StreamSetup& streams,
                     std::vector<std::string> launcher = {})
        : out_(out) {
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        streams(&actions);
        args.insert(args.begin(), VELMORA_PROVISION);
        args.insert(args.begin(), launcher.begin(), launcher.end());
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        EXPECT_EQ(::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        ::posix_spawn_file_actions_destroy(&actions);
    }
    ~ProvisionProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    ProvisionProcess(const ProvisionProcess&) = delete;
    ProvisionProcess& operator=(const ProvisionProcess&) = delete;

    void signal(int number) { ::kill(pid_, number); }

    // True once `seen` holds for the standard output so far; false when the limit passes first.
    bool watch(const std::function<bool(const std::string&)>& seen) const {
        const auto give_up = std::chrono::steady_clock::now() + k_run_limit;
        while (std::chrono::steady_clock::now() < give_up) {
            if (seen(slurp(out_))) {
                return true;
            }
            std::this_thread::sleep_for(k_watch_poll);
        }
        return false;
    }

    // The exit status, or -1 (and the child killed) when it does not end within the limit.
    int wait_exit() {
        const auto give_up = std::chrono::steady_clock::now() + k_run_limit;
        while (std::chrono::steady_clock::now() < give_up) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(k_watch_poll);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    fs::path out_;
};

inline std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class ProvisionTest : public ::testing::Test {
protected:
    void SetUp() override {
        sample_ = (dir_ / "sample.bin").string();
        ASSERT_EQ(image_tool("sample -o " + sample_), 0);
        client_ = (dir_ / "client.bin").string();
        std::vector<char> client(3000);
        std::mt19937 random(7);
        for (char& c : client) {
            c = static_cast<char>(random() & 0xFF);
        }
        std::ofstream(client_, std::ios::binary)
            .write(client.data(), static_cast<std::streamsize>(client.size()));
        log_ = (dir_ / "boxes.jsonl").string();
    }
    void TearDown() override { sims_.clear(); }

    int image_tool(const std::string& args) const {
        const std::string command = VELMORA_IMAGE_TOOL " " + args + " >/dev/null 2>&1";
        const int raw = std::system(command.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    // A box on a pseudo-terminal recording into box<N>/; returns the line's path.
    std::string add_box(std::vector<std::string> options) {
        const fs::path record = dir_ / ("box" + std::to_string(sims_.size()));
        fs::create_directories(record);
        options.insert(options.end(), {"--record", record.string()});
        sims_.push_back(
            std::make_unique<SimProcess>(options, dir_ / ("sim" + std::to_string(sims_.size()) + ".log")));
        records_.push_back(record);
        return sims_.back()->first_line();
    }

    // The block a box must record: generate's image's block with the LED font written over it.
    std::vector<std::uint8_t> expected_block(const std::string& generate_options) {
        const std::string generated = (dir_ / "generated.bin").string();
        EXPECT_EQ(image_tool("generate " + sample_ + " -o " + generated + " " + generate_options), 0);
        const std::string dump = (dir_ / "dump.json").string();
        EXPECT_EQ(std::system((VELMORA_IMAGE_TOOL " dump --json " + generated + " >" + dump).c_str()), 0);
        const std::string hex = nlohmann::json::parse(slurp(dump)).at("block").get<std::string>();
        std::vector<std::uint8_t> block;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            block.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        }
        EXPECT_EQ(block.size(), k_config_block_size);
        block.resize(k_config_block_size);
        for (std::size_t i = 0; i < led_font.size(); ++i) {
            block[k_led_map.offset + 2 * i] = led_font[i].character;
            block[k_led_map.offset + 2 * i + 1] = led_font[i].segments;
        }
        block[k_led_font_count_offset] = static_cast<std::uint8_t>(led_font.size());
        block[k_led_font_count_offset + 1] = static_cast<std::uint8_t>(led_font.size() >> 8);
        return block;
    }

    std::unique_ptr<ProvisionProcess> provision(std::vector<std::string> args) {
        return std::make_unique<ProvisionProcess>(with_inputs(std::move(args)), dir_ / "stdout.txt",
                                                  dir_ / "stderr.txt");
    }
    // The run's image, client and log after `args`.
    std::vector<std::string> with_inputs(std::vector<std::string> args) const {
        args.insert(args.end(), {"--image", sample_, "--client", client_, "--log", log_});
        return args;
    }
    fs::path out_path() const { return dir_ / "stdout.txt"; }
    fs::path err_path() const { return dir_ / "stderr.txt"; }

    std::vector<nlohmann::json> log_lines() const {
        std::vector<nlohmann::json> lines;
        std::istringstream in(slurp(log_));
        for (std::string line; std::getline(in, line);) {
            lines.push_back(nlohmann::json::parse(line));
        }
        return lines;
    }
    std::string out() const { return slurp(out_path()); }
    std::string err() const { return slurp(err_path()); }

    static std::string crc_text(const std::vector<std::uint8_t>& bytes) {
        char text[16];
        std::snprintf(text, sizeof text, "%08x", crc32_update(k_crc32_initial, bytes) ^ k_crc32_initial);
        return text;
    }

    velmora::testing::TempDirectory temp_dir;
    fs::path dir_ = temp_dir.path();
    std::string sample_;
    std::string client_;
    std::string log_;
    std::vector<std::unique_ptr<SimProcess>> sims_;
    std::vector<fs::path> records_;
};

}  // namespace velmora::provision::test
