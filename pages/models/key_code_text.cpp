#include "pages/models/key_code_text.h"

#include <array>
#include <charconv>

#include "pages/models/lenient_number.h"

namespace velmora {

namespace {

constexpr int k_decimal_radix = 10;
constexpr int k_hexadecimal_radix = 16;

std::string format_unsigned(std::uint32_t value, int base) {
    std::array<char, 16> digits{};
    // to_chars writes lowercase letters and no prefix or leading zeros, the way the page shows codes.
    const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(), value, base);
    (void)error;  // 16 characters hold any 32-bit value in any base from 10 up
    return std::string(digits.data(), end);
}

}  // namespace

int radix(NumberBase base) {
    return base == NumberBase::hexadecimal ? k_hexadecimal_radix : k_decimal_radix;
}

std::string format_key_code(std::uint8_t code, NumberBase base) {
    return format_unsigned(code, radix(base));
}

std::optional<std::uint8_t> read_key_code(std::string_view text, NumberBase base) {
    if (const auto value = read_field_number(text, k_key_code_mask, radix(base))) {
        return static_cast<std::uint8_t>(*value);
    }
    return std::nullopt;
}

std::string format_user_code(std::uint16_t code) {
    return format_unsigned(code, k_hexadecimal_radix);
}

std::optional<std::uint16_t> read_user_code(std::string_view text) {
    if (const auto value = read_field_number(text, k_user_code_mask, k_hexadecimal_radix)) {
        return static_cast<std::uint16_t>(*value);
    }
    return std::nullopt;
}

}  // namespace velmora
