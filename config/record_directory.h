// Record directories of the box's flash image.
//
// A directory begins with the 12-byte marker "*^_^*VL(^o^)"; 24 bytes after the marker's first byte
// come the 16-bit `entry_count` and `entry_size`, then the entries, read 48 bytes apart whatever
// `entry_size` says (it only sizes the block of entries that is copied and written back). A record's
// data begins `offset` bytes after the marker.
//
// Directory A is searched for in image offsets 0..1023, directory B in 65536..66559; the first
// marker whose first byte lies in the window wins. The search looks only where the whole marker
// fits inside the image.
//
// The directory is read from an ImageSource: only the search window, the header and the entries, so
// a directory of a large image file costs a few kilobytes of reading.
//
// Locating a directory also checks that its header and entries lie inside the image and that the
// entries fit the 3076-byte directory buffer; `record_fits` checks each record the system reads or
// writes. A directory that fails either check is malformed and its image is refused, so nothing is
// ever read or written outside the image.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "config/image_source.h"

namespace velmora {

inline constexpr std::string_view k_directory_marker = "*^_^*VL(^o^)";
static_assert(k_directory_marker.size() == 12);

struct SearchWindow {
    std::size_t first;
    std::size_t end;  // one past the last offset tried
};
inline constexpr SearchWindow k_window_a{0, 1024};
inline constexpr SearchWindow k_window_b{0x10000, 0x10400};

// Record tags.
inline constexpr std::uint8_t TAG_MAIN = 0xBC;
inline constexpr std::uint8_t TAG_IR1_KEYS = 0xAF;
inline constexpr std::uint8_t TAG_IR2_KEYS = 0xB1;
inline constexpr std::uint8_t TAG_FP_KEYS = 0xB0;
inline constexpr std::uint8_t TAG_KEY_SCRIPT = 0xFE;

// Directory header, from the marker's first byte.
inline constexpr std::size_t k_entry_count_offset = 24;
inline constexpr std::size_t k_entry_size_offset = 26;
inline constexpr std::size_t k_entries_offset = 28;
static_assert(k_entry_count_offset >= k_directory_marker.size() + 12);

// RecordEntry, from the entry's first byte.
inline constexpr std::size_t k_entry_stride = 48;
inline constexpr std::size_t k_entry_tag_offset = 0;
inline constexpr std::size_t k_entry_data_offset = 4;
inline constexpr std::size_t k_entry_length_offset = 8;
inline constexpr std::size_t k_entry_crc_offset = 12;

// Room for 64 entries and 4 bytes more.
inline constexpr std::size_t k_directory_buffer_size = 3076;
static_assert(k_directory_buffer_size == 64 * k_entry_stride + 4);

struct RecordEntry {
    std::uint8_t tag = 0;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    std::uint32_t crc = 0;
};

// `unreadable`: the bytes could not be read (the file changed or failed); the image must be refused.
enum class DirectoryStatus { found, not_found, malformed, unreadable };

// One directory, with its entries copied into a local buffer as the record steps use them.
class RecordDirectory {
public:
    // Finds the directory in `window` and copies its entries. On `malformed` the image must be refused.
    DirectoryStatus locate(const ImageSource& image, SearchWindow window);
    DirectoryStatus locate(std::span<const std::uint8_t> image, SearchWindow window) {
        return locate(MemoryImage(image), window);
    }

    std::size_t marker_offset() const { return marker_offset_; }
    std::uint16_t entry_count() const { return entry_count_; }
    std::uint16_t entry_size() const { return entry_size_; }
    // Bytes copied from the image and written back: entry_count x entry_size.
    std::size_t entries_bytes() const { return std::size_t{entry_count_} * entry_size_; }

    RecordEntry entry(std::size_t index) const;
    void set_crc(std::size_t index, std::uint32_t crc);

    // Image offset of a record's data; 64-bit arithmetic so that no offset wraps.
    std::uint64_t data_position(const RecordEntry& entry) const {
        return marker_offset_ + std::uint64_t{entry.offset};
    }
    // True when `needed` bytes from the record's first byte lie inside an image of `image_size` bytes.
    bool record_fits(const RecordEntry& entry, std::uint64_t needed, std::uint64_t image_size) const;

    // Image offset of the entries, and the entries as copied (with their CRCs as set since): what is
    // written back over the image's directory.
    std::uint64_t entries_position() const { return marker_offset_ + k_entries_offset; }
    std::span<const std::uint8_t> entries() const { return {buffer_.data(), entries_bytes()}; }

private:
    std::size_t marker_offset_ = 0;
    std::uint16_t entry_count_ = 0;
    std::uint16_t entry_size_ = 0;
    // Bytes past the copied entries stay zero: an entry read there has tag 0 and is skipped.
    std::array<std::uint8_t, k_directory_buffer_size> buffer_{};
};

// First offset in `window` where the whole marker lies in `image` and matches, or `npos`.
inline constexpr std::size_t k_no_marker = static_cast<std::size_t>(-1);
std::size_t find_marker(std::span<const std::uint8_t> image, SearchWindow window);

}  // namespace velmora
