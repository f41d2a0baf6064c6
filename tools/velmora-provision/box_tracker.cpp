#include "tools/velmora-provision/box_tracker.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "config/config_block.h"
#include "link/agent/link_frames.h"

namespace velmora::provision {

namespace {

// The box's answer to the configuration record.
constexpr std::string_view k_config_taken_text = "send configuration success!!!";

// Byte counts of the client download come with every write; a line a tenth of a second is plenty.
constexpr std::chrono::milliseconds k_progress_interval{100};

}  // namespace

BoxTracker::BoxTracker(std::size_t index, std::string port, ClientInfo client, ProgressBoard& board,
                       std::function<void()> on_failure)
    : index_(index),
      port_(std::move(port)),
      client_(client),
      board_(board),
      on_failure_(std::move(on_failure)) {}

void BoxTracker::begin_box() {
    std::lock_guard lock(mutex_);
    in_box_ = true;
    started_ = false;
    port_lost_ = false;
    lost_reason_.clear();
    config_taken_ = false;
    outcome_ = BoxOutcome::pending;
    began_ = SteadyClock::now();
    began_wall_ = std::chrono::system_clock::now();
    record_ = BoxRecord{};
    record_.port = port_;
    record_.client_size = client_.size;
    record_.client_crc = client_.crc;
    shown_ = ProgressEvent{};
}

void BoxTracker::begin_config() {
    std::lock_guard lock(mutex_);
    shown_.phase = Phase::config;
    shown_.done = 0;
    shown_.total = k_main_record.length;
    publish({});
}

void BoxTracker::finish_box(BoxResult result, const std::function<void(const BoxRecord&)>& keep) {
    std::lock_guard lock(mutex_);
    const auto now = SteadyClock::now();
    record_.start = started_ ? sync_wall_ : began_wall_;
    record_.end = std::chrono::system_clock::now();
    record_.elapsed = now - (started_ ? sync_ : began_);
    record_.result = result;
    if (!lost_reason_.empty()) {
        // The link goes on printing its own failure after the port closed, in whatever order the
        // threads run; the box's last word is why it was lost.
        auto& messages = record_.messages;
        const auto reason = std::find(messages.rbegin(), messages.rend(), lost_reason_);
        if (reason != messages.rend()) {
            std::rotate(std::prev(reason.base()), reason.base(), messages.end());
        }
    }
    if (result == BoxResult::done) {
        shown_.done = shown_.total;  // the configuration record has no byte count of its own
    }
    shown_.phase = result == BoxResult::done     ? Phase::done
                   : result == BoxResult::failed ? Phase::failed
                                                 : Phase::interrupted;
    // Kept before it is shown: whoever sees the box's end finds it in the log.
    keep(record_);
    publish({});
    in_box_ = false;
}

void BoxTracker::show(Phase phase, const std::string& message) {
    std::lock_guard lock(mutex_);
    shown_ = ProgressEvent{};
    shown_.phase = phase;
    publish(message);
}

void BoxTracker::port_absent(const std::string& reason) {
    std::lock_guard lock(mutex_);
    shown_ = ProgressEvent{};
    shown_.phase = Phase::absent;
    if (in_box_) {
        record_.messages.push_back(reason);
    }
    publish(reason);
}

void BoxTracker::request_stop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
}

bool BoxTracker::stop_requested() const {
    std::lock_guard lock(mutex_);
    return stop_;
}

void BoxTracker::wait_for_outcome() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stop_ || port_lost_ || outcome_ != BoxOutcome::pending; });
}

bool BoxTracker::wait_worker_idle(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return stop_ || port_lost_ || worker_idle_; }) &&
           worker_idle_;
}

bool BoxTracker::wait_port_lost(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return stop_ || port_lost_; }) && port_lost_;
}

bool BoxTracker::pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, duration, [this] { return stop_; });
}

bool BoxTracker::wait_while(const std::function<bool()>& busy) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stop_ || port_lost_ || !busy(); });
    return !busy();
}

void BoxTracker::on_link_changed() {
    {
        // Taken so that a waiter between its look at the link and its wait cannot miss this.
        std::lock_guard lock(mutex_);
    }
    changed_.notify_all();
}

bool BoxTracker::started() const {
    std::lock_guard lock(mutex_);
    return started_;
}

