#include "link/agent/line_holder.h"

#include <string_view>
#include <utility>

namespace velmora {

namespace {

constexpr std::string_view k_connection_busy_text =
    "\n!!The connection with the box is still running! Wait for it to end, then try again.\n";
constexpr std::string_view k_busy_text_begin = "\n!!Another panel task is still running: ";
constexpr std::string_view k_busy_text_end = "! Stop it or wait for it to end, then try again.\n";

std::string_view task_name(LinkTask task) {
    switch (task) {
        case LinkTask::send_config:
            return "Send Config to Panel";
        case LinkTask::lamp_test:
            return "the lamp position test (Front Panel page)";
        case LinkTask::get_key:
            return "Get Key (Key Map page)";
        case LinkTask::led_map:
            return "Get LED Map (LED Map page)";
        case LinkTask::none:
        case LinkTask::connection:
            break;
    }
    return "a panel test";
}

}  // namespace

bool LineHolder::begin_connection() {
    std::lock_guard lock(mutex_);
    if (!line_.advance(LinkState::idle, LinkState::synced)) {
        return false;
    }
    connecting_.store(true);
    return true;
}

bool LineHolder::end_connection() {
    std::lock_guard lock(mutex_);
    if (line_.link_state() == LinkState::synced) {
        return false;  // the box was reset again: a new connection runs
    }
    connecting_.store(false);
    return true;
}

bool LineHolder::take(LinkTask& holder, const std::function<void()>& start) {
    std::lock_guard lock(mutex_);
    holder = LinkTask::none;
    if (events_.stopping()) {
        return false;
    }
    if (connecting()) {
        holder = LinkTask::connection;
        return false;
    }
    if (thread_running()) {
        holder = thread_task_.load();
        return false;
    }
    line_.set_link_state(LinkState::listening);
    if (start) {
        start();
    }
    return true;
}

bool LineHolder::start_thread(LinkTask task, std::function<void()> body, LinkTask& holder) {
    return take(holder, [&] {
        // The last one has ended (it said so as its last act), so this join returns at once.
        if (thread_.joinable()) {
            thread_.join();
        }
        events_.clear_cancel();
        thread_task_.store(task);
        thread_running_.store(true);
        thread_ = std::thread([this, body = std::move(body)] {
            body();
            thread_running_.store(false);
            task_ended_();
        });
    });
}

void LineHolder::join() {
    std::thread last;
    {
        std::lock_guard lock(mutex_);
        last = std::move(thread_);
    }
    if (last.joinable()) {
        last.join();
    }
}

std::string LineHolder::refusal_text(LinkTask holder) {
    if (holder == LinkTask::connection) {
        return std::string(k_connection_busy_text);
    }
    return std::string(k_busy_text_begin) + std::string(task_name(holder)) + std::string(k_busy_text_end);
}

}  // namespace velmora
