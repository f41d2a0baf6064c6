#include "tools/velmora-stb-sim/sim_line.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace velmora::stb_sim {

namespace {

using Clock = std::chrono::steady_clock;

// Bytes written at once while pacing: about a millisecond's worth, so sleeps stay coarse enough to be
// kept and fine enough that a reader sees a steady stream.
std::size_t pacing_chunk(int baud) {
    return std::max<std::size_t>(1, static_cast<std::size_t>(baud) / 10 / 1000);
}

std::string system_error(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool make_raw(int fd, int baud, std::string& error) {
    termios mode{};
    if (::tcgetattr(fd, &mode) != 0) {
        error = system_error("cannot read the line's settings");
        return false;
    }
    ::cfmakeraw(&mode);
    mode.c_cflag |= CLOCAL | CREAD;
    if (baud != 0 && ::cfsetspeed(&mode, static_cast<speed_t>(baud)) != 0) {
        error = "the line does not take " + std::to_string(baud) + " baud";
        return false;
    }
    if (::tcsetattr(fd, TCSANOW, &mode) != 0) {
        error = system_error("cannot set the line raw");
        return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<SimLine> SimLine::open_pseudo_terminal(int baud, std::string& error) {
    platform::UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master || ::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0) {
        error = system_error("cannot make a pseudo-terminal");
        return nullptr;
    }
    const char* name = ::ptsname(master.get());
    if (name == nullptr) {
        error = system_error("cannot name the pseudo-terminal");
        return nullptr;
    }
    // Raw before anyone opens the other end: an echo would send the host's bytes straight back.
    if (!make_raw(master.get(), 0, error) ||
        ::fcntl(master.get(), F_SETFL, ::fcntl(master.get(), F_GETFL) | O_NONBLOCK) != 0) {
        if (error.empty()) {
            error = system_error("cannot make the pseudo-terminal non-blocking");
        }
        return nullptr;
    }
    std::string path = name;
    platform::UniqueFd slave(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave || !make_raw(slave.get(), 0, error)) {
        if (error.empty()) {
            error = system_error("cannot open " + path);
        }
        return nullptr;
    }
    std::unique_ptr<SimLine> line(new SimLine(std::move(master), baud));
    line->slave_ = std::move(slave);
    line->slave_path_ = std::move(path);
    return line;
}

std::unique_ptr<SimLine> SimLine::open_device(const std::string& path, int baud, std::string& error) {
    platform::UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        error = system_error("cannot open " + path);
        return nullptr;
    }
    if (!make_raw(fd.get(), baud, error)) {
        error = path + ": " + error;
        return nullptr;
    }
    return std::unique_ptr<SimLine>(new SimLine(std::move(fd), baud));
}

bool SimLine::read_available(std::vector<std::uint8_t>& into) {
    std::uint8_t buffer[4096];
    while (true) {
        const ssize_t got = ::read(fd_.get(), buffer, sizeof buffer);
        if (got > 0) {
            into.insert(into.end(), buffer, buffer + got);
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

bool SimLine::write(std::span<const std::uint8_t> bytes) {
    if (baud_ == 0) {
        return write_now(bytes);
    }
    const std::size_t chunk = pacing_chunk(baud_);
    const auto byte_time = std::chrono::duration<double>(10.0 / baud_);
    Clock::time_point next = Clock::now();
    while (!bytes.empty()) {
        const std::size_t count = std::min(chunk, bytes.size());
        if (!write_now(bytes.first(count))) {
            return false;
        }
        bytes = bytes.subspan(count);
        next += std::chrono::duration_cast<Clock::duration>(byte_time * static_cast<double>(count));
        std::this_thread::sleep_until(next);
    }
    return true;
}

bool SimLine::write_now(std::span<const std::uint8_t> bytes) {
    const Clock::time_point give_up = Clock::now() + k_write_stall;
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd_.get(), bytes.data(), bytes.size());
        if (put > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(put));
            continue;
        }
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return false;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(give_up - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd wait{fd_.get(), POLLOUT, 0};
        ::poll(&wait, 1, static_cast<int>(left.count()));
    }
    return true;
}

}  // namespace velmora::stb_sim
