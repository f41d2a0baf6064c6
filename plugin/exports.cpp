// The four functions the host resolves by name, and the one main view they create.
#include <QScrollArea>
#include <atomic>
#include <memory>
#include <new>

#include "link/plugin_exports.h"
#include "plugin/velmora_dlg.h"
#include "plugin/view_placement.h"

namespace velmora {

namespace {

constexpr char k_title[] = "Customization";
constexpr int k_has_user_interface = 1;

// The host's first pane: the id the view carries as a child of the host's window.
constexpr int k_first_pane_id = 0xE900;

// Set by the first dll_init that made a view and never cleared: a later call finds the view made,
// even after the host has destroyed it with its window, and makes no second one.
std::atomic<bool> g_view_made{false};

int init_view(QWidget* parent, component_registry* registry) {
    if (g_view_made.load()) {
        return 1;
    }
    std::unique_ptr<CVelmoraDlg> view;
    try {
        view = std::make_unique<CVelmoraDlg>(registry);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    g_view_made = true;
    QScrollArea* area = make_scroll_area_for_view(parent);
    if (!view->Create(area != nullptr ? area : parent)) {
        return 0;
    }
    view->setProperty(k_ctrl_id_property, k_first_pane_id);
    if (area != nullptr) {
        area->setWidget(view.get());
    }
    // From here the view belongs to its parent window, which destroys it with itself.
    static_cast<void>(view.release());
    return 1;
}

}  // namespace

}  // namespace velmora

extern "C" {

__attribute__((visibility("default"))) int dll_init(QWidget* parent, velmora::component_registry* registry) {
    return velmora::init_view(parent, registry);
}

__attribute__((visibility("default"))) void dll_deinit() {
    // The plug-in never tears itself down: the view goes with the host's window, the link with the
    // process.
}

__attribute__((visibility("default"))) const char* dll_get_title() {
    return velmora::k_title;
}

__attribute__((visibility("default"))) int dll_is_gui() {
    return velmora::k_has_user_interface;
}

}  // extern "C"
