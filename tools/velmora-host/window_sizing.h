// The host window's size and its splitter at the first start, before the user has chosen any: a pure
// function of the screen, the plug-in's form and the terminal pane, so it is the same for the program,
// the screenshots and the tests.
//
// The plug-in's form is the work, so it gets the height that shows it whole (the template's 452
// dialog units and the pane around it) as long as the terminal still keeps its few lines; the terminal
// takes the rest of the screen's height. On a screen too small for both, the form scrolls and the
// terminal keeps its few lines (the user may collapse it to give the form more).
//
// A remembered window comes back where the user left it, on whichever screen that was, moved and shrunk
// only as far as a screen that changed since needs.
//
// Callers may rely on: the window with its frame never passes `available` (or the screen it is
// remembered on), in either direction, unless that area is smaller than the window's own minimum; the
// splitter sizes add up to the splitter's height inside that window and none is negative; all sizes are
// in the window's (device independent) pixels, so a scale factor is already in the screens' areas.
#pragma once

#include <QList>
#include <QMargins>
#include <QRect>
#include <QSize>

namespace velmora::host_app {

struct WindowSizingInput {
    // The screen's area for windows (without panels and docks).
    QRect available;
    // What the window system draws around the window: title bar and borders.
    QMargins frame;
    // What the window adds around its splitter: the port bar above, a status bar below, and the
    // width the port bar and the window's minimum need.
    QSize chrome;
    // The plug-in pane at the size that shows the whole form without scrolling: tab bar, frames and
    // the form's own minimum size.
    QSize form;
    // The width of the scroll bar that a form too high for its pane shows beside it; the window is
    // that much wider then, so the form never needs a horizontal scroll bar as well.
    int scroll_bar = 0;
    int splitter_handle = 0;
    // The terminal pane's height without its text lines (the typing line, margins, frames), and one
    // text line.
    int terminal_base = 0;
    int terminal_line = 0;
    int terminal_min_lines = 0;
};

struct WindowPlacement {
    // Where the window's contents go, without the frame.
    QRect geometry;
    // The plug-in pane's height, then the terminal pane's.
    QList<int> splitter_sizes;
    // True when the whole form shows without scrolling.
    bool form_whole = false;
};

WindowPlacement first_start_placement(const WindowSizingInput& input);

// Where a window remembered at `remembered` (without its frame) goes on the screens whose available
// areas are `screens`, the one a new window opens on first: the screen that holds the window's centre,
// else the one it overlaps most, else the first. The window keeps its place and size where that screen
// allows, and is shrunk and moved into it as far as needed. No screens: `remembered` as it is.
QRect remembered_placement(const QRect& remembered, const QMargins& frame, const QList<QRect>& screens);

}  // namespace velmora::host_app
