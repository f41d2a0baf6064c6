// The LED map page's window: the pick buttons and their items, getting the map (the posted request,
// the caption, the worker's end message), the .led side file through real files, the buttons'
// enabled state, the map view, and the page's fit in the main view's page area.
#include "pages/dialogs/led_map_dlg.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "pages/dialogs/led_map_view.h"
#include "res/control_ids.h"
#include "res/dialog_templates.h"
#include "res/resources.h"
#include "tests/plugin/page_dialog_fakes.h"

namespace velmora {
namespace {

using page_test::block_with;
using page_test::deliver_posted_messages;
using page_test::RecordingMessages;
using page_test::RequestWindow;
using page_test::ScriptedFileDialogs;
using page_test::ShownMessage;

using namespace led_map_id;

using Map = LedMapView::Map;

constexpr int k_start_get_led_map = message_number(WindowMessage::start_get_led_map);
constexpr std::array k_button_ids{
    k_segment_top_button,    k_segment_upper_right_button, k_segment_lower_right_button,
    k_segment_bottom_button, k_segment_lower_left_button,  k_segment_upper_left_button,
    k_segment_middle_button, k_segment_dot_button,         k_light_all_button,
    k_dim_all_button,        k_get_led_map_button,         k_load_led_map_button,
    k_save_led_map_button};

// A block whose map starts with the digits' font pairs ('0' 0xfc, '1' 0x60, ... but no '7') and
// holds a pattern after them.
ConfigBlock font_block() {
    ConfigBlock block;
    const std::vector<std::uint8_t> pairs{'0',  0xFC, '1',  0x60, '2',  0xDA, '3',  0xF2, '4',
                                          0x66, '5',  0xB6, '6',  0xBE, '8',  0xFE, '9',  0xF6};
    std::copy(pairs.begin(), pairs.end(), block.bytes.begin() + 32);
    for (std::size_t i = 32 + pairs.size(); i < 288; ++i) {
        block.bytes[i] = static_cast<std::uint8_t>(0xA0 + i % 7);  // never a digit's code
    }
    return block;
}

Map map_of(const ConfigBlock& block) {
    Map map{};
    std::copy(block.bytes.begin() + 32, block.bytes.begin() + 288, map.begin());
    return map;
}

class LedMapDlgTest : public ::testing::Test {
protected:
    LedMapDlgTest() { page.Create(&tab, &view); }

    void click(int id) { page.control_as<QAbstractButton>(id)->click(); }
    std::string caption() { return page.control_text(k_get_led_map_button); }
    QString description() const { return page.map_view().accessibleDescription(); }

