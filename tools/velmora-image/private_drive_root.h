// Gives one run of a command-line tool a drive root of its own.
//
// The key script is unpacked under the fixed name "D:\tmp\script-kv.cfg". Production lines run many
// tools side by side, so each run maps the drives into a fresh folder of its own (mode 0700), made
// inside $VELMORA_DRIVE_ROOT when the user names one, else inside $TMPDIR (or /tmp), and removed with
// everything in it when the run ends, or when SIGINT, SIGTERM or SIGHUP ends it (signal_cleanup.h).
//
// What callers may rely on:
// - Two runs never share a folder, whatever the environment says.
// - The folder the user named is never changed: only a missing one is created (0700). One that
//   another user could tamper with (writable by others without the sticky bit, or owned by another
//   user who is not root) is refused.
// - When no folder can be made, error() says so, naming the folder and the reason, and the drive
//   root is left unset for the caller to stop before anything unpacks the key script.
#pragma once

#include <filesystem>
#include <string>

namespace velmora::image_tool {

class PrivateDriveRoot {
public:
    PrivateDriveRoot();
    ~PrivateDriveRoot();
    PrivateDriveRoot(const PrivateDriveRoot&) = delete;
    PrivateDriveRoot& operator=(const PrivateDriveRoot&) = delete;

    // The run's folder; empty when none could be made.
    const std::filesystem::path& path() const { return created_; }
    // Empty when the run has its folder; else "cannot make a private drive folder in <folder>: <why>".
    const std::string& error() const { return error_; }

private:
    std::filesystem::path created_;
    std::string error_;
};

}  // namespace velmora::image_tool
