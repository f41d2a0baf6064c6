// The serial line as the link agent uses it, through the registry's "com connector": sending bytes
// and waiting for their completion report, the queue of bytes the box sends, flushing it, the line's
// state (what received bytes are for), and ending every wait at once when the link stops. The
// connection and the panel tests are built on these operations alone.
//
// Callers may rely on:
// - `send_raw` returns once the connector has reported every byte sent (true), or when the send was
//   aborted or its report did not come within the bytes' time on the line plus LinkTiming::send_margin
//   (false). It fails at once while the port is known closed or the line has stopped. What the
//   connector's request answers is not looked at: the contract leaves it to the host.
// - `read_rx` blocks on the queue, not on a clock: it returns as soon as `count` bytes are queued, when
//   the time runs out, or when the state goes idle or the line stops; a read that gives up leaves
//   the queue untouched.
// - every member may be called from any thread; `queue`, `sent` and `abort` never block for long.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>

#include "link/agent/link_timing.h"
#include "link/component_registry.h"
#include "platform/manual_reset_event.h"

namespace velmora {

// What received bytes are for.
enum class LinkState : std::int32_t {
    idle = 0,       // searched for the sync byte while online
    synced = 1,     // dropped: the worker downloads the client
    listening = 2,  // queued (also every test start)
    uploading = 3,  // queued: the worker uploads the block
    uploaded = 4,   // queued: the worker goes idle at its next pass
};

class LinkLine {
public:
    LinkLine(component_registry* registry, const LinkTiming& timing) : registry_(registry), timing_(timing) {}

    // --- The line's state -------------------------------------------------------------------------
    LinkState link_state() const { return state_.load(); }
    bool idle() const { return link_state() == LinkState::idle; }
    // Idle ends every read in progress.
    void set_link_state(LinkState state);
    // Moves the state on only from `from`, so a cancel meanwhile sticks; false when it was not `from`.
    bool advance(LinkState from, LinkState to);
    // The connector said its port closed (until it says a port opened): no send can go out.
    void set_port_closed(bool closed) { port_closed_.store(closed); }
    bool port_closed() const { return port_closed_.load(); }
    // For good: every wait ends, every send and read from now on fails at once.
    void stop();

    // --- Sending ---------------------------------------------------------------------------------
    bool send_raw(std::span<const std::uint8_t> bytes);
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
    bool read_rx(std::uint8_t* buffer, std::size_t count, std::chrono::milliseconds limit);
    void flush_rx();
    std::size_t rx_queued();
    // True while a read waits on an empty queue: what comes now is what it reads.
    bool rx_starved();

    // --- The connector's state -------------------------------------------------------------------
    // Whether the connector's port is open.
    bool connector_query();
    // 1 when the client download begins, 0 once the link has gone idle; true when the host says yes.
    bool connector_switch(std::uint32_t value);

private:
    bool reads_end() const { return idle() || stopped_.load(); }
    // Every read looks at whether it ends again now.
    void wake_readers();
    std::chrono::milliseconds line_time(std::size_t bytes);
    std::uint32_t connector_request(std::uint32_t code, std::uint32_t param1, const void* param2);

    component_registry* const registry_;
    const LinkTiming& timing_;

    std::atomic<LinkState> state_{LinkState::idle};
    std::atomic<bool> port_closed_{false};
    std::atomic<bool> stopped_{false};

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
