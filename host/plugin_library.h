// One plug-in library, loaded with QLibrary and its four exports resolved by name.
//
// Callers may rely on: `load` gives either a library with all four exports or null and a message
// naming the file and what failed; the library is never unloaded (a plug-in's threads and
// components live until the process ends). No Qt Widgets are needed: the parent widget is only
// passed through.
#pragma once

#include <QLibrary>
#include <QString>
#include <memory>

#include "link/plugin_exports.h"

namespace velmora {

class PluginLibrary {
public:
    static std::unique_ptr<PluginLibrary> load(const QString& path, QString& error);

    const QString& path() const { return path_; }
    // dll_get_title, or the file's name when the plug-in gives none.
    QString title() const;
    bool is_gui() const { return is_gui_() != 0; }
    // dll_init; true when the plug-in reports its window exists.
    bool init(QWidget* parent, component_registry* registry) { return init_(parent, registry) != 0; }
    void deinit() { deinit_(); }

private:
    explicit PluginLibrary(const QString& path);

    QString path_;
    QLibrary library_;
    DllInitFn init_ = nullptr;
    DllDeinitFn deinit_ = nullptr;
    DllGetTitleFn get_title_ = nullptr;
    DllIsGuiFn is_gui_ = nullptr;
};

}  // namespace velmora
