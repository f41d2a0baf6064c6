// Removes what a process made for itself (temporary files, private folders) when SIGINT, SIGTERM or
// SIGHUP ends it, so an interrupted run leaves nothing behind.
//
// What callers may rely on:
// - add() records a path in a fixed-size static table and remove() forgets it again; both are
//   thread-safe and never allocate in a way the handler could see half done. A full table makes
//   add() return false (the path is then simply not cleaned up on a signal).
// - Once install() has run, the first of those signals removes every recorded path (files first,
//   then whole trees, then empty folders), restores the signal's default action and raises it again,
//   so the process still ends as the signal asks (status 128 + signal to a shell). The handler uses
//   only async-signal-safe calls and never follows a symbolic link inside a tree it removes.
// - Without install() the table is kept but nothing happens on a signal.
// - A test can stop the process right after a path is recorded: when $VELMORA_STOP_AT_REGISTRATION
//   is set and the recorded path's last component contains its text, add() raises SIGSTOP, so the
//   test can send a signal at the moment that path exists without guessing at timing.
#pragma once

#include <filesystem>

namespace velmora::platform {

enum class CleanupKind {
    file,       // unlinked
    directory,  // removed when empty
    tree,       // removed with everything in it
};

class SignalCleanup {
public:
    // Longest path the table holds, terminating zero included.
    static constexpr std::size_t k_path_capacity = 4096;
    // How many paths may be recorded at once.
    static constexpr std::size_t k_slot_count = 32;

    // Sets the handler for SIGINT, SIGTERM and SIGHUP. A signal that the process ignores (a run
    // started with nohup, say) stays ignored.
    static void install();

    static bool add(const std::filesystem::path& path, CleanupKind kind);
    // Forgets one recording of `path`; false when none was found.
    static bool remove(const std::filesystem::path& path);

    // What the handler does, without the signal: removes every recorded path and forgets it.
    static void run_now();
};

}  // namespace velmora::platform
