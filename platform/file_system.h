// File and directory operations the Windows-style code uses, over drive paths or native paths.
//
// These stand in for the Windows file functions that the system calls with its own fixed names.
// Every function accepts a drive path ("D:\tmp\script-kv.cfg") or a native path. A drive path is
// reached from the checked drive root one component at a time, never through a symbolic link
// (drive_path.h: open_drive_location), so what was checked is what is used; a drive whose folders
// cannot be made private, or a link at any component, fails the call. A native path is used as it
// is, and files are created there without following a link in the last component. No function
// throws.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>

namespace velmora::platform {

// Creates one directory (its parent must exist). False when it already exists or cannot be made.
// Directories under the drive root are created for this user alone (0700).
bool create_directory(std::string_view path);

// Removes an empty directory; false otherwise.
bool remove_directory(std::string_view path);

// Deletes a file (not a directory); false when there was nothing to delete or it failed.
bool delete_file(std::string_view path);

// Linux has no hidden attribute; the closest harmless thing is to keep the file from other users
// (0600, or 0700 for a directory). Returns whether that happened; callers may ignore it. Links are
// not followed.
bool set_hidden(std::string_view path);

// fopen() over drive paths. "w" and "a" modes create files without following a final symbolic
// link, mode 0600 under the drive root and 0666 less the umask elsewhere; "r" modes open as fopen
// does, but never through a link under a drive. Every descriptor is close-on-exec. Returns nullptr
// on failure, with errno set.
std::FILE* open_file(std::string_view path, const char* mode);

// Closes its file when it goes out of scope.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Directory of the running executable; empty when it cannot be found.
std::filesystem::path executable_dir();

}  // namespace velmora::platform
