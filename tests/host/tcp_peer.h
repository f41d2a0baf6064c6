// A server on 127.0.0.1 for the connector's network tests, standing in for ser2net or a serial device
// server: it accepts one connection, sends its greeting at once (a Telnet server's offers and
// answers, say), and keeps every byte it receives; the test sends and hangs up from its own thread.
// Also the two ports a connect fails on: one where nothing listens, and one that never answers.
//
// What a test may rely on: every wait ends after test::k_wait at the latest; the destructor ends the
// server's thread and closes every socket.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "recording_component.h"

namespace velmora::test {

// A listening socket on 127.0.0.1 at a port the system chose; -1 when none could be made.
inline int listen_on_loopback(int backlog, std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(fd, backlog) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

// A port on 127.0.0.1 where nothing listens: a connection to it is refused.
inline std::uint16_t closed_port() {
    std::uint16_t port = 0;
    const int fd = listen_on_loopback(1, port);
    ::close(fd);
    return port;
}

// A port that takes no more connections and drops their requests unanswered, as a host that is
// gone does: its queue of one is filled by a connection of its own, which is never accepted.
class SilentPort {
public:
    SilentPort() {
        listener_ = listen_on_loopback(0, port_);
        filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port_);
        ok_ = listener_ >= 0 && filler_ >= 0 &&
              ::connect(filler_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~SilentPort() {
        for (int fd : {filler_, listener_}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;

    bool ok() const { return ok_; }
    std::uint16_t port() const { return port_; }

private:
    int listener_ = -1;
    int filler_ = -1;
    std::uint16_t port_ = 0;
    bool ok_ = false;
};

class TcpPeer {
public:
    // With `hang_up_after_greeting`, it turns the client away as a busy server does.
    explicit TcpPeer(std::vector<std::uint8_t> greeting = {}, bool hang_up_after_greeting = false)
        : greeting_(std::move(greeting)), hang_up_after_greeting_(hang_up_after_greeting) {
        listener_ = listen_on_loopback(1, port_);
        thread_ = std::thread([this] { run(); });
    }
    ~TcpPeer() {
        stop_.store(true);
        thread_.join();
        if (listener_ >= 0) {
            ::close(listener_);
        }
    }
    TcpPeer(const TcpPeer&) = delete;
    TcpPeer& operator=(const TcpPeer&) = delete;

    bool ok() const { return listener_ >= 0; }
    std::uint16_t port() const { return port_; }
    std::string url(const std::string& scheme) const {
        return scheme + "://127.0.0.1:" + std::to_string(port_);
    }

    // Waits until `done` holds for the bytes received so far; false when k_wait passes first.
    bool wait_received(const std::function<bool(const std::string&)>& done) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, k_wait, [&] { return done(received_); });
    }
    std::string received() {
        std::lock_guard lock(mutex_);
        return received_;
    }

    // Sends once the connection is there; false when none came.
    bool send(const std::string& bytes) {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, k_wait, [this] { return connection_ >= 0; })) {
            return false;
        }
        return ::send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }

    // Ends the connection as a server that stops does; the server's thread closes it.
    void hang_up() {
        std::lock_guard lock(mutex_);
        if (connection_ >= 0) {
            ::shutdown(connection_, SHUT_RDWR);
        }
    }

private:
    static constexpr std::chrono::milliseconds k_poll_slice{20};

    void run() {
        int connection = -1;
        while (!stop_.load()) {
            pollfd wait{connection >= 0 ? connection : listener_, POLLIN, 0};
            if (wait.fd < 0 || ::poll(&wait, 1, static_cast<int>(k_poll_slice.count())) <= 0) {
                continue;
            }
            if (connection < 0) {
                connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
                if (connection >= 0 && !greeting_.empty()) {
                    ::send(connection, greeting_.data(), greeting_.size(), MSG_NOSIGNAL);
                }
                if (connection >= 0 && hang_up_after_greeting_) {
                    ::shutdown(connection, SHUT_RDWR);
                }
                std::lock_guard lock(mutex_);
                connection_ = connection;
                changed_.notify_all();
                continue;
            }
            char buffer[4096];
            const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
            std::lock_guard lock(mutex_);
            if (got <= 0) {
                // Hung up, by either side: the server takes no second connection.
                ::close(connection);
                connection_ = -1;
                break;
            }
            received_.append(buffer, static_cast<std::size_t>(got));
            changed_.notify_all();
        }
        std::lock_guard lock(mutex_);
        if (connection_ >= 0) {
            ::close(connection_);
            connection_ = -1;
        }
    }

    std::vector<std::uint8_t> greeting_;
    bool hang_up_after_greeting_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string received_;
    int connection_ = -1;
};

}  // namespace velmora::test
