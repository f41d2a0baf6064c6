// The bytes on the serial line between the link agent and the box, and the builders of what the
// agent sends. Every multi-byte number on the line is little-endian.
//
//   sync byte        box -> agent   0xA5, sent by the box's boot code after a reset, amid other bytes
//   sync answer      agent -> box   0x60
//   client image     agent -> box   u32 length N, u32 0, u32 0, then the N bytes of the client file
//   command frame    agent -> box   0x23 '#', code, payload length n, n payload bytes, u32 CRC over
//                                   code, length and payload (7 + n bytes)
//   receipt reply    box -> agent   3 bytes; byte 0 is 0 when the frame was taken
//   result reply     box -> agent   3 bytes; byte 0: 0 done, 1 the box reports an error, else again
//   data block       either way     0x23 0x2A '#*', n data bytes, u32 CRC over the data only
//   block ack        box -> agent   1 byte after an uploaded block: 0 taken, else send it again
//   record ack       box -> agent   3 bytes after the configuration record: 0 taken, 1 error with the
//                                   box's state in byte 1 and its error code in byte 2, else again
//
// The CRC is crc32_update started from k_crc32_initial, without a final inversion.
//
// Callers may rely on: the builders never fail; a payload longer than 255 bytes is a caller's
// error and is cut to 255.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace velmora {

inline constexpr std::uint8_t k_sync_byte = 0xA5;
inline constexpr std::uint8_t k_sync_answer = 0x60;
inline constexpr std::uint8_t k_frame_start = 0x23;
inline constexpr std::uint8_t k_block_marker = 0x2A;
// What the agent answers after it has taken the box's LED map.
inline constexpr std::uint8_t k_led_map_received = 0x02;

inline constexpr std::size_t k_frame_crc_size = 4;
inline constexpr std::size_t k_command_header_size = 3;  // start, code, payload length
inline constexpr std::size_t k_command_overhead = k_command_header_size + k_frame_crc_size;
inline constexpr std::size_t k_max_payload = 255;
inline constexpr std::size_t k_block_header_size = 2;
inline constexpr std::size_t k_reply_size = 3;  // receipt, result, record ack, test answers
inline constexpr std::size_t k_block_ack_size = 1;
inline constexpr std::size_t k_key_event_size = 4;  // user code low, high, key code, unused
inline constexpr std::size_t k_led_map_size = 256;

static_assert(k_command_overhead == 7, "a payload of n bytes makes a frame of n + 7");
static_assert(k_block_header_size + k_frame_crc_size == 6);

// The client image: a 12-byte header and the file, in a buffer of 2 MiB.
inline constexpr std::size_t k_client_header_size = 12;
inline constexpr std::size_t k_client_buffer_size = 0x200000;
inline constexpr std::size_t k_max_client_size = k_client_buffer_size - k_client_header_size;
static_assert(k_max_client_size == 2'097'140);

// The LED map dialogue: ten steps the box has taken complete it; then the agent reads the box's map
// up to this many times before it gives up.
inline constexpr int k_led_map_steps = 10;
inline constexpr int k_led_map_attempts = 5;

// An uploaded block goes out in pieces of at most this many bytes.
inline constexpr std::size_t k_upload_piece_size = 2048;

// The handshake's payload, which the box echoes.
inline constexpr std::string_view k_handshake_text = "KORVATE P2P UPG";
static_assert(k_handshake_text.size() == 15);

enum class LinkCommand : std::uint8_t {
    handshake = 80,
    announce_block = 81,
    announce_record = 83,
    led_map_start = 84,
    led_map_step = 85,
    lamp_test = 88,
    get_key = 89,
    lamp_previous = 92,
    lamp_next = 93,
    lamp_confirm = 94,
    light_dim = 95,
};

// The announcements' payloads: 0xFF 0x4E and the u32 that says what follows (1 the whole block,
// 464 the configuration record).
inline constexpr std::array<std::uint8_t, 6> k_announce_block_payload{0xFF, 0x4E, 0x01, 0x00, 0x00, 0x00};
inline constexpr std::array<std::uint8_t, 6> k_announce_record_payload{0xFF, 0x4E, 0xD0, 0x01, 0x00, 0x00};
// The payload of the test commands that take one.
inline constexpr std::uint8_t k_test_payload = '1';

void put_u32_le(std::uint8_t* out, std::uint32_t value);
std::uint32_t get_u32_le(const std::uint8_t* in);

// The CRC of the frames and blocks.
std::uint32_t frame_crc(std::span<const std::uint8_t> bytes);

std::vector<std::uint8_t> command_frame(LinkCommand code, std::span<const std::uint8_t> payload);

// A data block in the three pieces the agent sends apart.
struct DataBlock {
    std::array<std::uint8_t, k_block_header_size> header{k_frame_start, k_block_marker};
    std::vector<std::uint8_t> data;
    std::array<std::uint8_t, k_frame_crc_size> crc{};
};
DataBlock data_block(std::span<const std::uint8_t> data);

std::array<std::uint8_t, k_client_header_size> client_header(std::uint32_t file_length);

}  // namespace velmora
