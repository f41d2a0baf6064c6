#include "link/component.h"

#include <utility>

namespace velmora {

component::component(std::string name, component_registry* registry)
    : registry_(registry), name_(std::move(name)) {
    // The registry only stores the pointer: nothing reaches this component before it is active.
    if (registry_ != nullptr) {
        registered_ = registry_->register_component(name_, this);
    }
}

}  // namespace velmora
