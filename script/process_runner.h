// Runs one external console program with its standard streams on pipes: two threads read its
// output and error, a third watches for its end. The main view owns one, to unpack the key script.
//
// What callers may rely on:
// - Start, IsRunning, wait_for_exit and Stop are called from the owning thread; the hooks OnOutput,
//   OnError and OnExited run on the runner's own threads, OnStarted on the caller's.
// - A run's hooks come in order: OnStarted first, before any OnOutput, OnError or OnExited of that
//   run, whatever the scheduling; OnExited once per run. The notifier hears 4002 before 4003.
// - Output and error are passed on in chunks of at most 1024 bytes, in order, until the child and
//   everything it started have closed them: both streams are always drained, so a chatty child
//   never blocks. OnExited comes after the last chunk, unless something the child started keeps
//   the streams open past k_output_drain_limit.
// - Stop leaves no thread and no child behind and returns promptly: it wakes the threads (also a
//   reader waiting for data), joins them, and kills and reaps a child that is still running.
// - A new Start first ends and releases the previous run.
// - A class that overrides the hooks calls Stop() in its own destructor, so that no runner thread
//   calls into it while it is being destroyed.
//
// Choices a caller may notice:
// - The parent closes its copies of the child-side pipe ends at once, so the readers see the end
//   of the streams when the child ends instead of waiting for Stop.
// - The readers stop on end-of-stream or on Stop, not when the child has ended: the waiter clears
//   runner_active when the child ends, and reading only while it is set would drop the last output.
// - Threads are joined, so Stop needs no fixed sleeps to give them time to notice.
// - The show flag is accepted and ignored: a child has no console window to show here.
// - wait_for_exit lets a caller sleep until the child ends instead of polling IsRunning.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "platform/child_process.h"
#include "platform/manual_reset_event.h"
#include "platform/wake_pipe.h"
#include "script/process_notifier.h"

namespace velmora {

class ProcessRunner {
public:
    // Chunk size of the readers.
    static constexpr std::size_t k_read_chunk = 1024;
    // The waiter's poll period: how soon it notices that runner_active went 0 without a Stop.
    static constexpr std::chrono::milliseconds k_waiter_poll{1};
    // How long the waiter, once the child has ended, lets the readers finish before OnExited.
    static constexpr std::chrono::milliseconds k_output_drain_limit{500};

    // 1 while a run is active; shared by every runner. The constructor and Stop set it to 0, Start
    // to 1, the waiter to 0 when the child ends.
    static std::atomic<std::int32_t> runner_active;

    explicit ProcessRunner(ProcessNotifier* notify_window = nullptr);
    virtual ~ProcessRunner();
    ProcessRunner(const ProcessRunner&) = delete;
    ProcessRunner& operator=(const ProcessRunner&) = delete;

    // True when the child process was created. On failure OnOutput receives
    // "Unable to start <command line>\n".
    bool Start(const std::string& command_line, bool show);
    // True while a child exists and has not ended.
    bool IsRunning();
    // Waits at most `timeout` for the child to end; true when no child is running any more.
    bool wait_for_exit(std::chrono::milliseconds timeout);
    void Stop();

protected:
    // The hooks must not throw: they run on threads that have nowhere to report an exception.
    virtual void OnStarted(const std::string& command);
    virtual void OnOutput(const std::string& text);
    virtual void OnError(const std::string& text);
    virtual void OnExited();

private:
    enum class Stream { output, error };

    void read_stream(int fd, Stream stream);
    void watch_child();

    ProcessNotifier* notify_window;
    // Signalled by Stop; every runner thread also polls it, so one signal wakes them all.
    platform::WakePipe stop_event;
    std::thread stdout_reader;
    std::thread stderr_reader;
    std::thread waiter;
    // The child with the parent ends of its three pipes (input, output, error).
    std::unique_ptr<platform::ChildProcess> process;
    platform::ManualResetEvent child_ended_;
    platform::ManualResetEvent output_drained_;
    platform::ManualResetEvent error_drained_;
};

}  // namespace velmora
