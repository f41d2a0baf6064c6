// Runs the real velmora-stb-sim as a child: its standard input a pipe, its first output line read for
// the pseudo-terminal's path, that path opened raw as the host would, its log kept in a file.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/stb_sim/wire.h"

extern char** environ;

namespace velmora::stb_sim::test {

// Generous: the machine may be busy; nothing waits this long when the program works.
inline constexpr std::chrono::seconds k_reply_limit{15};
inline constexpr std::chrono::seconds k_exit_limit{15};
inline constexpr std::chrono::milliseconds k_exit_poll{20};

class SimProcess {
public:
    SimProcess(std::vector<std::string> args, const std::filesystem::path& log) {
        int input[2];
        int output[2];
        if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "no pipes";
            return;
        }
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        ::posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                           0600);
        args.insert(args.begin(), VELMORA_STB_SIM);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        EXPECT_EQ(::posix_spawn(&pid_, VELMORA_STB_SIM, &actions, nullptr, argv.data(), environ), 0);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        ::close(output[1]);
        input_ = input[1];
        output_ = output[0];
    }

    ~SimProcess() {
        close_line();
        close_input();
        if (output_ >= 0) {
            ::close(output_);
        }
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    // The first line of standard output, without its end; empty when none came in time.
    std::string first_line() {
        std::string line;
        char c;
        while (wait_readable(output_) && ::read(output_, &c, 1) == 1) {
            if (c == '\n') {
                return line;
            }
            line += c;
        }
        return {};
    }

    bool open_line(const std::string& path) {
        line_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios mode{};
        if (line_ < 0 || ::tcgetattr(line_, &mode) != 0) {
            return false;
        }
        ::cfmakeraw(&mode);
        return ::tcsetattr(line_, TCSANOW, &mode) == 0;
    }
    void close_line() {
        if (line_ >= 0) {
            ::close(line_);
            line_ = -1;
        }
    }

    void type(const std::string& text) {
        ASSERT_EQ(::write(input_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void close_input() {
        if (input_ >= 0) {
            ::close(input_);
            input_ = -1;
        }
    }

    void send(const Bytes& bytes) {
        ASSERT_EQ(::write(line_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Exactly `count` bytes, or fewer when the reply limit passes first.
    Bytes receive(std::size_t count) {
        Bytes bytes;
        std::uint8_t buffer[512];
        while (bytes.size() < count && wait_readable(line_)) {
            const ssize_t got = ::read(line_, buffer, std::min(sizeof buffer, count - bytes.size()));
            if (got <= 0) {
                break;
            }
            bytes.insert(bytes.end(), buffer, buffer + got);
        }
        return bytes;
    }

    void signal(int number) { ::kill(pid_, number); }

    // The exit status, or -1 (and the child killed) when it does not end within the limit.
    int wait_exit() {
        const auto give_up = std::chrono::steady_clock::now() + k_exit_limit;
        while (std::chrono::steady_clock::now() < give_up) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(k_exit_poll);
        }
        return -1;
    }

private:
    static bool wait_readable(int fd) {
        pollfd wait{fd, POLLIN, 0};
        return ::poll(&wait, 1, static_cast<int>(std::chrono::milliseconds(k_reply_limit).count())) == 1;
    }

    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    int line_ = -1;
};

}  // namespace velmora::stb_sim::test
