// Test support: a private temporary directory used as the drive root for one test, so tests never
// touch the user's real drives and can run in parallel. Removed again, with everything in it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/drive_path.h"

namespace velmora::testing {

class TempDirectory {
public:
    TempDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TempDirectory() {
        std::error_code ignored;
        // Tests may leave read-only or private entries behind; make them removable first.
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            if (!it->is_symlink(ignored)) {
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ignored);
            }
        }
        std::filesystem::remove_all(path_, ignored);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

class TempDriveRoot {
public:
    TempDriveRoot() : root_(directory_.path() / "drives") { platform::set_drive_root(root_); }
    ~TempDriveRoot() { platform::set_drive_root({}); }
    TempDriveRoot(const TempDriveRoot&) = delete;
    TempDriveRoot& operator=(const TempDriveRoot&) = delete;

    // The directory above the root, for files that must lie outside every drive.
    const std::filesystem::path& outside() const { return directory_.path(); }
    const std::filesystem::path& root() const { return root_; }

private:
    TempDirectory directory_;
    std::filesystem::path root_;
};

}  // namespace velmora::testing
