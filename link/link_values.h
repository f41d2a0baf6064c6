// The values the link agent and its owners hand each other: the status the link line shows, the lamp
// test's key requests, the LED map dialogue's picks and a captured key. The agent, the view, its pages
// and the production-line tool all take them from here.
//
// Callers may rely on: the numbers are the ones the pages' shared atomics hold and the box receives
// (an LED pick is the payload of its step command). Qt-free and header-only.
#pragma once

#include <cstdint>
#include <string_view>

namespace velmora {

// What the link prints when it goes online: the box may be reset now. Tools that drive the link wait
// for it.
inline constexpr std::string_view k_reset_prompt = "Please reset the STB!";

// What the link status line shows (SetUpgInfo): nothing, the client going out, or the block's bytes
// taken so far. Every connection ends with idle, failed or not.
enum class UpgStatus : std::int32_t {
    idle = 0,
    syncing = 2,
    transferring = 4,
};

// The lamp test's key request: the page writes confirm, left or right; the test thread takes it,
// leaving none, before it acts, and writes none when it ends.
enum class LampKey : std::int32_t { confirm = 0, left = 1, right = 2, none = 3 };

// The LED map dialogue's steps, sent to the box as they are: all segments on, all off, then the
// segments 0..7 of a digit.
enum class LedPick : std::uint8_t { all_on = 0, all_off = 1, first_segment = 2, last_segment = 9 };
inline constexpr int k_led_segments = 8;
static_assert(static_cast<int>(LedPick::last_segment) - static_cast<int>(LedPick::first_segment) + 1 ==
              k_led_segments);

// 0..7 for a segment pick.
constexpr int pick_segment(LedPick pick) {
    return static_cast<int>(pick) - static_cast<int>(LedPick::first_segment);
}

// A key the box reported while keys are captured: the remote's user code and the key's code.
struct CapturedKey {
    std::uint16_t user_code = 0;
    std::uint8_t key = 0;

    bool operator==(const CapturedKey&) const = default;
};

}  // namespace velmora
