// The terminal's log: what the pane receives, appended to a file, either as the raw bytes or as text
// lines with a timestamp each ("2026-12-11T06:40:10.123 <line>", local time, the time the line's first
// byte arrived).
//
// The pane hands every delivery here before its own bounded backlog sees it, so what the pane has to
// drop under a flood is still logged whole. A thread of the log's own writes the file, so the window
// and the connector never wait for a disk: pushing only queues (a QByteArray shares the delivery's
// bytes). The writer takes what waits at most once per k_write_interval and writes it with write(2)
// straight into the file (O_APPEND, no buffer of ours), so a crash of the program loses at most
// that last interval. The queue holds at most `capacity` bytes: when the disk falls that far behind,
// what does not fit is not logged, and the log says so at the place of the gap, as
// "[... N bytes not logged: the disk fell behind ...]" on a line of its own (in both forms).
//
// Raw form: the received bytes exactly, nothing else (the host's notices are left out). Text form:
// the text the pane's text view shows (TerminalDecoder: CR, LF and CR LF end lines, control bytes
// as escapes, long lines continued), one timestamp a line, and the host's notices as lines of their own.
//
// A write that fails ends the logging: the file is closed, nothing more is queued, and the failure
// handler is called once (on the writer thread) with a message naming the file and the reason.
//
// Stopping never waits for the disk either: stop() returns at once, and the stopped log's writer goes
// on writing what was queued before the stop, then closes its file (wait_closed() waits for that). A
// reader of a FIFO or terminal that takes nothing does not hold a writer: the file is written
// non-blocking and waited on in k_write_interval steps, and the destructor gives the stopped logs
// k_close_grace to finish before it abandons what such a reader never took.
//
// Callers may rely on: every member may be called from any thread; the destructor joins every
// writer; a failure handler cleared with set_failure_handler({}) has returned and is never called
// again.
#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/unique_fd.h"
#include "tools/velmora-host/terminal_backlog.h"

namespace velmora::host_app {

class TerminalLog {
public:
    enum class Form { raw, text };
    static constexpr std::size_t k_default_capacity = std::size_t{8} << 20;
    static constexpr std::chrono::milliseconds k_write_interval{16};
    static constexpr std::chrono::milliseconds k_close_grace{1000};

    explicit TerminalLog(std::size_t capacity = k_default_capacity);
    ~TerminalLog();
    TerminalLog(const TerminalLog&) = delete;
    TerminalLog& operator=(const TerminalLog&) = delete;

    // Opens `path` for appending (created when missing) and starts logging in `form`; a log already
    // running is stopped first. False with `error` set to the reason when the file cannot be opened
    // for writing (a FIFO without a reader is refused rather than waited on).
    bool start(const std::string& path, Form form, std::string& error);
    void stop();
    // Waits until every stopped log has written what it had and closed its file.
    void wait_closed();
    bool active() const;
    // The file of the running log; empty when none runs.
    std::string path() const;

    void push_bytes(const QByteArray& bytes);
    // A host message (text form only).
    void push_notice(const QString& text);

    void set_failure_handler(std::function<void(const std::string& message)> handler);

    // Of the running log, or the one last stopped: bytes queued and not yet taken by its writer, and
    // bytes that did not fit its queue.
    std::size_t pending() const;
    std::uint64_t not_logged() const;

private:
    // What was received, as the pane's backlog holds it (a drop entry is a gap in the log), and when.
    using Entry = TerminalBacklog::Entry;
    struct Item {
        Entry entry;
        std::chrono::system_clock::time_point time;
    };
    // One log file and its writer; the queue and flags are guarded by the log's mutex.
    struct Session {
        std::string path;
        Form form = Form::text;
        platform::UniqueFd fd;
        std::deque<Item> queue;
        std::size_t queued = 0;
        std::uint64_t not_logged = 0;
        bool stopping = false;
        bool ended = false;
        std::atomic<bool> abandon{false};
        std::thread writer;
    };

    void push(Entry entry, std::size_t size);
    void run(Session& session);
    void fail(Session& session, const std::string& reason);
    // Joins the writers of stopped logs that have ended. Not under the mutex.
    void reap();
    // Moves the running log, if any, to the stopped ones. Under the mutex.
    void stop_locked();

    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::shared_ptr<Session> running_;
    std::shared_ptr<Session> last_;  // running_, or the log last stopped
    std::vector<std::shared_ptr<Session>> stopped_;
    std::mutex handler_mutex_;
    std::function<void(const std::string&)> failure_handler_;
};

}  // namespace velmora::host_app
