// The real ser2net between simulated boxes' lines and the host, as a bench puts a serial device
// server between them: a YAML configuration written for the lines asked for, each on a free port
// of 127.0.0.1, raw or Telnet with the COM-PORT option, and ser2net run in the foreground on it.
//
// What a test may rely on: the constructor returns once ser2net listens on every port (ok() says
// whether it does); stop() ends it as a server that is shut down does, and a new Ser2netProcess on
// the same ports serves them again; the destructor stops it. ser2net's own log is kept beside the
// configuration. program() is empty when ser2net is not installed.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace velmora::test {

class Ser2netProcess {
public:
    enum class Mode { raw, rfc2217 };
    struct Line {
        std::string device;
        Mode mode;
        std::uint16_t port = 0;  // 0: a free one
    };

    // Generous: the machine may be busy; ser2net starts and stops in milliseconds.
    static constexpr std::chrono::seconds k_start_limit{15};
    static constexpr std::chrono::seconds k_stop_limit{10};
    static constexpr std::chrono::milliseconds k_poll{20};

    static std::string program() {
        std::string folders = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
        folders += ":/usr/sbin:/sbin:/usr/local/sbin";
        std::istringstream in(folders);
        for (std::string folder; std::getline(in, folder, ':');) {
            const std::filesystem::path candidate = std::filesystem::path(folder) / "ser2net";
            if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) {
                return candidate.string();
            }
        }
        return {};
    }

    // A port of 127.0.0.1 that was free a moment ago.
    static std::uint16_t free_port() {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        std::uint16_t port = 0;
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            port = ntohs(address.sin_port);
        }
        if (fd >= 0) {
            ::close(fd);
        }
        return port;
    }

    Ser2netProcess(const std::filesystem::path& folder, std::vector<Line> lines) : lines_(std::move(lines)) {
        const std::string program_path = program();
        if (program_path.empty()) {
            return;
        }
        static int runs = 0;
        const std::string name = "ser2net-" + std::to_string(++runs);
        const std::filesystem::path config = folder / (name + ".yaml");
        log_ = folder / (name + ".log");
        {
            std::ofstream out(config);
            for (std::size_t i = 0; i < lines_.size(); ++i) {
                Line& line = lines_[i];
                if (line.port == 0) {
                    line.port = free_port();
                }
                out << "connection: &line" << i << "\n"
                    << "  accepter: " << (line.mode == Mode::rfc2217 ? "telnet(rfc2217)," : "")
                    << "tcp,127.0.0.1," << line.port << "\n"
                    << "  connector: serialdev," << line.device << ",115200n81,local\n";
            }
        }
        std::vector<std::string> args{program_path, "-n", "-d", "-u", "-c", config.string()};
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log_.c_str(),
                                           O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        if (::posix_spawn(&pid_, program_path.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        ::posix_spawn_file_actions_destroy(&actions);
        ok_ = pid_ > 0 && wait_listening();
    }
    ~Ser2netProcess() { stop(); }
    Ser2netProcess(const Ser2netProcess&) = delete;
    Ser2netProcess& operator=(const Ser2netProcess&) = delete;

    bool ok() const { return ok_; }
    const std::vector<Line>& lines() const { return lines_; }
    std::string url(std::size_t line) const {
        return std::string(lines_[line].mode == Mode::rfc2217 ? "rfc2217" : "tcp") +
               "://127.0.0.1:" + std::to_string(lines_[line].port);
    }
    std::string log() const {
        std::ifstream in(log_);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // As a server that is shut down: its connections and listeners close.
    void stop() {
        if (pid_ <= 0) {
            return;
        }
        ::kill(pid_, SIGTERM);
        const auto give_up = std::chrono::steady_clock::now() + k_stop_limit;
        while (::waitpid(pid_, nullptr, WNOHANG) != pid_) {
            if (std::chrono::steady_clock::now() > give_up) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(k_poll);
        }
        pid_ = -1;
    }

private:
    // Whether 127.0.0.1:port is in the kernel's table of listening TCP sockets.
    static bool listens(std::uint16_t port) {
        char local[32];
        std::snprintf(local, sizeof local, "0100007F:%04X", static_cast<unsigned>(port));
        std::ifstream table("/proc/net/tcp");
        std::string entry;
        std::getline(table, entry);  // the heading
        while (std::getline(table, entry)) {
            std::istringstream fields(entry);
            std::string slot;
            std::string address;
            std::string remote;
            std::string state;
            fields >> slot >> address >> remote >> state;
            if (address == local && state == "0A") {
                return true;
            }
        }
        return false;
    }

    bool wait_listening() {
        const auto give_up = std::chrono::steady_clock::now() + k_start_limit;
        while (std::chrono::steady_clock::now() < give_up) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            bool all = true;
            for (const Line& line : lines_) {
                all = all && listens(line.port);
            }
            if (all) {
                return true;
            }
            std::this_thread::sleep_for(k_poll);
        }
        return false;
    }

    std::vector<Line> lines_;
    std::filesystem::path log_;
    pid_t pid_ = -1;
    bool ok_ = false;
};

}  // namespace velmora::test
