#include "link/agent/panel_tests.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <string>

#include "link/agent/link_protocol.h"
#include "link/window_messages.h"

namespace velmora {

namespace {

constexpr std::uint8_t k_reply_done = 0;
constexpr std::uint8_t k_reply_failed = 1;

// The light/dim payload: 0 lights, 1 dims.
constexpr std::uint8_t k_light_payload = 0;
constexpr std::uint8_t k_dim_payload = 1;

const std::array<std::uint8_t, 1> k_one_payload{k_test_payload};

std::string format_number(const char* format, unsigned value) {
    char text[128];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

bool PanelTests::command(LinkCommand code, std::span<const std::uint8_t> payload) {
    return LinkProtocol(session_).send_command(code, payload, session_.timing.command_result);
}

// --- Lamp position --------------------------------------------------------------------------------

bool PanelTests::lamp_test_running() const {
    return session_.owner.lamp_test_running() && !session_.events.thread_cancelled();
}

void PanelTests::tell_why_cancelled() {
    if (session_.events.thread_cancelled()) {
        session_.output.output_if_port_closed();
    }
}

void PanelTests::lamp_test_refused() {
    session_.owner.post_to_page(LinkPage::front_panel, message_number(WindowMessage::lamp_test_ended));
    session_.owner.set_lamp_key_request(LampKey::none);
}

void PanelTests::stop_lamp_test() {
    session_.output.output_text("\nStop test lamp pos!\n");
    session_.owner.post_to_page(LinkPage::front_panel, message_number(WindowMessage::lamp_test_ended));
    session_.owner.set_lamp_key_request(LampKey::none);
}

void PanelTests::lamp_test() {
    link_owner& owner = session_.owner;
    if (!owner.panel_connected()) {
        session_.output.output_text("\n!!Please connect with panel correctly!\v");
        lamp_test_refused();
        return;
    }
    session_.output.output_text("\nStart to config lamp pos...\n");
    session_.line.flush_rx();
    if (!command(LinkCommand::lamp_test, k_one_payload)) {
        session_.output.output_failure("\n!!Send test lamp pos CMD failed!\nPlease try again!\n");
        owner.post_to_page(LinkPage::front_panel, message_number(WindowMessage::lamp_test_ended));
        session_.output.output_text("\nStop test lamp pos!\n");
        owner.set_lamp_key_request(LampKey::none);
        return;
    }
    session_.output.output_text(
        "\n Press OK when lamp is light!\n Press Left to light the previous led!\n Press Right to light the "
        "next "
        "led!");
    if (!lamp_test_running()) {
        tell_why_cancelled();
        stop_lamp_test();
        return;
    }
    for (;;) {
        // Read before the page is looked at: a key pressed after the look moves it, and the wait ends.
        const std::uint64_t seen = session_.events.page_events();
        // Taken before acting, so a key pressed while the box answers this one is the next request.
        const LampKey request = owner.take_lamp_key_request();
        if (request == LampKey::confirm) {
            break;
        }
        if ((request == LampKey::left || request == LampKey::right) && !move_lamp(request)) {
            stop_lamp_test();
            return;
        }
        if (!lamp_test_running() || (request == LampKey::none && !session_.events.wait_page_change(seen))) {
            tell_why_cancelled();
            stop_lamp_test();
            return;
        }
    }
    confirm_lamp();
}

bool PanelTests::move_lamp(LampKey request) {
    const bool left = request == LampKey::left;
    if (!command(left ? LinkCommand::lamp_previous : LinkCommand::lamp_next, k_one_payload)) {
        session_.output.output_failure(left ? "\n!!Send move left CMD failed!"
                                            : "\n!!Send move right CMD failed!");
        return false;
    }
    std::array<std::uint8_t, k_reply_size> reply{};
    if (!session_.line.read_rx(reply.data(), reply.size(), session_.timing.test_reply)) {
        session_.output.output_text(left ? "\n!!Click left,get the led pos failed!"
                                         : "\n!!Click right,get the led pos failed!");
    } else if (reply[0] != k_reply_done) {
        session_.output.output_text(left ? "\nClick left,get the led pos failed!"
                                         : "\nClick right,get the led pos failed!");
    } else {
        session_.output.output_text(format_number(
            left ? "\nClick left,the led pos is: %u" : "\nClick right,the led pos is: %u", reply[1]));
    }
    return true;
}

void PanelTests::confirm_lamp() {
    if (!command(LinkCommand::lamp_confirm, k_one_payload)) {
        session_.output.output_failure("\n!!Send confirm CMD failed!");
        stop_lamp_test();
        return;
    }
    std::array<std::uint8_t, k_reply_size> reply{};
    if (!session_.line.read_rx(reply.data(), reply.size(), session_.timing.test_reply)) {
        session_.output.output_failure("\n!!Get confirm CMD failed!");
    } else if (reply[0] != k_reply_done) {
        session_.output.output_text("\nTest lamp pos failed! Retry please!\n");
    } else {
        session_.output.output_text(format_number(
            "\nTest success: the lock or power lamp pos is: %u\nPlease input it to the correct editbox!\n",
            reply[1]));
    }
    stop_lamp_test();
}

// --- Get key --------------------------------------------------------------------------------------

void PanelTests::get_key_refused() {
    session_.owner.post_to_page(LinkPage::key_map, message_number(WindowMessage::key_capture_ended));
    session_.owner.clear_capture_target();
}

void PanelTests::get_key() {
    link_owner& owner = session_.owner;
    if (!owner.panel_connected()) {
        session_.output.output_text("\n!!Please connect with panel correctly!\n");
        get_key_refused();
        return;
    }
    session_.output.output_text("\nStart to get keymap...\n");
    session_.line.flush_rx();
    if (!command(LinkCommand::get_key, k_one_payload)) {
        session_.output.output_failure("\n!!Send get keymap CMD fail!\nPlease try again!\n");
        owner.post_to_page(LinkPage::key_map, message_number(WindowMessage::key_capture_ended));
        session_.output.output_text("\nStop to get keymap...\n");
        owner.clear_capture_target();
        return;
    }
    for (;;) {
        const std::uint64_t seen = session_.events.page_events();
        if (!owner.get_key_running() || session_.events.thread_cancelled()) {
            break;
        }
        std::array<std::uint8_t, k_key_event_size> event{};
        if (!session_.line.read_rx(event.data(), event.size(), session_.timing.test_reply)) {
            // An idle line fails every read at once: the page's flag is looked at again when it changes.
            if (session_.line.idle()) {
                session_.events.wait_page_change(seen);
            }
            continue;
        }
        if (!owner.has_capture_target()) {
            session_.output.output_text("\nPlease Focus the cursor to key!\n");
            continue;
        }
        const CapturedKey captured{static_cast<std::uint16_t>(event[0] | event[1] << 8), event[2]};
        owner.SetCapturedKey(captured);
        owner.post_to_page(LinkPage::key_map, message_number(WindowMessage::key_captured));
        char text[64];
        std::snprintf(text, sizeof text,
                      owner.keys_in_hex() ? "\nusercode:%x,key_value:%x" : "\nusercode:%x,key_value:%u",
                      unsigned{captured.user_code}, unsigned{captured.key});
        session_.output.output_text(text);
    }
    tell_why_cancelled();
    owner.clear_capture_target();
    session_.output.output_text("\nStop to get keymap...\n");
    owner.post_to_page(LinkPage::key_map, message_number(WindowMessage::key_capture_ended));
}

// --- LED map --------------------------------------------------------------------------------------

bool PanelTests::led_map_running() const {
    return session_.owner.get_led_map_running() && !session_.events.thread_cancelled();
}

void PanelTests::led_map_refused() {
    session_.owner.post_to_page(LinkPage::led_map, message_number(WindowMessage::led_map_ended));
}

void PanelTests::stop_led_map() {
    session_.output.output_text("\nStop get ledmap...\n");
    led_map_refused();
}

void PanelTests::led_map() {
    if (!session_.owner.panel_connected()) {
        session_.output.output_text("\n!!Please connect with panel correctly!\v");
        led_map_refused();
        return;
    }
    session_.output.output_text("\nStart get ledmap...\n");
    if (!command(LinkCommand::led_map_start, {})) {
        session_.output.output_failure("\n!!Send Get LedMap CMD fail!\nPlease try again!\v");
        led_map_refused();
        session_.output.output_text("\nStop get ledmap...\n");
        return;
    }
    int successes = 0;
    while (successes < k_led_map_steps) {
        const std::uint64_t seen = session_.events.page_events();
        if (!led_map_running()) {
            tell_why_cancelled();
            stop_led_map();
            return;
        }
        const std::optional<LedPick> pick = session_.owner.take_led_pick();
        if (pick && *pick <= LedPick::last_segment) {
            if (!led_map_step(*pick, successes)) {
                stop_led_map();
                return;
            }
        } else if (!pick && !session_.events.wait_page_change(seen)) {
            tell_why_cancelled();
            stop_led_map();
            return;
        }
    }
    receive_led_map();
}

bool PanelTests::led_map_step(LedPick item, int& successes) {
    const std::array<std::uint8_t, 1> payload{static_cast<std::uint8_t>(item)};
    if (!command(LinkCommand::led_map_step, payload)) {
        session_.output.output_failure("\n!Send ledmap ack CMD fail!Please try again!");
        return false;
    }
    std::array<std::uint8_t, k_reply_size> reply{};
    if (!session_.line.read_rx(reply.data(), reply.size(), session_.timing.test_reply)) {
        session_.output.output_failure("\n!Get ledmap ack CMD fail-1!Please try again!");
        return false;
    }
    if (reply[0] != k_reply_done && reply[0] != k_reply_failed) {
        return true;
    }
    const bool done = reply[0] == k_reply_done;
    if (item == LedPick::all_on) {
        session_.output.output_text(done ? "\nSucceed:Ack All ON " : "\nFailed:Ack All ON ");
    } else if (item == LedPick::all_off) {
        session_.output.output_text(done ? "\nSucceed:Ack All OFF " : "\nFailed:Ack All OFF ");
    } else {
        session_.output.output_text(
            format_number(done ? "\nSucceed: Ack segment %u" : "\nFailed: Ack segment %u",
                          static_cast<unsigned>(pick_segment(item))));
    }
    if (done) {
        ++successes;
    }
    return true;
}

bool PanelTests::read_led_map_header(std::chrono::milliseconds limit) {
    // Bytes before the header are the rest of a copy that was cut or spoiled: they are skipped, and
    // cost time, not tries. A copy the box sends a little later is still read whole.
    const auto give_up = std::chrono::steady_clock::now() + limit;
    bool after_start = false;
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(give_up - std::chrono::steady_clock::now());
        std::uint8_t byte = 0;
        if (left < std::chrono::milliseconds::zero() || !session_.line.read_rx(&byte, 1, left)) {
            return false;
        }
        if (after_start && byte == k_block_marker) {
            return true;
        }
        after_start = byte == k_frame_start;
    }
}

void PanelTests::receive_led_map() {
    const auto limit = session_.timing.record_reply;
    for (int attempt = 0; attempt < k_led_map_attempts && !session_.events.thread_cancelled(); ++attempt) {
        // The box may send its map right after the tenth step's answer: what the queue holds now is
        // the map's start, so the first try takes it as it is. Later tries clear what is left of a copy
        // that failed.
        if (attempt > 0) {
            session_.line.flush_rx();
        }
        std::array<std::uint8_t, k_led_map_size> map{};
        std::array<std::uint8_t, k_frame_crc_size> crc{};
        if (!read_led_map_header(limit) || !session_.line.read_rx(map.data(), map.size(), limit) ||
            !session_.line.read_rx(crc.data(), crc.size(), limit) ||
            frame_crc(map) != get_u32_le(crc.data())) {
            continue;
        }
        session_.output.output_text("\nGet Led Map OK!!! \n");
        session_.line.send_raw(std::span(&k_led_map_received, 1));
        session_.owner.deliver_led_map(map);
        stop_led_map();
        return;
    }
    session_.output.output_failure("\nGet Led Map Error!!! \n");
    stop_led_map();
}

// --- Light and dim --------------------------------------------------------------------------------

bool PanelTests::light_dim(std::int32_t light) {
    session_.line.set_link_state(LinkState::listening);
    if (!session_.owner.panel_connected()) {
        session_.output.output_text("\n!!Please connect with panel correctly!\v");
        return false;
    }
    session_.line.flush_rx();
    const std::array<std::uint8_t, 1> payload{light != 0 ? k_light_payload : k_dim_payload};
    if (!command(LinkCommand::light_dim, payload)) {
        session_.output.output_failure("\nSend light/dim led&lamp CMD fail!");
        return false;
    }
    return true;
}

}  // namespace velmora
