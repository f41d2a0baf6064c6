#include "pages/models/led_map_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "pages/models/side_file.h"
#include "tests/pages/page_message_print.h"
#include "tests/platform/temp_drive_root.h"
#include "tests/support/turn_count.h"

namespace velmora::testing {
namespace {

ConfigBlock patterned(std::uint8_t seed) {
    ConfigBlock block;
    for (std::size_t i = 0; i < block.bytes.size(); ++i) {
        block.bytes[i] = static_cast<std::uint8_t>(i * 13 + seed);
    }
    return block;
}

bool inside_map(std::size_t offset) {
    return offset >= 32 && offset < 288;
}

TEST(LedMapModel, StoreAfterLoadWritesTheSameMapAndNoOtherByte) {
    const ConfigBlock source = patterned(1);
    LedMapModel model;
    EXPECT_TRUE(model.load(source).empty());

    const ConfigBlock before = patterned(99);
    ConfigBlock target = before;
    EXPECT_EQ(model.store(target), std::nullopt);
    for (std::size_t offset = 0; offset < k_config_block_size; ++offset) {
        EXPECT_EQ(target.bytes[offset], inside_map(offset) ? source.bytes[offset] : before.bytes[offset])
            << "offset " << offset;
    }
}

// A .led record counts for bytes 32..287 only, taken as read; a built one holds nothing else.
TEST(LedMapModel, SideRecordCarriesTheMapOnly) {
    LedMapModel model;
    const ConfigBlock record = patterned(7);
    ASSERT_EQ(model.apply_side_record(SideFileKind::led, record), std::nullopt);

    ConfigBlock built;
    ASSERT_EQ(model.build_side_record(SideFileKind::led, built), std::nullopt);
    for (std::size_t offset = 0; offset < k_config_block_size; ++offset) {
        EXPECT_EQ(built.bytes[offset], inside_map(offset) ? record.bytes[offset] : 0) << "offset " << offset;
    }
    const auto map = model.led_map();
    EXPECT_TRUE(std::equal(map.begin(), map.end(), record.bytes.begin() + 32));
}

TEST(LedMapModel, LedFileWrittenAndLoadedAgainGivesTheSameBytes) {
    TempDirectory directory;
    const std::string path = (directory.path() / "panel.led").string();
    LedMapModel saver;
    saver.load(patterned(3));
    EXPECT_EQ(save_side_file(saver, SideFileKind::led, path),
              (PageMessages{{MessageKind::success, "Finish to save file!", "Success"}}));

    LedMapModel loader;
    EXPECT_EQ(load_side_file(loader, SideFileKind::led, path),
              (PageMessages{{MessageKind::success, "Load done!", "Success"}}));
    EXPECT_EQ(loader.led_map(), saver.led_map());

    LedMapModel untouched;
    EXPECT_EQ(load_side_file(untouched, SideFileKind::led, (directory.path() / "missing.led").string()),
              (PageMessages{{MessageKind::refused, "Can't open binary file!", "error"}}));
    EXPECT_EQ(untouched.led_map(), (std::array<std::uint8_t, 256>{}));
}

struct PickCase {
    const char* name;
    bool running;
    std::uint8_t item;
    std::uint8_t picked;
    bool pending;
};

class Pick : public ::testing::TestWithParam<PickCase> {};

TEST_P(Pick, OnlyARunMakesAPick) {
    const PickCase c = GetParam();
    LedMapModel model;
    if (c.running) {
        ASSERT_EQ(model.press_get_led_map_button(), LedMapRequest::start_get_led_map);
    }
    model.press_pick_button(c.item);
    EXPECT_EQ(model.picked_item(), c.picked);
    EXPECT_EQ(model.pick_pending(), c.pending);
}

INSTANTIATE_TEST_SUITE_P(Buttons, Pick,
                         ::testing::Values(PickCase{"SegmentZeroIdle", false, 2, 10, false},
                                           PickCase{"LightAllIdle", false, 0, 10, false},
                                           PickCase{"LightAllRunning", true, 0, 0, true},
                                           PickCase{"DimAllRunning", true, 1, 1, true},
                                           PickCase{"DotRunning", true, 9, 9, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// The worker takes a pick once; a second press before it did replaces the first; a press outside a
// run drops a waiting pick.
TEST(LedMapModel, PicksAreTakenOnceAndTheLatestWins) {
    LedMapModel model;
    EXPECT_EQ(model.take_pick(), std::nullopt);
    model.press_get_led_map_button();
    model.press_pick_button(4);
    model.press_pick_button(6);
    EXPECT_EQ(model.take_pick(), 6);
    EXPECT_FALSE(model.pick_pending());
    EXPECT_EQ(model.picked_item(), 6);
    EXPECT_EQ(model.take_pick(), std::nullopt);

    model.press_pick_button(3);
    model.press_get_led_map_button();  // stopping leaves the pick as it is
    EXPECT_TRUE(model.pick_pending());
    model.press_pick_button(5);
    EXPECT_FALSE(model.pick_pending());
    EXPECT_EQ(model.picked_item(), 10);
    EXPECT_EQ(model.take_pick(), std::nullopt);
}

TEST(LedMapModel, EveryPickReachesTheWorkerExactlyOnce) {
    LedMapModel model;
    model.press_get_led_map_button();
    constexpr int k_picks = 2000;
    // Turns: a press once the worker has looked for the last pick, a look once the user has pressed.
    test::TurnCount presses;
    test::TurnCount looks;
    std::vector<int> taken;
    int taken_twice = 0;
    std::thread worker([&] {
        for (int i = 0; i < k_picks; ++i) {
            presses.wait_for(i + 1);
            if (auto item = model.take_pick()) {
                taken.push_back(*item);
            }
            taken_twice += model.take_pick().has_value() ? 1 : 0;
            looks.advance();
        }
    });
    std::vector<int> pressed;
    for (int i = 0; i < k_picks; ++i) {
        looks.wait_for(i);
        EXPECT_FALSE(model.pick_pending());
        pressed.push_back(i % 10);
        model.press_pick_button(static_cast<std::uint8_t>(i % 10));
        presses.advance();
    }
    worker.join();
    EXPECT_EQ(taken, pressed);
    EXPECT_EQ(taken_twice, 0);
}

TEST(LedMapModel, StartStopAndWorkerEnd) {
    LedMapModel model;
    EXPECT_EQ(model.get_led_map_caption(), "Start Get LED Map");
    EXPECT_EQ(model.press_get_led_map_button(), LedMapRequest::start_get_led_map);
    EXPECT_EQ(model.get_led_map_caption(), "Stop Get LED Map");
    EXPECT_EQ(model.get_led_map_running.load(), 1);

    EXPECT_EQ(model.press_get_led_map_button(), std::nullopt);
    EXPECT_EQ(model.get_led_map_caption(), "Start Get LED Map");
    EXPECT_EQ(model.get_led_map_running.load(), 0);
    model.on_led_map_ended();  // after a stop: nothing left to do
    EXPECT_EQ(model.get_led_map_caption(), "Start Get LED Map");

    model.press_get_led_map_button();
    model.on_led_map_ended();
    EXPECT_EQ(model.get_led_map_caption(), "Start Get LED Map");
    EXPECT_EQ(model.get_led_map_running.load(), 0);

    model.press_get_led_map_button();
    model.stop_get_led_map();
    EXPECT_EQ(model.get_led_map_caption(), "Start Get LED Map");
    EXPECT_EQ(model.get_led_map_running.load(), 0);
}

TEST(LedMapModel, ButtonsWorkOnlyWithTheFirstFpType) {
    struct Case {
        int fp_type_index;
        bool enabled;
    };
    LedMapModel model;
    for (Case c : {Case{1, false}, Case{0, true}, Case{2, false}, Case{-1, false}}) {
        model.EnableControls(LedMapModel::enables_controls(c.fp_type_index));
        EXPECT_EQ(model.controls_enabled(), c.enabled) << c.fp_type_index;
    }
}

// A table the worker delivers replaces the map and is what the page stores.
TEST(LedMapModel, DeliveredMapIsStored) {
    LedMapModel model;
    model.load(patterned(1));
    std::array<std::uint8_t, 256> table{};
    table.fill(0x5A);
    std::thread([&] { model.deliver_led_map(table); }).join();
    ConfigBlock block;
    model.store(block);
    EXPECT_EQ(block.bytes[32], 0x5A);
    EXPECT_EQ(block.bytes[287], 0x5A);
    EXPECT_EQ(block.bytes[288], 0);
}

// A worker's delivery and a load on the UI thread replace the map one after the other, never byte by
// byte into each other.
TEST(LedMapModel, DeliveryAndLoadNeverMixIntoOneMap) {
    constexpr std::uint8_t k_loaded = 0x11;
    constexpr std::uint8_t k_delivered = 0x22;
    // As many deliveries as loads, each side a fixed count, so the work is the same on a busy machine.
    constexpr int k_rounds = 20000;

    LedMapModel model;
    std::array<std::uint8_t, 256> table{};
    table.fill(k_delivered);
    std::thread worker([&] {
        for (int i = 0; i < k_rounds; ++i) {
            model.deliver_led_map(table);
        }
    });
    ConfigBlock block;
    std::fill(block.bytes.begin() + 32, block.bytes.begin() + 288, k_loaded);
    int mixed = 0;
    for (int i = 0; i < k_rounds; ++i) {
        if (i % 2 == 0) {
            model.load(block);
        } else {
            model.apply_side_record(SideFileKind::led, block);
        }
        const auto map = model.led_map();
        const bool whole = std::all_of(map.begin(), map.end(), [&](std::uint8_t b) { return b == map[0]; });
        mixed += whole && (map[0] == k_loaded || map[0] == k_delivered) ? 0 : 1;
    }
    worker.join();
    EXPECT_EQ(mixed, 0);
}

TEST(LedMapModel, ViewShowsTheMapAsHexAndTheControls) {
    LedMapModel model;
    ConfigBlock block;
    block.bytes[32] = 0xAB;
    block.bytes[287] = 0x01;
    model.load(block);
    model.press_get_led_map_button();
    model.press_pick_button(0);
    model.EnableControls(false);

    const PageView view = model.view();
    EXPECT_EQ(view.page, "LED Map");
    ASSERT_EQ(view.fields.size(), 5u);
    EXPECT_EQ(view.fields[0].label, "LED Map");
    EXPECT_EQ(view.fields[0].value, "ab" + std::string(508, '0') + "01");
    EXPECT_EQ(view.fields[1].value, "disabled");
    EXPECT_EQ(view.fields[2].value, "Stop Get LED Map");
    EXPECT_EQ(view.fields[3].value, "Light All");
    EXPECT_EQ(view.fields[4].value, "yes");
}

}  // namespace
}  // namespace velmora::testing
