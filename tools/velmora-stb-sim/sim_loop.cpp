#include "tools/velmora-stb-sim/sim_loop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <iostream>
#include <vector>

#include "tools/velmora-stb-sim/sim_console.h"

namespace velmora::stb_sim {

namespace {

using Clock = SimBox::Clock;

// The write end of the pipe a stop signal writes to, so poll() wakes for it.
std::atomic<int> g_stop_pipe_write{-1};
int g_stop_pipe_read = -1;

void on_stop_signal(int) {
    const int saved = errno;
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = ::write(g_stop_pipe_write.load(), &byte, 1);
    errno = saved;
}

// Poll's timeout for a deadline: at least 0, rounded up so the deadline has passed on waking.
int timeout_until(std::optional<Clock::time_point> deadline) {
    if (!deadline) {
        return -1;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
}

}  // namespace

bool SimLoop::install_stop_signals() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    g_stop_pipe_read = fds[0];
    g_stop_pipe_write.store(fds[1]);
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

int SimLoop::run(std::optional<std::chrono::milliseconds> reset_after) {
    std::optional<Clock::time_point> reset_at;
    if (reset_after) {
        reset_at = Clock::now() + *reset_after;
    }
    bool input_open = true;
    while (true) {
        std::optional<Clock::time_point> deadline = box_.next_deadline();
        for (const std::optional<Clock::time_point>& other : {reset_at, input_.next_arrival()}) {
            if (other && (!deadline || *other < *deadline)) {
                deadline = other;
            }
        }
        pollfd waits[3] = {
            {line_.fd(), POLLIN, 0}, {input_open ? input_fd_ : -1, POLLIN, 0}, {g_stop_pipe_read, POLLIN, 0}};
        if (::poll(waits, 3, timeout_until(deadline)) < 0 && errno != EINTR) {
            std::cerr << "sim: poll failed\n";
            return 1;
        }
        if ((waits[2].revents & POLLIN) != 0) {
            std::cerr << "sim: stopped by a signal\n";
            return 0;
        }
        const Clock::time_point now = Clock::now();
        if (reset_at && now >= *reset_at) {
            reset_at.reset();
            box_.reset(now);
        }
        if ((waits[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            std::vector<std::uint8_t> bytes;
            const bool alive = line_.read_available(bytes);
            input_.add(bytes, now);
            if (!alive) {
                box_.receive(input_.take_all(), now);
                flush_output();
                std::cerr << "sim: the line failed\n";
                return 1;
            }
        }
        box_.receive(input_.take(now), now);
        if ((waits[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            if (read_input() == Input::end) {
                flush_output();
                return 0;
            }
        }
        box_.tick(Clock::now());
        if (!flush_output()) {
            std::cerr << "sim: the line takes no more bytes; they are dropped\n";
        }
    }
}

SimLoop::Input SimLoop::read_input() {
    char buffer[1024];
    const ssize_t got = ::read(input_fd_, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
        return Input::more;
    }
    if (got <= 0) {
        std::cerr << "sim: end of input\n";
        return Input::end;
    }
    pending_input_.append(buffer, static_cast<std::size_t>(got));
    std::size_t end;
    while ((end = pending_input_.find('\n')) != std::string::npos) {
        const std::string line = pending_input_.substr(0, end);
        pending_input_.erase(0, end + 1);
        if (on_input_line(line) == Input::end) {
            return Input::end;
        }
        // What a command makes the box send goes out before the next command acts.
        flush_output();
    }
    return Input::more;
}

SimLoop::Input SimLoop::on_input_line(const std::string& line) {
    const ConsoleCommand command = ConsoleCommand::parse(line);
    switch (command.kind) {
        case ConsoleCommand::Kind::none:
            break;
        case ConsoleCommand::Kind::reset:
            box_.reset(Clock::now());
            break;
        case ConsoleCommand::Kind::key:
            box_.send_key(command.user_code, command.key);
            break;
        case ConsoleCommand::Kind::quit:
            std::cerr << "sim: quit\n";
            return Input::end;
        case ConsoleCommand::Kind::unknown:
            std::cerr << "sim: " << command.error << "\n";
            break;
    }
    return Input::more;
}

bool SimLoop::flush_output() {
    const std::vector<std::uint8_t> bytes = box_.take_output();
    return bytes.empty() || line_.write(bytes);
}

}  // namespace velmora::stb_sim
