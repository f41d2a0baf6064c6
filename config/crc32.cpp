#include "config/crc32.h"

#include <algorithm>
#include <cassert>

namespace velmora {

namespace {

// A running value is a polynomial over GF(2) of degree below 32, stored reflected: bit 31 holds x^0,
// bit 0 holds x^31. Feeding one zero bit multiplies it by x modulo the CRC polynomial.
constexpr std::uint32_t k_one = 1u << 31;  // x^0
constexpr std::uint32_t k_x = 1u << 30;    // x^1

// a × b modulo the CRC polynomial.
constexpr std::uint32_t multiply_modulo(std::uint32_t a, std::uint32_t b) {
    std::uint32_t product = 0;
    for (std::uint32_t bit = k_one; bit != 0; bit >>= 1) {
        if ((a & bit) != 0) {
            product ^= b;
        }
        b = (b & 1u) != 0 ? (b >> 1) ^ k_crc32_polynomial : b >> 1;  // b × x
    }
    return product;
}

// x^(2^k) for every k that a 64-bit count of bytes needs (8 bits each: up to 2^66).
constexpr std::size_t k_power_count = 67;
using PowerTable = std::array<std::uint32_t, k_power_count>;

constexpr PowerTable make_power_table() {
    PowerTable table{};
    table[0] = k_x;
    for (std::size_t k = 1; k < table.size(); ++k) {
        table[k] = multiply_modulo(table[k - 1], table[k - 1]);
    }
    return table;
}

constexpr PowerTable k_powers_of_x = make_power_table();
static_assert(k_powers_of_x[3] == (1u << 23));  // x^8: one zero byte shifts the value 8 places

// x^(8 × bytes) modulo the CRC polynomial.
constexpr std::uint32_t x_to_the_bits_of(std::uint64_t bytes) {
    std::uint32_t power = k_one;
    for (std::size_t k = 3; bytes != 0; bytes >>= 1, ++k) {
        if ((bytes & 1u) != 0) {
            power = multiply_modulo(k_powers_of_x[k], power);
        }
    }
    return power;
}

}  // namespace

std::uint32_t crc32_update(std::uint32_t crc, const std::uint8_t* data, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        crc = k_crc32_table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    }
    return crc;
}

std::uint32_t crc32_shift(std::uint32_t crc, std::uint64_t zero_bytes) {
    return multiply_modulo(x_to_the_bits_of(zero_bytes), crc);
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
