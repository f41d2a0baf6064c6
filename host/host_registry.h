// The host's component registry: components by name, in byte order of their names, with a null
// component for failed lookups and a broadcast that reaches the active components.
//
// Callers may rely on: every operation is thread-safe; `broadcast` calls `deliver` without holding
// the registry's lock (a receiver may look up, request and even broadcast from inside it);
// broadcasting starts enabled. The registry never owns or destroys a component; the host takes its
// own components out with `unregister_component` before it destroys them.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "host/null_component.h"
#include "link/component_registry.h"

namespace velmora {

class HostRegistry final : public component_registry {
public:
    // Receives one line per registration, "component <NAME> registered\n".
    using Logger = std::function<void(const std::string& line)>;

    HostRegistry() = default;

    bool register_component(const std::string& name, component* item) override;
    component* lookup(const std::string& name) override;
    void broadcast(const component* sender, const component_msg& msg) override;

    // Host side only: forget `item`, so later lookups of its name give the null component.
    void unregister_component(const component* item);
    void set_broadcasting(bool on) { broadcasting_.store(on); }
    bool broadcasting() const { return broadcasting_.load(); }
    void set_logger(Logger logger);

    component& null_component() { return null_; }
    // The registered names in registry order.
    std::vector<std::string> names() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, component*> entries_;  // std::string orders as unsigned bytes
    NullComponent null_;
    std::atomic<bool> broadcasting_{true};
    Logger logger_;
};

}  // namespace velmora
