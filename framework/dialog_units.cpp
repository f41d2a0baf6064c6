#include "framework/dialog_units.h"

#include <cmath>

namespace velmora {

namespace {

int scaled(int units, double pixels_per_unit) {
    return static_cast<int>(std::lround(units * pixels_per_unit));
}

}  // namespace

QRect dialog_units_to_pixels(const QRect& units) {
    return QRect(scaled(units.x(), k_pixels_per_dialog_unit_x), scaled(units.y(), k_pixels_per_dialog_unit_y),
                 scaled(units.width(), k_pixels_per_dialog_unit_x),
                 scaled(units.height(), k_pixels_per_dialog_unit_y));
}

}  // namespace velmora
