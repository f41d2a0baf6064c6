// Opening a file that a user named for reading, refusing anything that is not a regular file, and
// reading it whole or in part by position.
//
// A FIFO opened for reading waits for a writer, and a device may wait for ever on a read; a name given
// on a command line or in a file dialog must not hang the program. So the file is opened
// non-blocking, checked with fstat, and only a regular file is set back to blocking reads and handed
// out. Callers may rely on:
// - open_regular_file() never blocks in open(); a directory, FIFO, device or socket is refused with
//   RegularFileStatus::not_regular_file and no descriptor is kept.
// - On RegularFileStatus::opened, `fd` is a close-on-exec descriptor in blocking mode and `size` is
//   the file's length at the moment it was opened.
// - read_at() fills the whole buffer or reports failure: a read error and a file that ends early (it
//   shrank since its size was taken) are both failures, never a short buffer taken as whole.
// The system calls go through file_system_calls(), so a test can change the file between two of them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include "platform/unique_fd.h"

namespace velmora::platform {

enum class RegularFileStatus { opened, open_failed, not_regular_file };

struct RegularFile {
    RegularFileStatus status = RegularFileStatus::open_failed;
    UniqueFd fd;
    std::uint64_t size = 0;
};

RegularFile open_regular_file(const std::filesystem::path& path);

// Reads `buffer.size()` bytes from `offset`; false on an error or an early end of file.
bool read_at(int fd, std::span<std::uint8_t> buffer, std::uint64_t offset);

// The file's length now; none when fstat fails or it is no longer a regular file.
std::optional<std::uint64_t> current_size(int fd);

}  // namespace velmora::platform
