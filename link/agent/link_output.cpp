#include "link/agent/link_output.h"

#include "link/agent/link_line.h"
#include "link/component.h"
#include "link/host_components.h"

namespace velmora {

namespace {

// Follows a failure's own text when the port has closed, so "Please try again!" is not left alone.
constexpr std::string_view k_port_closed_text = "\n!!The serial port is closed! Open it, then try again.\n";

}  // namespace

std::uint32_t LinkOutput::output_text(std::string_view text) {
    if (registry_ == nullptr) {
        return 0;
    }
    const component_msg msg{k_output_text, static_cast<std::uint32_t>(text.size()), text.data()};
    return registry_->lookup(k_output)->deliver(msg);
}

void LinkOutput::output_failure(std::string_view text) {
    output_text(text);
    output_if_port_closed();
}

void LinkOutput::output_if_port_closed() {
    if (line_.port_closed()) {
        output_text(k_port_closed_text);
    }
}

void LinkOutput::set_output_active(std::int32_t flag) {
    if (registry_ != nullptr) {
        registry_->lookup(k_output)->set_active(flag != 0);
    }
}

void LinkOutput::output_reset() {
    if (registry_ != nullptr) {
        registry_->lookup(k_output)->deliver(component_msg{k_output_link_switch, 0, nullptr});
    }
}

}  // namespace velmora
