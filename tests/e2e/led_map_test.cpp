// "Start Get LED Map" as a user does it, on a box whose line has a real line's pace: Start, the ten
// picks pressed on the page one after the other at a person's pace, and the box's map shown on the
// page. The box sends its map a moment after the tenth step's answer, or with it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pages/models/led_map_model.h"
#include "pages/dialogs/led_map_view.h"
#include "tests/e2e/panel_bench.h"

namespace velmora::e2e_test {
namespace {

// Between two presses: a person looks at the panel's LEDs before pressing the next pick.
constexpr std::chrono::milliseconds k_person_pace{300};

struct PaceCase {
    const char* name;
    std::vector<std::string> sim_options;
};

void PrintTo(const PaceCase& c, std::ostream* out) {
    *out << c.name;
}

class LedMapAtAPersonsPaceTest : public PanelLinkTest, public ::testing::WithParamInterface<PaceCase> {};

TEST_P(LedMapAtAPersonsPaceTest, TheTenPicksBringTheBoxsMapOntoThePage) {
    paced_line = true;
    ASSERT_NO_FATAL_FAILURE(start_sim(GetParam().sim_options));
    ASSERT_NO_FATAL_FAILURE(make_view());
    ASSERT_NO_FATAL_FAILURE(parse());
    ASSERT_NO_FATAL_FAILURE(connect_and_expect_connected());

    view->ShowPage(CVelmoraDlg::k_led_map);
    LEDMapDlg& page = view->led_map_page;
    ASSERT_TRUE(wait_until([&] { return page.isVisible(); }));
    const LedMapView::Map shown_before = page.map_view().map();
    click(&page, led_map_id::k_get_led_map_button);
    ASSERT_TRUE(wait_for_sim_log("LED map start")) << texts << "\nsim: " << sim_log();
    for (const int pick : LEDMapDlg::k_pick_ids) {
        take_a_moment(k_person_pace);
        // The box has answered the last pick: its LEDs show it, and the person presses the next.
        ASSERT_TRUE(wait_until([&] { return !view->pages.led_map.pick_pending(); })) << texts;
        click(&page, pick);
    }
    ASSERT_TRUE(wait_for_text("\nStop get ledmap...\n")) << texts << "\nsim: " << sim_log();
    ASSERT_TRUE(wait_link_thread_ended());

    EXPECT_EQ(count_of(texts, "\nSucceed:"), 10u) << texts;
    EXPECT_EQ(count_of(texts, "\nGet Led Map OK!!! \n"), 1u) << texts << "\nsim: " << sim_log();
    EXPECT_EQ(count_of(texts, "\nGet Led Map Error!!! \n"), 0u) << texts;
    EXPECT_EQ(count_of(sim_log(), "sim: LED map taken"), 1u) << sim_log();
    EXPECT_TRUE(wait_until(
        [&] { return page.control_text(led_map_id::k_get_led_map_button) == LedMapModel::k_start_caption; }));
    const LedMapView::Map shown = page.map_view().map();
    EXPECT_EQ(Bytes(shown.begin(), shown.end()), box_led_map);
    EXPECT_NE(shown, shown_before);
}

INSTANTIATE_TEST_SUITE_P(Boxes, LedMapAtAPersonsPaceTest,
                         ::testing::Values(PaceCase{"map_a_moment_after_the_last_answer", {}},
                                           PaceCase{"map_with_the_last_answer", {"--led-map-delay", "0"}}),
                         [](const ::testing::TestParamInfo<PaceCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace velmora::e2e_test
