// How a page tells the link's test thread that waits for it that one of the flags or requests they
// share (a running flag, a lamp key, an LED pick) changed, so the thread looks again instead of
// looking at a clock. The window sets it once, before any test thread runs; a page without a window
// (velmora-image) leaves it empty, and then a change wakes nobody.
//
// Callers may rely on: calling it on the UI thread after the shared atomic was stored is enough; it
// never blocks for long.
#pragma once

#include <functional>
#include <utility>

namespace velmora {

class TestThreadWake {
public:
    void set(std::function<void()> wake) { wake_ = std::move(wake); }
    void operator()() const {
        if (wake_) {
            wake_();
        }
    }

private:
    std::function<void()> wake_;
};

}  // namespace velmora
