// Test support: a ProcessRunner that records every hook call, for the runner's own tests and for
// the code that drives a runner.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/manual_reset_event.h"
#include "script/process_runner.h"

namespace velmora::testing {

// Records every hook call; what the tests look at is copied out under the lock.
class RecordingRunner : public ProcessRunner {
public:
    using ProcessRunner::ProcessRunner;
    ~RecordingRunner() override { Stop(); }

    std::string output() {
        std::lock_guard lock(mutex_);
        return output_;
    }
    std::string error() {
        std::lock_guard lock(mutex_);
        return error_;
    }
    std::vector<std::string> started() {
        std::lock_guard lock(mutex_);
        return started_;
    }
    int exited_count() {
        std::lock_guard lock(mutex_);
        return exited_count_;
    }
    std::size_t largest_chunk() {
        std::lock_guard lock(mutex_);
        return largest_chunk_;
    }
    // Output and error as they were when OnExited ran.
    std::pair<std::size_t, std::size_t> sizes_at_exit() {
        std::lock_guard lock(mutex_);
        return sizes_at_exit_;
    }
    // The hooks in the order they ran: "started", "output", "error", "exited".
    std::vector<std::string> hooks() {
        std::lock_guard lock(mutex_);
        return hooks_;
    }
    platform::ManualResetEvent exited;
    // A slow consumer of the output; set before Start.
    std::chrono::milliseconds output_delay{0};
    // A slow receiver of the start, which gives the run's other threads time to report; set before Start.
    std::chrono::milliseconds started_delay{0};

protected:
    void OnStarted(const std::string& command) override {
        if (started_delay.count() > 0) {
            std::this_thread::sleep_for(started_delay);
        }
        {
            std::lock_guard lock(mutex_);
            started_.push_back(command);
            hooks_.emplace_back("started");
        }
        ProcessRunner::OnStarted(command);
    }
    void OnOutput(const std::string& text) override {
        if (output_delay.count() > 0) {
            std::this_thread::sleep_for(output_delay);
        }
        std::lock_guard lock(mutex_);
        output_ += text;
        hooks_.emplace_back("output");
        largest_chunk_ = std::max(largest_chunk_, text.size());
    }
    void OnError(const std::string& text) override {
        std::lock_guard lock(mutex_);
        error_ += text;
        hooks_.emplace_back("error");
        largest_chunk_ = std::max(largest_chunk_, text.size());
    }
    void OnExited() override {
        {
            std::lock_guard lock(mutex_);
            ++exited_count_;
            hooks_.emplace_back("exited");
            sizes_at_exit_ = {output_.size(), error_.size()};
        }
        ProcessRunner::OnExited();
        exited.set();
    }

private:
    std::mutex mutex_;
    std::string output_;
    std::string error_;
    std::vector<std::string> started_;
    std::vector<std::string> hooks_;
    int exited_count_ = 0;
    std::size_t largest_chunk_ = 0;
    std::pair<std::size_t, std::size_t> sizes_at_exit_;
};

}  // namespace velmora::testing
