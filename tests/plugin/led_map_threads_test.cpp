// The LED map page and the get-LED-map worker on two threads, as the link runs them: the worker takes
// the user's picks while the run is on, delivers its table into the page's model and posts
// led_map_ended; meanwhile the user clicks picks and loads .led files on the UI thread. Built as a
// module of its own so that it can run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "pages/dialogs/led_map_dlg.h"
#include "pages/dialogs/led_map_view.h"
#include "pages/models/side_file.h"
#include "res/control_ids.h"
#include "tests/plugin/page_dialog_fakes.h"
#include "tests/support/turn_count.h"

namespace velmora {
namespace {

using page_test::deliver_posted_messages;
using page_test::RecordingMessages;
using page_test::RequestWindow;
using page_test::ScriptedFileDialogs;
using page_test::ShownMessage;

using namespace led_map_id;

using Map = LedMapView::Map;

constexpr const auto& k_pick_ids = LEDMapDlg::k_pick_ids;

constexpr std::uint8_t k_loaded = 0x11;     // every byte of the .led file's map
constexpr std::uint8_t k_in_flight = 0x22;  // every byte of the tables the worker delivers on the way
constexpr std::uint8_t k_final = 0x33;      // every byte of its last table

bool whole(const Map& map, std::uint8_t value) {
    return std::all_of(map.begin(), map.end(), [value](std::uint8_t byte) { return byte == value; });
}

Map filled(std::uint8_t value) {
    Map map;
    map.fill(value);
    return map;
}

TEST(LedMapThreads, PicksReachTheWorkerOnceAndItsTableIsShownWhole) {
    RecordingMessages messages;
    ScriptedFileDialogs files;
    RequestWindow view;
    QWidget tab;
    LedMapModel model;
    LEDMapDlg page{model};
    page.Create(&tab, &view);

    QTemporaryDir dir;
    const std::string led_file = dir.filePath("loaded.led").toStdString();
    {
        LedMapModel source;
        ConfigBlock block;
        std::fill(block.bytes.begin() + 32, block.bytes.begin() + 288, k_loaded);
        source.load(block);
        ASSERT_EQ(save_side_file(source, SideFileKind::led, led_file).front().text, "Finish to save file!");
    }

    constexpr int k_picks = 300;
    constexpr int k_load_every = 10;
    page.control_as<QAbstractButton>(k_get_led_map_button)->click();
    deliver_posted_messages();
    ASSERT_EQ(view.received, std::vector<int>{message_number(WindowMessage::start_get_led_map)});

    // The two sides take turns: the user presses a pick once the worker has looked for the last one,
    // and the worker looks once the user has pressed. So both do a fixed amount of work, however busy
    // the machine is, while the worker's tables and the user's .led loads still cross each other.
    test::TurnCount presses;
    test::TurnCount looks;
    std::vector<int> taken;
    int taken_twice = 0;
    int not_running = 0;
    std::thread worker([&] {
        const Map in_flight = filled(k_in_flight);
        for (int i = 0; i < k_picks; ++i) {
            presses.wait_for(i + 1);
            not_running += model.get_led_map_running.load() != 0 ? 0 : 1;
            if (const auto item = model.take_pick()) {
                taken.push_back(*item);
                model.deliver_led_map(in_flight);
            }
            taken_twice += model.take_pick().has_value() ? 1 : 0;
            looks.advance();
        }
        model.deliver_led_map(filled(k_final));
        post_message(&page, message_number(WindowMessage::led_map_ended));
    });

    std::vector<int> pressed;
    int mixed_maps = 0;
    for (int i = 0; i < k_picks; ++i) {
        // A press before the worker took the last pick would replace it, as it should: wait.
        looks.wait_for(i);
        const std::size_t button = static_cast<std::size_t>(i) % k_pick_ids.size();
        pressed.push_back(LedMapModel::k_pick_buttons[button].item);
        page.control_as<QAbstractButton>(k_pick_ids[button])->click();
        presses.advance();
        if (i % k_load_every == 0) {
            files.answers = {led_file};
            page.control_as<QAbstractButton>(k_load_led_map_button)->click();
            const Map shown = page.map_view().map();
            mixed_maps += whole(shown, k_loaded) || whole(shown, k_in_flight) ? 0 : 1;
        }
    }
    worker.join();
    EXPECT_EQ(taken, pressed);
    EXPECT_EQ(taken_twice, 0);
    EXPECT_EQ(not_running, 0);
    EXPECT_EQ(mixed_maps, 0);

    deliver_posted_messages();
    EXPECT_EQ(page.map_view().map(), filled(k_final));
    EXPECT_EQ(model.led_map(), filled(k_final));
    EXPECT_EQ(page.control_text(k_get_led_map_button), "Start Get LED Map");
    EXPECT_EQ(model.get_led_map_running.load(), 0);
    EXPECT_EQ(messages.shown, std::vector<ShownMessage>((k_picks + k_load_every - 1) / k_load_every,
                                                        {"Load done!", "Success"}));
}

}  // namespace
}  // namespace velmora
