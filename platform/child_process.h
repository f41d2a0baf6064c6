// Runs one external program with its standard input, output and error on pipes, without a shell.
//
// How a command line becomes a program and its arguments (split_command_line, start):
// - The line is split at runs of blanks and tabs. A double quote starts or ends a stretch in which
//   blanks do not split; the quotes themselves are dropped. Backslashes are ordinary characters,
//   so drive paths such as "D:\tmp\a.gz" pass through untouched. Nothing else is special.
// - Every argument that is a drive path is mapped to its native path (drive_path.h).
// - A program name without a slash is searched on PATH (the system's default path when PATH is
//   unset; an empty entry means the current directory). A name ending in ".exe" (any case) that is
//   not found is tried without it, so "gzip.exe" runs the system's gzip.
//
// What callers may rely on:
// - The child runs in a process group of its own, with default signal handling, an empty signal
//   mask, and no descriptor of ours beyond its three standard streams.
// - The parent ends of the pipes are close-on-exec and stay open until close_pipes() or
//   destruction; the child-side ends are closed in the parent as soon as the child exists, so a
//   reader sees end-of-file once the child (and anything it started) has closed its ends.
// - has_exited() only peeks (the child is not reaped), so any number of threads may ask it at any
//   time, also while the owner waits. start(), wait() and kill_and_reap() belong to
//   the owning thread; reaping happens only there and in the destructor.
// - The destructor closes the pipes, kills a child that is still running and whatever is left in
//   its process group, and reaps it: no zombie and no descriptor outlives the object. Call wait()
//   first to let a child and its background processes finish by themselves.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/unique_fd.h"

namespace velmora::platform {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    static std::vector<std::string> split_command_line(std::string_view line);

    // Starts the program; an earlier child of this object is killed and reaped first. False when the
    // program cannot be found or started; start_error() then holds the errno value.
    bool start(std::string_view command_line);
    bool start(const std::vector<std::string>& arguments);
    int start_error() const { return start_error_; }

    pid_t pid() const { return pid_; }
    int input_fd() const { return input_.get(); }
    int output_fd() const { return output_.get(); }
    int error_fd() const { return error_.get(); }
    // Closing the input tells a child that reads it that no more is coming.
    void close_input() { input_.reset(); }
    void close_pipes();

    // True once the child has ended (or when there is none); does not reap.
    bool has_exited();

    // Waits for the end and reaps; returns the exit status: the code given to exit(), or 128 + the
    // signal that killed it; none when no child was started.
    std::optional<int> wait();
    // Kills the child's process group (what is left of it) and the child if it still runs, and reaps.
    void kill_and_reap();

private:
    bool peek_locked();
    void reset();

    std::mutex mutex_;
    pid_t pid_ = -1;
    bool ended_ = false;
    bool reaped_ = false;
    std::optional<int> exit_code_;
    int start_error_ = 0;
    UniqueFd input_;
    UniqueFd output_;
    UniqueFd error_;
};

}  // namespace velmora::platform
