#include "pages/models/led_map_model.h"

#include <algorithm>

namespace velmora {

namespace {

constexpr std::uint32_t k_pick_item_mask = 0xFF;
constexpr std::uint32_t k_pick_pending_bit = 0x100;

constexpr std::uint32_t pick_word(std::uint8_t item, bool pending) {
    return item | (pending ? k_pick_pending_bit : 0);
}

std::string hex_bytes(std::span<const std::uint8_t> bytes) {
    static constexpr std::string_view k_digits = "0123456789abcdef";
    std::string text;
    text.reserve(2 * bytes.size());
    for (std::uint8_t byte : bytes) {
        text += k_digits[byte >> 4];
        text += k_digits[byte & 0x0F];
    }
    return text;
}

std::string pick_text(std::uint8_t item) {
    for (const LedMapModel::PickButton& button : LedMapModel::k_pick_buttons) {
        if (button.item == item) {
            return std::string(button.text);
        }
    }
    return "none";
}

}  // namespace

std::array<std::uint8_t, LedMapModel::k_map_size> LedMapModel::led_map() const {
    const std::lock_guard lock(map_mutex_);
    return map_;
}

void LedMapModel::set_map(std::span<const std::uint8_t, k_map_size> map) {
    const std::lock_guard lock(map_mutex_);
    std::copy(map.begin(), map.end(), map_.begin());
}

PageMessages LedMapModel::load(ConfigBlock block) {
    set_map(block.range(k_led_map).first<k_map_size>());
    return {};
}

std::optional<PageMessage> LedMapModel::store(ConfigBlock& block) {
    const auto map = led_map();
    std::copy(map.begin(), map.end(), block.range(k_led_map).begin());
    return std::nullopt;
}

std::optional<PageMessage> LedMapModel::apply_side_record(SideFileKind kind, const ConfigBlock& record) {
    if (kind != SideFileKind::led) {
        return PageMessage{MessageKind::refused, "Not a LED map file!", "error"};
    }
    set_map(record.range(k_led_map).first<k_map_size>());
    return std::nullopt;
}

std::optional<PageMessage> LedMapModel::build_side_record(SideFileKind kind, ConfigBlock& record) {
    if (kind != SideFileKind::led) {
        return PageMessage{MessageKind::refused, "Not a LED map file!", "error"};
    }
    return store(record);
}

PageView LedMapModel::view() const {
    const auto map = led_map();
    PageView page;
    page.page = "LED Map";
    page.fields = {
        {"LED Map", hex_bytes(map)},
        {"Buttons", controls_enabled_ ? "enabled" : "disabled"},
        {"Get LED Map", caption_},
        {"Picked item", pick_text(picked_item())},
        {"Pick pending", pick_pending() ? "yes" : "no"},
    };
    return page;
}

std::optional<LedMapRequest> LedMapModel::press_get_led_map_button() {
    if (caption_ == k_start_caption) {
        get_led_map_running.store(true);
        caption_ = k_stop_caption;
        wake_test_thread();
        return LedMapRequest::start_get_led_map;
    }
    // The worker sees the flag and ends by itself.
    stop_get_led_map();
    return std::nullopt;
}

void LedMapModel::press_pick_button(std::uint8_t item) {
    if (item > k_pick_last) {
        return;  // no such button
    }
    // A second press before the worker took the first replaces it.
    pick_.store(get_led_map_running.load() ? pick_word(item, true) : pick_word(k_pick_none, false));
    wake_test_thread();
}

void LedMapModel::on_led_map_ended() {
    if (get_led_map_running.load()) {
        stop_get_led_map();
    }
}

void LedMapModel::stop_get_led_map() {
    get_led_map_running.store(false);
    caption_ = k_start_caption;
    wake_test_thread();
}

bool LedMapModel::pick_pending() const {
    return (pick_.load() & k_pick_pending_bit) != 0;
}

std::uint8_t LedMapModel::picked_item() const {
    return static_cast<std::uint8_t>(pick_.load() & k_pick_item_mask);
}

std::optional<std::uint8_t> LedMapModel::take_pick() {
    std::uint32_t word = pick_.load();
    while ((word & k_pick_pending_bit) != 0 && (word & k_pick_item_mask) <= k_pick_last) {
        const auto item = static_cast<std::uint8_t>(word & k_pick_item_mask);
        // Fails when the page has replaced the pick meanwhile; the new one is then looked at.
        if (pick_.compare_exchange_weak(word, pick_word(item, false))) {
            return item;
        }
    }
    return std::nullopt;
}

void LedMapModel::deliver_led_map(std::span<const std::uint8_t, k_map_size> map) {
    set_map(map);
}

}  // namespace velmora
