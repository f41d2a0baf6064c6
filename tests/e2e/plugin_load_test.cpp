// The plug-in as the host runs it: the library loaded by path, its view made by dll_init in the
// host's pane with the host's registry, the client file named as velmora-host --client names it,
// and a whole connection to the box through that view.
#include <gtest/gtest.h>

#include <QLibrary>
#include <string>

#include "link/plugin_exports.h"
#include "tests/e2e/panel_bench.h"

namespace velmora::e2e_test {
namespace {

// The only dll_init of this program: the plug-in makes one view per process.
TEST_F(PanelLinkTest, ThePluginLoadedThroughItsExportsConnectsToTheBox) {
    QLibrary library(QStringLiteral(VELMORA_PLUGIN_FILE));
    ASSERT_TRUE(library.load()) << library.errorString().toStdString();
    const auto init = reinterpret_cast<DllInitFn>(library.resolve(k_dll_init_name));
    const auto is_gui = reinterpret_cast<DllIsGuiFn>(library.resolve(k_dll_is_gui_name));
    ASSERT_NE(init, nullptr);
    ASSERT_NE(is_gui, nullptr);
    ASSERT_EQ(is_gui(), 1);

    ASSERT_NO_FATAL_FAILURE(start_sim());
    parent = std::make_unique<QWidget>();
    ASSERT_EQ(init(parent.get(), &registry), 1);
    show_parent();
    const auto views = parent->findChildren<CVelmoraDlg*>();
    ASSERT_EQ(views.size(), 1);
    ASSERT_NO_FATAL_FAILURE(adopt_view(views[0]));
    EXPECT_EQ(view->link_agent->client_path(), client_file);

    ASSERT_NO_FATAL_FAILURE(parse());
    ASSERT_NO_FATAL_FAILURE(connect_and_expect_connected());
    EXPECT_EQ(recorded("client.bin"), client);
    const Bytes block = recorded("block.bin");
    EXPECT_EQ(block, view_block());
    ASSERT_EQ(block.size(), k_block_size);
    EXPECT_EQ((Bytes(block.begin() + k_led_font_offset, block.begin() + k_led_font_offset + 4)),
              (Bytes{0x2E, 0x01, 0x30, 0xFC}));
    EXPECT_EQ(block[k_led_font_count_offset], 57);
    EXPECT_NE(texts.find("\nEnd downloading!"), std::string::npos) << texts;
    EXPECT_TRUE(messages.shown.empty()) << ::testing::PrintToString(messages.texts());
}

}  // namespace
}  // namespace velmora::e2e_test
