// The host window's first-start size: the screens a new user has, the form whole where it fits, the
// window never past the screen.
#include <gtest/gtest.h>

#include <numeric>
#include <ostream>
#include <string>
#include <vector>

#include "tools/velmora-host/window_sizing.h"

namespace velmora::host_app {
namespace {

// What the window measures with the plug-in loaded: a 918 x 735 form in a tab pane, a 30-pixel port
// bar, a terminal with a 38-pixel typing line and 14-pixel text lines, a 2-pixel frame.
WindowSizingInput measured(const QRect& available) {
    WindowSizingInput input;
    input.available = available;
    input.frame = QMargins(2, 2, 2, 2);
    input.chrome = QSize(495, 30);
    input.form = QSize(924, 767);
    input.scroll_bar = 16;
    input.splitter_handle = 4;
    input.terminal_base = 38;
    input.terminal_line = 14;
    input.terminal_min_lines = 3;
    return input;
}

int terminal_min(const WindowSizingInput& input) {
    return input.terminal_base + input.terminal_line * input.terminal_min_lines;
}

struct ScreenCase {
    std::string name;
    QRect available;
    bool form_whole;
};

void PrintTo(const ScreenCase& screen, std::ostream* out) {
    *out << screen.name;
}

class FirstStartPlacementTest : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(FirstStartPlacementTest, FitsTheScreenAndGivesTheFormItsHeightWhereItCan) {
    const ScreenCase& screen = GetParam();
    const WindowSizingInput input = measured(screen.available);
    const WindowPlacement placement = first_start_placement(input);

    // The window with its frame stays inside the screen's available area.
    const QRect framed = placement.geometry.marginsAdded(input.frame);
    EXPECT_TRUE(screen.available.contains(framed)) << screen.name;
    // It takes the screen's height, so the terminal gets all the form leaves.
    EXPECT_EQ(framed.top(), screen.available.top());
    EXPECT_EQ(framed.bottom(), screen.available.bottom());

