// One side of `velmora-image diff`: a flash image or a side file, loaded into the pages' own form
// models, with the parts of the configuration it carries.
//
// An image goes through Parse and LoadPages as the window's Parse does; it carries every part, the
// key names of its script included. A side file (.fp .hw .fpkey .ir1 .ir2 .led, told by its
// extension, letters of either case) goes through its page's load button on a fresh page set and
// carries only what that record holds for its page: a key file its table and, for a remote, that
// remote's user code, without names. A fresh key list has no rows for a key file to fill, so the list
// first gets as many empty rows as the record counts (never more than its table holds); the page's
// own rule then fills them or refuses the file.
//
// Callers may rely on: after a successful load(), pages() shows the configuration and parts() is not
// empty; a failed load() has written the reason to `err` (the system's message where there is one,
// then a line naming the file when it is neither an image nor a side file).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "pages/models/page_set.h"
#include "pages/models/side_file.h"

namespace velmora::image_tool {

// What a source carries, one bit a part.
enum class ConfigPart : std::uint8_t {
    fp_page = 1 << 0,
    hw_page = 1 << 1,
    fp_keys = 1 << 2,
    ir1_keys = 1 << 3,  // the IR1 codes and the IR1 user code
    ir2_keys = 1 << 4,  // the IR2 codes and the IR2 user code
    led_map = 1 << 5,
    key_names = 1 << 6,
};
using ConfigParts = std::uint8_t;

inline constexpr ConfigParts k_all_parts = 0x7F;

constexpr bool has_part(ConfigParts parts, ConfigPart part) {
    return (parts & static_cast<ConfigParts>(part)) != 0;
}

// The side-file kind the name's extension says, if any.
std::optional<SideFileKind> side_file_kind_of(std::string_view path);

class ConfigSource {
public:
    bool load(const std::string& path, std::ostream& err);

    const PageSet& pages() const { return *pages_; }
    ConfigParts parts() const { return parts_; }
    // "flash image" or "side file .ir1", for messages and the JSON report.
    const std::string& kind() const { return kind_; }

private:
    bool load_image(const std::string& path, std::ostream& err);
    bool load_side_record(const std::string& path, SideFileKind kind, std::ostream& err);
    void add_key_rows(SideFileKind kind, const ConfigBlock& record);

    // Its atomics and lock keep a page set in place.
    std::unique_ptr<PageSet> pages_ = std::make_unique<PageSet>();
    ConfigParts parts_ = 0;
    std::string kind_;
};

}  // namespace velmora::image_tool
