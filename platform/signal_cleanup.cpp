#include "platform/signal_cleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace velmora::platform {
namespace {

enum class SlotState : int { free, writing, ready };

struct Slot {
    std::atomic<SlotState> state{SlotState::free};
    CleanupKind kind = CleanupKind::file;
    std::array<char, SignalCleanup::k_path_capacity> path{};
};

// Static storage: the handler may run before or after any constructor of ours.
std::array<Slot, SignalCleanup::k_slot_count> g_slots;

constexpr std::array<int, 3> k_handled_signals{SIGINT, SIGTERM, SIGHUP};
// Folders nested deeper than this inside a tree are left; ours hold three levels.
constexpr int k_tree_depth_limit = 16;
constexpr std::size_t k_dirent_buffer = 2048;
// Entries removed while a folder is read can make getdents skip others; a few passes catch them.
constexpr int k_tree_passes = 4;

static_assert(std::atomic<SlotState>::is_always_lock_free, "the handler needs lock-free slots");

bool is_dot_or_dot_dot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Removes the entry `name` of the folder `parent`, and everything in it when it is a folder. Only
// async-signal-safe calls: openat, getdents64 through syscall, unlinkat, close.
void remove_entry_at(int parent, const char* name, int depth) {
    if (::unlinkat(parent, name, 0) == 0 || errno == ENOENT) {
        return;
    }
    if (depth >= k_tree_depth_limit) {
        return;
    }
    const int folder = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        return;
    }
    for (int pass = 0; pass < k_tree_passes; ++pass) {
        bool removed_any = false;
        ::lseek(folder, 0, SEEK_SET);
        alignas(8) std::array<char, k_dirent_buffer> buffer{};
        for (;;) {
            const long count = ::syscall(SYS_getdents64, folder, buffer.data(), buffer.size());
            if (count <= 0) {
                break;
            }
            for (long offset = 0; offset < count;) {
                // getdents64 records: inode (8), offset (8), record length (2), type (1), name.
                constexpr std::size_t k_reclen_at = 16;
                constexpr std::size_t k_name_at = 19;
                unsigned short length = 0;
                std::memcpy(&length, buffer.data() + offset + k_reclen_at, sizeof length);
                const char* entry = buffer.data() + offset + k_name_at;
                if (!is_dot_or_dot_dot(entry)) {
                    remove_entry_at(folder, entry, depth + 1);
                    removed_any = true;
                }
                offset += length;
            }
        }
        if (!removed_any) {
            break;
        }
    }
    ::close(folder);
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

void remove_kind(CleanupKind kind) {
    for (Slot& slot : g_slots) {
        if (slot.state.load() != SlotState::ready || slot.kind != kind) {
            continue;
        }
        const char* path = slot.path.data();
        switch (kind) {
            case CleanupKind::file:
                ::unlink(path);
                break;
            case CleanupKind::tree:
                remove_entry_at(AT_FDCWD, path, 0);
                break;
            case CleanupKind::directory:
                ::rmdir(path);
                break;
        }
    }
}

void remove_all_recorded() {
    const int saved_errno = errno;
    remove_kind(CleanupKind::file);
    remove_kind(CleanupKind::tree);
    // Nested folders go innermost first whatever their slots' order: repeat once per slot at most.
    for (std::size_t round = 0; round < g_slots.size(); ++round) {
        remove_kind(CleanupKind::directory);
    }
    errno = saved_errno;
}

void on_signal(int signal_number) {
    remove_all_recorded();
    // The signal is blocked while we run; once we return it is delivered again with its default
    // action, and the process ends as it was asked to.
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    ::sigaction(signal_number, &default_action, nullptr);
    ::raise(signal_number);
}

void stop_if_asked(const std::filesystem::path& path) {
    const char* wanted = std::getenv("VELMORA_STOP_AT_REGISTRATION");
    if (wanted != nullptr && *wanted != '\0' && path.filename().string().find(wanted) != std::string::npos) {
        ::raise(SIGSTOP);
    }
}

}  // namespace

void SignalCleanup::install() {
    for (const int signal_number : k_handled_signals) {
        struct sigaction previous {};
        if (::sigaction(signal_number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = on_signal;
        sigemptyset(&action.sa_mask);
        // One cleanup at a time: the other handled signals wait until this one has ended us.
        for (const int other : k_handled_signals) {
            sigaddset(&action.sa_mask, other);
        }
        ::sigaction(signal_number, &action, nullptr);
    }
}

bool SignalCleanup::add(const std::filesystem::path& path, CleanupKind kind) {
    const std::string& text = path.native();
    if (text.empty() || text.size() >= k_path_capacity) {
        return false;
    }
    for (Slot& slot : g_slots) {
        SlotState expected = SlotState::free;
        if (!slot.state.compare_exchange_strong(expected, SlotState::writing)) {
            continue;
        }
        slot.kind = kind;
        std::memcpy(slot.path.data(), text.c_str(), text.size() + 1);
        slot.state.store(SlotState::ready);
        stop_if_asked(path);
        return true;
    }
    return false;
}

bool SignalCleanup::remove(const std::filesystem::path& path) {
    const std::string& text = path.native();
    for (Slot& slot : g_slots) {
        SlotState expected = SlotState::ready;
        if (slot.state.load() != SlotState::ready || std::strcmp(slot.path.data(), text.c_str()) != 0 ||
            !slot.state.compare_exchange_strong(expected, SlotState::writing)) {
            continue;
        }
        // Another thread may have taken and refilled the slot between the compare and the exchange.
        if (std::strcmp(slot.path.data(), text.c_str()) == 0) {
            slot.state.store(SlotState::free);
            return true;
        }
        slot.state.store(SlotState::ready);
    }
    return false;
}

void SignalCleanup::run_now() {
    remove_all_recorded();
    for (Slot& slot : g_slots) {
        SlotState expected = SlotState::ready;
        slot.state.compare_exchange_strong(expected, SlotState::free);
    }
}

}  // namespace velmora::platform
