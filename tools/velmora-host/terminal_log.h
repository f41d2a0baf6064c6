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
// Callers may rely on: every member may be called from any thread; stop() writes what waits, closes
// the file and joins the writer; the destructor stops; a failure handler cleared with
// set_failure_handler({}) has returned and is never called again.
#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/unique_fd.h"
#include "tools/velmora-host/terminal_backlog.h"

namespace velmora::host_app {

class TerminalLog {
public:
    enum class Form { raw, text };
    static constexpr std::size_t k_default_capacity = std::size_t{8} << 20;
    static constexpr std::chrono::milliseconds k_write_interval{16};

    explicit TerminalLog(std::size_t capacity = k_default_capacity);
    ~TerminalLog();
    TerminalLog(const TerminalLog&) = delete;
    TerminalLog& operator=(const TerminalLog&) = delete;

    // Opens `path` for appending (created when missing) and starts logging in `form`; a log already
    // running is stopped first. False with `error` set to the reason when the file cannot be opened
    // for writing (a FIFO without a reader is refused rather than waited on).
    bool start(const std::string& path, Form form, std::string& error);
    void stop();
    bool active() const;
    std::string path() const;

    void push_bytes(const QByteArray& bytes);
    // A host message (text form only).
    void push_notice(const QString& text);

    void set_failure_handler(std::function<void(const std::string& message)> handler);

    // Bytes queued and not yet written; bytes that did not fit the queue, in this run.
    std::size_t pending() const;
    std::uint64_t not_logged() const;

private:
    // What was received, as the pane's backlog holds it (a drop entry is a gap in the log), and when.
    using Entry = TerminalBacklog::Entry;
    struct Item {
        Entry entry;
        std::chrono::system_clock::time_point time;
    };

    void push(Entry entry, std::size_t size);
    void run();
    void fail(const std::string& reason);

    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Item> queue_;
    std::size_t queued_ = 0;
    std::uint64_t not_logged_ = 0;
    bool active_ = false;
    bool stopping_ = false;
    std::string path_;
    Form form_ = Form::text;
    platform::UniqueFd fd_;  // used by the writer thread only while it runs
    std::thread writer_;
    std::mutex handler_mutex_;
    std::function<void(const std::string&)> failure_handler_;
};

}  // namespace velmora::host_app
