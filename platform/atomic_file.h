// Replaces a file's whole content so that readers see either the old file or the new one.
//
// The bytes go to a temporary file beside the target. commit() flushes it to disk (fsync), closes it,
// renames it over the target and then syncs the directory, in that order, so only bytes that the disk
// took without an error can replace the target. Callers may rely on:
// - The target is never truncated, emptied or changed unless commit() returns true: a failed or short
//   write, a failed flush, close or rename all end in false with the old file in place.
// - Once the rename is done commit() returns true: the directory sync after it is best effort, since
//   the new file is in place by then and cannot be taken back.
// - No temporary file is left after commit(), discard() or destruction, whatever failed.
// - The new file keeps the mode (permission bits) of the file it replaces, and its owner and group
//   where we are allowed to give them (as root; a group we belong to); a new target gets 0666 less
//   the umask and is ours.
// - The temporary name has a fixed length, so every target name the file system takes works.
// - A symbolic link as target is replaced through: the file it points to gets the new content.
// - open() refuses a target whose directory is missing or not writable, a target that exists and
//   is not writable by us, and a target that is not a regular file.
// An AtomicFileWriter is used by one thread at a time. Its system calls go through
// file_system_calls(), where a test can make any one of them fail.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

#include "platform/unique_fd.h"

namespace velmora::platform {

// How far commit() goes before it returns.
enum class Durability {
    // Flushed to disk before the rename, the directory after: the new content survives a power cut.
    synced,
    // Renamed without waiting for the disk: readers still see the old file or the whole new one, and
    // ext4 orders the data before a rename that replaces a file; a power cut may lose a new file.
    // For batch tools whose cost must stay that of copying the file.
    renamed,
};

class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Starts a new file for `target`; an earlier uncommitted file is discarded first.
    bool open(const std::filesystem::path& target);
    // Appends bytes; after a failed write, commit() fails.
    bool write(std::span<const std::uint8_t> bytes);
    // Appends the first `length` bytes of the open file `source` (read by position: its offset is
    // neither used nor moved), copied inside the kernel where it can (as cp does), else through a
    // bounded buffer; fails when the source is shorter.
    bool copy_from(int source, std::uint64_t length);
    // Overwrites bytes already written, starting at `offset`.
    bool write_at(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    // Flushes (as `durability` asks), renames into place and syncs the directory (best effort). False
    // leaves the target as it was.
    bool commit(Durability durability = Durability::synced);
    // Drops the temporary file; the target stays as it was.
    void discard();

    bool is_open() const { return fd_.valid(); }
    const std::filesystem::path& temporary_path() const { return temporary_; }

private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    UniqueFd fd_;
    bool failed_ = false;
};

// open + write + commit in one call.
bool write_file_atomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);

}  // namespace velmora::platform
