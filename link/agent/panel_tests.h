// The panel tests that the pages start once the box runs the client and has the block: find the
// position of the lock and power lamps, capture key codes, teach the box its LED segments and get
// back its LED map, and light or dim every LED and lamp. All but light_dim run on the link agent's
// test thread; each reports to the user through the output window and to its page through the
// link_owner (its flags, its data, and its end message, which it always posts, also when it
// refuses to run).
//
// Between the user's requests a test sleeps until its page changes (LinkEvents::page_changed), and
// every wait also ends when the agent cancels its thread (destruction, a closed port, going online or
// offline); after a closed port the test says so before its stop text.
//
// Callers may rely on: the object only borrows the session; the texts are the box tool's own, word
// for word (vertical tabs included).
#pragma once

#include <chrono>
#include <cstdint>
#include <span>

#include "link/agent/link_frames.h"
#include "link/agent/link_session.h"
#include "link/link_values.h"

namespace velmora {

class PanelTests {
public:
    explicit PanelTests(const LinkSession& session) : session_(session) {}

    void lamp_test();
    void get_key();
    void led_map();
    bool light_dim(std::int32_t light);

    // What a test's page hears when the test cannot start: its end message, its flags reset.
    void lamp_test_refused();
    void get_key_refused();
    void led_map_refused();

private:
    bool command(LinkCommand code, std::span<const std::uint8_t> payload);
    bool lamp_test_running() const;
    void stop_lamp_test();
    // Lights the previous (left) or next (right) lamp position; false when the command failed.
    bool move_lamp(LampKey request);
    void confirm_lamp();
    // Before a stop sequence: when the thread was told to end, the line that says a closed port did it.
    void tell_why_cancelled();
    bool led_map_running() const;
    void stop_led_map();
    // Reads up to the LED map's header 0x23 0x2A within `limit`; false when none came.
    bool read_led_map_header(std::chrono::milliseconds limit);
    // Sends one step; false when the test must stop. Counts a taken step in `successes`.
    bool led_map_step(LedPick item, int& successes);
    void receive_led_map();

    LinkSession session_;
};

}  // namespace velmora
