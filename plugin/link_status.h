// What the view says about the link beside its status line, so the user sees whether the tests can
// run: offline, waiting for the box's reset, connecting, connected, or the serial port closed. The
// status line keeps its own texts; this says what they do not (after a connection the status line is
// blank).
//
// Callers may rely on: every combination has an answer; offline wins over everything, a closed port
// over the rest. The functions are pure and may be called from any thread.
#pragma once

namespace velmora {

enum class LinkIndicator { offline, port_closed, waiting_for_reset, connecting, connected };

struct LinkFacts {
    bool online = false;       // "Connect with Panel" until Clear
    bool port_closed = false;  // the connector said its port closed, and none opened since
    bool connecting = false;   // from the box's sync byte until the connection ends
    bool connected = false;    // the box runs the client and has the block
};

LinkIndicator link_indicator(const LinkFacts& facts);
// The short text beside the status line, and the sentence of its tooltip.
const char* link_indicator_text(LinkIndicator indicator);
const char* link_indicator_tip(LinkIndicator indicator);

}  // namespace velmora
