#include "host/plugin_library.h"

#include <QFileInfo>

namespace velmora {

namespace {

template <typename Function>
bool resolve(QLibrary& library, const char* name, Function& target, QString& missing) {
    target = reinterpret_cast<Function>(library.resolve(name));
    if (target == nullptr) {
        missing += (missing.isEmpty() ? QString() : QStringLiteral(", ")) + QString::fromLatin1(name);
        return false;
    }
    return true;
}

}  // namespace

PluginLibrary::PluginLibrary(const QString& path) : path_(path), library_(path) {}

std::unique_ptr<PluginLibrary> PluginLibrary::load(const QString& path, QString& error) {
    std::unique_ptr<PluginLibrary> plugin(new PluginLibrary(path));
    if (!plugin->library_.load()) {
        error = QStringLiteral("Cannot load plug-in %1: %2").arg(path, plugin->library_.errorString());
        return nullptr;
    }
    QString missing;
    // Every export is tried, so the message lists all that are missing, not just the first.
    bool complete = resolve(plugin->library_, k_dll_init_name, plugin->init_, missing);
    complete = resolve(plugin->library_, k_dll_deinit_name, plugin->deinit_, missing) && complete;
    complete = resolve(plugin->library_, k_dll_get_title_name, plugin->get_title_, missing) && complete;
    complete = resolve(plugin->library_, k_dll_is_gui_name, plugin->is_gui_, missing) && complete;
    if (!complete) {
        error = QStringLiteral("Cannot load plug-in %1: it does not export %2").arg(path, missing);
        return nullptr;
    }
    return plugin;
}

QString PluginLibrary::title() const {
    const char* title = get_title_();
    if (title == nullptr || *title == '\0') {
        return QFileInfo(path_).fileName();
    }
    return QString::fromUtf8(title);
}

}  // namespace velmora
