#include "tools/velmora-image/private_drive_root.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "platform/drive_path.h"
#include "platform/signal_cleanup.h"

namespace velmora::image_tool {
namespace {

constexpr mode_t k_named_folder_mode = 0700;
constexpr mode_t k_group_other_write = S_IWGRP | S_IWOTH;
constexpr uid_t k_root_uid = 0;

std::filesystem::path base_folder(bool& named_by_user) {
    if (const char* chosen = std::getenv("VELMORA_DRIVE_ROOT"); chosen != nullptr && *chosen != '\0') {
        named_by_user = true;
        return chosen;
    }
    named_by_user = false;
    const char* tmp = std::getenv("TMPDIR");
    return (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
}

// Why a folder is no safe place for our own, or empty when it is. Others may share it, as they share
// /tmp, as long as none of them can rename or replace what we make there.
std::string unsafe_because(const std::filesystem::path& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        return std::strerror(errno);
    }
    if (!S_ISDIR(info.st_mode)) {
        return "it is not a folder";
    }
    if (info.st_uid != ::geteuid() && info.st_uid != k_root_uid) {
        return "it belongs to another user";
    }
    if ((info.st_mode & k_group_other_write) != 0 && (info.st_mode & S_ISVTX) == 0) {
        return "others may write to it and it has no sticky bit";
    }
    return {};
}

}  // namespace

PrivateDriveRoot::PrivateDriveRoot() {
    bool named_by_user = false;
    const std::filesystem::path base = base_folder(named_by_user);
    if (named_by_user && ::mkdir(base.c_str(), k_named_folder_mode) != 0 && errno != EEXIST) {
        error_ = "cannot make a private drive folder in " + base.string() + ": " + std::strerror(errno);
        return;
    }
    if (std::string reason = unsafe_because(base); !reason.empty()) {
        error_ = "cannot make a private drive folder in " + base.string() + ": " + reason;
        return;
    }
    std::string pattern = (base / "velmora-drives.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        error_ = "cannot make a private drive folder in " + base.string() + ": " + std::strerror(errno);
        return;
    }
    created_ = pattern;
    platform::SignalCleanup::add(created_, platform::CleanupKind::tree);
    platform::set_drive_root(created_);
}

PrivateDriveRoot::~PrivateDriveRoot() {
    if (created_.empty()) {
        return;
    }
    platform::set_drive_root({});
    std::error_code ignored;
    std::filesystem::remove_all(created_, ignored);
    platform::SignalCleanup::remove(created_);
}

}  // namespace velmora::image_tool
