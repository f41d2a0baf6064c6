#include "tools/velmora-provision/process_setup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace velmora::provision {

namespace {

constexpr int k_standard_descriptors = 3;

}  // namespace

void prepare_process() {
    for (int fd = 0; fd < k_standard_descriptors; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1) {
            continue;
        }
        // open() takes the lowest free descriptor: this one, as the ones below it are open by now.
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened != fd && opened >= 0) {
            ::close(opened);
        }
    }
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace velmora::provision
