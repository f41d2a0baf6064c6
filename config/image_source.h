// Read access to a flash image's bytes for the record steps, wherever the bytes are: in memory (the
// view's own copy, a test's buffer) or in the file itself (velmora-image reads only the directories
// and the records it needs, never the whole file).
//
// Callers may rely on: read() fills the whole buffer or reports failure, never a short buffer taken
// as whole; a range outside the image is a failure, not a read past it. An image in memory never
// fails. range_crcs() takes every CRC in one pass over the bytes the ranges cover, in pieces of at
// most k_crc_piece_bytes, so its memory does not grow with the ranges' lengths.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "config/crc32.h"

namespace velmora {

class ImageSource {
public:
    virtual ~ImageSource() = default;

    // The image's length in bytes.
    virtual std::uint64_t size() const = 0;
    // Fills `out` with the bytes from `offset`; false when they cannot all be read.
    virtual bool read(std::uint64_t offset, std::span<std::uint8_t> out) const = 0;
};

class MemoryImage final : public ImageSource {
public:
    explicit MemoryImage(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint64_t size() const override { return bytes_.size(); }
    bool read(std::uint64_t offset, std::span<std::uint8_t> out) const override;

private:
    std::span<const std::uint8_t> bytes_;
};

// True when `length` bytes from `offset` lie inside an image of `size` bytes (64-bit, no wrap).
inline bool inside_image(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

// crc32_update(k_crc32_initial, ...) over each range of `image`, in the order given; none when a read
// fails. Every range must lie inside the image.
std::optional<std::vector<std::uint32_t>> range_crcs(const ImageSource& image,
                                                     std::span<const CrcRange> ranges);

}  // namespace velmora
