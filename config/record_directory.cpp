#include "config/record_directory.h"

#include <algorithm>
#include <cstring>
#include <vector>

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

DirectoryStatus RecordDirectory::locate(const ImageSource& image, SearchWindow window) {
    // Every byte where a marker beginning in the window may lie, as far as the image goes.
    const std::uint64_t size = image.size();
    if (size <= window.first) {
        return DirectoryStatus::not_found;
    }
    const auto searched = static_cast<std::size_t>(
        std::min<std::uint64_t>(window.end - 1 + k_directory_marker.size(), size) - window.first);
    std::vector<std::uint8_t> bytes(searched);
    if (!image.read(window.first, bytes)) {
        return DirectoryStatus::unreadable;
    }
    const std::size_t found = find_marker(bytes, {0, window.end - window.first});
    if (found == k_no_marker) {
        return DirectoryStatus::not_found;
    }
    const std::uint64_t at = window.first + found;
    std::array<std::uint8_t, k_entries_offset> header{};
    if (!inside_image(at, header.size(), size)) {
        return DirectoryStatus::malformed;
    }
    if (!image.read(at, header)) {
        return DirectoryStatus::unreadable;
    }
    marker_offset_ = static_cast<std::size_t>(at);
    entry_count_ = read_le16(header.data() + k_entry_count_offset);
    entry_size_ = read_le16(header.data() + k_entry_size_offset);
    // The entries are copied whole into the directory buffer and read 48 bytes apart from it, so
    // both the copied bytes and every entry read must fit the buffer, and the copy must fit the image.
    if (entries_bytes() > k_directory_buffer_size ||
        entry_count_ * k_entry_stride > k_directory_buffer_size ||
        !inside_image(entries_position(), entries_bytes(), size)) {
        return DirectoryStatus::malformed;
    }
    buffer_.fill(0);
    if (!image.read(entries_position(), std::span(buffer_).first(entries_bytes()))) {
        return DirectoryStatus::unreadable;
    }
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
                                  std::uint64_t image_size) const {
    return inside_image(data_position(entry), needed, image_size);
}

}  // namespace velmora
