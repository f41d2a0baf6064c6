#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
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

// Where a path's last component lives: for a drive path, the folder reached safely from the root
// (drive_path.h); for any other path, the current directory and the path as it is.
struct Place {
    UniqueFd folder;
    std::string name;
    bool drive = false;

    int at() const { return drive ? folder.get() : AT_FDCWD; }
};

std::optional<Place> place_of(std::string_view path) {
    if (!is_drive_path(path)) {
        return Place{UniqueFd(), std::string(path), false};
    }
    std::optional<DriveLocation> location = open_drive_location(path);
    if (!location || location->name.empty()) {
        return std::nullopt;
    }
    return Place{std::move(location->folder), std::move(location->name), true};
}

}  // namespace

bool create_directory(std::string_view path) {
    const std::optional<Place> place = place_of(path);
    if (!place) {
        return false;
    }
    const mode_t mode = place->drive ? k_private_directory_mode : k_shared_directory_mode;
    return ::mkdirat(place->at(), place->name.c_str(), mode) == 0;
}

bool remove_directory(std::string_view path) {
    const std::optional<Place> place = place_of(path);
    return place && ::unlinkat(place->at(), place->name.c_str(), AT_REMOVEDIR) == 0;
}

bool delete_file(std::string_view path) {
    const std::optional<Place> place = place_of(path);
    return place && ::unlinkat(place->at(), place->name.c_str(), 0) == 0;
}

bool set_hidden(std::string_view path) {
    const std::optional<Place> place = place_of(path);
    if (!place) {
        return false;
    }
    // O_NONBLOCK keeps a FIFO planted at the name from stalling us; O_NOFOLLOW keeps a link from
    // redirecting the chmod to a file elsewhere.
    const UniqueFd fd(
        ::openat(place->at(), place->name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
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
    const char* stream_mode = nullptr;
    switch (mode_text.front()) {
        case 'r':
            flags |= update ? O_RDWR : O_RDONLY;
            stream_mode = update ? "r+" : "r";
            break;
        case 'w':
            flags |= O_CREAT | O_TRUNC | (update ? O_RDWR : O_WRONLY);
            stream_mode = update ? "w+" : "w";
            break;
        case 'a':
            flags |= O_CREAT | O_APPEND | (update ? O_RDWR : O_WRONLY);
            stream_mode = update ? "a+" : "a";
            break;
        default:
            errno = EINVAL;
            return nullptr;
    }
    if (mode_text.front() != 'r' && mode_text.find('x') != std::string_view::npos) {
        flags |= O_EXCL;
    }
    const std::optional<Place> place = place_of(path);
    if (!place) {
        errno = EACCES;
        return nullptr;
    }
    // Under a drive nothing is reached through a link; elsewhere a file is read as fopen would, and
    // created without following a final link.
    if (place->drive || mode_text.front() != 'r') {
        flags |= O_NOFOLLOW;
    }
    const mode_t create_mode = place->drive ? k_private_file_mode : k_shared_file_mode;
    UniqueFd fd(::openat(place->at(), place->name.c_str(), flags, create_mode));
    if (!fd) {
        return nullptr;
    }
    // fdopen only needs the access part of the mode; the creation letters were handled by openat().
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
