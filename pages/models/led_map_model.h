// The "LED Map" page without its window: the 256-byte LED map (block bytes 32..287), whether the
// page's buttons are enabled, and the page's side of getting the map from the box: the running flag
// with its button caption, and the segment pick waiting for the worker.
//
// Callers may rely on:
// - load, store and the .led record touch bytes 32..287 only, taken over as they are; byte 288
//   (the LED font count) is never touched.
// - A pick is neither lost nor taken twice: the pending flag and the picked item change together,
//   and take_pick() clears the flag only for the pick it returns.
// - The map is read and replaced whole: a worker's delivery and a load (block or .led file) never
//   mix into one map, and led_map() never returns half of each.
// - A map the worker delivers before posting led_map_ended is in the model when the page handles
//   that message.
//
// Who touches what (UI thread = the page and the view; worker = the link's get-LED-map worker):
// - get_led_map_running: written by the UI thread (start, stop, led_map_ended, Clear); read by the
//   worker, which runs while it is set. An atomic. After each change of it or of the pick, the UI
//   thread calls wake_test_thread.
// - pending pick and picked item: one atomic word; the UI thread writes it (pick buttons), the worker
//   reads it and clears the pending flag when it takes the pick (take_pick, pick_pending,
//   picked_item).
// - the map bytes: replaced by the worker (deliver_led_map) and by the UI thread (load, .led load);
//   read by the UI thread (store, view, .led save). Under map_mutex_.
// - the caption and controls_enabled: UI thread only.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "link/link_values.h"
#include "link/window_messages.h"
#include "pages/models/page_model.h"
#include "pages/models/test_thread_wake.h"

namespace velmora {

// What the page posts to the main view.
enum class LedMapRequest : int { start_get_led_map = message_number(WindowMessage::start_get_led_map) };

class LedMapModel : public PageModel {
public:
    static constexpr std::size_t k_map_size = k_led_map.length;

    // Pick items, the box's LED map steps (LedPick); none when nothing is picked.
    static constexpr std::uint8_t k_pick_all_on = static_cast<std::uint8_t>(LedPick::all_on);
    static constexpr std::uint8_t k_pick_all_off = static_cast<std::uint8_t>(LedPick::all_off);
    static constexpr std::uint8_t k_pick_first_segment = static_cast<std::uint8_t>(LedPick::first_segment);
    // Segment 7; the worker takes no item above it.
    static constexpr std::uint8_t k_pick_last = static_cast<std::uint8_t>(LedPick::last_segment);
    static constexpr std::uint8_t k_pick_none = k_pick_last + 1;

    // The pick buttons by their captions: the segments of the digit, then all on and all off. The
    // LED map page's dialog pairs each with its control.
    struct PickButton {
        std::string_view text;
        std::uint8_t item;
    };
    static constexpr std::array<PickButton, 10> k_pick_buttons{{
        {"0", k_pick_first_segment + 0},  // top bar
        {"1", k_pick_first_segment + 1},  // upper right
        {"2", k_pick_first_segment + 2},  // lower right
        {"3", k_pick_first_segment + 3},  // bottom bar
        {"4", k_pick_first_segment + 4},  // lower left
        {"5", k_pick_first_segment + 5},  // upper left
        {"6", k_pick_first_segment + 6},  // middle bar
        {"7", k_pick_first_segment + 7},  // the dot
        {"Light All", k_pick_all_on},
        {"Dim All", k_pick_all_off},
    }};
    static_assert(k_pick_first_segment + 7 == k_pick_last);

    static constexpr std::string_view k_start_caption = "Start Get LED Map";
    static constexpr std::string_view k_stop_caption = "Stop Get LED Map";

    LedMapModel() = default;

    PageMessages load(ConfigBlock block) override;
    std::optional<PageMessage> store(ConfigBlock& block) override;
    std::optional<PageMessage> apply_side_record(SideFileKind kind, const ConfigBlock& record) override;
    std::optional<PageMessage> build_side_record(SideFileKind kind, ConfigBlock& record) override;
    PageView view() const override;

    std::array<std::uint8_t, k_map_size> led_map() const;

    // The view shows the page: its buttons work only with the FP type "1642" (index 0).
    void EnableControls(bool enable) { controls_enabled_ = enable; }
    bool controls_enabled() const { return controls_enabled_; }
    static bool enables_controls(int fp_type_index) { return fp_type_index == 0; }

    // "Start Get LED Map" / "Stop Get LED Map".
    std::optional<LedMapRequest> press_get_led_map_button();
    // One of the ten pick buttons, by its item. Outside a run the pick is dropped.
    void press_pick_button(std::uint8_t item);
    // WindowMessage::led_map_ended.
    void on_led_map_ended();
    // The view's Clear.
    void stop_get_led_map();
    const std::string& get_led_map_caption() const { return caption_; }

    // Worker side.
    bool pick_pending() const;
    std::uint8_t picked_item() const;
    // The waiting pick when there is one for the box (item 9 or less), clearing the pending flag.
    std::optional<std::uint8_t> take_pick();
    void deliver_led_map(std::span<const std::uint8_t, k_map_size> map);

    // Shared with the LED-map worker, which runs while it is set.
    std::atomic<bool> get_led_map_running{false};
    TestThreadWake wake_test_thread;

private:
    void set_map(std::span<const std::uint8_t, k_map_size> map);

    // One lock over the whole map, so that it is only ever seen whole. The worker's post of
    // led_map_ended comes after its delivery released the lock, so the page sees the new map.
    mutable std::mutex map_mutex_;
    std::array<std::uint8_t, k_map_size> map_{};
    // Item in the low byte, the pending flag above it: one word, so that a pick and its flag move
    // together.
    std::atomic<std::uint32_t> pick_{k_pick_none};
    bool controls_enabled_ = true;
    std::string caption_{k_start_caption};
};

}  // namespace velmora
