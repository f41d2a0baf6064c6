#include "platform/utf8.h"

namespace velmora::platform {

std::size_t utf8_sequence_length(std::uint8_t lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

// These ranges keep out overlong forms (E0, F0), surrogates (ED) and code points past U+10FFFF (F4).
bool utf8_second_byte_fits(std::uint8_t lead, std::uint8_t byte) {
    switch (lead) {
        case 0xE0:
            return byte >= 0xA0 && byte <= 0xBF;
        case 0xED:
            return byte >= 0x80 && byte <= 0x9F;
        case 0xF0:
            return byte >= 0x90 && byte <= 0xBF;
        case 0xF4:
            return byte >= 0x80 && byte <= 0x8F;
        default:
            return utf8_is_continuation(byte);
    }
}

}  // namespace velmora::platform
