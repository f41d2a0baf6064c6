// "host options": what the host was started with that a plug-in acts on (the image to open, whether
// to go online at once, the client file), answered to the plug-in's requests (host_components.h).
//
// Callers may rely on: the values are fixed at construction, so a request may come from any thread;
// the component is registered under k_host_options when given a registry.
#pragma once

#include <cstdint>
#include <string>

#include "link/component.h"

namespace velmora {

struct StartOptions {
    std::string open_image;  // empty when none
    bool connect = false;
    std::string client_file;  // empty when none
};

class StartOptionsComponent final : public component {
public:
    StartOptionsComponent(component_registry* registry, StartOptions options);

    bool is_shareable() const override { return true; }
    std::string type_name() const override { return "options"; }
    std::uint32_t request(const component_msg& msg) override;

private:
    const StartOptions options_;
};

}  // namespace velmora
