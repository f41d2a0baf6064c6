#include "pages/models/checked_number.h"

namespace velmora {

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::optional<std::uint8_t> read_checked_number(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_blank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t digits_start = i;
    // Saturates just above the range, so a long run of digits can neither overflow nor wrap into it.
    unsigned value = 0;
    for (; i < text.size() && is_digit(text[i]); ++i) {
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
        if (value > k_checked_number_max) {
            value = k_checked_number_max + 1;
        }
    }
    if (i == digits_start) {
        return std::nullopt;
    }
    while (i < text.size() && is_blank(text[i])) {
        ++i;
    }
    if (i != text.size() || value > k_checked_number_max || (negative && value != 0)) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(value);
}

}  // namespace velmora
