#include "platform/unique_fd.h"

#include <unistd.h>

namespace velmora::platform {

UniqueFd::~UniqueFd() {
    reset();
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        reset(other.release());
    }
    return *this;
}

int UniqueFd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::reset(int fd) {
    if (fd_ >= 0 && fd_ != fd) {
        // On Linux the descriptor is released even when close reports EINTR, so never retry.
        ::close(fd_);
    }
    fd_ = fd;
}

}  // namespace velmora::platform
