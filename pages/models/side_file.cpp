#include "pages/models/side_file.h"

#include "pages/models/page_model.h"
#include "platform/atomic_file.h"
#include "platform/regular_file.h"

namespace velmora {

namespace {

constexpr std::string_view k_caption_error = "error";
constexpr std::string_view k_caption_success = "Success";

}  // namespace

const std::array<SideFileInfo, 6> k_side_files{{
    {SideFileKind::fp, "fp", "FP files(*.fp)|*.fp|All   files   (*.*)|*.*||"},
    {SideFileKind::hw, "hw", "HW files(*.hw)|*.hw|All   files   (*.*)|*.*||"},
    {SideFileKind::fpkey, "fpkey", "FPKEY files(*.fpkey)|*.fpkey|All   files   (*.*)|*.*||"},
    {SideFileKind::ir1, "ir1", "IR1 files(*.ir1)|*.ir1|All   files   (*.*)|*.*||"},
    {SideFileKind::ir2, "ir2", "IR2 files(*.ir2)|*.ir2|All   files   (*.*)|*.*||"},
    {SideFileKind::led, "led", "LED files(*.led)|*.led|All   files   (*.*)|*.*||"},
}};

const SideFileInfo& side_file_info(SideFileKind kind) {
    return k_side_files.at(static_cast<std::size_t>(kind));
}

PageMessage cannot_open_message() {
    return {MessageKind::refused, "Can't open binary file!", std::string(k_caption_error)};
}

std::variant<ConfigBlock, PageMessage> read_side_file(std::string_view path) {
    // Only a regular file is read: a FIFO or device would block the page for ever, and a directory
    // is no file to open, not a short one.
    const platform::RegularFile file = platform::open_regular_file(std::filesystem::path(path));
    if (file.status != platform::RegularFileStatus::opened) {
        return cannot_open_message();
    }
    ConfigBlock record;
    // A longer file is read for its first record; a shorter one is no side file of ours.
    if (file.size < record.bytes.size() || !platform::read_at(file.fd.get(), record.bytes, 0)) {
        return PageMessage{MessageKind::refused, "The file is too short: a side file holds 1564 bytes!",
                           std::string(k_caption_error)};
    }
    return record;
}

PageMessages load_side_file(PageModel& page, SideFileKind kind, std::string_view path) {
    auto read = read_side_file(path);
    if (auto* message = std::get_if<PageMessage>(&read)) {
        return {*message};
    }
    if (auto refused = page.apply_side_record(kind, std::get<ConfigBlock>(read))) {
        return {*refused};
    }
    return {{MessageKind::success, "Load done!", std::string(k_caption_success)}};
}

PageMessages save_side_file(PageModel& page, SideFileKind kind, std::string_view path) {
    ConfigBlock record;
    if (auto check = page.build_side_record(kind, record)) {
        return {*check};
    }
    if (!platform::write_file_atomically(std::filesystem::path(path), record.bytes)) {
        return {cannot_open_message()};
    }
    return {{MessageKind::success, "Finish to save file!", std::string(k_caption_success)}};
}

}  // namespace velmora