    RecordingMessages messages;
    ScriptedFileDialogs files;
    RequestWindow view;
    QWidget tab;
    LedMapModel model;
    LEDMapDlg page{model};
};

TEST_F(LedMapDlgTest, CreatedIdleWithAZeroMapAndSegmentButtonsDrawnAsADigit) {
    EXPECT_EQ(page.parentWidget(), &tab);
    EXPECT_TRUE(page.isHidden());
    EXPECT_EQ(caption(), "Start Get LED Map");
    for (const int id : k_button_ids) {
        EXPECT_TRUE(page.is_control_enabled(id)) << id;
    }
    EXPECT_EQ(page.map_view().map(), Map{});
    EXPECT_EQ(page.map_view().accessibleName(), "LED map");
    EXPECT_EQ(description(), LedMapView::text(Map{}));

    // The eight segments share the segment look; every other button keeps the application's.
    const QStyle* segment_style = page.control(k_segment_top_button)->style();
    EXPECT_EQ(segment_style->objectName(), "segment_button_style");
    for (std::size_t i = 0; i < k_button_ids.size(); ++i) {
        EXPECT_EQ(page.control(k_button_ids[i])->style() == segment_style, i < 8) << k_button_ids[i];
    }
}

struct PickCase {
    int id;
    const char* text;
    std::uint8_t item;
};

class LedMapPickTest : public LedMapDlgTest, public ::testing::WithParamInterface<PickCase> {};

// When a press counts as a pick is the model's rule; here each button says its text and gives its item.
TEST_P(LedMapPickTest, EachButtonGivesItsItem) {
    const PickCase& c = GetParam();
    EXPECT_EQ(page.control_text(c.id), c.text);
    click(k_get_led_map_button);
    click(c.id);
    EXPECT_EQ(model.picked_item(), c.item);
    EXPECT_TRUE(model.pick_pending());
    EXPECT_EQ(model.take_pick(), c.item);
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, LedMapPickTest,
    ::testing::Values(PickCase{k_segment_top_button, "0", 2}, PickCase{k_segment_upper_right_button, "1", 3},
                      PickCase{k_segment_lower_right_button, "2", 4},
                      PickCase{k_segment_bottom_button, "3", 5},
                      PickCase{k_segment_lower_left_button, "4", 6},
                      PickCase{k_segment_upper_left_button, "5", 7},
                      PickCase{k_segment_middle_button, "6", 8}, PickCase{k_segment_dot_button, "7", 9},
                      PickCase{k_light_all_button, "Light All", 0}, PickCase{k_dim_all_button, "Dim All", 1}),
    [](const auto& info) { return "id" + std::to_string(info.param.id); });

TEST_F(LedMapDlgTest, StartPostsTheRequestAndStopPostsNothing) {
    click(k_get_led_map_button);
    EXPECT_EQ(caption(), "Stop Get LED Map");
    EXPECT_EQ(model.get_led_map_running.load(), 1);
    EXPECT_TRUE(view.received.empty());  // posted, not sent
    deliver_posted_messages();
    EXPECT_EQ(view.received, std::vector<int>{k_start_get_led_map});

    click(k_get_led_map_button);
    EXPECT_EQ(caption(), "Start Get LED Map");
    EXPECT_EQ(model.get_led_map_running.load(), 0);
    deliver_posted_messages();
    EXPECT_EQ(view.received, std::vector<int>{k_start_get_led_map});
}

TEST_F(LedMapDlgTest, TheWorkersEndStopsTheRunAndShowsTheDeliveredMap) {
    click(k_get_led_map_button);
    const Map table = map_of(font_block());
    model.deliver_led_map(table);
    EXPECT_EQ(page.map_view().map(), Map{});  // shown when the worker says it is done
    post_message(&page, message_number(WindowMessage::led_map_ended));
    deliver_posted_messages();
    EXPECT_EQ(caption(), "Start Get LED Map");
    EXPECT_EQ(model.get_led_map_running.load(), 0);
    EXPECT_EQ(page.map_view().map(), table);

    // Idle again, the button starts a new run.
    click(k_get_led_map_button);
    deliver_posted_messages();
    EXPECT_EQ(view.received, (std::vector<int>{k_start_get_led_map, k_start_get_led_map}));
}

TEST_F(LedMapDlgTest, ClearIdlesTheRunButKeepsAWaitingPick) {
    click(k_get_led_map_button);
    click(k_dim_all_button);
    page.reset_get_led_map();
    EXPECT_EQ(caption(), "Start Get LED Map");
    EXPECT_EQ(model.get_led_map_running.load(), 0);
    EXPECT_TRUE(model.pick_pending());
    EXPECT_EQ(model.picked_item(), 1);
}

TEST_F(LedMapDlgTest, EnableControlsSwitchesExactlyTheThirteenButtons) {
    const auto enabled_ids = [this] {
        std::vector<int> ids;
        for (const QWidget* child : page.findChildren<QWidget*>()) {
            const int id = Dialog::control_id(child);
            if (id != -1 && child->isEnabled()) {
                ids.push_back(id);
            }
        }
        std::sort(ids.begin(), ids.end());
        return ids;
    };
    std::vector<int> all(k_button_ids.begin(), k_button_ids.end());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(enabled_ids(), all);

    page.EnableControls(false);
    EXPECT_TRUE(enabled_ids().empty());
    EXPECT_FALSE(model.controls_enabled());
    EXPECT_TRUE(page.map_view().isEnabled());  // the map stays readable
    // A load keeps them as the view set them.
    page.load(font_block());
    EXPECT_TRUE(enabled_ids().empty());

    page.EnableControls(true);
    EXPECT_EQ(enabled_ids(), all);
    EXPECT_TRUE(model.controls_enabled());
}

TEST_F(LedMapDlgTest, TheViewShowsTheLoadedMapAsGridAndDigits) {
    const ConfigBlock block = font_block();
    EXPECT_TRUE(page.load(block).empty());
    EXPECT_EQ(page.map_view().map(), map_of(block));

    const QStringList lines = description().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 18);
    EXPECT_EQ(lines[0], "    0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f");
    EXPECT_EQ(lines[1], "00 30 fc 31 60 32 da 33 f2 34 66 35 b6 36 be 38 fe");
    EXPECT_EQ(lines[2].left(9), "10 39 f6 ");
    EXPECT_TRUE(lines[16].startsWith("f0 ")) << lines[16].toStdString();
    EXPECT_EQ(lines[17], "Digits: 0 fc, 1 60, 2 da, 3 f2, 4 66, 5 b6, 6 be, 7 missing, 8 fe, 9 f6");

