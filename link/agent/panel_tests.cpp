#include "link/agent/panel_tests.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <string>

#include "link/agent/link_agent.h"
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

// --- Lamp position --------------------------------------------------------------------------------

bool PanelTests::lamp_test_running() const {
    return agent_.owner().lamp_test_running() && !agent_.link_thread_cancelled();
}

void PanelTests::tell_why_cancelled() {
    if (agent_.link_thread_cancelled()) {
        agent_.output_if_port_closed();
    }
}

void PanelTests::lamp_test_refused() {
    agent_.owner().post_to_page(LinkPage::front_panel, message_number(WindowMessage::lamp_test_ended));
    agent_.owner().set_lamp_key_request(LampKey::none);
}

void PanelTests::stop_lamp_test() {
    agent_.output_text("\nStop test lamp pos!\n");
    agent_.owner().post_to_page(LinkPage::front_panel, message_number(WindowMessage::lamp_test_ended));
    agent_.owner().set_lamp_key_request(LampKey::none);
}

void PanelTests::lamp_test() {
    link_owner& owner = agent_.owner();
    if (!owner.panel_connected()) {
        agent_.output_text("\n!!Please connect with panel correctly!\v");
        lamp_test_refused();
        return;
    }
    agent_.output_text("\nStart to config lamp pos...\n");
    agent_.flush_rx();
    if (!agent_.send_command(LinkCommand::lamp_test, k_one_payload, agent_.timing().command_result)) {
        agent_.output_failure("\n!!Send test lamp pos CMD failed!\nPlease try again!\n");
        owner.post_to_page(LinkPage::front_panel, message_number(WindowMessage::lamp_test_ended));
        agent_.output_text("\nStop test lamp pos!\n");
        owner.set_lamp_key_request(LampKey::none);
        return;
    }
    agent_.output_text(
        "\n Press OK when lamp is light!\n Press Left to light the previous led!\n Press Right to light the "
        "next "
        "led!");
    if (!lamp_test_running()) {
        tell_why_cancelled();
        stop_lamp_test();
        return;
    }
    for (;;) {
        // Taken before acting, so a key pressed while the box answers this one is the next request.
        const LampKey request = owner.take_lamp_key_request();
        if (request == LampKey::confirm) {
            break;
        }
        if ((request == LampKey::left || request == LampKey::right) && !move_lamp(request)) {
            stop_lamp_test();
            return;
        }
        if (!lamp_test_running() || !agent_.pause(agent_.timing().page_poll)) {
            tell_why_cancelled();
            stop_lamp_test();
            return;
        }
    }
    confirm_lamp();
}

bool PanelTests::move_lamp(LampKey request) {
    const bool left = request == LampKey::left;
    if (!agent_.send_command(left ? LinkCommand::lamp_previous : LinkCommand::lamp_next, k_one_payload,
                             agent_.timing().command_result)) {
        agent_.output_failure(left ? "\n!!Send move left CMD failed!" : "\n!!Send move right CMD failed!");
        return false;
    }
    std::array<std::uint8_t, k_reply_size> reply{};
    if (!agent_.read_rx(reply.data(), reply.size(), agent_.timing().test_reply)) {
        agent_.output_text(left ? "\n!!Click left,get the led pos failed!"
                                : "\n!!Click right,get the led pos failed!");
    } else if (reply[0] != k_reply_done) {
        agent_.output_text(left ? "\nClick left,get the led pos failed!"
                                : "\nClick right,get the led pos failed!");
    } else {
        agent_.output_text(format_number(
            left ? "\nClick left,the led pos is: %u" : "\nClick right,the led pos is: %u", reply[1]));
    }
    return true;
}

