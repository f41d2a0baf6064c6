#include "link/agent/link_frames.h"

#include <algorithm>

#include "config/crc32.h"

namespace velmora {

void put_u32_le(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t get_u32_le(const std::uint8_t* in) {
    return static_cast<std::uint32_t>(in[0]) | static_cast<std::uint32_t>(in[1]) << 8 |
           static_cast<std::uint32_t>(in[2]) << 16 | static_cast<std::uint32_t>(in[3]) << 24;
}

std::uint32_t frame_crc(std::span<const std::uint8_t> bytes) {
    return crc32_update(k_crc32_initial, bytes);
}

std::vector<std::uint8_t> command_frame(LinkCommand code, std::span<const std::uint8_t> payload) {
    const std::size_t length = std::min(payload.size(), k_max_payload);
    std::vector<std::uint8_t> frame(k_command_overhead + length);
    frame[0] = k_frame_start;
    frame[1] = static_cast<std::uint8_t>(code);
    frame[2] = static_cast<std::uint8_t>(length);
    std::copy_n(payload.begin(), length, frame.begin() + k_command_header_size);
    // The CRC covers the code, the length and the payload, not the start byte.
    const std::uint32_t crc = frame_crc(std::span(frame).subspan(1, 2 + length));
    put_u32_le(frame.data() + k_command_header_size + length, crc);
    return frame;
}

DataBlock data_block(std::span<const std::uint8_t> data) {
    DataBlock block;
    block.data.assign(data.begin(), data.end());
    put_u32_le(block.crc.data(), frame_crc(data));
    return block;
}

std::array<std::uint8_t, k_client_header_size> client_header(std::uint32_t file_length) {
    std::array<std::uint8_t, k_client_header_size> header{};
    put_u32_le(header.data(), file_length);
    return header;
}

}  // namespace velmora
