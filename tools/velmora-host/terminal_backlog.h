// The bounded queue between the threads that deliver terminal output (the connector thread, a
// plug-in's threads) and the terminal pane, which takes it once per frame on the window's thread.
//
// A line that delivers faster than the pane can show would otherwise pile up without end. The
// backlog holds at most `capacity` bytes (each entry also counts k_entry_overhead, so a flood of tiny
// deliveries is bounded too); bytes that do not fit are dropped, newest first, and the run of
// dropped bytes is kept in the queue as one entry at the place of the gap, so the pane can say there
// how much was lost. Notices (host messages, the link switch mark) keep their place among the bytes;
// they are never dropped while fewer than k_max_notices wait.
//
// Callers may rely on: every member may be called from any thread; the waker runs on the thread that
// pushed into an idle backlog, after the push, once per idle-to-busy change (so the consumer is woken
// once and not once per delivery; a push racing a take may wake it once more), outside the queue's
// lock (it may take), and a waker cleared by set_waker({}) has returned and is never called again.
// The waker must not push.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace velmora::host_app {

class TerminalBacklog {
public:
    static constexpr qsizetype k_default_capacity = 4 * 1024 * 1024;
    static constexpr qsizetype k_entry_overhead = 64;
    static constexpr std::size_t k_max_notices = 1000;

    struct Entry {
        enum class Kind { bytes, notice, dropped };
        Kind kind = Kind::bytes;
        QByteArray bytes;
        QString notice;
        std::uint64_t dropped = 0;
    };

    explicit TerminalBacklog(qsizetype capacity = k_default_capacity) : capacity_(capacity) {}

    void set_waker(std::function<void()> waker);
    void push_bytes(const QByteArray& bytes);
    void push_notice(const QString& notice);

    // Takes entries in order until `max_bytes` bytes are taken (a longer delivery is split); notices
    // and drop counts come along without counting. `more` tells whether entries are left; when none
    // are, the next push wakes the consumer again.
    std::vector<Entry> take(qsizetype max_bytes, bool& more);

    // Drops the oldest bytes until at most `keep` received bytes wait. The run of dropped bytes is kept
    // as one drop entry at the head (a notice in between stays in its place, with a drop entry before
    // it for what went before it), so the consumer shows where and how much was lost. Returns the bytes
    // dropped now.
    std::uint64_t drop_oldest(qsizetype keep);

    // What the queue holds now, overheads included; never more than the capacity plus the notices.
    qsizetype held() const;
    std::uint64_t dropped_total() const;

private:
    // Both tell whether the consumer must be woken (once the queue's lock is released).
    bool added();
    bool count_dropped(std::uint64_t count);
    void call_waker();

    mutable std::mutex mutex_;
    const qsizetype capacity_;
    std::deque<Entry> entries_;
    qsizetype held_ = 0;
    std::size_t notices_ = 0;
    std::uint64_t dropped_total_ = 0;
    bool busy_ = false;  // a wake is on its way or the consumer is still draining
    // Held while the waker runs, so the consumer may take from the queue inside it, and clearing the
    // waker waits for a call in progress.
    std::mutex waker_mutex_;
    std::function<void()> waker_;
};

}  // namespace velmora::host_app
