// Open and save file dialogs, shown through a replaceable presenter.
//
// The pages describe their dialogs with the system's fixed texts: a filter in the Windows form
// ("FP files(*.fp)|*.fp|All   files   (*.*)|*.*||"), a default extension, an initial name and two flags.
// `open_file_dialog` / `save_file_dialog` return the chosen path (UTF-8), or nothing when cancelled.
// Callers may rely on:
// - the default extension rule, applied to every answer, the presenter's included: when the chosen
//   file's name (the part after the last '/') contains no '.', "." + default extension is appended;
//   a name with a dot anywhere ("a.b", ".fp", "name.") is kept as it is, and so is a path ending in
//   '/'; no default extension, no change. A leading '.' in `default_extension` is ignored ("fp" and ".fp" are
//   the same);
// - an open dialog accepts the name of a file that does not exist yet: the page that asked reports a
//   file it cannot open with its own message; only the save dialog asks before overwriting, and only
//   with `overwrite_prompt`;
// - `hide_read_only` is kept for the record: Qt's dialogs have no read-only box, so it changes nothing;
// - an `initial_name` holding a wildcard ("*.fp") is not put into the name box, a plain name is;
// - a dialog with a `folder_kind` opens in that kind's start folder (recent_folders.h), handed to the
//   presenter as `start_folder`, and a chosen path makes its folder the kind's start folder; a
//   cancelled dialog remembers nothing. Without a kind the dialog opens where the caller's
//   `start_folder` says, or where Qt likes when that is empty;
// - called from a worker thread, the dialog runs on the UI thread and the caller waits (call_on_ui_thread.h);
//   when the UI thread can no longer run it, the answer is "cancelled".
//
// Tests replace the presenter (set_file_dialog_presenter) to record the options and answer a path.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "framework/recent_folders.h"  // the folder kinds and the input image

class QWidget;

namespace velmora {

struct FileDialogOptions {
    std::string filter;             // Windows form: "text|pattern|text|pattern||"
    std::string default_extension;  // "fp", or empty for none
    std::string initial_name;       // "*.fp", a file name, or empty
    bool overwrite_prompt = false;  // OFN_OVERWRITEPROMPT
    bool hide_read_only = false;    // OFN_HIDEREADONLY
    std::string folder_kind;        // whose start folder is remembered: "input_image", "hw", ...; or empty
    std::string start_folder;       // where the dialog opens; filled from `folder_kind` when it is set
};

enum class FileDialogKind { open, save };

class FileDialogPresenter {
public:
    virtual ~FileDialogPresenter() = default;
    // Called on the UI thread only. Returns the chosen path, or nothing when cancelled. The default
    // extension rule is applied to the answer afterwards.
    virtual std::optional<std::string> present(QWidget* owner, FileDialogKind kind,
                                               const FileDialogOptions& options) = 0;
};

std::optional<std::string> open_file_dialog(QWidget* owner, const FileDialogOptions& options);
std::optional<std::string> save_file_dialog(QWidget* owner, const FileDialogOptions& options);

// Installs `presenter` (not owned; nullptr restores the QFileDialog one) and returns the one installed
// before (nullptr when that was the QFileDialog one). UI thread only.
FileDialogPresenter* set_file_dialog_presenter(FileDialogPresenter* presenter);

// Turns a Windows filter into Qt's: the description texts, kept exactly, joined by ";;"
// ("bin files (*.bin)|*.bin|All Files (*.*)|*.*||" gives "bin files (*.bin);;All Files (*.*)").
// Qt reads the patterns from the parentheses at the end of each text; a text that does not end in
// parentheses gets its Windows pattern appended as " (pattern)", with ';' between patterns turned
// into a blank. Empty entries and the closing "||" are dropped; a text without a pattern is kept.
std::string translate_filter(std::string_view windows_filter);

// The default extension rule above, on its own.
std::string apply_default_extension(std::string_view path, std::string_view default_extension);

}  // namespace velmora
