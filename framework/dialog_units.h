// Dialog units to pixels, for templates whose positions are given in dialog units.
//
// One horizontal dialog unit is 1.5 px and one vertical unit 1.625 px (the 8-point dialog font's
// average character cell, 6 x 13 px, over 4 x 8 units). x and width are multiplied by 1.5, y and
// height by 1.625, each rounded to the nearest pixel (halves away from zero) on its own, so the .ui
// files written by hand with the same rule agree: (7, 7, 596, 72) gives (11, 11, 894, 117).
#pragma once

#include <QRect>

namespace velmora {

inline constexpr double k_pixels_per_dialog_unit_x = 1.5;
inline constexpr double k_pixels_per_dialog_unit_y = 1.625;

// `units` holds x, y, width and height in dialog units.
QRect dialog_units_to_pixels(const QRect& units);

}  // namespace velmora
