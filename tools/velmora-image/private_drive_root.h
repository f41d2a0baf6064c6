// Gives one run of a command-line tool a drive root of its own.
//
// The key script is unpacked under the fixed name "D:\tmp\script-kv.cfg". Production lines run many
// tools side by side, so unless the user chose a root ($VELMORA_DRIVE_ROOT), each run maps the drives
// into a fresh private directory (mode 0700) and removes it when it ends.
#pragma once

#include <filesystem>

namespace velmora::image_tool {

class PrivateDriveRoot {
public:
    PrivateDriveRoot();
    ~PrivateDriveRoot();
    PrivateDriveRoot(const PrivateDriveRoot&) = delete;
    PrivateDriveRoot& operator=(const PrivateDriveRoot&) = delete;

private:
    std::filesystem::path created_;  // empty when the user's root is kept
};

}  // namespace velmora::image_tool
