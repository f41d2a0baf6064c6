#include "config/image_source.h"

#include <algorithm>

namespace velmora {

bool MemoryImage::read(std::uint64_t offset, std::span<std::uint8_t> out) const {
    if (!inside_image(offset, out.size(), bytes_.size())) {
        return false;
    }
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    return true;
}

std::optional<std::vector<std::uint32_t>> range_crcs(const ImageSource& image,
                                                     std::span<const CrcRange> ranges) {
    std::vector<std::uint8_t> piece;
    const auto read_piece = [&](std::uint64_t offset,
                                std::size_t length) -> std::optional<std::span<const std::uint8_t>> {
        piece.resize(length);
        if (!image.read(offset, piece)) {
            return std::nullopt;
        }
        return std::span<const std::uint8_t>(piece);
    };
    return range_crcs(read_piece, ranges);
}

}  // namespace velmora
