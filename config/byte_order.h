// Little-endian numbers in byte buffers: the configuration block, the flash directories and the serial
// protocol store every multi-byte number low byte first, whatever the machine's own order.
//
// Callers may rely on: each function reads or writes exactly 2 or 4 bytes starting at `p`, which the
// caller has checked lie inside its buffer; nothing is aligned or checked here. All are constexpr.
#pragma once

#include <array>
#include <cstdint>

namespace velmora {

constexpr std::uint16_t read_le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

constexpr std::uint32_t read_le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(read_le16(p)) | (static_cast<std::uint32_t>(read_le16(p + 2)) << 16);
}

constexpr void write_le16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

constexpr void write_le32(std::uint8_t* p, std::uint32_t value) {
    write_le16(p, static_cast<std::uint16_t>(value));
    write_le16(p + 2, static_cast<std::uint16_t>(value >> 16));
}

namespace byte_order_check {

constexpr std::array<std::uint8_t, 4> k_sample{0x78, 0x56, 0x34, 0x12};
static_assert(read_le16(k_sample.data()) == 0x5678);
static_assert(read_le32(k_sample.data()) == 0x12345678);

constexpr std::array<std::uint8_t, 4> written32() {
    std::array<std::uint8_t, 4> bytes{};
    write_le32(bytes.data(), 0x12345678);
    return bytes;
}
static_assert(written32() == k_sample);

constexpr std::array<std::uint8_t, 2> written16() {
    std::array<std::uint8_t, 2> bytes{};
    write_le16(bytes.data(), 0xBEEF);
    return bytes;
}
static_assert(written16() == std::array<std::uint8_t, 2>{0xEF, 0xBE});

}  // namespace byte_order_check

}  // namespace velmora
