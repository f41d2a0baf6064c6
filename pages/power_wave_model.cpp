#include "pages/power_wave_model.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "pages/lenient_number.h"

namespace velmora {

namespace {

constexpr char k_separator = ',';

}  // namespace

std::string power_wave_text(const ConfigBlock& block) {
    std::string text;
    for (std::size_t k = 0; k < k_power_wave_values; ++k) {
        if (k != 0) {
            text += k_separator;
        }
        text += std::to_string(block.u16(k_power_wave.offset + 2 * k));
    }
    return text;
}

std::optional<PageMessage> PowerWaveModel::ok(ConfigBlock& config) const {
    // A run of commas is one separator and commas at either end give no value, so every token has
    // at least one character; a token that does not start with a number still counts, as 0.
    std::array<std::string_view, k_power_wave_values> slots{};
    std::size_t count = 0;
    const std::string_view all(text);
    std::size_t pos = 0;
    while (pos < all.size()) {
        if (all[pos] == k_separator) {
            ++pos;
            continue;
        }
        const std::size_t end = std::min(all.find(k_separator, pos), all.size());
        if (count == slots.size()) {
            return PageMessage{MessageKind::check_failed, "There is more than 63 group data, please check!",
                               ""};
        }
        slots[count++] = all.substr(pos, end - pos);
        pos = end;
    }
    for (std::size_t k = 0; k < slots.size(); ++k) {
        const auto value = static_cast<std::uint32_t>(read_lenient_number(slots[k], 10));
        config.set_u16(k_power_wave.offset + 2 * k, static_cast<std::uint16_t>(value));
    }
    return std::nullopt;
}

}  // namespace velmora