void PanelTests::confirm_lamp() {
    if (!agent_.send_command(LinkCommand::lamp_confirm, k_one_payload, agent_.timing().command_result)) {
        agent_.output_failure("\n!!Send confirm CMD failed!");
        stop_lamp_test();
        return;
    }
    std::array<std::uint8_t, k_reply_size> reply{};
    if (!agent_.read_rx(reply.data(), reply.size(), agent_.timing().test_reply)) {
        agent_.output_failure("\n!!Get confirm CMD failed!");
    } else if (reply[0] != k_reply_done) {
        agent_.output_text("\nTest lamp pos failed! Retry please!\n");
    } else {
        agent_.output_text(format_number(
            "\nTest success: the lock or power lamp pos is: %u\nPlease input it to the correct editbox!\n",
            reply[1]));
    }
    stop_lamp_test();
}

// --- Get key --------------------------------------------------------------------------------------

void PanelTests::get_key_refused() {
    agent_.owner().post_to_page(LinkPage::key_map, message_number(WindowMessage::key_capture_ended));
    agent_.owner().clear_capture_target();
}

void PanelTests::get_key() {
    link_owner& owner = agent_.owner();
    if (!owner.panel_connected()) {
        agent_.output_text("\n!!Please connect with panel correctly!\n");
        get_key_refused();
        return;
    }
    agent_.output_text("\nStart to get keymap...\n");
    agent_.flush_rx();
    if (!agent_.send_command(LinkCommand::get_key, k_one_payload, agent_.timing().command_result)) {
        agent_.output_failure("\n!!Send get keymap CMD fail!\nPlease try again!\n");
        owner.post_to_page(LinkPage::key_map, message_number(WindowMessage::key_capture_ended));
        agent_.output_text("\nStop to get keymap...\n");
        owner.clear_capture_target();
        return;
    }
    while (owner.get_key_running() && !agent_.link_thread_cancelled()) {
        std::array<std::uint8_t, k_key_event_size> event{};
        if (!agent_.read_rx(event.data(), event.size(), agent_.timing().test_reply)) {
            // An idle link fails every read at once: look at the page's flag at the polling pace.
            if (agent_.link_state() == static_cast<std::int32_t>(LinkState::idle)) {
                agent_.pause(agent_.timing().page_poll);
            }
            continue;
        }
        if (!owner.has_capture_target()) {
            agent_.output_text("\nPlease Focus the cursor to key!\n");
            continue;
        }
        const CapturedKey captured{static_cast<std::uint16_t>(event[0] | event[1] << 8), event[2]};
        owner.SetCapturedKey(captured);
        owner.post_to_page(LinkPage::key_map, message_number(WindowMessage::key_captured));
        char text[64];
        std::snprintf(text, sizeof text,
                      owner.keys_in_hex() ? "\nusercode:%x,key_value:%x" : "\nusercode:%x,key_value:%u",
                      unsigned{captured.user_code}, unsigned{captured.key});
        agent_.output_text(text);
    }
    tell_why_cancelled();
    owner.clear_capture_target();
    agent_.output_text("\nStop to get keymap...\n");
    owner.post_to_page(LinkPage::key_map, message_number(WindowMessage::key_capture_ended));
}

// --- LED map --------------------------------------------------------------------------------------

bool PanelTests::led_map_running() const {
    return agent_.owner().get_led_map_running() && !agent_.link_thread_cancelled();
}

void PanelTests::led_map_refused() {
    agent_.owner().post_to_page(LinkPage::led_map, message_number(WindowMessage::led_map_ended));
}

void PanelTests::stop_led_map() {
    agent_.output_text("\nStop get ledmap...\n");
    led_map_refused();
}

