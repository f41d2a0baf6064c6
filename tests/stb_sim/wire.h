// What the host puts on the wire, built independently of the box's reader, for the simulator's tests.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "config/byte_order.h"
#include "config/crc32.h"

namespace velmora::stb_sim::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes le32(std::uint32_t value) {
    Bytes bytes(4);
    write_le32(bytes.data(), value);
    return bytes;
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes text_bytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// 0x23, code, n, payload, CRC over code, n and payload.
inline Bytes command_frame(std::uint8_t code, const Bytes& payload = {}) {
    const Bytes body = Bytes{code, static_cast<std::uint8_t>(payload.size())} + payload;
    return Bytes{0x23} + body + le32(crc32_update(k_crc32_initial, body));
}

// 0x23 0x2A, data, CRC over the data.
inline Bytes data_block(const Bytes& data) {
    return Bytes{0x23, 0x2A} + data + le32(crc32_update(k_crc32_initial, data));
}

inline Bytes client_image(const Bytes& client) {
    return le32(static_cast<std::uint32_t>(client.size())) + le32(0) + le32(0) + client;
}

inline Bytes pattern(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7 + (i >> 8));
    }
    return bytes;
}

inline const Bytes k_handshake_text = text_bytes("KORVATE P2P UPG");
inline const Bytes k_block_announcement{0xFF, 0x4E, 0x01, 0x00, 0x00, 0x00};
inline const Bytes k_record_announcement{0xFF, 0x4E, 0xD0, 0x01, 0x00, 0x00};
inline const Bytes k_ok{0, 0, 0};
inline const Bytes k_ok_ok{0, 0, 0, 0, 0, 0};

}  // namespace velmora::stb_sim::test
