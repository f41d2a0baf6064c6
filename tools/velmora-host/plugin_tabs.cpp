#include "tools/velmora-host/plugin_tabs.h"

#include <QScrollArea>
#include <QVBoxLayout>

namespace velmora::host_app {

PluginTabs::PluginTabs(QWidget* parent) : QTabWidget(parent) {
    setObjectName(QStringLiteral("plugin_tabs"));
    setDocumentMode(true);
    // A lone plug-in's tab says nothing the window title does not (MainWindow), and its bar would take
    // a terminal line from a small screen.
    setTabBarAutoHide(true);
}

std::vector<PluginTabs::Outcome> PluginTabs::load_all(const QStringList& plugin_paths,
                                                      component_registry& registry) {
    std::vector<Outcome> outcomes;
    outcomes.reserve(static_cast<std::size_t>(plugin_paths.size()));
    for (const QString& path : plugin_paths) {
        outcomes.push_back(load_one(path, registry));
    }
    return outcomes;
}

PluginTabs::Outcome PluginTabs::load_one(const QString& path, component_registry& registry) {
    Outcome outcome;
    outcome.path = path;
    std::unique_ptr<PluginLibrary> plugin = PluginLibrary::load(path, outcome.message);
    if (!plugin) {
        return outcome;
    }
    const QString title = plugin->title();
    if (!plugin->is_gui()) {
        if (!plugin->init(nullptr, &registry)) {
            outcome.message = QStringLiteral("Plug-in %1 (%2) failed to start").arg(title, path);
            return outcome;
        }
        outcome.loaded = true;
        outcome.title = title;
        outcome.message = QStringLiteral("Plug-in %1 (%2) has no window").arg(title, path);
        plugins_.push_back(std::move(plugin));
        return outcome;
    }

    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    // Tab goes to the form's controls, not to the area that holds them (it scrolls to show each).
    scroll->setFocusPolicy(Qt::NoFocus);
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    scroll->setWidget(page);
    if (!plugin->init(page, &registry)) {
        // Kept, hidden: the plug-in may hold pointers to widgets it made in the page before it failed.
        scroll->setParent(this);
        scroll->hide();
        outcome.message = QStringLiteral("Plug-in %1 (%2) could not create its window").arg(title, path);
        return outcome;
    }
    for (QWidget* child : page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow() && layout->indexOf(child) < 0) {
            layout->addWidget(child);
        }
    }
    addTab(scroll, title);
    outcome.loaded = true;
    outcome.title = title;
    plugins_.push_back(std::move(plugin));
    return outcome;
}

}  // namespace velmora::host_app
