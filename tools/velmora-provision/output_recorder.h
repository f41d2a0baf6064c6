// "output" for velmora-provision: the host's output window reduced to a sink that hands every text
// the agent writes, word for word, to the port's box tracker.
//
// Callers may rely on: deliver may be called from any thread; the text is handed on during the call.
#pragma once

#include <functional>
#include <string_view>

#include "link/component.h"

namespace velmora::provision {

class OutputRecorder final : public component {
public:
    using Sink = std::function<void(std::string_view text)>;

    OutputRecorder(component_registry* registry, Sink sink);

    bool is_shareable() const override { return true; }
    std::string type_name() const override { return "output"; }
    std::uint32_t deliver(const component_msg& msg) override;

private:
    Sink sink_;
};

}  // namespace velmora::provision
