// The side-file buttons of the pages, with their windows: the file dialog, then the load or save of
// the record, and the message boxes.
//
// Callers may rely on this: the file dialogs use the side file's filter and default extension, the
// initial name "*.<extension>", hide the read-only box and ask before overwriting, and open in the
// folder last used for the extension (recent_folders.h); a cancelled dialog does nothing at all.
// The load and save hand back their messages unshown, so that the page can show its new contents
// first and then the boxes (show_page_messages).
#pragma once

#include <optional>

#include "framework/file_dialog.h"
#include "pages/models/page_message.h"
#include "pages/models/side_file.h"

class QWidget;

namespace velmora {

class PageModel;

FileDialogOptions side_file_dialog_options(SideFileKind kind);

// Each shows `messages` in message boxes owned by `owner`; an empty caption is the application's.
void show_page_messages(QWidget* owner, const PageMessages& messages);

// The load button: nothing when the file dialog was cancelled, else load_side_file's messages.
std::optional<PageMessages> run_side_file_load(QWidget* owner, PageModel& page, SideFileKind kind);
// The save button: nothing when the file dialog was cancelled, else save_side_file's messages.
std::optional<PageMessages> run_side_file_save(QWidget* owner, PageModel& page, SideFileKind kind);

}  // namespace velmora
