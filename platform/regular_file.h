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
// - file_version() changes whenever the file's content does (its size, or its modification and
//   change times, which every write sets), so a reader can tell that a file changed while it read it.
// The system calls go through file_system_calls(), so a test can change the file between two of them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include "platform/unique_fd.h"

namespace velmora::platform {

enum class RegularFileStatus { opened, open_failed, not_regular_file };

// What tells one state of a file's content from another.
struct FileVersion {
    std::uint64_t size = 0;
    std::int64_t modified_ns = 0;
    std::int64_t changed_ns = 0;

    bool operator==(const FileVersion&) const = default;
};

struct RegularFile {
    RegularFileStatus status = RegularFileStatus::open_failed;
    UniqueFd fd;
    std::uint64_t size = 0;
    FileVersion version;  // as it was opened
};

RegularFile open_regular_file(const std::filesystem::path& path);

// Reads `buffer.size()` bytes from `offset`; false on an error or an early end of file.
bool read_at(int fd, std::span<std::uint8_t> buffer, std::uint64_t offset);

// The file's version now; none when fstat fails or it is no longer a regular file.
std::optional<FileVersion> file_version(int fd);

}  // namespace velmora::platform
