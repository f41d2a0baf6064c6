#include "platform/drive_path.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace velmora::platform {
namespace {

constexpr mode_t k_private_directory_mode = 0700;
constexpr mode_t k_group_other_bits = 077;

// "X:\" is the shortest drive path: letter, colon, separator.
constexpr std::size_t k_drive_prefix_length = 3;

std::mutex g_root_mutex;
std::filesystem::path g_root_override;

std::string user_folder_name() {
    return "velmora-drives-" + std::to_string(::geteuid());
}

std::filesystem::path environment_root() {
    if (const char* root = std::getenv("VELMORA_DRIVE_ROOT"); root != nullptr && *root != '\0') {
        // The user's folder may be shared (/tmp): its mode is theirs, the folder inside is ours.
        return std::filesystem::path(root) / user_folder_name();
    }
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
        return std::filesystem::path(runtime) / "velmora" / "drives";
    }
    std::filesystem::path home;
    if (const char* env_home = std::getenv("HOME"); env_home != nullptr && *env_home != '\0') {
        home = env_home;
    } else {
        // Services started without a login environment still have a password entry.
        std::vector<char> buffer(16384);
        passwd entry{};
        passwd* found = nullptr;
        if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
            found != nullptr && found->pw_dir != nullptr) {
            home = found->pw_dir;
        }
    }
    if (home.empty()) {
        return {};
    }
    return home / ".cache" / "velmora" / "drives";
}

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

bool is_ascii_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char upper_letter(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Directories above the one we make private are created for us alone too, but are not checked:
// they may legitimately be shared (/run/user/<uid>, a home directory) or reached through a link.
bool make_parents(const std::filesystem::path& directory) {
    if (directory.empty()) {
        return true;
    }
    struct stat info {};
    if (::stat(directory.c_str(), &info) == 0) {
        return S_ISDIR(info.st_mode);
    }
    if (directory.has_parent_path() && directory.parent_path() != directory) {
        if (!make_parents(directory.parent_path())) {
            return false;
        }
    }
    return ::mkdir(directory.c_str(), k_private_directory_mode) == 0 || errno == EEXIST;
}

// The components of a drive path below its drive. "." and ".." are resolved here, clamped at the
// drive, so no drive path can leave its drive.
std::vector<std::string_view> drive_components(std::string_view text) {
    std::vector<std::string_view> components;
    std::size_t start = k_drive_prefix_length;
    while (start <= text.size()) {
        std::size_t end = start;
        while (end < text.size() && !is_separator(text[end])) {
            ++end;
        }
        const std::string_view component = text.substr(start, end - start);
        if (component == "..") {
            if (!components.empty()) {
                components.pop_back();
            }
        } else if (!component.empty() && component != ".") {
            components.push_back(component);
        }
        start = end + 1;
    }
    return components;
}

// The folder open at `fd` is a directory of ours with no group or other permissions (tightened when
// it is ours but looser).
bool make_private(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
        return false;
    }
    if ((info.st_mode & k_group_other_bits) != 0 ||
        (info.st_mode & k_private_directory_mode) != k_private_directory_mode) {
        return ::fchmod(fd, k_private_directory_mode) == 0;
    }
    return true;
}

UniqueFd open_folder_at(int parent, const char* name) {
    return UniqueFd(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

}  // namespace

std::optional<DriveLocation> open_drive_location(std::string_view text) {
    if (!is_drive_path(text)) {
        return std::nullopt;
    }
    std::filesystem::path root = drive_root().lexically_normal();
    if (!root.has_filename() && root.has_parent_path()) {
        root = root.parent_path();
    }
    if (root.empty() || !ensure_private_directory(root)) {
        return std::nullopt;
    }
    // From here on every step goes through the descriptor that was checked, never a name again, so
    // nothing swapped in meanwhile (a link, someone else's folder) is ever used.
    UniqueFd folder = open_folder_at(AT_FDCWD, root.c_str());
    if (!folder || !make_private(folder.get())) {
        return std::nullopt;
    }
    const std::string letter(1, upper_letter(text[0]));
    if (::mkdirat(folder.get(), letter.c_str(), k_private_directory_mode) != 0 && errno != EEXIST) {
        return std::nullopt;
    }
    folder = open_folder_at(folder.get(), letter.c_str());
    if (!folder || !make_private(folder.get())) {
        return std::nullopt;
    }
    const std::vector<std::string_view> components = drive_components(text);
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        folder = open_folder_at(folder.get(), std::string(components[i]).c_str());
        if (!folder) {
            return std::nullopt;
        }
    }
    return DriveLocation{std::move(folder),
                         components.empty() ? std::string() : std::string(components.back())};
}

std::filesystem::path drive_root() {
    {
        std::lock_guard lock(g_root_mutex);
        if (!g_root_override.empty()) {
            return g_root_override;
        }
    }
    return environment_root();
}

void set_drive_root(std::filesystem::path root) {
    std::lock_guard lock(g_root_mutex);
    g_root_override = std::move(root);
}

bool is_drive_path(std::string_view text) {
    return text.size() >= k_drive_prefix_length && is_ascii_letter(text[0]) && text[1] == ':' &&
           is_separator(text[2]);
}

MappedPath map_path(std::string_view text) {
    if (!is_drive_path(text)) {
        return {std::filesystem::path(text), true};
    }
    const std::filesystem::path root = drive_root();
    const std::filesystem::path drive = root / std::string(1, upper_letter(text[0]));

    std::filesystem::path mapped = drive;
    for (const std::string_view component : drive_components(text)) {
        mapped /= std::filesystem::path(component);
    }
    const bool ready = !root.empty() && ensure_private_directory(root) && ensure_private_directory(drive);
    return {std::move(mapped), ready};
}

std::filesystem::path native_path(std::string_view text) {
    return map_path(text).path;
}

bool ensure_private_directory(const std::filesystem::path& directory) {
    std::filesystem::path target = directory.lexically_normal();
    // O_NOFOLLOW only guards the last component, and "dir/" has an empty last component.
    if (!target.has_filename() && target.has_parent_path()) {
        target = target.parent_path();
    }
    if (target.empty()) {
        return false;
    }
    if (!make_parents(target.parent_path())) {
        return false;
    }
    if (::mkdir(target.c_str(), k_private_directory_mode) != 0 && errno != EEXIST) {
        return false;
    }
    // Check and fix through one descriptor so the directory cannot be swapped for a link between the
    // check and the chmod.
    const UniqueFd fd = open_folder_at(AT_FDCWD, target.c_str());
    return fd && make_private(fd.get());
}

}  // namespace velmora::platform
