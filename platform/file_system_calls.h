// The system calls through which the atomic writer puts a file on disk and the image loader reads
// one, gathered in one place so that a test can make any one of them fail (a full disk, a flush or
// close that reports an I/O error, a refused rename) or change the file between two of them (a file
// that shrinks while it is read) without a broken disk, and can see the order in which they are made.
//
// What callers may rely on:
// - file_system_calls() gives the real system calls unless a ScopedOverride is in place; every
//   function keeps its system call's contract (-1 with errno on failure, counts as the call gives).
// - A ScopedOverride swaps in other calls for its own lifetime and then puts the previous ones
//   back. It is meant for tests, which install it while no other thread writes files.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>

namespace velmora::platform {

class FileSystemCalls {
public:
    virtual ~FileSystemCalls() = default;

    virtual int open(const char* path, int flags, mode_t mode);
    virtual int fchmod(int fd, mode_t mode);
    virtual int fchown(int fd, uid_t owner, gid_t group);
    virtual int fstat(int fd, struct stat* info);
    virtual ssize_t read(int fd, void* buffer, std::size_t count);
    virtual ssize_t pread(int fd, void* buffer, std::size_t count, off_t offset);
    virtual ssize_t write(int fd, const void* buffer, std::size_t count);
    virtual ssize_t pwrite(int fd, const void* buffer, std::size_t count, off_t offset);
    // Copies from `*in_offset` of `in` (which it advances) to the current offset of `out`, inside the
    // kernel.
    virtual ssize_t copy_file_range(int in, off_t* in_offset, int out, std::size_t count);
    virtual int fsync(int fd);
    virtual int close(int fd);
    virtual int rename(const char* from, const char* to);
    virtual int unlink(const char* path);

    // Makes `calls` the ones file_system_calls() gives while it lives.
    class ScopedOverride {
    public:
        explicit ScopedOverride(FileSystemCalls& calls);
        ~ScopedOverride();
        ScopedOverride(const ScopedOverride&) = delete;
        ScopedOverride& operator=(const ScopedOverride&) = delete;

    private:
        FileSystemCalls* previous_;
    };
};

// The calls in force: the real ones, or a test's override.
FileSystemCalls& file_system_calls();

}  // namespace velmora::platform
