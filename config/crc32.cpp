#include "config/crc32.h"

#include <algorithm>
#include <cassert>
#include <limits>

#include <zlib.h>

namespace velmora {

namespace {

// zlib's crc32 takes a 32-bit length; longer buffers go in pieces of this size.
constexpr std::size_t k_zlib_piece_bytes = std::size_t{1} << 30;

}  // namespace

// zlib's crc32 inverts the running value on the way in and on the way out; this CRC keeps the
// register as it is, so both inversions are undone here.
std::uint32_t crc32_update(std::uint32_t crc, const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        const std::size_t piece = std::min(length, k_zlib_piece_bytes);
        crc = ~static_cast<std::uint32_t>(::crc32(~crc & 0xFFFFFFFFuL, data, static_cast<uInt>(piece)));
        data += piece;
        length -= piece;
    }
    return crc;
}

// x^(8 × bytes) modulo the polynomial, applied to the register: its value after that many zero bytes.
std::uint32_t crc32_shift(std::uint32_t crc, std::uint64_t zero_bytes) {
    // zlib counts the bytes in a signed 64-bit number; a longer run goes in steps, as shifting by a
    // and then by b is shifting by a + b.
    constexpr auto k_longest_step = static_cast<std::uint64_t>(std::numeric_limits<z_off64_t>::max());
    for (;;) {
        const std::uint64_t step = std::min(zero_bytes, k_longest_step);
        crc = static_cast<std::uint32_t>(
            ::crc32_combine_op(crc, 0, ::crc32_combine_gen64(static_cast<z_off64_t>(step))));
        zero_bytes -= step;
        if (zero_bytes == 0) {
            return crc;
        }
    }
}

std::vector<std::uint32_t> range_crcs(std::span<const std::uint8_t> data, std::span<const CrcRange> ranges) {
    assert(std::all_of(ranges.begin(), ranges.end(), [&](const CrcRange& range) {
        return range.offset <= data.size() && range.length <= data.size() - range.offset;
    }));
    const auto in_memory = [data](std::uint64_t offset, std::size_t length) {
        return std::optional(data.subspan(static_cast<std::size_t>(offset), length));
    };
    return *range_crcs(in_memory, ranges);  // bytes in memory never fail to read
}

std::optional<std::vector<std::uint32_t>> range_crcs(const CrcPieceReader& read,
                                                     std::span<const CrcRange> ranges) {
    std::vector<std::uint64_t> boundaries;
    boundaries.reserve(ranges.size() * 2);
    for (const CrcRange& range : ranges) {
        boundaries.push_back(range.offset);
        boundaries.push_back(range.offset + range.length);
    }
    std::sort(boundaries.begin(), boundaries.end());
    boundaries.erase(std::unique(boundaries.begin(), boundaries.end()), boundaries.end());

    // The running value from the lowest boundary up to each boundary, in one pass.
    std::vector<std::uint32_t> running(boundaries.size());
    std::uint32_t crc = k_crc32_initial;
    std::uint64_t at = boundaries.empty() ? 0 : boundaries.front();
    for (std::size_t i = 0; i < boundaries.size(); ++i) {
        while (at < boundaries[i]) {
            const auto length =
                static_cast<std::size_t>(std::min<std::uint64_t>(boundaries[i] - at, k_crc_piece_bytes));
            const std::optional<std::span<const std::uint8_t>> piece = read(at, length);
            if (!piece || piece->size() != length) {
                return std::nullopt;
            }
            crc = crc32_update(crc, *piece);
            at += length;
        }
        running[i] = crc;
    }
    const auto running_at = [&](std::uint64_t offset) {
        const auto found = std::lower_bound(boundaries.begin(), boundaries.end(), offset);
        return running[static_cast<std::size_t>(found - boundaries.begin())];
    };

    // The update is linear in the starting value and the bytes together, so with R(p) the running
    // value at p, from whatever start: R(end) = shift(R(start), n) ^ L(bytes), and the range's own
    // CRC is shift(initial, n) ^ L(bytes); the two differ by shift(R(start) ^ initial, n).
    std::vector<std::uint32_t> crcs;
    crcs.reserve(ranges.size());
    for (const CrcRange& range : ranges) {
        const std::uint32_t before = running_at(range.offset);
        const std::uint32_t after = running_at(range.offset + range.length);
        crcs.push_back(after ^ crc32_shift(before ^ k_crc32_initial, range.length));
    }
    return crcs;
}

}  // namespace velmora