    ASSERT_EQ(placement.splitter_sizes.size(), 2);
    const int panes = placement.geometry.height() - input.chrome.height() - input.splitter_handle;
    EXPECT_EQ(std::accumulate(placement.splitter_sizes.begin(), placement.splitter_sizes.end(), 0), panes);
    EXPECT_EQ(placement.form_whole, screen.form_whole);
    if (screen.form_whole) {
        EXPECT_EQ(placement.splitter_sizes[0], input.form.height()) << "the form keeps its height";
        EXPECT_GE(placement.splitter_sizes[1], terminal_min(input)) << "and the terminal its few lines";
        EXPECT_EQ(placement.geometry.width(), input.form.width()) << "as wide as the form";
    } else {
        EXPECT_LT(placement.splitter_sizes[0], input.form.height()) << "the form scrolls";
        EXPECT_EQ(placement.splitter_sizes[1], terminal_min(input));
        const int wanted = input.form.width() + input.scroll_bar;
        EXPECT_EQ(placement.geometry.width(), std::min(wanted, screen.available.width() - 4))
            << "room for the vertical scroll bar, so no horizontal one";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Screens, FirstStartPlacementTest,
    ::testing::Values(ScreenCase{"screen_1600x1000", QRect(0, 0, 1600, 1000), true},
                      ScreenCase{"screen_1600x900", QRect(0, 0, 1600, 900), true},
                      // A panel on top: the area starts lower.
                      ScreenCase{"screen_1600x900_below_a_panel", QRect(0, 32, 1600, 868), false},
                      ScreenCase{"screen_1366x768", QRect(0, 0, 1366, 768), false},
                      // QT_SCALE_FACTOR=2 on 1600 x 1000: the window's pixels are twice as large.
                      ScreenCase{"screen_1600x1000_scaled_twice", QRect(0, 0, 800, 500), false},
                      // The second of two screens side by side.
                      ScreenCase{"second_screen_1920x1080", QRect(1600, 0, 1920, 1080), true}),
    [](const ::testing::TestParamInfo<ScreenCase>& info) { return info.param.name; });

TEST(FirstStartPlacementEdgeTest, NarrowScreenCutsTheWidthAndCentresNothingOffScreen) {
    const WindowSizingInput input = measured(QRect(0, 0, 800, 1000));
    const WindowPlacement placement = first_start_placement(input);
    EXPECT_EQ(placement.geometry.width(), 800 - 4);
    EXPECT_EQ(placement.geometry.left(), 2);
    EXPECT_TRUE(placement.form_whole) << "the height is enough; the form scrolls only sideways";
}

TEST(FirstStartPlacementEdgeTest, WideScreenCentresTheWindow) {
    const WindowPlacement placement = first_start_placement(measured(QRect(0, 0, 2560, 1440)));
    EXPECT_EQ(placement.geometry.center().x(), QRect(0, 0, 2560, 1440).center().x());
}

TEST(FirstStartPlacementEdgeTest, ScreenSmallerThanTheChromeGivesNoNegativeSize) {
    for (const QRect& available : {QRect(0, 0, 300, 40), QRect(), QRect(0, 0, 2, 2)}) {
        const WindowPlacement placement = first_start_placement(measured(available));
        EXPECT_GE(placement.geometry.width(), 0);
        EXPECT_GE(placement.geometry.height(), 0);
        ASSERT_EQ(placement.splitter_sizes.size(), 2);
        EXPECT_GE(placement.splitter_sizes[0], 0);
        EXPECT_GE(placement.splitter_sizes[1], 0);
        EXPECT_FALSE(placement.form_whole);
    }
}

// A remembered window on the screens of the next start: 1600x900 first, a 1920x1080 screen on its right.
struct RememberedCase {
    std::string name;
    QRect remembered;
    QList<QRect> screens;
    QRect expected;
};

void PrintTo(const RememberedCase& remembered, std::ostream* out) {
    *out << remembered.name;
}

class RememberedPlacementTest : public ::testing::TestWithParam<RememberedCase> {};

TEST_P(RememberedPlacementTest, StaysOnItsScreenAndFitsIt) {
    const RememberedCase& c = GetParam();
    const QMargins frame(2, 2, 2, 2);
    EXPECT_EQ(remembered_placement(c.remembered, frame, c.screens), c.expected);
}

const QRect k_first(0, 0, 1600, 900);
const QRect k_second(1600, 0, 1920, 1080);

INSTANTIATE_TEST_SUITE_P(
    Screens, RememberedPlacementTest,
    ::testing::Values(
        RememberedCase{
            "fits_as_it_is", QRect(200, 150, 900, 700), {k_first, k_second}, QRect(200, 150, 900, 700)},
        RememberedCase{"on_the_second_screen",
                       QRect(1700, 100, 900, 900),
                       {k_first, k_second},
                       QRect(1700, 100, 900, 900)},
        RememberedCase{"second_screen_listed_first",
                       QRect(200, 150, 900, 700),
                       {k_second, k_first},
                       QRect(200, 150, 900, 700)},
        RememberedCase{"second_screen_gone", QRect(1700, 100, 900, 900), {k_first}, QRect(698, 2, 900, 896)},
        RememberedCase{"mostly_on_the_second",
                       QRect(1400, 100, 900, 600),
                       {k_first, k_second},
                       QRect(1602, 100, 900, 600)},
        RememberedCase{"past_the_bottom", QRect(100, 500, 900, 700), {k_first}, QRect(100, 198, 900, 700)},
        // Left on 1600x1000 at scale factor 1, back at 2: the screen is 800x500 in the window's pixels.
        RememberedCase{"larger_than_the_screen",
                       QRect(336, 2, 924, 996),
                       {QRect(0, 0, 800, 500)},
                       QRect(2, 2, 796, 496)},
        RememberedCase{"no_screen", QRect(-5000, -5000, 900, 700), {k_first}, QRect(2, 2, 900, 700)},
        RememberedCase{"no_screens_known", QRect(10, 10, 900, 700), {}, QRect(10, 10, 900, 700)}),
    [](const ::testing::TestParamInfo<RememberedCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velmora::host_app
