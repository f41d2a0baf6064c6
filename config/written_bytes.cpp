#include "config/written_bytes.h"

#include <algorithm>
#include <cassert>

namespace velmora {

void WrittenBytes::add(std::uint64_t offset, std::uint64_t length) {
    if (length != 0) {
        spans_.push_back({offset, length, {}, {}});
    }
}

bool WrittenBytes::keep_originals(const ImageSource& image) {
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
        span.original.resize(static_cast<std::size_t>(span.length));
        if (!image.read(span.offset, span.original)) {
            return false;
        }
        span.current = span.original;
    }
    spans_ = std::move(merged);
    return true;
}

void WrittenBytes::write(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return;
    }
    const auto holder = std::find_if(spans_.begin(), spans_.end(), [&](const Span& span) {
        return offset >= span.offset && offset + bytes.size() <= span.offset + span.length;
    });
    assert(holder != spans_.end());
    if (holder != spans_.end()) {
        std::copy(bytes.begin(), bytes.end(),
                  holder->current.begin() + static_cast<std::ptrdiff_t>(offset - holder->offset));
    }
}

std::uint32_t WrittenBytes::crc_difference(const CrcRange& range) const {
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
        const auto at = static_cast<std::size_t>(from - span.offset);
        bool any = false;
        for (std::size_t i = 0; i < changed.size(); ++i) {
            changed[i] = span.current[at + i] ^ span.original[at + i];
            any = any || changed[i] != 0;
        }
        if (any) {
            difference ^= crc32_shift(crc32_update(0, changed), range_end - to);
        }
    }
    return difference;
}

std::vector<WrittenBytes::Piece> WrittenBytes::pieces() const {
    std::vector<Piece> pieces;
    pieces.reserve(spans_.size());
    for (const Span& span : spans_) {
        pieces.push_back({span.offset, span.current});
    }
    return pieces;
}

void WrittenBytes::apply(std::span<std::uint8_t> image) const {
    for (const Span& span : spans_) {
        std::copy(span.current.begin(), span.current.end(),
                  image.begin() + static_cast<std::ptrdiff_t>(span.offset));
    }
}

}  // namespace velmora
