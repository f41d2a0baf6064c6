// Follows one port's boxes: hears the owner's events, the agent's texts, the connector's news, and
// turns them into the box's outcome, the progress line and the box's log record.
//
// A box starts when the client goes out (the box has sent its sync byte) and ends when the panel is
// connected (the block was taken) or the link gives up on it (the upload failed, or the handshake
// failed and the link went idle), or when its port is lost or the run is stopped.
//
// Callers may rely on: every member is thread-safe; the waits return as soon as the run is stopped.
// The failure hook runs, on the thread that brought the news, the moment a box is known to have
// failed, before anyone waiting for the outcome wakes; it runs under the tracker's lock, so it must
// not call back into the tracker. finish_box's `keep` runs under the same lock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "tools/velmora-provision/box_record.h"
#include "tools/velmora-provision/progress_board.h"
#include "tools/velmora-provision/provision_events.h"

namespace velmora::provision {

struct ClientInfo {
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
};

enum class BoxOutcome { pending, connected, failed };

class BoxTracker final : public ProvisionEvents {
public:
    BoxTracker(std::size_t index, std::string port, ClientInfo client, ProgressBoard& board,
               std::function<void()> on_failure);

    // --- The station -----------------------------------------------------------------------------
    void begin_box();
    void begin_config();
    // Ends the box: hands its record to `keep` (the log), then shows its last progress line. When the
    // box's port was lost, the connector's reason is the record's last message.
    void finish_box(BoxResult result, const std::function<void(const BoxRecord&)>& keep);
    // Port news outside a box (a port that cannot be opened, one that is waited for).
    void show(Phase phase, const std::string& message);
    // The box's port cannot be opened: shown as absent, and the reason is the box's message.
    void port_absent(const std::string& reason);

    void request_stop();
    bool stop_requested() const;
    // Until the box has an outcome, the port is lost or the run is stopped.
    void wait_for_outcome();
    // Until the agent's worker has gone idle (its line back to text); false when the limit passed first.
    bool wait_worker_idle(std::chrono::milliseconds limit);
    // Until the connector said why its port closed; false when the limit passed first or the run
    // was stopped.
    bool wait_port_lost(std::chrono::milliseconds limit);
    // Sleeps, or less when the run is stopped; false when it was.
    bool pause(std::chrono::milliseconds duration);
    // While `busy` holds, looked at again whenever the link's state changes, until the port is lost or
    // the run is stopped; false when `busy` still holds.
    bool wait_while(const std::function<bool()>& busy);

    bool started() const;
    BoxOutcome outcome() const;
    bool port_lost() const;
    bool config_taken() const;

    // --- The agent's and the connector's news ----------------------------------------------------
    void on_text(std::string_view text);
    void on_port_lost(const std::string& reason);
    void on_line_mode(bool upgrade);

    void on_status(UpgStatus status, std::int32_t current, std::int32_t total) override;
    void on_panel_connected(bool connected) override;
    void on_message_box(const std::string& text, LinkBoxAnswer answer) override;
    void on_send_progress(std::uint32_t done, std::uint32_t total) override;
    void on_block_taken(std::uint32_t crc) override;
    void on_link_changed() override;

private:
    using SteadyClock = std::chrono::steady_clock;

    // Under mutex_.
    void publish(const std::string& message);
    void set_outcome(BoxOutcome outcome);

    const std::size_t index_;
    const std::string port_;
    const ClientInfo client_;
    ProgressBoard& board_;
    const std::function<void()> on_failure_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false;
    bool in_box_ = false;
    bool started_ = false;
    bool port_lost_ = false;
    std::string lost_reason_;  // the connector's word on the port lost in this box, if any
    bool worker_idle_ = true;
    bool config_taken_ = false;
    BoxOutcome outcome_ = BoxOutcome::pending;
    SteadyClock::time_point began_;
    SteadyClock::time_point sync_;
    std::chrono::system_clock::time_point began_wall_;
    std::chrono::system_clock::time_point sync_wall_;
    SteadyClock::time_point last_progress_;
    ProgressEvent shown_;
    BoxRecord record_;
};

}  // namespace velmora::provision
