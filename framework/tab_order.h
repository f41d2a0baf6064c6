// The keyboard's order through a form: top to bottom, then left to right, as the form reads.
//
// Callers may rely on this:
// - `tab_stops_by_position(root)` lists the controls inside `root` that Tab can reach (their focus
//   policy takes Tab), hidden ones included, in reading order. Inside a layout the order is the
//   layout's own (a grid row by row, each row by column; a box in its direction); widgets placed by
//   hand are read in rows (widgets whose vertical middles fall within the first one's height share
//   a row), each row from the left. Containers (plain widgets, frames, group boxes, tab controls,
//   stacked widgets, dialogs, nested ones included) are read through; the parts of a composite
//   control (a combo's edit, a list's scroll bars) are not listed;
// - `set_tab_order_by_position(root)` chains those controls in that order in the window's focus
//   chain, so Tab and Shift+Tab follow it. Qt skips hidden and disabled controls as usual.
#pragma once

#include <vector>

class QWidget;

namespace velmora {

std::vector<QWidget*> tab_stops_by_position(QWidget* root);
void set_tab_order_by_position(QWidget* root);

}  // namespace velmora
