// The pages tell the link's test thread of every change it waits for: without the wake, a test
// thread that sleeps until its page changes would miss a key, a pick or a Stop.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "pages/models/page_set.h"

namespace velmora {
namespace {

struct WakeCase {
    std::string name;
    std::function<void(PageSet&)> before;  // brings the page to where the change happens
    std::function<void(PageSet&)> change;
    std::function<bool(const PageSet&)> changed;
};

class PageWakeTest : public testing::TestWithParam<WakeCase> {};

TEST_P(PageWakeTest, AChangeTheTestThreadWaitsForWakesIt) {
    const WakeCase& c = GetParam();
    PageSet pages;
    int wakes = 0;
    pages.set_test_thread_wake([&wakes] { ++wakes; });
    c.before(pages);
    wakes = 0;
    c.change(pages);
    EXPECT_TRUE(c.changed(pages));
    EXPECT_GE(wakes, 1);
}

void nothing(PageSet&) {}
void lamp_test_started(PageSet& pages) {
    pages.fp.click_start_lamp_test();
}
void key_capture_started(PageSet& pages) {
    pages.key_map.press_get_key_button();
}
void led_map_started(PageSet& pages) {
    pages.led_map.press_get_led_map_button();
}

INSTANTIATE_TEST_SUITE_P(
    Changes, PageWakeTest,
    testing::Values(
        WakeCase{"lamp_test_start", nothing, lamp_test_started,
                 [](const PageSet& p) { return p.fp.lamp_test_running.load(); }},
        WakeCase{"lamp_key", lamp_test_started, [](PageSet& p) { p.fp.click_lamp_key(LampKey::left); },
                 [](const PageSet& p) { return p.fp.lamp_key_request.load() == LampKey::left; }},
        WakeCase{"lamp_test_stop", lamp_test_started, lamp_test_started,
                 [](const PageSet& p) { return !p.fp.lamp_test_running.load(); }},
        WakeCase{"lamp_test_cleared", lamp_test_started, [](PageSet& p) { p.fp.reset_lamp_test(); },
                 [](const PageSet& p) { return !p.fp.lamp_test_running.load(); }},
        WakeCase{"key_capture_start", nothing, key_capture_started,
                 [](const PageSet& p) { return p.key_map.get_key_running.load(); }},
        WakeCase{"key_capture_stop", key_capture_started, key_capture_started,
                 [](const PageSet& p) { return !p.key_map.get_key_running.load(); }},
        WakeCase{"key_capture_cleared", key_capture_started, [](PageSet& p) { p.key_map.stop_get_key(); },
                 [](const PageSet& p) { return !p.key_map.get_key_running.load(); }},
        WakeCase{"led_map_start", nothing, led_map_started,
                 [](const PageSet& p) { return p.led_map.get_led_map_running.load(); }},
        WakeCase{"led_pick", led_map_started, [](PageSet& p) { p.led_map.press_pick_button(3); },
                 [](const PageSet& p) { return p.led_map.pick_pending(); }},
        WakeCase{"led_map_stop", led_map_started, led_map_started,
                 [](const PageSet& p) { return !p.led_map.get_led_map_running.load(); }},
        WakeCase{"led_map_cleared", led_map_started, [](PageSet& p) { p.led_map.stop_get_led_map(); },
                 [](const PageSet& p) { return !p.led_map.get_led_map_running.load(); }}),
    [](const testing::TestParamInfo<WakeCase>& info) { return info.param.name; });

TEST(PageWakeTest, PagesWithoutAWindowWakeNobody) {
    PageSet pages;
    pages.fp.click_start_lamp_test();
    pages.fp.click_lamp_key(LampKey::right);
    pages.led_map.press_get_led_map_button();
    pages.led_map.press_pick_button(2);
    EXPECT_EQ(pages.fp.lamp_key_request.load(), LampKey::right);
    EXPECT_TRUE(pages.led_map.pick_pending());
}

}  // namespace
}  // namespace velmora
