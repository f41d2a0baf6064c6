// The plug-in as the host meets it: the library loaded by path, its four exports resolved by name, and
// the main view placed so that it scrolls in a pane smaller than the form.
#include <gtest/gtest.h>

#include <QLibrary>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWidget>
#include <string>

#include "link/plugin_exports.h"
#include "plugin/velmora_dlg.h"
#include "plugin/view_placement.h"
#include "res/control_ids.h"
#include "tests/framework/framework_test_support.h"
#include "tests/plugin/fake_registry.h"

namespace velmora::plugin_test {
namespace {

// The host's plug-in pane: a widget with a vertical layout inside a scroll area.
struct HostPane {
    HostPane() {
        area.setWidgetResizable(true);
        auto* pane = new QWidget;
        layout = new QVBoxLayout(pane);
        area.setWidget(pane);
    }
    QWidget* pane() { return area.widget(); }

    QScrollArea area;
    QVBoxLayout* layout = nullptr;
};

// The only test that calls dll_init: the plug-in makes one view per process.
TEST(PluginExports, LoadLikeTheHost) {
    QLibrary library(QStringLiteral(VELMORA_PLUGIN_FILE));
    ASSERT_TRUE(library.load()) << library.errorString().toStdString();
    const auto init = reinterpret_cast<DllInitFn>(library.resolve(k_dll_init_name));
    const auto deinit = reinterpret_cast<DllDeinitFn>(library.resolve(k_dll_deinit_name));
    const auto get_title = reinterpret_cast<DllGetTitleFn>(library.resolve(k_dll_get_title_name));
    const auto is_gui = reinterpret_cast<DllIsGuiFn>(library.resolve(k_dll_is_gui_name));
    ASSERT_NE(init, nullptr);
    ASSERT_NE(deinit, nullptr);
    ASSERT_NE(get_title, nullptr);
    ASSERT_NE(is_gui, nullptr);

    EXPECT_EQ(std::string(get_title()), "Customization");
    EXPECT_EQ(is_gui(), 1);

    HostRegistry registry;
    HostPane first;
    HostPane second;
    EXPECT_EQ(init(first.pane(), &registry), 1);
    EXPECT_EQ(init(second.pane(), &registry), 1);
    deinit();

    // One view, straight in the host's pane (it scrolls already), built and in its Initial state.
    const auto views = first.pane()->findChildren<CVelmoraDlg*>();
    ASSERT_EQ(views.size(), 1);
    EXPECT_EQ(views[0]->parentWidget(), first.pane());
    EXPECT_TRUE(first.pane()->findChildren<QScrollArea*>().isEmpty());
    EXPECT_FALSE(views[0]->isHidden());
    EXPECT_TRUE(views[0]->is_control_enabled(main_form_id::k_parse_button));
    EXPECT_TRUE(second.pane()->findChildren<QWidget*>().isEmpty());
}

TEST(ViewPlacement, APaneThatScrollsAlreadyGetsNoScrollArea) {
    HostPane host;
    EXPECT_EQ(make_scroll_area_for_view(host.pane()), nullptr);
    EXPECT_EQ(make_scroll_area_for_view(nullptr), nullptr);
}

TEST(ViewPlacement, TheFormScrollsInASmallPlainPane) {
    HostRegistry registry;
    QWidget pane;
    QScrollArea* area = make_scroll_area_for_view(&pane);
    ASSERT_NE(area, nullptr);
    ASSERT_NE(pane.layout(), nullptr);
    EXPECT_GE(pane.layout()->indexOf(area), 0);

    auto* view = new CVelmoraDlg(&registry);
    ASSERT_TRUE(view->Create(area));
    area->setWidget(view);
    pane.resize(400, 300);
    pane.show();
    ASSERT_TRUE(test::process_events_until([&] { return area->viewport()->width() > 0; }));

    EXPECT_GT(area->horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(area->verticalScrollBar()->maximum(), 0);
    // A large pane shows the whole form without scrolling.
    pane.resize(1400, 1100);
    ASSERT_TRUE(test::process_events_until([&] { return area->horizontalScrollBar()->maximum() == 0; }));
    EXPECT_EQ(area->verticalScrollBar()->maximum(), 0);
}

}  // namespace
}  // namespace velmora::plugin_test
