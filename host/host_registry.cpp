#include "host/host_registry.h"

#include <utility>

namespace velmora {

bool HostRegistry::register_component(const std::string& name, component* item) {
    if (item == nullptr) {
        return false;
    }
    Logger logger;
    {
        std::lock_guard lock(mutex_);
        if (!entries_.emplace(name, item).second) {
            return false;
        }
        logger = logger_;
    }
    // Outside the lock: a logger that writes to a component may well look it up.
    if (logger) {
        logger("component <" + name + "> registered\n");
    }
    return true;
}

component* HostRegistry::lookup(const std::string& name) {
    std::lock_guard lock(mutex_);
    auto found = entries_.find(name);
    if (found == entries_.end()) {
        return &null_;
    }
    component* item = found->second;
    // The check and the new reference happen under one lock, so two callers cannot both get a
    // component that only one may hold.
    if (!item->is_shareable() && item->ref_count() > 0) {
        return &null_;
    }
    item->add_ref();
    return item;
}

void HostRegistry::broadcast(const component* sender, const component_msg& msg) {
    if (!broadcasting_.load()) {
        return;
    }
    std::vector<component*> receivers;
    {
        std::lock_guard lock(mutex_);
        receivers.reserve(entries_.size());
        for (const auto& [name, item] : entries_) {
            if (item != sender && item->active()) {
                receivers.push_back(item);
            }
        }
    }
    for (component* item : receivers) {
        // A receiver switched off while earlier ones were served must not get the message.
        if (item->active()) {
            item->deliver(msg);
        }
    }
}

void HostRegistry::unregister_component(const component* item) {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [item](const auto& entry) { return entry.second == item; });
}

void HostRegistry::set_logger(Logger logger) {
    std::lock_guard lock(mutex_);
    logger_ = std::move(logger);
}

std::vector<std::string> HostRegistry::names() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> result;
    result.reserve(entries_.size());
    for (const auto& entry : entries_) {
        result.push_back(entry.first);
    }
    return result;
}

}  // namespace velmora
