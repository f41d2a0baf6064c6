#include "platform/wake_pipe.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace velmora::platform {

bool WakePipe::open() {
    close();
    int ends[2];
    // Non-blocking, so a second signal() on a pipe nobody drains can never block.
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    read_.reset(ends[0]);
    write_.reset(ends[1]);
    return true;
}

void WakePipe::close() {
    write_.reset();
    read_.reset();
}

void WakePipe::signal() {
    if (write_) {
        const char byte = 1;
        // A full pipe is already readable, so a failed write loses nothing.
        [[maybe_unused]] const ssize_t ignored = ::write(write_.get(), &byte, 1);
    }
}

bool WakePipe::is_signalled() const {
    if (!read_) {
        return false;
    }
    pollfd entry{read_.get(), POLLIN, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN) != 0;
}

}  // namespace velmora::platform
