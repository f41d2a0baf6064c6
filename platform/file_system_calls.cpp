#include "platform/file_system_calls.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace velmora::platform {
namespace {

FileSystemCalls& real_calls() {
    static FileSystemCalls calls;
    return calls;
}

// Null means the real calls; an override is installed and removed while no other thread writes.
std::atomic<FileSystemCalls*> current_override{nullptr};

}  // namespace

int FileSystemCalls::open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}

int FileSystemCalls::fchmod(int fd, mode_t mode) {
    return ::fchmod(fd, mode);
}

int FileSystemCalls::fchown(int fd, uid_t owner, gid_t group) {
    return ::fchown(fd, owner, group);
}

int FileSystemCalls::fstat(int fd, struct stat* info) {
    return ::fstat(fd, info);
}

ssize_t FileSystemCalls::read(int fd, void* buffer, std::size_t count) {
    return ::read(fd, buffer, count);
}

ssize_t FileSystemCalls::pread(int fd, void* buffer, std::size_t count, off_t offset) {
    return ::pread(fd, buffer, count, offset);
}

ssize_t FileSystemCalls::write(int fd, const void* buffer, std::size_t count) {
    return ::write(fd, buffer, count);
}

ssize_t FileSystemCalls::pwrite(int fd, const void* buffer, std::size_t count, off_t offset) {
    return ::pwrite(fd, buffer, count, offset);
}

ssize_t FileSystemCalls::copy_file_range(int in, off_t* in_offset, int out, std::size_t count) {
    return ::copy_file_range(in, in_offset, out, nullptr, count, 0);
}

int FileSystemCalls::fsync(int fd) {
    return ::fsync(fd);
}

int FileSystemCalls::close(int fd) {
    return ::close(fd);
}

int FileSystemCalls::rename(const char* from, const char* to) {
    return ::rename(from, to);
}

int FileSystemCalls::unlink(const char* path) {
    return ::unlink(path);
}

FileSystemCalls::ScopedOverride::ScopedOverride(FileSystemCalls& calls)
    : previous_(current_override.exchange(&calls)) {}

FileSystemCalls::ScopedOverride::~ScopedOverride() {
    current_override.store(previous_);
}

FileSystemCalls& file_system_calls() {
    FileSystemCalls* calls = current_override.load();
    return calls != nullptr ? *calls : real_calls();
}

}  // namespace velmora::platform
