// Everything a child writes, for tests: reads its standard output and error to their end while it
// runs (so neither pipe fills up and blocks it), then waits for it.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <optional>
#include <string>

#include "platform/child_process.h"

namespace velmora::testing {

// Closes the child's input first, so a child that reads it gets end-of-file. Returns wait()'s status.
inline std::optional<int> collect_output(platform::ChildProcess& child, std::string& output,
                                         std::string& error) {
    constexpr std::size_t k_chunk = 4096;
    child.close_input();
    std::array<pollfd, 2> streams{pollfd{child.output_fd(), POLLIN, 0}, pollfd{child.error_fd(), POLLIN, 0}};
    std::array<std::string*, 2> sinks{&output, &error};
    std::array<char, k_chunk> buffer{};
    while (streams[0].fd >= 0 || streams[1].fd >= 0) {
        if (::poll(streams.data(), streams.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        for (std::size_t i = 0; i < streams.size(); ++i) {
            if (streams[i].fd < 0 || streams[i].revents == 0) {
                continue;
            }
            const ssize_t count = ::read(streams[i].fd, buffer.data(), buffer.size());
            if (count > 0) {
                sinks[i]->append(buffer.data(), static_cast<std::size_t>(count));
            } else if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
                streams[i].fd = -1;  // poll skips a negative descriptor
            }
        }
    }
    return child.wait();
}

}  // namespace velmora::testing
