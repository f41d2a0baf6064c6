#include "platform/manual_reset_event.h"

#include <algorithm>

namespace velmora::platform {

// Keeps a listener registered with an event for one scope, so an early return cannot leave a
// dangling pointer in the event.
class EventListenerRegistration {
public:
    EventListenerRegistration(ManualResetEvent& event, ManualResetEvent::Listener& listener)
        : event_(event), listener_(listener) {
        event_.add_listener(&listener_);
    }
    ~EventListenerRegistration() { event_.remove_listener(&listener_); }
    EventListenerRegistration(const EventListenerRegistration&) = delete;
    EventListenerRegistration& operator=(const EventListenerRegistration&) = delete;

private:
    ManualResetEvent& event_;
    ManualResetEvent::Listener& listener_;
};

void ManualResetEvent::set() {
    std::lock_guard lock(mutex_);
    set_ = true;
    changed_.notify_all();
    // Lock order is always event, then listener; a waiter never holds its listener's mutex while it
    // takes an event's.
    for (Listener* listener : listeners_) {
        std::lock_guard listener_lock(listener->mutex);
        listener->notified = true;
        listener->signalled.notify_all();
    }
}

void ManualResetEvent::reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool ManualResetEvent::is_set() const {
    std::lock_guard lock(mutex_);
    return set_;
}

void ManualResetEvent::wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return set_; });
}

bool ManualResetEvent::wait_for(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return set_; });
}

void ManualResetEvent::add_listener(Listener* listener) {
    std::lock_guard lock(mutex_);
    listeners_.push_back(listener);
}

void ManualResetEvent::remove_listener(Listener* listener) {
    std::lock_guard lock(mutex_);
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

WaitResult wait_for_either(ManualResetEvent& first, ManualResetEvent& second,
                           std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    ManualResetEvent::Listener listener;
    // Register before looking at the states: a set() after the look then notifies the listener.
    const EventListenerRegistration first_registration(first, listener);
    const EventListenerRegistration second_registration(second, listener);
    for (;;) {
        if (first.is_set()) {
            return WaitResult::first;
        }
        if (second.is_set()) {
            return WaitResult::second;
        }
        std::unique_lock lock(listener.mutex);
        if (!listener.signalled.wait_until(lock, deadline, [&listener] { return listener.notified; })) {
            return WaitResult::timeout;
        }
        // Clear before looking again, so a set() after the look still wakes us.
        listener.notified = false;
    }
}

}  // namespace velmora::platform
