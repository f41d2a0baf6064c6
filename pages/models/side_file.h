// Side files: one 1564-byte record laid out as the configuration block, in which only the fields of
// the page that wrote it count. .fp (front panel), .hw (hardware), .fpkey/.ir1/.ir2 (key tables),
// .led (LED map).
//
// Loading reads the record, hands it to the page, and says "Load done!" when the page took it.
// Saving has the page build the record and writes it atomically: a failed check writes nothing and
// reports no success; a failed write leaves any earlier file as it was.
#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <variant>

#include "config/config_block.h"
#include "pages/models/page_message.h"

namespace velmora {

enum class SideFileKind { fp, hw, fpkey, ir1, ir2, led };

struct SideFileInfo {
    SideFileKind kind;
    std::string_view extension;  // without the point, as the file dialogs' default extension
    std::string_view filter;     // the file dialogs' filter, in the Windows form "text|pattern|...||"
};

extern const std::array<SideFileInfo, 6> k_side_files;
const SideFileInfo& side_file_info(SideFileKind kind);

class PageModel;

// Reads a side file's record: its first 1564 bytes. A file that cannot be opened or is not a regular
// file (a directory, FIFO, device) gives "Can't open binary file!" without waiting on it; a shorter
// file gives the too-short message.
std::variant<ConfigBlock, PageMessage> read_side_file(std::string_view path);

// The whole load button: read, let the page apply the record, "Load done!".
PageMessages load_side_file(PageModel& page, SideFileKind kind, std::string_view path);
// The whole save button: let the page build the record, write it, "Finish to save file!".
PageMessages save_side_file(PageModel& page, SideFileKind kind, std::string_view path);

PageMessage cannot_open_message();

}  // namespace velmora
