// A manual-reset event: once set it stays set, releasing every waiter, until reset.
//
// Callers may rely on: a set() that happens before or during any wait is never lost; wait_for()
// and wait_for_either() return as soon as an event is set, not at the next poll; all members are
// thread-safe. wait_for_either() may be given the same event twice. An event must outlive every
// wait on it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace velmora::platform {

class ManualResetEvent {
public:
    ManualResetEvent() = default;
    explicit ManualResetEvent(bool initially_set) : set_(initially_set) {}
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void set();
    void reset();
    bool is_set() const;
    void wait();
    // True when the event was set within `timeout`.
    bool wait_for(std::chrono::milliseconds timeout);

    // One waiter of wait_for_either(); an event tells each registered one when it is set.
    struct Listener {
        std::mutex mutex;
        std::condition_variable signalled;
        bool notified = false;
    };

private:
    friend class EventListenerRegistration;

    void add_listener(Listener* listener);
    void remove_listener(Listener* listener);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool set_ = false;
    std::vector<Listener*> listeners_;
};

enum class WaitResult { first, second, timeout };

// Waits until `first` or `second` is set, at most `timeout`. When both are set, reports `first`,
// as WaitForMultipleObjects reports the lowest index.
WaitResult wait_for_either(ManualResetEvent& first, ManualResetEvent& second,
                           std::chrono::milliseconds timeout);

}  // namespace velmora::platform
