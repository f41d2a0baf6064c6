// A manual-reset event that poll() can wait on, to wake threads blocked in poll on other descriptors.
//
// Callers may rely on: once signal() is called, read_fd() stays readable (the byte is never
// drained) until close(); signal() is async-signal-safe and may be called from any thread while
// the pipe is open.
#pragma once

#include "platform/unique_fd.h"

namespace velmora::platform {

class WakePipe {
public:
    WakePipe() = default;
    WakePipe(const WakePipe&) = delete;
    WakePipe& operator=(const WakePipe&) = delete;

    // Makes a fresh, unsignalled pipe (closing any earlier one).
    bool open();
    void close();
    void signal();
    bool is_open() const { return read_.valid(); }
    bool is_signalled() const;
    int read_fd() const { return read_.get(); }

private:
    UniqueFd read_;
    UniqueFd write_;
};

}  // namespace velmora::platform
