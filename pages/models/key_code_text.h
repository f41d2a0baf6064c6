// How the key map page writes key codes and user codes as cell and edit texts, and reads them back.
//
// Callers may rely on:
// - A key code is shown as the unsigned value of its 8 bits, in decimal without leading zeros or in
//   lowercase hexadecimal without prefix or leading zeros: 255 is "255" or "ff".
// - A user code is always shown in lowercase hexadecimal without prefix.
// - Reading is lenient (read_lenient_number: blanks, a sign, "0x" in hexadecimal, trailing text after
//   the digits), but only a value that fits the field is read: a key code 0..255 in the given base, a
//   user code 0..ffff in hexadecimal. A text without digits, or "300", "-1", "10000" as a user code,
//   reads as nothing; the page refuses it instead of storing its low bits or 0.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The page's "Key Value in:" choice. Shared with the get-key worker, which uses it for its log lines.
enum class NumberBase : std::int32_t { decimal, hexadecimal };

inline constexpr std::uint32_t k_key_code_mask = 0xFF;     // a key slot's bits 0-7, all the page carries
inline constexpr std::uint32_t k_user_code_mask = 0xFFFF;  // a user code is 16 bits wide

int radix(NumberBase base);

std::string format_key_code(std::uint8_t code, NumberBase base);
std::optional<std::uint8_t> read_key_code(std::string_view text, NumberBase base);

std::string format_user_code(std::uint16_t code);
std::optional<std::uint16_t> read_user_code(std::string_view text);

}  // namespace velmora
