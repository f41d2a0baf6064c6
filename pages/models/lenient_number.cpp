#include "pages/models/lenient_number.h"

#include <cctype>
#include <limits>

namespace velmora {

namespace {

int digit_value(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return 99;
}

struct LenientReading {
    std::int32_t value = 0;
    bool has_digits = false;
};

LenientReading read_lenient(std::string_view text, int base) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // The prefix counts only when a hex digit follows it: "0xg" reads as the 0 before the x.
    if (base == 16 && i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        digit_value(text[i + 2]) < 16) {
        i += 2;
    }
    constexpr std::int64_t k_limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    const std::size_t digits_start = i;
    for (; i < text.size() && digit_value(text[i]) < base; ++i) {
        magnitude = magnitude * base + digit_value(text[i]);
        if (magnitude > k_limit) {
            magnitude = k_limit;  // stays saturated; only the sign decides which end
        }
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    const bool has_digits = i != digits_start;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return {std::numeric_limits<std::int32_t>::max(), has_digits};
    }
    return {static_cast<std::int32_t>(value), has_digits};
}

}  // namespace

std::int32_t read_lenient_number(std::string_view text, int base) {
    return read_lenient(text, base).value;
}

std::optional<std::uint32_t> read_field_number(std::string_view text, std::uint32_t max, int base) {
    const LenientReading reading = read_lenient(text, base);
    // The reading saturates at the 32-bit ends, so a long run of digits can never wrap into the range.
    if (!reading.has_digits || reading.value < 0 || static_cast<std::uint32_t>(reading.value) > max) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(reading.value);
}

}  // namespace velmora
