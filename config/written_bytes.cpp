#include "config/written_bytes.h"

#include <algorithm>

namespace velmora {

void WrittenBytes::add(std::uint64_t offset, std::uint64_t length) {
    if (length != 0) {
        spans_.push_back({offset, length, {}});
    }
}

void WrittenBytes::keep_originals(std::span<const std::uint8_t> image) {
    // Overlapping ranges become one span, so that each changed byte counts once.
    std::sort(spans_.begin(), spans_.end(), [](const Span& l, const Span& r) { return l.offset < r.offset; });
    std::vector<Span> merged;
    for (Span& span : spans_) {
        if (!merged.empty() && span.offset <= merged.back().offset + merged.back().length) {
            Span& last = merged.back();
            last.length = std::max(last.length, span.offset + span.length - last.offset);
        } else {
            merged.push_back(std::move(span));
        }
    }
    for (Span& span : merged) {
        const auto first = image.begin() + static_cast<std::ptrdiff_t>(span.offset);
        span.original.assign(first, first + static_cast<std::ptrdiff_t>(span.length));
    }
    spans_ = std::move(merged);
}

std::uint32_t WrittenBytes::crc_difference(std::span<const std::uint8_t> image, const CrcRange& range) const {
    const std::uint64_t range_end = range.offset + range.length;
    std::uint32_t difference = 0;
    std::vector<std::uint8_t> changed;
    for (const Span& span : spans_) {
        const std::uint64_t from = std::max(span.offset, range.offset);
        const std::uint64_t to = std::min(span.offset + span.length, range_end);
        if (from >= to) {
            continue;
        }
        changed.resize(static_cast<std::size_t>(to - from));
        bool any = false;
        for (std::size_t i = 0; i < changed.size(); ++i) {
            changed[i] = image[static_cast<std::size_t>(from) + i] ^
                         span.original[static_cast<std::size_t>(from - span.offset) + i];
            any = any || changed[i] != 0;
        }
        if (any) {
            difference ^= crc32_shift(crc32_update(0, changed), range_end - to);
        }
    }
    return difference;
}

}  // namespace velmora
