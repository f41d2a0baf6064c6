// The bytes of an image that a record step writes: what they held before and what they hold now, so
// that a CRC taken over the image before the writes can be brought up to date after any of them, and
// so that the new bytes can be put over the image (in memory) or over a copy of its file.
//
// CRC-32 without a final inversion is linear in the bytes: the CRC of a range after some of its bytes
// changed is its CRC before, XOR the CRC (from zero) of the changed bytes' differences, moved to the
// range's end. Callers may rely on: crc_difference() gives exactly that XOR for the bytes as written
// so far, whatever was written, however the ranges overlap, as long as every write() since
// keep_originals() fell inside the ranges added before it. Its cost and the memory held grow with the
// bytes added, not with the range's length or the image's.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "config/crc32.h"
#include "config/image_source.h"

namespace velmora {

class WrittenBytes {
public:
    // A range that will be written; ranges may overlap or repeat.
    void add(std::uint64_t offset, std::uint64_t length);
    // Reads what the added ranges hold now, before any of them is written; false when a read fails.
    bool keep_originals(const ImageSource& image);
    // Writes `bytes` at `offset`, which must lie inside the ranges added.
    void write(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    // What to XOR into the CRC of `range` taken before the writes to get its CRC now.
    std::uint32_t crc_difference(const CrcRange& range) const;

    // The ranges with their bytes as written, in ascending order and disjoint.
    struct Piece {
        std::uint64_t offset;
        std::span<const std::uint8_t> bytes;
    };
    std::vector<Piece> pieces() const;
    // Puts the bytes as written over `image`, which the ranges must lie inside.
    void apply(std::span<std::uint8_t> image) const;

private:
    struct Span {
        std::uint64_t offset;
        std::uint64_t length;
        std::vector<std::uint8_t> original;
        std::vector<std::uint8_t> current;
    };
    std::vector<Span> spans_;  // disjoint and in order once the originals are kept
};

}  // namespace velmora
