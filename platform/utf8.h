// The rules of UTF-8 that every reader of untrusted bytes needs, written once: how long a sequence a
// lead byte starts, and which second bytes are allowed after it.
//
// Callers may rely on: a sequence that these rules accept byte by byte decodes to exactly one valid
// code point (no overlong forms, no surrogates, nothing past U+10FFFF). Pure functions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velmora::platform {

// 1 for ASCII, 2-4 for a lead byte, 0 for a byte that cannot start a sequence (a continuation byte,
// an overlong lead C0/C1, or F5-FF).
std::size_t utf8_sequence_length(std::uint8_t lead);

// Whether `byte` may follow `lead` as the second byte of its sequence; later bytes need only be
// continuation bytes (utf8_is_continuation).
bool utf8_second_byte_fits(std::uint8_t lead, std::uint8_t byte);

constexpr bool utf8_is_continuation(std::uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

}  // namespace velmora::platform
