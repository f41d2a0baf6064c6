#include "tools/velmora-image/config_source.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <variant>

#include "config/flash_image_file.h"
#include "script/key_script_extractor.h"
#include "script/process_runner.h"
#include "tools/velmora-image/report_text.h"

namespace velmora::image_tool {

namespace {

constexpr std::string_view k_side_file_extensions = ".fp .hw .fpkey .ir1 .ir2 .led";

ConfigParts part_of(SideFileKind kind) {
    ConfigPart part = ConfigPart::fp_page;
    switch (kind) {
        case SideFileKind::fp:
            part = ConfigPart::fp_page;
            break;
        case SideFileKind::hw:
            part = ConfigPart::hw_page;
            break;
        case SideFileKind::fpkey:
            part = ConfigPart::fp_keys;
            break;
        case SideFileKind::ir1:
            part = ConfigPart::ir1_keys;
            break;
        case SideFileKind::ir2:
            part = ConfigPart::ir2_keys;
            break;
        case SideFileKind::led:
            part = ConfigPart::led_map;
            break;
    }
    return static_cast<ConfigParts>(part);
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

void say_neither(std::ostream& err, const std::string& path, std::string_view why) {
    err << "velmora-image: " << escape_for_terminal(path) << " is neither a flash image nor a side file ("
        << k_side_file_extensions << ")" << why << "\n";
}

}  // namespace

std::optional<SideFileKind> side_file_kind_of(std::string_view path) {
    const std::size_t dot = path.find_last_of("./");
    if (dot == std::string_view::npos || path[dot] != '.') {
        return std::nullopt;
    }
    const std::string_view extension = path.substr(dot + 1);
    for (const SideFileInfo& info : k_side_files) {
        if (equal_ignoring_case(extension, info.extension)) {
            return info.kind;
        }
    }
    return std::nullopt;
}

bool ConfigSource::load(const std::string& path, std::ostream& err) {
    if (const auto kind = side_file_kind_of(path)) {
        return load_side_record(path, *kind, err);
    }
    // No image is as small as one record; a record under another name cannot say whose page it is.
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error) &&
        std::filesystem::file_size(path, error) == k_config_block_size && !error) {
        say_neither(err, path, ": a 1564-byte record needs its page's extension");
        return false;
    }
    return load_image(path, err);
}

bool ConfigSource::load_image(const std::string& path, std::ostream& err) {
    // As the view after construction: a zeroed block, an empty script buffer, one runner.
    ConfigBlock block;
    KeyScriptBuffer script;
    ProcessRunner runner;
    FlashImageFile source;
    if (const auto message = source.parse(path, block, script, [&] { ExtractKeyScript(script, runner); })) {
        err << message_text(*message).text << "\n";
        if (*message == ImageMessage::wrong_binary) {
            say_neither(err, path, "");
        }
        return false;
    }
    // The key map page's script warning explains names missing on this side.
    for (const PageMessage& message : pages_->LoadPages(block)) {
        err << message.text << "\n";
    }
    parts_ = k_all_parts;
    kind_ = "flash image";
    return true;
}

bool ConfigSource::load_side_record(const std::string& path, SideFileKind kind, std::ostream& err) {
    auto read = read_side_file(path);
    if (const auto* message = std::get_if<PageMessage>(&read)) {
        err << message->text << "\n";
        return false;
    }
    const ConfigBlock& record = std::get<ConfigBlock>(read);
    add_key_rows(kind, record);
    if (const auto refused = pages_->page_for(kind).apply_side_record(kind, record)) {
        err << refused->text << "\n";
        return false;
    }
    parts_ = part_of(kind);
    kind_ = "side file ." + std::string(side_file_info(kind).extension);
    return true;
}

void ConfigSource::add_key_rows(SideFileKind kind, const ConfigBlock& record) {
    KeyList list = KeyList::none;
    const KeyTable* table = nullptr;
    switch (kind) {
        case SideFileKind::fpkey:
            list = KeyList::fp;
            table = &k_fp_key_table;
            break;
        case SideFileKind::ir1:
            list = KeyList::ir;
            table = &k_ir1_table;
            break;
        case SideFileKind::ir2:
            list = KeyList::ir;
            table = &k_ir2_table;
            break;
        default:
            return;
    }
    const std::size_t rows = std::min<std::size_t>(record.u16(table->count_offset), table->capacity);
    EditableKeyList& target = *pages_->key_map.key_list(list);
    for (std::size_t i = 0; i < rows; ++i) {
        target.append_row({});
    }
}

}  // namespace velmora::image_tool
