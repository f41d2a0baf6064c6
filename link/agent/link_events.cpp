#include "link/agent/link_events.h"

namespace velmora {

void LinkEvents::notify() {
    { std::lock_guard lock(mutex_); }
    changed_.notify_all();
}

void LinkEvents::stop() {
    stopping_.store(true);
    notify();
}

bool LinkEvents::pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, duration, [this] { return stopping(); });
    return !stopping();
}

void LinkEvents::park() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return wake_pending_ || stopping(); });
    wake_pending_ = false;
}

void LinkEvents::wake_worker() {
    {
        std::lock_guard lock(mutex_);
        wake_pending_ = true;
    }
    changed_.notify_all();
}

void LinkEvents::cancel_thread() {
    thread_cancelled_.store(true);
    notify();
}

void LinkEvents::page_changed() {
    page_events_.fetch_add(1);
    notify();
}

bool LinkEvents::wait_page_change(std::uint64_t seen) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return page_events() != seen || thread_cancelled(); });
    return !thread_cancelled();
}

bool LinkEvents::enter_delivery() {
    std::lock_guard lock(mutex_);
    if (stopping()) {
        return false;
    }
    ++deliveries_;
    return true;
}

void LinkEvents::leave_delivery() {
    std::lock_guard lock(mutex_);
    if (--deliveries_ == 0) {
        // Under the lock: once the waiter sees none, no delivery touches the agent any more.
        changed_.notify_all();
    }
}

void LinkEvents::wait_deliveries_done() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return deliveries_ == 0; });
}

}  // namespace velmora
