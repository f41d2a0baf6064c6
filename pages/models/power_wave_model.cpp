#include "pages/models/power_wave_model.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string_view>

#include "pages/models/lenient_number.h"

namespace velmora {

namespace {

constexpr char k_separator = ',';

bool is_blank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Blanks, an optional sign, at least one digit, blanks: nothing that the lenient reading would skip.
bool is_plain_number(std::string_view token) {
    std::size_t i = 0;
    while (i < token.size() && is_blank(token[i])) {
        ++i;
    }
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
        ++i;
    }
    const std::size_t digits_start = i;
    while (i < token.size() && is_digit(token[i])) {
        ++i;
    }
    if (i == digits_start) {
        return false;
    }
    while (i < token.size() && is_blank(token[i])) {
        ++i;
    }
    return i == token.size();
}

// The word OK writes for a token: read leniently (blanks, a sign, trailing text after the digits), but
// only a value from 0 to 65535; anything else is refused, never cut to its low 16 bits or read as 0.
std::optional<std::uint16_t> word_of(std::string_view token) {
    if (const auto value = read_field_number(token, k_power_wave_max)) {
        return static_cast<std::uint16_t>(*value);
    }
    return std::nullopt;
}

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

std::vector<std::string_view> power_wave_tokens(std::string_view text) {
    // A token that does not start with a number still counts, as 0.
    std::vector<std::string_view> tokens;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == k_separator) {
            ++pos;
            continue;
        }
        const std::size_t end = std::min(text.find(k_separator, pos), text.size());
        tokens.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    return tokens;
}

std::vector<PowerWavePoint> power_wave_points(std::string_view text) {
    std::vector<PowerWavePoint> points;
    for (const std::string_view token : power_wave_tokens(text)) {
        points.push_back(is_plain_number(token) ? word_of(token) : std::nullopt);
    }
    if (points.size() < k_power_wave_values) {
        points.resize(k_power_wave_values, PowerWavePoint{0});
    }
    return points;
}

std::optional<std::size_t> refused_power_wave_value(std::string_view text) {
    const std::vector<std::string_view> tokens = power_wave_tokens(text);
    for (std::size_t k = 0; k < tokens.size() && k < k_power_wave_values; ++k) {
        if (!word_of(tokens[k])) {
            return k;
        }
    }
    return std::nullopt;
}

std::string power_wave_field(std::size_t place) {
    return std::string(k_power_wave_field) + " " + std::to_string(place);
}

std::optional<PageMessage> check_power_wave(std::string_view text) {
    if (power_wave_tokens(text).size() > k_power_wave_values) {
        return PageMessage{MessageKind::check_failed, "There is more than 63 group data, please check!", ""};
    }
    if (const auto refused = refused_power_wave_value(text)) {
        return invalid_value_message(power_wave_field(*refused));
    }
    return std::nullopt;
}

std::optional<PageMessage> PowerWaveModel::ok(ConfigBlock& config) const {
    if (auto refused = check_power_wave(text)) {
        return refused;
    }
    const std::vector<std::string_view> tokens = power_wave_tokens(text);
    for (std::size_t k = 0; k < k_power_wave_values; ++k) {
        // A place the text leaves empty is 0.
        config.set_u16(k_power_wave.offset + 2 * k, k < tokens.size() ? *word_of(tokens[k]) : 0);
    }
    return std::nullopt;
}

}  // namespace velmora
