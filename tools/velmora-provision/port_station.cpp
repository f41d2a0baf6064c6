#include "tools/velmora-provision/port_station.h"

#include <utility>

namespace velmora::provision {

PortStation::PortStation(std::size_t index, StationSettings settings, ProgressBoard& board, BoxLog& log,
                         std::function<void()> on_finished)
    : settings_(std::move(settings)),
      log_(log),
      on_finished_(std::move(on_finished)),
      // A failed box hears the line no more from the moment it failed: a stray sync byte must not
      // start another client download before the station has logged it and gone offline.
      tracker_(index, settings_.port, settings_.client_info, board, [this] { agent_.set_active(false); }),
      output_(&registry_, [this](std::string_view text) { tracker_.on_text(text); }),
      owner_(settings_.block, settings_.on_block_timeout, tracker_),
      connector_(&registry_),
      agent_(owner_, &registry_, settings_.timing) {
    agent_.set_client_path(settings_.client);
    // Both come on the thread that acts (the agent's worker, the connector's thread), at once.
    QObject::connect(
        &connector_, &ComConnector::terminal_mode_changed, &connector_,
        [this](bool upgrade) { tracker_.on_line_mode(upgrade); }, Qt::DirectConnection);
    QObject::connect(
        &connector_, &ComConnector::port_lost, &connector_,
        [this](const QString& reason) { tracker_.on_port_lost(reason.toStdString()); }, Qt::DirectConnection);
}

PortStation::~PortStation() {
    finish();
    registry_.unregister_component(&agent_);
    registry_.unregister_component(&connector_);
    registry_.unregister_component(&output_);
}

void PortStation::start() {
    thread_ = std::thread([this] { run(); });
}

void PortStation::stop() {
    tracker_.request_stop();
    // A network port may be connecting for seconds: the stop does not wait for it.
    connector_.cancel_open();
}

void PortStation::finish() {
    if (finished_.exchange(true)) {
        return;
    }
    stop();
    if (thread_.joinable()) {
        thread_.join();
    }
    agent_.shutdown();
    connector_.close();
}

void PortStation::run() {
    bool reported = false;
    while (!tracker_.stop_requested()) {
        if (!connector_.is_open() && !open_port(reported)) {
            if (!settings_.repeat) {
                break;
            }
            tracker_.pause(k_reopen_poll);
            continue;
        }
        reported = false;
        run_box();
        if (!settings_.repeat) {
            break;
        }
        if (tracker_.port_lost()) {
            // A server that takes the connection and drops it at once (its device busy, say) is
            // not asked again at once.
            tracker_.pause(k_reopen_poll);
        }
    }
    on_finished_();
}

std::string PortStation::open_error() const {
    std::lock_guard lock(open_error_mutex_);
    return open_error_;
}

bool PortStation::open_port(bool& reported) {
    QString error;
    if (connector_.open(QString::fromStdString(settings_.location), settings_.baud, error)) {
        port_opened_.store(true);
        return true;
    }
    if (tracker_.stop_requested()) {
        return false;  // stopped while opening: no box was under way
    }
    {
        std::lock_guard lock(open_error_mutex_);
        open_error_ = error.toStdString();
    }
    if (!settings_.repeat) {
        // Without --repeat this port's one box cannot be made: that is a failed box.
        tracker_.begin_box();
        tracker_.port_absent(error.toStdString());
        end_box(BoxResult::failed);
    } else if (!reported) {
        tracker_.show(Phase::absent, error.toStdString());
        reported = true;
    }
    return false;
}

void PortStation::run_box() {
    tracker_.begin_box();
    // Online before the prompt: a box reset the moment it is asked for must find its sync answered.
    owner_.set_online(true);
    agent_.go_online();
    tracker_.wait_for_outcome();
    // The connector tells the link that its port closed (code 28), and only then the station why:
    // a box that failed on the close waits for the reason, so that its log line gives it.
    if (!connector_.is_open()) {
        tracker_.wait_port_lost(k_settle_limit);
    }

    const bool lost = tracker_.port_lost();
    if (!tracker_.started() && (tracker_.stop_requested() || (lost && settings_.repeat))) {
        // No box was under way: nothing to log. A port pulled out between boxes is waited for.
        go_offline();
        return;
    }
    BoxResult result = BoxResult::failed;
    if (lost) {
        result = BoxResult::failed;
    } else if (tracker_.stop_requested()) {
        result = BoxResult::interrupted;
    } else if (tracker_.outcome() == BoxOutcome::connected) {
        result = settings_.send_config ? send_config() : BoxResult::done;
    }
    go_offline();
    end_box(result);
    if (!tracker_.port_lost() && !tracker_.stop_requested()) {
        // The next box's sync must find the worker parked, not finishing this box.
        tracker_.wait_worker_idle(k_settle_limit);
    }
}

void PortStation::end_box(BoxResult result) {
    tracker_.finish_box(result, [this](const BoxRecord& box) { log_.write_box(box); });
}

BoxResult PortStation::send_config() {
    // The record's thread and the worker read the same queue: the worker must be parked first.
    if (!tracker_.wait_worker_idle(k_settle_limit)) {
        return tracker_.stop_requested() ? BoxResult::interrupted : BoxResult::failed;
    }
    tracker_.begin_config();
    if (!agent_.start_send_config()) {
        return BoxResult::failed;
    }
    tracker_.wait_while([this] { return agent_.link_thread_running(); });
    if (tracker_.config_taken()) {
        return BoxResult::done;
    }
    return tracker_.stop_requested() ? BoxResult::interrupted : BoxResult::failed;
}

void PortStation::go_offline() {
    agent_.go_offline();
    owner_.set_online(false);
}

}  // namespace velmora::provision
