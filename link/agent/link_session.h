// What the connection and the panel tests work with, handed to them by the link agent that owns it
// all: the owner (the user and the pages), the line, the output window, the waits and wakes, and the
// link's timing. Each sequence reads the link through these alone.
//
// Callers may rely on: a session only refers; everything it names outlives every sequence that
// holds it (the agent joins their threads before any of it goes).
#pragma once

#include "link/agent/link_events.h"
#include "link/agent/link_line.h"
#include "link/agent/link_output.h"
#include "link/agent/link_owner.h"
#include "link/agent/link_timing.h"

namespace velmora {

struct LinkSession {
    link_owner& owner;
    LinkLine& line;
    LinkOutput& output;
    LinkEvents& events;
    const LinkTiming& timing;
};

}  // namespace velmora
