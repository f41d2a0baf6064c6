#include "script/process_runner.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace velmora {

std::atomic<std::int32_t> ProcessRunner::runner_active{0};

ProcessRunner::ProcessRunner(ProcessNotifier* notify_window) : notify_window(notify_window) {
    runner_active = 0;
}

ProcessRunner::~ProcessRunner() {
    Stop();
}

bool ProcessRunner::Start(const std::string& command_line, bool /*show*/) {
    // Release the previous run's child, pipes and threads before anything is reused.
    Stop();

    process = std::make_unique<platform::ChildProcess>();
    if (!stop_event.open() || !process->start(command_line)) {
        OnOutput("Unable to start " + command_line + "\n");
        process.reset();
        stop_event.close();
        return false;
    }

    runner_active = 1;
    child_ended_.reset();
    output_drained_.reset();
    error_drained_.reset();
    // Reported before the threads exist, so no output and no end of this run can come before it,
    // however quickly the child ends; what the child writes meanwhile waits in its pipes.
    OnStarted(command_line);

    stdout_reader = std::thread(&ProcessRunner::read_stream, this, process->output_fd(), Stream::output);
    stderr_reader = std::thread(&ProcessRunner::read_stream, this, process->error_fd(), Stream::error);
    waiter = std::thread(&ProcessRunner::watch_child, this);
    return true;
}

bool ProcessRunner::IsRunning() {
    return process != nullptr && !process->has_exited();
}

bool ProcessRunner::wait_for_exit(std::chrono::milliseconds timeout) {
    if (!IsRunning()) {
        return true;
    }
    // The waiter sets child_ended_ at once; the final check also covers a waiter that ended early
    // because another runner cleared runner_active.
    child_ended_.wait_for(timeout);
    return !IsRunning();
}

void ProcessRunner::Stop() {
    runner_active = 0;
    stop_event.signal();
    for (std::thread* thread : {&waiter, &stdout_reader, &stderr_reader}) {
        if (thread->joinable()) {
            thread->join();
        }
    }
    if (process != nullptr) {
        process->kill_and_reap();
        process.reset();
    }
    stop_event.close();
}

void ProcessRunner::OnStarted(const std::string& command) {
    if (notify_window != nullptr) {
        // The receiver gets the text with its terminating zero byte.
        notify_window->notify(k_runner_started_code, std::string_view(command.c_str(), command.size() + 1));
    }
}

void ProcessRunner::OnOutput(const std::string& /*text*/) {}

void ProcessRunner::OnError(const std::string& /*text*/) {}

void ProcessRunner::OnExited() {
    if (notify_window != nullptr) {
        notify_window->notify(k_runner_exited_code, {});
    }
}

void ProcessRunner::read_stream(int fd, Stream stream) {
    std::array<pollfd, 2> watched{pollfd{fd, POLLIN, 0}, pollfd{stop_event.read_fd(), POLLIN, 0}};
    std::array<char, k_read_chunk> buffer{};
    for (;;) {
        if (::poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (watched[1].revents != 0) {
            break;
        }
        if (watched[0].revents == 0) {
            continue;
        }
        const ssize_t count = ::read(fd, buffer.data(), buffer.size());
        if (count == 0) {
            break;
        }
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            break;
        }
        const std::string text(buffer.data(), static_cast<std::size_t>(count));
        if (stream == Stream::output) {
            OnOutput(text);
        } else {
            OnError(text);
        }
    }
    (stream == Stream::output ? output_drained_ : error_drained_).set();
}

void ProcessRunner::watch_child() {
    pollfd stop{stop_event.read_fd(), POLLIN, 0};
    while (runner_active == 1) {
        if (process->has_exited()) {
            child_ended_.set();
            // Let the readers pass on what the child wrote just before it ended; Stop wakes them too.
            const auto deadline = std::chrono::steady_clock::now() + k_output_drain_limit;
            const auto remaining = [deadline] {
                return std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::max(deadline - std::chrono::steady_clock::now(),
                             std::chrono::steady_clock::duration::zero()));
            };
            output_drained_.wait_for(remaining());
            error_drained_.wait_for(remaining());
            runner_active = 0;
            break;
        }
        ::poll(&stop, 1, static_cast<int>(k_waiter_poll.count()));
    }
    OnExited();
}

}  // namespace velmora
