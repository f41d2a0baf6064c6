#include "tools/velmora-host/window_sizing.h"

#include <algorithm>

namespace velmora::host_app {

WindowPlacement first_start_placement(const WindowSizingInput& input) {
    const QRect inside = input.available.marginsRemoved(input.frame);
    // All of the screen's height: whatever the form does not need is the terminal's.
    const int height = std::max(inside.height(), 0);
    const int panes = std::max(height - input.chrome.height() - input.splitter_handle, 0);
    const int terminal_min = input.terminal_base + input.terminal_line * input.terminal_min_lines;

    WindowPlacement placement;
    if (panes >= input.form.height() + terminal_min) {
        placement.splitter_sizes = {input.form.height(), panes - input.form.height()};
        placement.form_whole = true;
    } else {
        const int terminal = std::min(terminal_min, panes);
        placement.splitter_sizes = {panes - terminal, terminal};
    }
    const int form_width = input.form.width() + (placement.form_whole ? 0 : input.scroll_bar);
    const int width = std::clamp(std::max(form_width, input.chrome.width()), 0, std::max(inside.width(), 0));
    const int left = inside.left() + (inside.width() - width) / 2;
    placement.geometry = QRect(left, inside.top(), width, height);
    return placement;
}

QRect remembered_placement(const QRect& remembered, const QMargins& frame, const QList<QRect>& screens) {
    if (screens.isEmpty()) {
        return remembered;
    }
    const QRect framed = remembered.marginsAdded(frame);
    const auto overlap = [&framed](const QRect& screen) {
        const QRect common = screen.intersected(framed);
        return static_cast<long long>(common.width()) * common.height();
    };
    auto screen = std::find_if(screens.begin(), screens.end(),
                               [&framed](const QRect& area) { return area.contains(framed.center()); });
    if (screen == screens.end()) {
        screen = std::max_element(screens.begin(), screens.end(), [&overlap](const QRect& a, const QRect& b) {
            return overlap(a) < overlap(b);
        });
        if (overlap(*screen) == 0) {
            screen = screens.begin();
        }
    }
    const QRect inside = screen->marginsRemoved(frame);
    if (inside.isEmpty()) {
        return remembered;
    }
    QRect bounded = remembered;
    bounded.setSize(bounded.size().boundedTo(inside.size()));
    bounded.moveLeft(std::clamp(bounded.left(), inside.left(), inside.right() - bounded.width() + 1));
    bounded.moveTop(std::clamp(bounded.top(), inside.top(), inside.bottom() - bounded.height() + 1));
    return bounded;
}

}  // namespace velmora::host_app
