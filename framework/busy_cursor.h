// The wait cursor for a step that holds the UI thread (Parse, Generate).
//
// Callers may rely on: the application shows the wait cursor from construction until restore() or
// destruction, whichever comes first, so an early return or an exception never leaves it behind;
// restore() may be called more than once and show() brings the cursor back. A message box must not
// be shown under the wait cursor: call restore() first. Guards nest as Qt's override cursors do.
// UI thread only.
#pragma once

namespace velmora {

class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

    void show();
    void restore();

private:
    bool shown_ = false;
};

}  // namespace velmora
