// The outputs of a run that could not be written: the log and the progress output (a full disk, a
// reader that went away). A box's result that cannot be kept must not look like a success, so each
// fault is said on standard error at once and wakes the main thread, which ends the run as on SIGTERM
// and exits 1.
//
// Callers may rely on: open() is called before any thread starts; report() is thread-safe and may be
// called from any thread; fd() is readable from the first report on; any() says whether one came.
#pragma once

#include <atomic>
#include <string>

#include "platform/wake_pipe.h"

namespace velmora::provision {

class WriteFaults {
public:
    bool open();
    // `text` says what could not be written and why ("cannot write the log x: No space left on device").
    void report(const std::string& text);
    bool any() const { return reported_.load(); }
    int fd() const { return pipe_.read_fd(); }

private:
    std::atomic<bool> reported_{false};
    platform::WakePipe pipe_;
};

}  // namespace velmora::provision
