// The window messages that the pages, the main view and the link's test threads post to each other.
//
// Callers may rely on: the numbers are fixed (WM_USER + 18 .. WM_USER + 26, that is 1042 .. 1050) and
// every message carries wParam 0 and lParam 0. A page, the view and a test thread that agree on a
// message use the enumerator here; none spells the number itself. The header is Qt-free, so the
// pages' form models and the link use it as well as the dialogs.
#pragma once

namespace velmora {

// The first message number that an application may use for its own messages.
inline constexpr int WM_USER = 0x0400;

enum class WindowMessage : int {
    // From a test thread to its page: the test has ended.
    lamp_test_ended = WM_USER + 18,    // to the front panel page
    led_map_ended = WM_USER + 19,      // to the LED map page
    key_capture_ended = WM_USER + 20,  // to the key map page
    // From a page to the main view: start a test thread.
    start_lamp_test = WM_USER + 21,    // front panel page
    start_get_led_map = WM_USER + 22,  // LED map page
    start_get_key = WM_USER + 23,      // key map page
    // From the get-key thread to the key map page, after SetCapturedKey recorded the key.
    key_captured = WM_USER + 24,
    // From the front panel page to the main view: light or dim every LED and lamp.
    light_all = WM_USER + 25,
    dim_all = WM_USER + 26,
};

// The number that `post_message` and a message map take.
constexpr int message_number(WindowMessage message) {
    return static_cast<int>(message);
}

static_assert(message_number(WindowMessage::lamp_test_ended) == 1042);
static_assert(message_number(WindowMessage::led_map_ended) == 1043);
static_assert(message_number(WindowMessage::key_capture_ended) == 1044);
static_assert(message_number(WindowMessage::start_lamp_test) == 1045);
static_assert(message_number(WindowMessage::start_get_led_map) == 1046);
static_assert(message_number(WindowMessage::start_get_key) == 1047);
static_assert(message_number(WindowMessage::key_captured) == 1048);
static_assert(message_number(WindowMessage::light_all) == 1049);
static_assert(message_number(WindowMessage::dim_all) == 1050);

}  // namespace velmora
