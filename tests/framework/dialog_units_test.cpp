#include "framework/dialog_units.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(DialogUnits, ConvertEachValueAndRoundToTheNearestPixel) {
    struct Case {
        QRect units;
        QRect pixels;
    };
    const Case cases[] = {
        {QRect(7, 7, 596, 72), QRect(11, 11, 894, 117)},  // 10.5 and 11.375 round to 11
        {QRect(0, 0, 612, 452), QRect(0, 0, 918, 735)},   // the main form: 734.5 rounds up
        {QRect(96, 38, 314, 14), QRect(144, 62, 471, 23)},
        {QRect(15, 21, 80, 8), QRect(23, 34, 120, 13)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dialog_units_to_pixels(c.units), c.pixels)
            << c.units.x() << "," << c.units.y() << "," << c.units.width() << "," << c.units.height();
    }
}

}  // namespace
}  // namespace velmora
