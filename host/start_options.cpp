#include "host/start_options.h"

#include <utility>

#include "link/host_components.h"

namespace velmora {

namespace {

std::uint32_t answer_path(const std::string& path, const component_msg& msg) {
    if (path.empty()) {
        return 0;
    }
    if (msg.param2 != nullptr) {
        *static_cast<std::string*>(const_cast<void*>(msg.param2)) = path;
    }
    return 1;
}

}  // namespace

StartOptionsComponent::StartOptionsComponent(component_registry* registry, StartOptions options)
    : component(k_host_options, registry), options_(std::move(options)) {}

std::uint32_t StartOptionsComponent::request(const component_msg& msg) {
    switch (msg.code) {
        case k_option_open_image:
            return answer_path(options_.open_image, msg);
        case k_option_connect:
            return options_.connect ? 1 : 0;
        case k_option_client_file:
            return answer_path(options_.client_file, msg);
        default:
            return 0;
    }
}

}  // namespace velmora
