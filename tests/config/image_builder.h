// Builds flash images byte by byte for the tests: directories at chosen offsets, entries with any
// field values (sound or not), record data anywhere.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "config/byte_order.h"
#include "config/crc32.h"
#include "config/record_directory.h"

namespace velmora::test {

struct TestEntry {
    std::uint8_t tag;
    std::uint32_t offset;  // from the marker
    std::uint32_t length;
    std::uint32_t crc = 0;
};

class ImageBuilder {
public:
    explicit ImageBuilder(std::size_t size, std::uint8_t fill = 0xFF) : image_(size, fill) {}

    ImageBuilder& marker(std::size_t at) {
        std::memcpy(image_.data() + at, k_directory_marker.data(), k_directory_marker.size());
        return *this;
    }

    // A directory with sound 48-byte entries.
    ImageBuilder& directory(std::size_t at, const std::vector<TestEntry>& entries) {
        return directory(at, entries, static_cast<std::uint16_t>(entries.size()), k_entry_stride);
    }

    ImageBuilder& directory(std::size_t at, const std::vector<TestEntry>& entries, std::uint16_t count,
                            std::uint16_t size) {
        marker(at);
        le16(at + k_entry_count_offset, count);
        le16(at + k_entry_size_offset, size);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const std::size_t e = at + k_entries_offset + i * k_entry_stride;
            std::memset(image_.data() + e, 0, k_entry_stride);
            image_[e] = entries[i].tag;
            le32(e + k_entry_data_offset, entries[i].offset);
            le32(e + k_entry_length_offset, entries[i].length);
            le32(e + k_entry_crc_offset, entries[i].crc);
        }
        return *this;
    }

    ImageBuilder& bytes(std::size_t at, const std::vector<std::uint8_t>& data) {
        std::memcpy(image_.data() + at, data.data(), data.size());
        return *this;
    }

    ImageBuilder& pattern(std::size_t at, std::size_t length, std::uint8_t first) {
        for (std::size_t i = 0; i < length; ++i) {
            image_[at + i] = static_cast<std::uint8_t>(first + i);
        }
        return *this;
    }

    std::vector<std::uint8_t> build() const { return image_; }

private:
    void le16(std::size_t at, std::uint16_t v) { write_le16(image_.data() + at, v); }
    void le32(std::size_t at, std::uint32_t v) { write_le32(image_.data() + at, v); }

    std::vector<std::uint8_t> image_;
};

inline std::uint32_t crc_of(const std::vector<std::uint8_t>& image, std::size_t at, std::size_t length) {
    return crc32_update(k_crc32_initial, image.data() + at, length);
}

}  // namespace velmora::test
