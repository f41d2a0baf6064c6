#include "config/record_directory.h"

#include <algorithm>
#include <cstring>

#include "config/byte_order.h"

namespace velmora {

std::size_t find_marker(std::span<const std::uint8_t> image, SearchWindow window) {
    if (image.size() < k_directory_marker.size()) {
        return k_no_marker;
    }
    const std::size_t last_fit = image.size() - k_directory_marker.size();
    const std::size_t end = std::min(window.end, last_fit + 1);
    for (std::size_t at = window.first; at < end; ++at) {
        if (std::memcmp(image.data() + at, k_directory_marker.data(), k_directory_marker.size()) == 0) {
            return at;
        }
    }
    return k_no_marker;
}

DirectoryStatus RecordDirectory::locate(std::span<const std::uint8_t> image, SearchWindow window) {
    const std::size_t at = find_marker(image, window);
    if (at == k_no_marker) {
        return DirectoryStatus::not_found;
    }
    if (image.size() - at < k_entries_offset) {
        return DirectoryStatus::malformed;
    }
    marker_offset_ = at;
    entry_count_ = read_le16(image.data() + at + k_entry_count_offset);
    entry_size_ = read_le16(image.data() + at + k_entry_size_offset);
    // The entries are copied whole into the directory buffer and read 48 bytes apart from it, so
    // both the copied bytes and every entry read must fit the buffer, and the copy must fit the image.
    if (entries_bytes() > k_directory_buffer_size ||
        entry_count_ * k_entry_stride > k_directory_buffer_size ||
        entries_bytes() > image.size() - at - k_entries_offset) {
        return DirectoryStatus::malformed;
    }
    buffer_.fill(0);
    std::memcpy(buffer_.data(), image.data() + at + k_entries_offset, entries_bytes());
    return DirectoryStatus::found;
}

RecordEntry RecordDirectory::entry(std::size_t index) const {
    const std::uint8_t* p = buffer_.data() + index * k_entry_stride;
    return RecordEntry{p[k_entry_tag_offset], read_le32(p + k_entry_data_offset),
                       read_le32(p + k_entry_length_offset), read_le32(p + k_entry_crc_offset)};
}

void RecordDirectory::set_crc(std::size_t index, std::uint32_t crc) {
    write_le32(buffer_.data() + index * k_entry_stride + k_entry_crc_offset, crc);
}

bool RecordDirectory::record_fits(const RecordEntry& entry, std::uint64_t needed,
                                  std::size_t image_size) const {
    const std::uint64_t begin = data_position(entry);
    return begin <= image_size && needed <= image_size - begin;
}

void RecordDirectory::write_entries(std::span<std::uint8_t> image) const {
    std::memcpy(image.data() + marker_offset_ + k_entries_offset, buffer_.data(), entries_bytes());
}

}  // namespace velmora