void PanelTests::led_map() {
    if (!agent_.owner().panel_connected()) {
        agent_.output_text("\n!!Please connect with panel correctly!\v");
        led_map_refused();
        return;
    }
    agent_.output_text("\nStart get ledmap...\n");
    if (!agent_.send_command(LinkCommand::led_map_start, {}, agent_.timing().command_result)) {
        agent_.output_failure("\n!!Send Get LedMap CMD fail!\nPlease try again!\v");
        led_map_refused();
        agent_.output_text("\nStop get ledmap...\n");
        return;
    }
    int successes = 0;
    while (successes < k_led_map_steps) {
        if (!led_map_running()) {
            tell_why_cancelled();
            stop_led_map();
            return;
        }
        const std::optional<LedPick> pick = agent_.owner().take_led_pick();
        if (pick && *pick <= LedPick::last_segment) {
            if (!led_map_step(*pick, successes)) {
                stop_led_map();
                return;
            }
        } else if (!agent_.pause(agent_.timing().page_poll)) {
            tell_why_cancelled();
            stop_led_map();
            return;
        }
    }
    receive_led_map();
}

bool PanelTests::led_map_step(LedPick item, int& successes) {
    const std::array<std::uint8_t, 1> payload{static_cast<std::uint8_t>(item)};
    if (!agent_.send_command(LinkCommand::led_map_step, payload, agent_.timing().command_result)) {
        agent_.output_failure("\n!Send ledmap ack CMD fail!Please try again!");
        return false;
    }
    std::array<std::uint8_t, k_reply_size> reply{};
    if (!agent_.read_rx(reply.data(), reply.size(), agent_.timing().test_reply)) {
        agent_.output_failure("\n!Get ledmap ack CMD fail-1!Please try again!");
        return false;
    }
    if (reply[0] != k_reply_done && reply[0] != k_reply_failed) {
        return true;
    }
    const bool done = reply[0] == k_reply_done;
    if (item == LedPick::all_on) {
        agent_.output_text(done ? "\nSucceed:Ack All ON " : "\nFailed:Ack All ON ");
    } else if (item == LedPick::all_off) {
        agent_.output_text(done ? "\nSucceed:Ack All OFF " : "\nFailed:Ack All OFF ");
    } else {
        agent_.output_text(format_number(done ? "\nSucceed: Ack segment %u" : "\nFailed: Ack segment %u",
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
        if (left < std::chrono::milliseconds::zero() || !agent_.read_rx(&byte, 1, left)) {
            return false;
        }
        if (after_start && byte == k_block_marker) {
            return true;
        }
        after_start = byte == k_frame_start;
    }
}

void PanelTests::receive_led_map() {
    const auto limit = agent_.timing().record_reply;
    for (int attempt = 0; attempt < k_led_map_attempts && !agent_.link_thread_cancelled(); ++attempt) {
        // The box may send its map right after the tenth step's answer: what the queue holds now is
        // the map's start, so the first try takes it as it is. Later tries clear what is left of a copy
        // that failed.
        if (attempt > 0) {
            agent_.flush_rx();
        }
        std::array<std::uint8_t, k_led_map_size> map{};
        std::array<std::uint8_t, k_frame_crc_size> crc{};
        if (!read_led_map_header(limit) || !agent_.read_rx(map.data(), map.size(), limit) ||
            !agent_.read_rx(crc.data(), crc.size(), limit) || frame_crc(map) != get_u32_le(crc.data())) {
            continue;
        }
        agent_.output_text("\nGet Led Map OK!!! \n");
        agent_.send_raw(&k_led_map_received, 1);
        agent_.owner().deliver_led_map(map);
        stop_led_map();
        return;
    }
    agent_.output_failure("\nGet Led Map Error!!! \n");
    stop_led_map();
}

// --- Light and dim --------------------------------------------------------------------------------

bool PanelTests::light_dim(std::int32_t light) {
    agent_.set_link_state(LinkState::listening);
    if (!agent_.owner().panel_connected()) {
        agent_.output_text("\n!!Please connect with panel correctly!\v");
        return false;
    }
    agent_.flush_rx();
    const std::array<std::uint8_t, 1> payload{light != 0 ? k_light_payload : k_dim_payload};
    if (!agent_.send_command(LinkCommand::light_dim, payload, agent_.timing().command_result)) {
        agent_.output_failure("\nSend light/dim led&lamp CMD fail!");
        return false;
    }
    return true;
}

}  // namespace velmora
