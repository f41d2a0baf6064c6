#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <utility>

#include "platform/file_system_calls.h"

namespace velmora::platform {

namespace {

// One pread moves at most this much, so a huge file never needs one huge call.
constexpr std::size_t k_read_chunk = std::size_t{64} << 20;

std::int64_t nanoseconds(const timespec& time) {
    constexpr std::int64_t k_ns_per_second = 1000000000;
    return static_cast<std::int64_t>(time.tv_sec) * k_ns_per_second + time.tv_nsec;
}

FileVersion version_of(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_size), nanoseconds(info.st_mtim), nanoseconds(info.st_ctim)};
}

}  // namespace

RegularFile open_regular_file(const std::filesystem::path& path) {
    RegularFile file;
    UniqueFd fd(file_system_calls().open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0));
    if (!fd) {
        return file;
    }
    struct stat info {};
    if (file_system_calls().fstat(fd.get(), &info) != 0) {
        return file;
    }
    if (!S_ISREG(info.st_mode)) {
        file.status = RegularFileStatus::not_regular_file;
        return file;
    }
    // Regular files ignore O_NONBLOCK; cleared anyway so that reads keep their usual meaning.
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return file;
    }
    file.status = RegularFileStatus::opened;
    file.fd = std::move(fd);
    file.version = version_of(info);
    file.size = file.version.size;
    return file;
}

bool read_at(int fd, std::span<std::uint8_t> buffer, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        if (offset + done > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
            return false;
        }
        const std::size_t chunk = std::min(buffer.size() - done, k_read_chunk);
        const ssize_t n =
            file_system_calls().pread(fd, buffer.data() + done, chunk, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;  // an error, or the file ends before the bytes it had when it was measured
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<FileVersion> file_version(int fd) {
    struct stat info {};
    if (file_system_calls().fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return version_of(info);
}

}  // namespace velmora::platform