    ConfigBlock stored;
    page.store(stored);
    EXPECT_EQ(map_of(stored), map_of(block));
}

// Hovering over the view tells every byte and every digit.
TEST_F(LedMapDlgTest, EveryByteAndDigitHasItsTooltip) {
    page.load(font_block());
    const LedMapView& map_view = page.map_view();
    const QSize size = map_view.sizeHint();
    QSet<QString> tips;
    for (int y = 0; y < size.height(); y += 2) {
        for (int x = 0; x < size.width(); x += 2) {
            tips.insert(map_view.tool_tip_at({x, y}));
        }
    }
    EXPECT_TRUE(tips.contains("Map byte 0x00: 0x30"));
    EXPECT_TRUE(tips.contains("Map byte 0x01: 0xfc"));
    EXPECT_TRUE(tips.contains("Digit 0: segment byte 0xfc"));
    EXPECT_TRUE(tips.contains("Digit 7: not in the map"));
    int bytes = 0;
    int digits = 0;
    for (const QString& tip : tips) {
        bytes += tip.startsWith("Map byte ") ? 1 : 0;
        digits += tip.startsWith("Digit ") ? 1 : 0;
    }
    EXPECT_EQ(bytes, 256);
    EXPECT_EQ(digits, 10);
}

// The .led side file through real files, into the map view. The buttons' flow itself is tested with
// those of the other pages.
class LedSideFileTest : public LedMapDlgTest {
protected:
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }

    QTemporaryDir dir;
};

TEST_F(LedSideFileTest, SavedThenLoadedIntoAFreshPageGivesTheSameBytes) {
    const ConfigBlock block = font_block();
    page.load(block);
    files.answers = {path("panel.led")};
    click(k_save_led_map_button);
    EXPECT_EQ(std::filesystem::file_size(path("panel.led")), 1564u);

    LedMapModel fresh_model;
    LEDMapDlg fresh{fresh_model};
    fresh.Create(&tab, &view);
    files.answers = {path("panel.led")};
    fresh.control_as<QAbstractButton>(k_load_led_map_button)->click();
    EXPECT_EQ(fresh_model.led_map(), map_of(block));
    EXPECT_EQ(fresh.map_view().map(), map_of(block));
    EXPECT_EQ(fresh.map_view().accessibleDescription(), description());

    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{"Finish to save file!", "Success"}, {"Load done!", "Success"}}));
    EXPECT_EQ(messages.owners, (std::vector<QWidget*>{&page, &fresh}));
}

TEST_F(LedSideFileTest, SaveOverwritesAnExistingFileWithoutAsking) {
    {
        std::ofstream old(path("old.led"), std::ios::binary);
        old << std::string(3000, 'x');
    }
    page.load(font_block());
    files.answers = {path("old.led")};
    click(k_save_led_map_button);
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"Finish to save file!", "Success"}}));
    ASSERT_EQ(std::filesystem::file_size(path("old.led")), 1564u);
    std::ifstream saved(path("old.led"), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    const Map map = map_of(font_block());
    EXPECT_TRUE(std::equal(map.begin(), map.end(), bytes.begin() + 32,
                           [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }));
}

// Over the main view's page area, the view sits right of the page's buttons, nothing cut off and
// nothing overlapping.
TEST(LedMapPageArea, EverythingFitsBesideTheButtons) {
    velmora_init_resources();
    Dialog form;
    Ui::MainForm form_ui;
    form.build_from(form_ui, &set_control_ids);
    for (int index = 0; index < 4; ++index) {
        form.tab_insert_item(main_form_id::k_page_tab, index);
    }
    const QRect client = form.tab_client_rect(main_form_id::k_page_tab);

    LedMapModel model;
    LEDMapDlg page{model};
    page.Create(form_ui.page_tab, &form);
    const QSize needed = page.minimumSizeHint();
    EXPECT_LE(needed.width(), client.width());
    EXPECT_LE(needed.height(), client.height());

    page.setGeometry(client);
    page.show();
    form.show();
    QCoreApplication::processEvents();
    const LedMapView& map_view = page.map_view();
    const QRect view_rect(map_view.mapTo(&page, QPoint(0, 0)), map_view.size());
    EXPECT_EQ(map_view.size(), map_view.sizeHint()) << "squeezed";
    EXPECT_TRUE(page.rect().contains(view_rect)) << "cut off";
    for (const int id : k_button_ids) {
        const QWidget* button = page.control(id);
        const QRect button_rect(button->mapTo(&page, QPoint(0, 0)), button->size());
        EXPECT_TRUE(page.rect().contains(button_rect)) << id << " cut off";
        EXPECT_FALSE(button_rect.intersects(view_rect)) << id << " under the view";
        EXPECT_LT(button_rect.right(), view_rect.left()) << id << " right of the view";
    }
}

}  // namespace
}  // namespace velmora
