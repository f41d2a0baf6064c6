// A component for the host's tests that records what reaches it, from whatever thread, and lets a
// test wait for it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "link/component.h"
#include "link/host_components.h"

namespace velmora::test {

// Long enough for a loaded machine; a passing test never waits it out.
inline constexpr std::chrono::seconds k_wait{10};

class RecordingComponent : public component {
public:
    struct Delivery {
        std::uint32_t code;
        std::uint32_t param1;
        std::string bytes;    // code 26: the bytes; code 18: empty
        std::uint32_t count;  // code 18: the count param2 points to
    };

    RecordingComponent(std::string name, component_registry* registry, bool shareable = true)
        : component(std::move(name), registry), shareable_(shareable) {}

    bool is_shareable() const override { return shareable_; }
    std::string type_name() const override { return "recorder"; }

    std::uint32_t deliver(const component_msg& msg) override {
        Delivery delivery{msg.code, msg.param1, {}, 0};
        if (msg.code == k_connector_sent && msg.param2 != nullptr) {
            delivery.count = *static_cast<const std::uint32_t*>(msg.param2);
        } else if (msg.param2 != nullptr) {
            delivery.bytes.assign(static_cast<const char*>(msg.param2), msg.param1);
        }
        if (on_deliver) {
            on_deliver(msg);
        }
        std::lock_guard lock(mutex_);
        deliveries_.push_back(std::move(delivery));
        changed_.notify_all();
        return 0;
    }

    std::vector<Delivery> deliveries() const {
        std::lock_guard lock(mutex_);
        return deliveries_;
    }

    // Waits until `done` holds for the deliveries so far; false when k_wait passes first.
    bool wait_until(const std::function<bool(const std::vector<Delivery>&)>& done) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, k_wait, [&] { return done(deliveries_); });
    }

    // Every byte of the code-26 deliveries, in order.
    static std::string received(const std::vector<Delivery>& deliveries) {
        std::string bytes;
        for (const Delivery& delivery : deliveries) {
            if (delivery.code == k_connector_received) {
                bytes += delivery.bytes;
            }
        }
        return bytes;
    }

    // Called on the delivering thread before the delivery is recorded.
    std::function<void(const component_msg&)> on_deliver;

private:
    bool shareable_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Delivery> deliveries_;
};

}  // namespace velmora::test
