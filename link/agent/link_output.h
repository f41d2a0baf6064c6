// The link's side of the registry's "output" window: the texts the connection and the panel tests
// print, and the window's switch between showing the line's bytes and showing the link's texts.
//
// Callers may rely on: without a registry every member does nothing; every member may be called
// from any thread and returns once the output window has taken the text.
#pragma once

#include <cstdint>
#include <string_view>

#include "link/component_registry.h"

namespace velmora {

class LinkLine;

class LinkOutput {
public:
    LinkOutput(component_registry* registry, const LinkLine& line) : registry_(registry), line_(line) {}

    std::uint32_t output_text(std::string_view text);
    // A failure's text; when the port is closed, a line that says so follows it.
    void output_failure(std::string_view text);
    // The line that says the port is closed, when it is.
    void output_if_port_closed();
    // Nonzero: the window shows the line's bytes as they come.
    void set_output_active(std::int32_t flag);
    // The window clears what it held of the line's bytes: the link's texts follow.
    void output_reset();

private:
    component_registry* const registry_;
    const LinkLine& line_;
};

}  // namespace velmora
