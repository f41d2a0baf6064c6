#include "config/crc32.h"

namespace velmora {

std::uint32_t crc32_update(std::uint32_t crc, const std::uint8_t* data, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        crc = k_crc32_table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    }
    return crc;
}

}  // namespace velmora
