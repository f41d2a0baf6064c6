#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "platform/drive_path.h"
#include "platform/unique_fd.h"

namespace velmora::platform {
namespace {

constexpr mode_t k_private_file_mode = 0600;
constexpr mode_t k_private_directory_mode = 0700;
// The umask trims these for files and directories outside the drive root.
constexpr mode_t k_shared_file_mode = 0666;
constexpr mode_t k_shared_directory_mode = 0777;

}  // namespace

bool create_directory(std::string_view path) {
    const MappedPath mapped = map_path(path);
    if (!mapped.ready) {
        return false;
    }
    const mode_t mode = is_drive_path(path) ? k_private_directory_mode : k_shared_directory_mode;
    return ::mkdir(mapped.path.c_str(), mode) == 0;
}

bool remove_directory(std::string_view path) {
    return ::rmdir(native_path(path).c_str()) == 0;
}

bool delete_file(std::string_view path) {
    return ::unlink(native_path(path).c_str()) == 0;
}

bool set_hidden(std::string_view path) {
    const std::filesystem::path native = native_path(path);
    // O_NONBLOCK keeps a FIFO planted at the name from stalling us; O_NOFOLLOW keeps a link from
    // redirecting the chmod to a file elsewhere.
    const UniqueFd fd(::open(native.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        return false;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return false;
    }
    if (S_ISREG(info.st_mode)) {
        return ::fchmod(fd.get(), k_private_file_mode) == 0;
    }
    if (S_ISDIR(info.st_mode)) {
        return ::fchmod(fd.get(), k_private_directory_mode) == 0;
    }
    return false;
}

std::FILE* open_file(std::string_view path, const char* mode) {
    if (mode == nullptr || *mode == '\0') {
        errno = EINVAL;
        return nullptr;
    }
    const std::string_view mode_text(mode);
    const bool update = mode_text.find('+') != std::string_view::npos;
    int flags = O_CLOEXEC;
    switch (mode_text.front()) {
        case 'r': {
            const MappedPath mapped = map_path(path);
            // glibc's "e" flag gives the stream's descriptor O_CLOEXEC.
            const std::string read_mode = std::string(mode_text) + "e";
            return std::fopen(mapped.path.c_str(), read_mode.c_str());
        }
        case 'w':
            flags |= O_CREAT | O_TRUNC | (update ? O_RDWR : O_WRONLY);
            break;
        case 'a':
            flags |= O_CREAT | O_APPEND | (update ? O_RDWR : O_WRONLY);
            break;
        default:
            errno = EINVAL;
            return nullptr;
    }
    if (mode_text.find('x') != std::string_view::npos) {
        flags |= O_EXCL;
    }
    const MappedPath mapped = map_path(path);
    if (!mapped.ready) {
        errno = EACCES;
        return nullptr;
    }
    const mode_t create_mode = is_drive_path(path) ? k_private_file_mode : k_shared_file_mode;
    UniqueFd fd(::open(mapped.path.c_str(), flags | O_NOFOLLOW, create_mode));
    if (!fd) {
        return nullptr;
    }
    // fdopen only needs the access part of the mode; the creation letters were handled by open().
    const char* stream_mode = mode_text.front() == 'w' ? (update ? "w+" : "w") : (update ? "a+" : "a");
    std::FILE* file = ::fdopen(fd.get(), stream_mode);
    if (file != nullptr) {
        fd.release();
    }
    return file;
}

std::filesystem::path executable_dir() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return {};
    }
    return executable.parent_path();
}

}  // namespace velmora::platform
