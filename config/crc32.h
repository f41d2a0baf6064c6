// The one CRC routine of the system: flash image records and the serial link's blocks.
//
// CRC-32 with the reflected polynomial 0xEDB88320 and a 256-entry table. Every caller starts the
// running value at k_crc32_initial and uses the result as it is, without the final inversion of
// the common CRC-32 (this is the variant known as CRC-32/JAMCRC). Feeding a buffer in pieces gives
// the same value as feeding it whole. The bytes go through zlib's crc32, which is this CRC with the
// running value inverted on the way in and out.
//
// Many ranges of one buffer, however they overlap, cost one pass: range_crcs() takes the running
// value at every range's first and last byte and derives each range's CRC from the two, moving a
// running value across the range's length with crc32_shift() (zlib's crc32_combine_gen64 and
// crc32_combine_op, logarithmic in the length). Its results equal crc32_update over each range. The pass runs
// from the lowest range start to the furthest range end, and the bytes may come in bounded pieces from a
// file, so a record that covers a large image costs one read of it and no memory that grows with it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace velmora {

inline constexpr std::uint32_t k_crc32_polynomial = 0xEDB88320u;
inline constexpr std::uint32_t k_crc32_initial = 0xFFFFFFFFu;

using Crc32Table = std::array<std::uint32_t, 256>;

constexpr Crc32Table make_crc32_table() {
    Crc32Table table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 1u) ? (value >> 1) ^ k_crc32_polynomial : value >> 1;
        }
        table[i] = value;
    }
    return table;
}

inline constexpr Crc32Table k_crc32_table = make_crc32_table();
static_assert(k_crc32_table[1] == 0x77073096u && k_crc32_table[255] == 0x2D02EF8Du);

std::uint32_t crc32_update(std::uint32_t crc, const std::uint8_t* data, std::size_t length);

inline std::uint32_t crc32_update(std::uint32_t crc, std::span<const std::uint8_t> data) {
    return crc32_update(crc, data.data(), data.size());
}

// The running value after `zero_bytes` zero bytes fed from `crc`: crc32_update over that many zeros,
// at a cost that grows with the number's bits, not its size.
std::uint32_t crc32_shift(std::uint32_t crc, std::uint64_t zero_bytes);

struct CrcRange {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// crc32_update(k_crc32_initial, ...) over each range of `data`, in the order given, reading every byte
// of `data` from the lowest range start to the furthest range end once. Every range must lie inside
// `data`.
std::vector<std::uint32_t> range_crcs(std::span<const std::uint8_t> data, std::span<const CrcRange> ranges);

// The largest piece range_crcs asks a CrcPieceReader for.
inline constexpr std::size_t k_crc_piece_bytes = std::size_t{1} << 20;

// Hands over the `length` bytes (at most k_crc_piece_bytes) from `offset` of whatever the ranges lie
// in, valid until the next call; none when they cannot be read.
using CrcPieceReader =
    std::function<std::optional<std::span<const std::uint8_t>>(std::uint64_t offset, std::size_t length)>;

// The same, on bytes that `read` hands over in order, each once; none as soon as a read fails.
std::optional<std::vector<std::uint32_t>> range_crcs(const CrcPieceReader& read,
                                                     std::span<const CrcRange> ranges);

}  // namespace velmora
