// Test support: a private temporary directory used as the drive root for one test, so tests never
// touch the user's real drives and can run in parallel. Removed again, with everything in it.
#pragma once

#include <filesystem>

#include "platform/drive_path.h"
#include "tests/support/temp_directory.h"

namespace velmora::testing {

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
