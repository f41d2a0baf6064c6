#include "pages/models/led_digits.h"

namespace velmora {

namespace {

constexpr std::size_t k_pair_size = 2;

}  // namespace

std::optional<std::uint8_t> led_segments_of(std::span<const std::uint8_t, k_led_map_bytes> map,
                                            std::uint8_t character) {
    for (std::size_t offset = 0; offset + 1 < map.size(); offset += k_pair_size) {
        if (map[offset] == character) {
            return map[offset + 1];
        }
    }
    return std::nullopt;
}

std::array<LedDigit, k_led_digit_count> led_digits(std::span<const std::uint8_t, k_led_map_bytes> map) {
    std::array<LedDigit, k_led_digit_count> digits{};
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const auto character = static_cast<char>('0' + i);
        digits[i] = {character, led_segments_of(map, static_cast<std::uint8_t>(character))};
    }
    return digits;
}

}  // namespace velmora
