// A pseudo-terminal for the host's tests: the connector opens the slave by its path, the test plays
// the box on the master.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <string>

namespace velmora::test {

class PseudoTerminal {
public:
    PseudoTerminal() {
        if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
            throw std::runtime_error("openpty failed");
        }
        // Raw both ways, so bytes cross unaltered whatever the connector sets.
        termios mode{};
        ::tcgetattr(slave_, &mode);
        ::cfmakeraw(&mode);
        ::tcsetattr(slave_, TCSANOW, &mode);
        slave_path_ = ::ptsname(master_);
    }
    ~PseudoTerminal() {
        close_master();
        if (slave_ >= 0) {
            ::close(slave_);
        }
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& slave_path() const { return slave_path_; }
    // The slave as the test holds it open, to look at its input queue (FIONREAD).
    int slave_fd() const { return slave_; }

    void write_master(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno != EINTR) {
                throw std::runtime_error("write to the master failed");
            }
            done += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
    }

    // Reads until `count` bytes came or `limit` passed without any.
    std::string read_master(std::size_t count, std::chrono::milliseconds limit) {
        std::string bytes;
        char buffer[4096];
        while (bytes.size() < count) {
            pollfd ready{master_, POLLIN, 0};
            if (::poll(&ready, 1, static_cast<int>(limit.count())) <= 0) {
                break;
            }
            const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - bytes.size()));
            if (n <= 0) {
                break;
            }
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }

    void close_master() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slave_path_;
};

}  // namespace velmora::test
