#include "framework/file_dialog.h"

#include <QFileDialog>
#include <QString>
#include <atomic>
#include <vector>

#include "framework/call_on_ui_thread.h"
#include "framework/recent_folders.h"

namespace velmora {

namespace {

// The presenter of a real session: Qt's own dialog, the same on every desktop.
class QtFileDialogPresenter final : public FileDialogPresenter {
public:
    std::optional<std::string> present(QWidget* owner, FileDialogKind kind,
                                       const FileDialogOptions& options) override {
        QFileDialog dialog(owner);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(kind == FileDialogKind::save ? QFileDialog::AcceptSave
                                                          : QFileDialog::AcceptOpen);
        // Names of files that do not exist are taken too: the page reports a file it cannot open.
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.overwrite_prompt);
        const std::string filter = translate_filter(options.filter);
        if (!filter.empty()) {
            dialog.setNameFilter(QString::fromStdString(filter));
        }
        // Qt's suffix rule is ours, so the overwrite question already sees the final name.
        std::string_view extension = options.default_extension;
        if (!extension.empty() && extension.front() == '.') {
            extension.remove_prefix(1);
        }
        dialog.setDefaultSuffix(
            QString::fromUtf8(extension.data(), static_cast<qsizetype>(extension.size())));
        if (!options.start_folder.empty()) {
            dialog.setDirectory(QString::fromStdString(options.start_folder));
        }
        const bool wildcard = options.initial_name.find_first_of("*?") != std::string::npos;
        if (!options.initial_name.empty() && !wildcard) {
            dialog.selectFile(QString::fromStdString(options.initial_name));
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return dialog.selectedFiles().front().toStdString();
    }
};

QtFileDialogPresenter& qt_presenter() {
    static QtFileDialogPresenter presenter;
    return presenter;
}

std::atomic<FileDialogPresenter*> installed{nullptr};

std::optional<std::string> run_file_dialog(QWidget* owner, FileDialogKind kind,
                                           const FileDialogOptions& options) {
    std::optional<std::string> chosen;
    // The folders are read and remembered on the UI thread, where the dialogs and their settings live.
    call_on_ui_thread([&] {
        FileDialogPresenter* presenter = installed.load();
        if (presenter == nullptr) {
            presenter = &qt_presenter();
        }
        FileDialogOptions shown = options;
        if (!shown.folder_kind.empty()) {
            shown.start_folder = start_folder(shown.folder_kind);
        }
        chosen = presenter->present(owner, kind, shown);
        if (chosen) {
            chosen = apply_default_extension(*chosen, options.default_extension);
            remember_folder(options.folder_kind, *chosen);
        }
    });
    return chosen;
}

std::vector<std::string_view> split_fields(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t bar = text.find('|', start);
        if (bar == std::string_view::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, bar - start));
        start = bar + 1;
    }
}

// Qt takes a filter's patterns from parentheses that close the text.
bool ends_in_patterns(std::string_view text) {
    return !text.empty() && text.back() == ')' && text.find('(') != std::string_view::npos;
}

}  // namespace

std::optional<std::string> open_file_dialog(QWidget* owner, const FileDialogOptions& options) {
    return run_file_dialog(owner, FileDialogKind::open, options);
}

std::optional<std::string> save_file_dialog(QWidget* owner, const FileDialogOptions& options) {
    return run_file_dialog(owner, FileDialogKind::save, options);
}

FileDialogPresenter* set_file_dialog_presenter(FileDialogPresenter* presenter) {
    return installed.exchange(presenter);
}

std::string translate_filter(std::string_view windows_filter) {
    const std::vector<std::string_view> fields = split_fields(windows_filter);
    std::string qt_filter;
    for (std::size_t i = 0; i < fields.size(); i += 2) {
        const std::string_view text = fields[i];
        // The list ends at the first empty text: "||" closes a filter in the Windows form.
        if (text.empty()) {
            break;
        }
        if (!qt_filter.empty()) {
            qt_filter += ";;";
        }
        qt_filter += text;
        const std::string_view patterns = i + 1 < fields.size() ? fields[i + 1] : std::string_view{};
        if (!ends_in_patterns(text) && !patterns.empty()) {
            std::string spaced(patterns);
            for (char& c : spaced) {
                if (c == ';') {
                    c = ' ';
                }
            }
            qt_filter += " (" + spaced + ")";
        }
    }
    return qt_filter;
}

std::string apply_default_extension(std::string_view path, std::string_view default_extension) {
    if (!default_extension.empty() && default_extension.front() == '.') {
        default_extension.remove_prefix(1);
    }
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    std::string result(path);
    if (!default_extension.empty() && !name.empty() && name.find('.') == std::string_view::npos) {
        result += '.';
        result += default_extension;
    }
    return result;
}

}  // namespace velmora
