// The base of every component, the host's and the plug-in's: a named object that other components
// reach through the registry with `request`, and that the registry's broadcasts reach with
// `deliver` while it is active.
//
// Callers may rely on: construction with a registry registers the component under its name (a name
// already taken leaves it unregistered; `registered()` tells); destruction does not unregister, so
// whoever owns the registry keeps every registered component alive as long as the registry may
// broadcast. `active`, the reference count and the lock may be used from any thread. The base
// `request` and `deliver` answer 0.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "link/component_msg.h"
#include "link/component_registry.h"

namespace velmora {

class component {
public:
    component(std::string name, component_registry* registry);
    // Every virtual member is defined here, so the class has no key function: its vtable and type
    // information come with the header, and a plug-in that only holds component pointers (even one
    // built with the sanitizers' type checks) needs no library of ours.
    virtual ~component() { registry_ = nullptr; }
    component(const component&) = delete;
    component& operator=(const component&) = delete;

    virtual bool is_shareable() const = 0;
    virtual std::string type_name() const = 0;
    virtual std::uint32_t request(const component_msg&) { return 0; }
    virtual std::uint32_t deliver(const component_msg&) { return 0; }
    virtual bool operator==(const component& other) const { return name_ == other.name_; }
    virtual bool operator!=(const component& other) const { return name_ != other.name_; }

    const std::string& name() const { return name_; }
    component_registry* registry() const { return registry_; }
    bool registered() const { return registered_; }

    void add_ref() { refs_.fetch_add(1); }
    void release() { refs_.fetch_sub(1); }
    std::uint32_t ref_count() const { return refs_.load(); }

    // Broadcasts reach the component only while it is active; it starts inactive.
    bool active() const { return active_.load(); }
    void set_active(bool on) { active_.store(on); }

    void lock() { lock_.lock(); }
    bool try_lock() { return lock_.try_lock(); }
    void unlock() { lock_.unlock(); }

    // Holds the component's lock for its lifetime.
    class guard {
    public:
        explicit guard(component& owner) : owner_(owner) { owner_.lock(); }
        ~guard() { owner_.unlock(); }
        guard(const guard&) = delete;
        guard& operator=(const guard&) = delete;

    private:
        component& owner_;
    };

private:
    component_registry* registry_;
    std::mutex lock_;
    std::string name_;
    std::atomic<std::uint32_t> refs_{0};
    std::atomic<bool> active_{false};
    bool registered_ = false;
};

}  // namespace velmora
