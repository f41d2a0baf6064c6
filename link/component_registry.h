// The registry a component registers with and looks its peers up in; the host owns the one
// implementation and hands the plug-in a pointer to it.
//
// Callers may rely on: the interface is pure, so a plug-in uses it through this header alone and
// needs no library of the host. `lookup` never returns null. `broadcast` calls `deliver` on the
// receivers outside any registry lock, so a receiver may look components up and make requests from
// inside its `deliver`.
#pragma once

#include <string>

#include "link/component_msg.h"

namespace velmora {

class component;

class component_registry {
public:
    virtual ~component_registry() = default;

    // True when the name was free and the component now holds it; false (and no change) otherwise.
    virtual bool register_component(const std::string& name, component* item) = 0;
    // The component registered under `name` with one more reference, or the registry's null
    // component when there is none or it is not shareable and already referenced.
    virtual component* lookup(const std::string& name) = 0;
    // Delivers `msg` to every active component except `sender`, in name order, while broadcasting
    // is enabled. `sender` may be null.
    virtual void broadcast(const component* sender, const component_msg& msg) = 0;

protected:
    component_registry() = default;
    component_registry(const component_registry&) = delete;
    component_registry& operator=(const component_registry&) = delete;
};

}  // namespace velmora