BoxOutcome BoxTracker::outcome() const {
    std::lock_guard lock(mutex_);
    return outcome_;
}

bool BoxTracker::port_lost() const {
    std::lock_guard lock(mutex_);
    return port_lost_;
}

bool BoxTracker::config_taken() const {
    std::lock_guard lock(mutex_);
    return config_taken_;
}

void BoxTracker::on_text(std::string_view text) {
    std::lock_guard lock(mutex_);
    if (in_box_) {
        record_.messages.emplace_back(text);
        if (text.find(k_config_taken_text) != std::string_view::npos) {
            config_taken_ = true;
        }
    }
    publish(std::string(text));
}

void BoxTracker::on_port_lost(const std::string& reason) {
    {
        std::lock_guard lock(mutex_);
        port_lost_ = true;
        if (in_box_) {
            record_.messages.push_back(reason);
            lost_reason_ = reason;
        }
        publish(reason);
    }
    changed_.notify_all();
}

void BoxTracker::on_line_mode(bool upgrade) {
    {
        std::lock_guard lock(mutex_);
        worker_idle_ = !upgrade;
    }
    changed_.notify_all();
}

void BoxTracker::on_status(UpgStatus status, std::int32_t current, std::int32_t total) {
    {
        std::lock_guard lock(mutex_);
        if (!in_box_) {
            return;
        }
        if (status == UpgStatus::syncing && !started_) {
            started_ = true;
            sync_ = SteadyClock::now();
            sync_wall_ = std::chrono::system_clock::now();
            shown_.phase = Phase::client;
            shown_.done = 0;
            shown_.total = k_client_header_size + client_.size;
            publish({});
        } else if (status == UpgStatus::transferring) {
            shown_.phase = Phase::uploading;
            shown_.done = static_cast<std::uint64_t>(current);
            shown_.total = static_cast<std::uint64_t>(total);
            publish({});
        } else if (status == UpgStatus::idle && started_) {
            // The link is done with the box: without the panel connected first, it gave up.
            set_outcome(BoxOutcome::failed);
        }
    }
    changed_.notify_all();
}

void BoxTracker::on_panel_connected(bool connected) {
    {
        std::lock_guard lock(mutex_);
        if (!in_box_ || !started_) {
            return;
        }
        set_outcome(connected ? BoxOutcome::connected : BoxOutcome::failed);
    }
    changed_.notify_all();
}

void BoxTracker::on_message_box(const std::string& text, LinkBoxAnswer answer) {
    std::lock_guard lock(mutex_);
    if (in_box_) {
        record_.messages.push_back(text);
        record_.message_boxes.push_back({text, answer});
    }
    publish(text);
}

void BoxTracker::on_send_progress(std::uint32_t done, std::uint32_t total) {
    std::lock_guard lock(mutex_);
    if (!in_box_ || shown_.phase != Phase::client || total != shown_.total) {
        return;
    }
    shown_.done = done;
    const auto now = SteadyClock::now();
    if (done == total) {
        shown_.phase = Phase::handshake;
        shown_.done = 0;
        shown_.total = 0;
    } else if (now - last_progress_ < k_progress_interval) {
        return;
    }
    last_progress_ = now;
    publish({});
}

void BoxTracker::on_block_taken(std::uint32_t crc) {
    std::lock_guard lock(mutex_);
    // The configuration record is the front of the same block: the block's CRC stays the upload's.
    if (!in_box_ || shown_.phase == Phase::config) {
        return;
    }
    record_.block_crc = crc;
    // The upload takes the block as it begins: from here a failure is the upload's, not the handshake's.
    shown_.phase = Phase::uploading;
    shown_.done = 0;
    shown_.total = k_config_block_size;
    publish({});
}

void BoxTracker::publish(const std::string& message) {
    shown_.seconds =
        started_ && in_box_ ? std::chrono::duration<double>(SteadyClock::now() - sync_).count() : 0.0;
    shown_.message = message;
    board_.update(index_, shown_);
}

void BoxTracker::set_outcome(BoxOutcome outcome) {
    if (outcome_ != BoxOutcome::pending) {
        return;
    }
    outcome_ = outcome;
    if (outcome == BoxOutcome::failed && on_failure_) {
        on_failure_();
    }
}

}  // namespace velmora::provision
