// The one place that knows where Windows-style drive paths ("D:\tmp\script-kv.cfg") live on Linux.
//
// Drive letter X maps to <root>/X, where <root> is, in this order: the root given to
// set_drive_root(), $VELMORA_DRIVE_ROOT/velmora-drives-<uid> when $VELMORA_DRIVE_ROOT is set and
// non-empty (a folder of ours inside the user's, whose mode is never touched),
// $XDG_RUNTIME_DIR/velmora/drives, or $HOME/.cache/velmora/drives. Backslashes and slashes both
// separate components.
//
// Only the system's own fixed names ("D:\tmp\script-kv.cfg") are drive paths to map; a path that a
// user gives (command line, file dialog) is used as it is, even when it reads "c:/x", so loaders and
// writers of user files never call these functions.
//
// Callers may rely on:
// - Letters are folded to upper case ("d:\tmp" and "D:\tmp" are the same file, as on Windows).
// - ".." never climbs above <root>/X, so a mapped path always stays inside its drive.
// - Text that is not a drive path is returned unchanged, so native paths can be passed anywhere a
//   drive path is accepted.
// - Mapping a drive path makes <root> and <root>/X exist as directories of this user alone (0700)
//   before anything is created under them; map_path() says whether that succeeded, and the file
//   operations refuse to create anything under a drive whose directories are not private.
// - All functions are thread-safe.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace velmora::platform {

// The directory that holds one sub-directory per drive letter.
std::filesystem::path drive_root();

// Overrides the drive root for this process; an empty path returns to the environment's choice.
// The command-line tools give each run a private root, the tests one per test.
void set_drive_root(std::filesystem::path root);

// True for "X:\..." and "X:/..." with any ASCII letter X.
bool is_drive_path(std::string_view text);

struct MappedPath {
    std::filesystem::path path;
    // False only for a drive path whose root or drive directory could not be made private; nothing
    // may be created under `path` then.
    bool ready = true;
};

MappedPath map_path(std::string_view text);

// map_path(text).path: the native path for a drive path, any other text unchanged.
std::filesystem::path native_path(std::string_view text);

// A drive path opened for use: the folder that holds its last component, reached from the checked
// root one component at a time without following a symbolic link, and that component's name (empty
// for the drive itself, "D:\"). Root and drive folder are created when missing and must be this
// user's and private (0700); a link or someone else's folder at any component refuses the path.
struct DriveLocation {
    UniqueFd folder;
    std::string name;
};

// Nothing for text that is not a drive path or a drive path that cannot be reached safely.
std::optional<DriveLocation> open_drive_location(std::string_view text);

// Creates `directory` (and missing parents, with mode 0700) and makes sure it is a real directory
// owned by this user with no group or other permissions. Refuses (false) a symbolic link, a
// non-directory, or a directory owned by someone else; tightens the mode of our own directory.
bool ensure_private_directory(const std::filesystem::path& directory);

}  // namespace velmora::platform
