// The bytes of an image that a record step is about to write, with what they held before, so that a
// CRC taken over the image before the writes can be brought up to date after any of them.
//
// CRC-32 without a final inversion is linear in the bytes: the CRC of a range after some of its bytes
// changed is its CRC before, XOR the CRC (from zero) of the changed bytes' differences, moved to the
// range's end. Callers may rely on: crc_difference() gives exactly that XOR for the image as it is
// when asked, whatever was written, however the ranges overlap, as long as every write since
// keep_originals() fell inside the ranges added before it. Its cost grows with the bytes added, not
// with the range's length.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "config/crc32.h"

namespace velmora {

class WrittenBytes {
public:
    // A range that will be written; ranges may overlap or repeat.
    void add(std::uint64_t offset, std::uint64_t length);
    // Takes what the added ranges hold now, before any of them is written.
    void keep_originals(std::span<const std::uint8_t> image);
    // What to XOR into the CRC of `range` taken before the writes to get its CRC now.
    std::uint32_t crc_difference(std::span<const std::uint8_t> image, const CrcRange& range) const;

private:
    struct Span {
        std::uint64_t offset;
        std::uint64_t length;
        std::vector<std::uint8_t> original;
    };
    std::vector<Span> spans_;  // disjoint and in order once the originals are kept
};

}  // namespace velmora
