// An "output" component that stands where the host's stands, for the main view's tests: it records
// what it was told, and the host's own registry (also here) tells whether its broadcasts would reach
// it.
#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "host/host_registry.h"
#include "link/component.h"
#include "link/component_msg.h"
#include "link/component_registry.h"
#include "link/host_components.h"

namespace velmora::plugin_test {

class NamedComponent : public component {
public:
    NamedComponent(std::string name, component_registry* registry, bool shareable)
        : component(std::move(name), registry), shareable_(shareable) {}
    bool is_shareable() const override { return shareable_; }
    std::string type_name() const override { return "test"; }

private:
    bool shareable_;
};

// The host's output window: code 26 carries text, code 27 marks a switch between offline and online.
class RecordingOutput : public NamedComponent {
public:
    struct Delivered {
        std::uint32_t code;
        std::string text;
        bool operator==(const Delivered&) const = default;
    };

    explicit RecordingOutput(component_registry& registry) : NamedComponent(k_output, &registry, true) {
        // The host's output window listens from the start.
        set_active(true);
    }

    std::uint32_t deliver(const component_msg& msg) override {
        const auto* bytes = static_cast<const char*>(msg.param2);
        delivered.push_back({msg.code, bytes == nullptr ? std::string{} : std::string(bytes, msg.param1)});
        return 0;
    }

    std::vector<Delivered> delivered;
};

inline std::ostream& operator<<(std::ostream& out, const RecordingOutput::Delivered& item) {
    return out << "{" << item.code << ", \"" << item.text << "\"}";
}

}  // namespace velmora::plugin_test
