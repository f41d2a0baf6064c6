#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "platform/file_system_calls.h"
#include "platform/signal_cleanup.h"

namespace velmora::platform {
namespace {

// open() applies the umask to this for a new target.
constexpr mode_t k_new_file_mode = 0666;
constexpr mode_t k_permission_bits = 0777;
// Name collisions need another process writing beside the same target; a handful of tries is plenty.
constexpr int k_name_attempts = 16;
// copy_from moves the file in pieces of this size, so a huge file never needs one huge call; where
// the kernel cannot copy, it goes through a buffer of the second size.
constexpr std::uint64_t k_copy_chunk = 8u << 20;
constexpr std::uint64_t k_copy_buffer = 1u << 20;

// A dot-file beside the target: same file system, so the rename is atomic. The name does not grow
// with the target's, so any target name that the file system takes has a temporary name too.
std::string temporary_name() {
    static std::atomic<std::uint64_t> counter{0};
    thread_local std::mt19937_64 generator{
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    char name[32];
    std::snprintf(name, sizeof name, ".velmora-%08llx%04llx.tmp",
                  static_cast<unsigned long long>(generator() >> 32),
                  static_cast<unsigned long long>(counter.fetch_add(1) & 0xffff));
    return name;
}

bool write_all(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = file_system_calls().write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        // A write that makes no progress would be retried for ever.
        if (written <= 0) {
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

// Best effort: the rename is done by now and cannot be taken back, so a failure here changes nothing
// the caller could act on.
void sync_directory(const std::filesystem::path& directory) {
    const UniqueFd fd(file_system_calls().open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (fd) {
        file_system_calls().fsync(fd.get());
    }
}

}  // namespace

AtomicFileWriter::~AtomicFileWriter() {
    discard();
}

bool AtomicFileWriter::open(const std::filesystem::path& target) {
    discard();
    if (target.empty() || !target.has_filename()) {
        return false;
    }
    std::filesystem::path resolved = target;
    struct stat info {};
    const bool exists = ::stat(target.c_str(), &info) == 0;
    if (exists) {
        if (!S_ISREG(info.st_mode)) {
            return false;
        }
        // The check that the target is writable is ours: rename() itself only needs the directory.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
            return false;
        }
        std::error_code error;
        resolved = std::filesystem::canonical(target, error);
        if (error) {
            return false;
        }
    } else if (errno != ENOENT) {
        return false;
    } else {
        struct stat link_info {};
        if (::lstat(target.c_str(), &link_info) == 0) {
            // A dangling link: writing through it would create a file somewhere we did not choose.
            return false;
        }
    }

    const std::filesystem::path directory =
        resolved.has_parent_path() ? resolved.parent_path() : std::filesystem::path(".");
    for (int attempt = 0; attempt < k_name_attempts; ++attempt) {
        const std::filesystem::path candidate = directory / temporary_name();
        UniqueFd fd(file_system_calls().open(
            candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, k_new_file_mode));
        if (!fd) {
            if (errno == EEXIST) {
                continue;
            }
            return false;
        }
        // The owner and group too, where we may give them (root; or a group we are in): a file someone
        // else owned must not become ours and unreadable to them. Where we may not, the new file is
        // ours, as any file we create. Before the mode, which a change of owner may clear bits of.
        if (exists) {
            file_system_calls().fchown(fd.get(), info.st_uid, info.st_gid);
        }
        if (exists && file_system_calls().fchmod(fd.get(), info.st_mode & k_permission_bits) != 0) {
            fd.reset();
            file_system_calls().unlink(candidate.c_str());
            return false;
        }
        target_ = resolved;
        temporary_ = candidate;
        SignalCleanup::add(temporary_, CleanupKind::file);  // an interrupted run leaves no temporary
        fd_ = std::move(fd);
        failed_ = false;
        return true;
    }
    return false;
}

bool AtomicFileWriter::write(std::span<const std::uint8_t> bytes) {
    if (!fd_ || failed_) {
        return false;
    }
    if (!write_all(fd_.get(), bytes)) {
        failed_ = true;
        return false;
    }
    return true;
}

bool AtomicFileWriter::copy_from(int source, std::uint64_t length) {
    if (!fd_ || failed_) {
        return false;
    }
    off_t at = 0;
    bool kernel_copy = true;
    std::vector<std::uint8_t> buffer;
    while (static_cast<std::uint64_t>(at) < length) {
        const std::uint64_t left = length - static_cast<std::uint64_t>(at);
        ssize_t n = -1;
        if (kernel_copy) {
            const auto chunk = static_cast<std::size_t>(std::min(left, k_copy_chunk));
            n = file_system_calls().copy_file_range(source, &at, fd_.get(), chunk);
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
                kernel_copy = false;  // another file system or an old kernel: copy through a buffer
                continue;
            }
        } else {
            buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(left, k_copy_buffer)));
            n = file_system_calls().pread(source, buffer.data(), buffer.size(), at);
            if (n > 0 && !write_all(fd_.get(), std::span(buffer.data(), static_cast<std::size_t>(n)))) {
                break;  // the output failed; a retry would skip the bytes just read
            }
            if (n > 0) {
                at += n;
            }
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;  // an error, or the source ended early
        }
    }
    if (static_cast<std::uint64_t>(at) != length) {
        failed_ = true;
        return false;
    }
    return true;
}

bool AtomicFileWriter::write_at(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    if (!fd_ || failed_) {
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = file_system_calls().pwrite(fd_.get(), bytes.data() + done, bytes.size() - done,
                                                     static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            failed_ = true;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool AtomicFileWriter::commit(Durability durability) {
    if (!fd_ || failed_) {
        discard();
        return false;
    }
    // The order matters: only bytes that are flushed and closed without error may replace the target.
    // close() is where some file systems (NFS) report a failed write, so check it as well as fsync.
    const bool flushed = durability == Durability::renamed || file_system_calls().fsync(fd_.get()) == 0;
    const bool closed = file_system_calls().close(fd_.release()) == 0;
    if (!flushed || !closed || file_system_calls().rename(temporary_.c_str(), target_.c_str()) != 0) {
        discard();
        return false;
    }
    SignalCleanup::remove(temporary_);
    temporary_.clear();
    if (durability == Durability::synced) {
        sync_directory(target_.has_parent_path() ? target_.parent_path() : std::filesystem::path("."));
    }
    target_.clear();
    return true;
}

void AtomicFileWriter::discard() {
    fd_.reset();
    if (!temporary_.empty()) {
        file_system_calls().unlink(temporary_.c_str());
        SignalCleanup::remove(temporary_);
        temporary_.clear();
    }
    target_.clear();
    failed_ = false;
}

bool write_file_atomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes) {
    AtomicFileWriter writer;
    return writer.open(target) && writer.write(bytes) && writer.commit();
}

}  // namespace velmora::platform
