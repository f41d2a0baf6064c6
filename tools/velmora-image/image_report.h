// What `info` and `verify` tell about an accepted image: both directories, every entry with its
// stored and computed CRC, and the key script's size.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "config/flash_image.h"

namespace velmora::image_tool {

struct EntryReport {
    std::size_t index = 0;
    RecordEntry entry;
    std::uint64_t data_position = 0;
    std::optional<std::uint32_t> computed_crc;  // none when `length` bytes would pass the image's end
    bool used = false;                          // the system reads or writes this record

    bool crc_matches() const { return computed_crc && *computed_crc == entry.crc; }
};

struct DirectoryReport {
    std::size_t marker_offset = 0;
    std::uint16_t entry_count = 0;
    std::uint16_t entry_size = 0;
    std::vector<EntryReport> entries;
};

struct ImageReport {
    std::size_t image_size = 0;
    DirectoryReport a;
    DirectoryReport b;
    std::uint32_t key_script_size = 0;  // of the last script record in B; 0 when it has none
};

// The image must be one that Parse accepts (see FlashImageFile). Reads only the directories and the
// bytes the records cover, each once; none when a read fails.
std::optional<ImageReport> build_image_report(const ImageSource& image);

std::string_view tag_name(std::uint8_t tag);

nlohmann::json to_json(const ImageReport& report);
void print_text(std::ostream& out, const ImageReport& report);

}  // namespace velmora::image_tool
