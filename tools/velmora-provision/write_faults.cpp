#include "tools/velmora-provision/write_faults.h"

#include <unistd.h>

namespace velmora::provision {

bool WriteFaults::open() {
    return pipe_.open();
}

void WriteFaults::report(const std::string& text) {
    // One write, so the line stays whole beside what other threads print.
    const std::string line = "velmora-provision: " + text + "\n";
    [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, line.data(), line.size());
    reported_.store(true);
    pipe_.signal();
}

}  // namespace velmora::provision
