#include "framework/recent_folders.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QString>

namespace velmora {

namespace {

constexpr char k_organization[] = "Velmora";
constexpr char k_application[] = "velmora";
constexpr char k_folder_group[] = "dialog_folders/";

QString to_qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QSettings user_settings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(k_organization),
                     QString::fromLatin1(k_application));
}

QString folder_key(std::string_view kind) {
    return QString::fromLatin1(k_folder_group) + to_qt(kind);
}

bool is_folder(std::string_view path) {
    return !path.empty() && QFileInfo(to_qt(path)).isDir();
}

// Set by the view on the UI thread, read by the dialogs there.
std::string& input_image() {
    static std::string path;
    return path;
}

}  // namespace

std::string choose_start_folder(std::string_view last_used, std::string_view input_image,
                                std::string_view home) {
    if (is_folder(last_used)) {
        return std::string(last_used);
    }
    if (!input_image.empty()) {
        const std::string beside = QFileInfo(to_qt(input_image)).absolutePath().toStdString();
        if (is_folder(beside)) {
            return beside;
        }
    }
    return std::string(home);
}

std::string start_folder(std::string_view kind) {
    return choose_start_folder(remembered_folder(kind), input_image(), QDir::homePath().toStdString());
}

void remember_folder(std::string_view kind, std::string_view chosen) {
    if (kind.empty() || chosen.empty()) {
        return;
    }
    // The folder the chosen name lies in, even for a file not yet made (a save).
    const QString folder = QFileInfo(to_qt(chosen)).absolutePath();
    QSettings settings = user_settings();
    settings.setValue(folder_key(kind), folder);
}

std::string remembered_folder(std::string_view kind) {
    return user_settings().value(folder_key(kind)).toString().toStdString();
}

void set_input_image(std::string_view path) {
    input_image() = std::string(path);
}

}  // namespace velmora
