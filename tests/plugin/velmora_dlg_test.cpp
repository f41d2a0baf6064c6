// The main view's form: what creation shows, the Browse buttons, the status line, the page tree and
// the tab control, Connect and Clear.
#include "plugin/velmora_dlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "framework/recent_folders.h"
#include "host/start_options.h"
#include "link/host_components.h"
#include "tests/framework/framework_test_support.h"
#include "tests/plugin/view_fixture.h"

namespace velmora::plugin_test {
namespace {

using Delivered = RecordingOutput::Delivered;

TEST_F(ViewTest, CreationShowsOnlyTheInputArea) {
    expect_initial_state();
    EXPECT_EQ(view->control_as<QComboBox>(k_project_type_combo)->currentText().toStdString(), "Zenth");
    EXPECT_EQ(text(k_upg_info_label), "upg info:");
    EXPECT_TRUE(view->is_control_enabled(k_connect_button));
    EXPECT_TRUE(messages.shown.empty());

    ASSERT_NE(tree(), nullptr);
    std::vector<std::string> items;
    for (int i = 0; i < tree()->topLevelItemCount(); ++i) {
        items.push_back(tree()->topLevelItem(i)->text(0).toStdString());
    }
    EXPECT_EQ(items, (std::vector<std::string>{"Front Panel", "Key Map", "HW Info", "LED Map"}));

    // Four tab items without labels; the pages lie in the tab control over its client area.
    ASSERT_NE(view->tab, nullptr);
    ASSERT_EQ(view->tab->count(), 4);
    for (int i = 0; i < view->tab->count(); ++i) {
        EXPECT_TRUE(view->tab->tabText(i).isEmpty());
    }
    EXPECT_EQ(view->tab->currentIndex(), 0);
    const QRect client = view->tab_client_rect(k_page_tab);
    for (QWidget* page : {static_cast<QWidget*>(&view->fp_page), static_cast<QWidget*>(&view->hw_page)}) {
        EXPECT_EQ(page->parentWidget(), view->tab);
        EXPECT_EQ(page->geometry(), client);
    }
}

TEST_F(ViewTest, AnImageHandedOverByTheHostIsReadyToParse) {
    const std::filesystem::path image = sample();
    HostRegistry own_registry;
    RecordingOutput own_output{own_registry};
    StartOptionsComponent options(&own_registry, {image.string(), false, {}});
    QWidget pane;
    CVelmoraDlg* handed = new CVelmoraDlg(&own_registry);
    ASSERT_TRUE(handed->Create(&pane));
    EXPECT_EQ(handed->input_path, image.string());
    EXPECT_EQ(handed->control_text(k_input_path_edit), image.string());
    // A dialog with no folder of its own starts beside it, before any Browse.
    EXPECT_EQ(start_folder("kind_never_used"), image.parent_path().string());
    handed->control_as<QAbstractButton>(k_parse_button)->click();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(handed->is_control_enabled(k_parse_button));
}

// velmora-host --open IMAGE --connect: the image parsed and the link online at start, ready for the
// box's reset; without an image nothing goes online.
TEST_F(ViewTest, TheHostsConnectParsesTheImageAndGoesOnline) {
    const std::filesystem::path image = sample();
    for (const bool with_image : {true, false}) {
        HostRegistry own_registry;
        RecordingOutput own_output{own_registry};
        StartOptionsComponent options(&own_registry, {with_image ? image.string() : std::string(), true, {}});
        QWidget pane;
        auto* handed = new CVelmoraDlg(&own_registry);
        ASSERT_TRUE(handed->Create(&pane));
        EXPECT_EQ(handed->is_control_enabled(k_parse_button), !with_image);
        EXPECT_EQ(handed->IsLinkOnline(), with_image ? 1 : 0);
        EXPECT_EQ(
            !own_output.delivered.empty() && own_output.delivered.back().text == "Please reset the STB!\n",
            with_image);
        EXPECT_TRUE(messages.shown.empty());
    }
}

TEST_F(ViewTest, BrowseInputShowsTheChosenPath) {
    browse_input("/images/box one.bin");

    ASSERT_EQ(files.requests.size(), 1U);
    EXPECT_EQ(files.requests[0].kind, FileDialogKind::open);
    const FileDialogOptions& options = files.requests[0].options;
    EXPECT_EQ(options.filter, "bin files (*.bin)|*.bin|All Files (*.*)|*.*||");
    EXPECT_TRUE(options.default_extension.empty());
    EXPECT_TRUE(options.initial_name.empty());
    EXPECT_TRUE(options.overwrite_prompt);
    EXPECT_TRUE(options.hide_read_only);
    EXPECT_EQ(view->input_path, "/images/box one.bin");
    EXPECT_EQ(text(k_input_path_edit), "/images/box one.bin");
}

TEST_F(ViewTest, BrowseOutputEndsTheNameInBin) {
    struct Case {
        std::string chosen;
        std::string stored;
    };
    const std::vector<Case> cases{
        {"/out/out", "/out/out.bin"}, {"/out/x.BIN", "/out/x.BIN"},
        {"/out/y.Bin", "/out/y.Bin"}, {"/out/x.bin.bak", "/out/x.bin.bak.bin"},
        {"bin", "bin.bin"},
    };
    for (const Case& c : cases) {
        browse_output(c.chosen);
        EXPECT_EQ(view->output_path, c.stored) << c.chosen;
        EXPECT_EQ(text(k_output_path_edit), c.stored) << c.chosen;
    }
    ASSERT_EQ(files.requests.size(), cases.size());
    EXPECT_EQ(files.requests[0].kind, FileDialogKind::save);
    EXPECT_EQ(files.requests[0].options.filter, "bin files (*.bin)|*.bin|All Files (*.*)|*.*||");
    EXPECT_TRUE(files.requests[0].options.overwrite_prompt);
    EXPECT_TRUE(files.requests[0].options.hide_read_only);
}

TEST_F(ViewTest, CancelledBrowseChangesNothing) {
    browse_input("/in/a.bin");
    browse_output("/out/b.bin");

    files.answers.push_back(std::nullopt);
    click(k_browse_input_button);
    files.answers.push_back(std::nullopt);
    click(k_browse_output_button);

    EXPECT_EQ(files.requests.size(), 4U);
    EXPECT_EQ(view->input_path, "/in/a.bin");
    EXPECT_EQ(text(k_input_path_edit), "/in/a.bin");
    EXPECT_EQ(view->output_path, "/out/b.bin");
    EXPECT_EQ(text(k_output_path_edit), "/out/b.bin");
}

struct UpgInfoCase {
    UpgStatus status;
    std::int32_t current;
    std::int32_t total;
    std::string text;
    bool connect_enabled;
};

const std::vector<UpgInfoCase> k_upg_info_cases{
    {UpgStatus::idle, 0, 0, " ", true},
    {UpgStatus::syncing, 5, 6, "Sync with slave, please wait...", false},
    {static_cast<UpgStatus>(3), 7, 9, " ", true},
    {UpgStatus::transferring, 100, 1564, "Transferring: 100/1564", false},
    {UpgStatus::transferring, 0, -1, "Transferring: 0/-1", false},
    {static_cast<UpgStatus>(6), 0, 0, " ", true},
    {static_cast<UpgStatus>(-1), 0, 0, " ", true},
};

TEST_F(ViewTest, SetUpgInfoFollowsItsTable) {
    for (const UpgInfoCase& c : k_upg_info_cases) {
        // Start from the other button state, so that each row must change it.
        view->SetUpgInfo(c.connect_enabled ? UpgStatus::syncing : UpgStatus::idle, 0, 0);
        ASSERT_EQ(view->is_control_enabled(k_connect_button), !c.connect_enabled);

        view->SetUpgInfo(c.status, c.current, c.total);
        const auto status = static_cast<std::int32_t>(c.status);
        EXPECT_EQ(text(k_upg_info_label), c.text) << "status " << status;
        EXPECT_EQ(view->is_control_enabled(k_connect_button), c.connect_enabled) << "status " << status;
    }
}

TEST_F(ViewTest, SetUpgInfoFromAWorkerWaitsForTheUiThread) {
    std::atomic<bool> returned{false};
    std::string text_seen_by_worker;
    std::thread worker([&] {
        view->SetUpgInfo(UpgStatus::transferring, 3, 9);
        // The change is made before the call returns.
        text_seen_by_worker = text(k_upg_info_label);
        returned = true;
    });
    const bool done = test::process_events_until([&] { return returned.load(); });
    worker.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(text_seen_by_worker, "Transferring: 3/9");
    EXPECT_FALSE(view->is_control_enabled(k_connect_button));
}

TEST_F(ViewTest, ConnectTellsTheOutputWindowAndGoesOnline) {
    view->panel_connected = 1;
    click(k_connect_button);

    EXPECT_EQ(output.delivered, (std::vector<Delivered>{{k_output_link_switch, ""},
                                                        {k_output_text, "Please reset the STB!\n"}}));
    EXPECT_FALSE(output.active());
    EXPECT_EQ(view->IsLinkOnline(), 1);
    EXPECT_EQ(view->panel_connected, 0);
}

TEST_F(ViewTest, ClearReturnsToTheInitialState) {
    struct Case {
        const char* name;
        bool online;
        std::vector<Delivered> delivered;  // what the output window is told by Clear
    };
    const std::vector<Case> cases{
        {"offline", false, {}},
        {"online", true, {{k_output_link_switch, ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        parse(sample());
        browse_output((dir / "out.bin").string());
        if (c.online) {
            click(k_connect_button);
        } else {
            // Clear must leave this alone while offline.
            output.set_active(false);
        }
        output.delivered.clear();
        view->SetUpgInfo(UpgStatus::syncing, 0, 0);
        view->panel_connected = 1;
        view->fp_page.model().lamp_test_running = 1;
        view->fp_page.set_control_text(front_panel_id::k_start_lamp_test_button, "Stop Test Lamp Pos");
        view->pages.key_map.get_key_running = 1;
        view->pages.led_map.get_led_map_running = 1;
        const std::vector<std::uint8_t> image = view->image;

        click(k_clear_button);

        expect_initial_state();
        EXPECT_EQ(view->input_path, "");
        EXPECT_EQ(view->output_path, "");
        EXPECT_EQ(text(k_input_path_edit), "");
        EXPECT_EQ(text(k_output_path_edit), "");
        EXPECT_EQ(view->config, ConfigBlock{});
        EXPECT_EQ(text(k_upg_info_label), " ");
        EXPECT_TRUE(view->is_control_enabled(k_connect_button));
        EXPECT_EQ(view->fp_page.model().lamp_test_running, 0);
        EXPECT_EQ(view->fp_page.control_text(front_panel_id::k_start_lamp_test_button),
                  "Start Test Lamp Pos");
        EXPECT_EQ(view->pages.key_map.get_key_running, 0);
        EXPECT_EQ(view->pages.key_map.get_key_caption(), "Start Get Key");
        EXPECT_EQ(view->pages.led_map.get_led_map_running, 0);
        EXPECT_EQ(view->pages.led_map.get_led_map_caption(), "Start Get LED Map");
        // Clear keeps the image and the panel's state.
        EXPECT_EQ(view->image, image);
        EXPECT_EQ(view->panel_connected, 1);

        EXPECT_EQ(output.delivered, c.delivered);
        EXPECT_EQ(output.active(), c.online);
        EXPECT_EQ(view->IsLinkOnline(), 0);
        EXPECT_TRUE(messages.shown.empty());
    }
}

TEST_F(ViewTest, ClickingATabItemChangesNoPage) {
    parse(sample());
    for (int index : {2, 1, 3}) {
        view->tab->tabBar()->setCurrentIndex(index);
        EXPECT_EQ(shown_pages(), "fp") << index;
    }
}

TEST_F(ViewTest, TreeSelectionShowsItsPage) {
    // Tree items in tree order: "Front Panel", "Key Map", "HW Info", "LED Map".
    const std::vector<std::pair<int, std::string>> cases{
        {2, "hw"}, {0, "fp"}, {1, "key map"}, {3, "led map"}, {0, "fp"}};
    parse(sample());
    for (const auto& [item, page] : cases) {
        tree()->setCurrentItem(tree()->topLevelItem(item));
        EXPECT_EQ(shown_pages(), page) << "item " << item;
    }
}

TEST_F(ViewTest, ShowPageComparesNamesWithoutCase) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"hw info", "hw"}, {"FRONT PANEL", "fp"}, {"key MAP", "key map"}, {"", "fp"},
        {"HW Info", "hw"}, {"Power Wave", "fp"},  {"led map", "led map"}};
    for (const auto& [name, page] : cases) {
        view->ShowPage(name);
        EXPECT_EQ(shown_pages(), page) << '"' << name << '"';
    }
}

TEST_F(ViewTest, LedMapButtonsWorkOnlyWithTheFirstFpType) {
    struct Case {
        int fp_type;
        bool enabled;
    };
    const std::vector<Case> cases{{1, false}, {0, true}, {2, false}, {0, true}};
    parse(sample());
    auto* fp_type = view->fp_page.control_as<QComboBox>(front_panel_id::k_fp_type_combo);
    ASSERT_NE(fp_type, nullptr);
    for (const Case& c : cases) {
        tree()->setCurrentItem(tree()->topLevelItem(0));
        page_test::choose_item(fp_type, c.fp_type);
        ASSERT_EQ(view->fp_page.current_fp_type(), c.fp_type);
        tree()->setCurrentItem(tree()->topLevelItem(3));
        EXPECT_EQ(view->pages.led_map.controls_enabled(), c.enabled) << "FP type " << c.fp_type;
        for (const int id : {led_map_id::k_segment_top_button, led_map_id::k_light_all_button,
                             led_map_id::k_get_led_map_button, led_map_id::k_save_led_map_button}) {
            EXPECT_EQ(view->led_map_page.is_control_enabled(id), c.enabled) << "FP type " << c.fp_type;
        }
    }
}

}  // namespace
}  // namespace velmora::plugin_test
