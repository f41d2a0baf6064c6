// What the link agent's threads wait on, and what wakes them: the agent stopping, the running test
// thread being told to end, the worker's wake for a new connection, the pages' test requests, and
// the deliveries still under way when the agent stops. Every wait here blocks on one condition
// variable; none looks at a clock to see whether something changed.
//
// Callers may rely on:
// - A wake that comes before its wait is kept: the worker's wake is a flag, a page change a count
//   that the waiter read before it looked at its page.
// - stop() ends every wait at once, and so does cancel_thread() every wait of the test thread.
// - Every member may be called from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace velmora {

class LinkEvents {
public:
    // --- The agent ------------------------------------------------------------------------------
    // From now on every wait ends at once and `stopping` holds.
    void stop();
    bool stopping() const { return stopping_.load(); }
    // Waits `duration`, or less when the agent stops; false when it did.
    bool pause(std::chrono::milliseconds duration);

    // --- The worker -----------------------------------------------------------------------------
    // Blocks until woken or stopped.
    void park();
    void wake_worker();

    // --- The test thread ------------------------------------------------------------------------
    // The running test thread must end: a closed port, going online or offline.
    void cancel_thread();
    // A new test thread starts with nothing cancelled.
    void clear_cancel() { thread_cancelled_.store(false); }
    bool thread_cancelled() const { return stopping() || thread_cancelled_.load(); }

    // --- The pages' test requests ---------------------------------------------------------------
    // Whoever changes a page's test flag or request calls this after it, so the thread that waits for
    // the page looks again.
    void page_changed();
    // A test thread reads this before it looks at its page, then waits for it to move.
    std::uint64_t page_events() const { return page_events_.load(); }
    // Blocks until page_changed() was called after `seen` was read; false when the test thread must
    // end instead (cancelled or stopping).
    bool wait_page_change(std::uint64_t seen);

    // --- Deliveries -----------------------------------------------------------------------------
    // Brackets a delivery from the connector; enter is false once the agent stops.
    bool enter_delivery();
    void leave_delivery();
    // Blocks until no delivery is under way. Call after stop(): none begins any more.
    void wait_deliveries_done();

private:
    // Takes the lock so that a waiter between its look and its wait cannot miss the notify.
    void notify();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> thread_cancelled_{false};
    std::atomic<std::uint64_t> page_events_{0};
    bool wake_pending_ = false;  // under mutex_
    int deliveries_ = 0;         // under mutex_
};

}  // namespace velmora
