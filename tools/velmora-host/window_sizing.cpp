#include "tools/velmora-host/window_sizing.h"

#include <algorithm>

namespace velmora::host_app {

WindowPlacement first_start_placement(const WindowSizingInput& input) {
    const QRect inside = input.available.marginsRemoved(input.frame);
    const int width =
        std::clamp(std::max(input.form.width(), input.chrome.width()), 0, std::max(inside.width(), 0));
    // All of the screen's height: whatever the form does not need is the terminal's.
    const int height = std::max(inside.height(), 0);
    const int left = inside.left() + (inside.width() - width) / 2;

    WindowPlacement placement;
    placement.geometry = QRect(left, inside.top(), width, height);
    const int panes = std::max(height - input.chrome.height() - input.splitter_handle, 0);
    const int terminal_min = input.terminal_base + input.terminal_line * input.terminal_min_lines;
    if (panes >= input.form.height() + terminal_min) {
        placement.splitter_sizes = {input.form.height(), panes - input.form.height()};
        placement.form_whole = true;
    } else {
        const int terminal = std::min(terminal_min, panes);
        placement.splitter_sizes = {panes - terminal, terminal};
    }
    return placement;
}

}  // namespace velmora::host_app
