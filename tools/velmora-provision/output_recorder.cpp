#include "tools/velmora-provision/output_recorder.h"

#include <utility>

#include "link/host_components.h"

namespace velmora::provision {

OutputRecorder::OutputRecorder(component_registry* registry, Sink sink)
    : component(k_output, registry), sink_(std::move(sink)) {}

std::uint32_t OutputRecorder::deliver(const component_msg& msg) {
    // Received serial bytes reach "output" as broadcasts while it is active (26 too): only the
    // agent's own deliveries, made while the agent has switched it inactive, are its texts.
    if (msg.code == k_output_text && msg.param2 != nullptr && !active()) {
        sink_(std::string_view(static_cast<const char*>(msg.param2), msg.param1));
    }
    return 0;
}

}  // namespace velmora::provision
