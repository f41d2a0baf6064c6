// The serial line as the link agent uses it, through the registry's "com connector": sending bytes
// and waiting for their completion report, the queue of bytes the box sends, flushing it, and ending
// every wait at once when the link stops. The connection and the panel tests are built on these
// operations alone.
//
// Callers may rely on:
// - `send` returns once the connector has reported every byte sent (true), or when the send was
//   aborted or its report did not come within the bytes' time on the line plus LinkTiming::send_margin
//   (false). What the connector's request answers is not looked at: the contract leaves it to the host.
// - `read` blocks on the queue, not on a clock: it returns as soon as `count` bytes are queued, when
//   the time runs out, or when `ended` holds after `wake_readers` (or a delivery) woke it; a read
//   that gives up leaves the queue untouched.
// - every member may be called from any thread; `queue`, `sent` and `abort` never block for long.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>

#include "link/component_registry.h"
#include "link/agent/link_timing.h"
#include "platform/manual_reset_event.h"

namespace velmora {

class LinkLine {
public:
    LinkLine(component_registry* registry, const LinkTiming& timing) : registry_(registry), timing_(timing) {}

    // --- Sending ---------------------------------------------------------------------------------
    // `closed`: the port is known closed, so no report will come and the send fails at once.
    bool send(std::span<const std::uint8_t> bytes, bool closed);
    // The sync answer, sent without waiting: the worker's first send follows it on the same line.
    void send_sync_answer();
    // The connector's completion report (code 18): `count` bytes of the current send are out.
    // Returns the send's total, for the owner's progress display.
    std::uint32_t sent(std::uint32_t count);
    // Ends the send in progress, failed; the next send starts afresh.
    void abort() { send_abort_.set(); }
    std::uint32_t reported_count() const { return reported_count_.load(); }

    // --- Receiving -------------------------------------------------------------------------------
    void queue(const std::uint8_t* bytes, std::size_t count);
    bool read(std::uint8_t* buffer, std::size_t count, std::chrono::milliseconds limit,
              const std::function<bool()>& ended);
    void flush();
    std::size_t queued();
    // True while a read waits on an empty queue: what comes now is what it reads.
    bool starved();
    // Every read looks at its `ended` again now.
    void wake_readers();

    // --- The connector's state -------------------------------------------------------------------
    bool connector_open();
    void set_upgrade_mode(bool on);

private:
    std::chrono::milliseconds line_time(std::size_t bytes);
    std::uint32_t connector_request(std::uint32_t code, std::uint32_t param1, const void* param2);

    component_registry* const registry_;
    const LinkTiming& timing_;

    std::mutex rx_mutex_;
    std::condition_variable rx_changed_;
    std::deque<std::uint8_t> rx_queue_;  // under rx_mutex_
    int rx_waiters_ = 0;                 // under rx_mutex_

    platform::ManualResetEvent send_done_;
    platform::ManualResetEvent send_abort_;
    std::atomic<std::uint32_t> expected_count_{0};
    std::atomic<std::uint32_t> reported_count_{0};
};

}  // namespace velmora
