#include "pages/dialogs/side_file_dlg.h"

#include <string>

#include "framework/message_box.h"
#include "pages/models/page_model.h"

namespace velmora {

FileDialogOptions side_file_dialog_options(SideFileKind kind) {
    const SideFileInfo& info = side_file_info(kind);
    FileDialogOptions options;
    options.filter = std::string(info.filter);
    options.default_extension = std::string(info.extension);
    options.initial_name = "*." + std::string(info.extension);
    options.overwrite_prompt = true;
    options.hide_read_only = true;
    // The load and the save of one extension share their folder.
    options.folder_kind = std::string(info.extension);
    return options;
}

void show_page_messages(QWidget* owner, const PageMessages& messages) {
    for (const PageMessage& message : messages) {
        message_box(owner, message.text, message.caption);
    }
}

std::optional<PageMessages> run_side_file_load(QWidget* owner, PageModel& page, SideFileKind kind) {
    const auto path = open_file_dialog(owner, side_file_dialog_options(kind));
    if (!path) {
        return std::nullopt;
    }
    return load_side_file(page, kind, *path);
}

std::optional<PageMessages> run_side_file_save(QWidget* owner, PageModel& page, SideFileKind kind) {
    const auto path = save_file_dialog(owner, side_file_dialog_options(kind));
    if (!path) {
        return std::nullopt;
    }
    return save_side_file(page, kind, *path);
}

}  // namespace velmora
