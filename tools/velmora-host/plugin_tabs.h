// The plug-in pane: one tab per plug-in with a user interface, titled with its dll_get_title.
//
// Each plug-in gets a parent widget inside a scroll area; whatever widgets it creates directly in that
// parent are put in the parent's layout, so they follow the tab's size. A plug-in without a user
// interface is initialised with no parent and gets no tab. A plug-in that cannot be loaded, lacks an
// export, or whose dll_init answers 0 is left out and its outcome says why.
//
// Callers may rely on: load_all() returns one outcome per plug-in file, in loading order; the
// libraries stay loaded for the life of the process.
#pragma once

#include <QString>
#include <QStringList>
#include <QTabWidget>
#include <memory>
#include <vector>

#include "host/plugin_library.h"
#include "link/component_registry.h"

namespace velmora::host_app {

class PluginTabs : public QTabWidget {
    Q_OBJECT

public:
    struct Outcome {
        QString path;
        QString title;  // empty when the plug-in was not loaded
        bool loaded = false;
        QString message;  // what went wrong, or a note such as "no window"
    };

    explicit PluginTabs(QWidget* parent = nullptr);

    std::vector<Outcome> load_all(const QStringList& plugin_paths, component_registry& registry);

private:
    Outcome load_one(const QString& path, component_registry& registry);

    std::vector<std::unique_ptr<PluginLibrary>> plugins_;
};

}  // namespace velmora::host_app
