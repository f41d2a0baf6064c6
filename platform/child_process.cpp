#include "platform/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/drive_path.h"

extern char** environ;

namespace velmora::platform {
namespace {

constexpr std::string_view k_windows_program_suffix = ".exe";
// Shells report a death by signal N as status 128 + N; we do the same.
constexpr int k_signal_status_base = 128;
// The lowest descriptor that is not a standard stream.
constexpr int k_first_free_fd = 3;

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

bool ends_with_ignoring_case(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    const std::string_view tail = text.substr(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const char lower =
            (tail[i] >= 'A' && tail[i] <= 'Z') ? static_cast<char>(tail[i] - 'A' + 'a') : tail[i];
        if (lower != suffix[i]) {
            return false;
        }
    }
    return true;
}

bool is_executable_file(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
}

std::string search_path_value() {
    if (const char* path = std::getenv("PATH"); path != nullptr) {
        return path;
    }
    const std::size_t length = ::confstr(_CS_PATH, nullptr, 0);
    if (length == 0) {
        return "/bin:/usr/bin";
    }
    std::string value(length, '\0');
    ::confstr(_CS_PATH, value.data(), length);
    value.resize(length - 1);
    return value;
}

std::optional<std::filesystem::path> search(std::string_view name) {
    if (name.empty()) {
        return std::nullopt;
    }
    if (name.find('/') != std::string_view::npos) {
        const std::filesystem::path path(name);
        return is_executable_file(path) ? std::optional(path) : std::nullopt;
    }
    const std::string path_value = search_path_value();
    std::size_t start = 0;
    while (start <= path_value.size()) {
        std::size_t end = path_value.find(':', start);
        if (end == std::string::npos) {
            end = path_value.size();
        }
        const std::string directory = path_value.substr(start, end - start);
        const std::filesystem::path candidate =
            std::filesystem::path(directory.empty() ? "." : directory) / name;
        if (is_executable_file(candidate)) {
            return candidate;
        }
        start = end + 1;
    }
    return std::nullopt;
}

// The file that runs for `name`, after the PATH search and the ".exe" fallback.
std::optional<std::filesystem::path> find_program(std::string_view name) {
    if (auto found = search(name)) {
        return found;
    }
    if (ends_with_ignoring_case(name, k_windows_program_suffix)) {
        return search(name.substr(0, name.size() - k_windows_program_suffix.size()));
    }
    return std::nullopt;
}

// The child's standard streams are set up with dup2 onto 0, 1 and 2; a pipe end that itself sits on
// one of those numbers (when our own stdin was closed) would be overwritten before it is used.
bool move_above_standard_streams(UniqueFd& fd) {
    if (fd.get() >= k_first_free_fd) {
        return true;
    }
    const int moved = ::fcntl(fd.get(), F_DUPFD_CLOEXEC, k_first_free_fd);
    if (moved < 0) {
        return false;
    }
    fd.reset(moved);
    return true;
}

bool make_pipe(UniqueFd& read_end, UniqueFd& write_end) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return false;
    }
    read_end.reset(ends[0]);
    write_end.reset(ends[1]);
    return move_above_standard_streams(read_end) && move_above_standard_streams(write_end);
}

std::optional<int> decode(const siginfo_t& info) {
    switch (info.si_code) {
        case CLD_EXITED:
            return info.si_status;
        case CLD_KILLED:
        case CLD_DUMPED:
            return k_signal_status_base + info.si_status;
        default:
            return std::nullopt;
    }
}

// Owns the posix_spawn attribute objects for one start.
class SpawnSetup {
public:
    SpawnSetup() {
        ok_ = ::posix_spawn_file_actions_init(&actions_) == 0;
        ok_ = ::posix_spawnattr_init(&attributes_) == 0 && ok_;
    }
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions_);
        ::posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool configure(int input, int output, int error) {
        if (!ok_) {
            return false;
        }
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        sigdelset(&all, SIGKILL);
        sigdelset(&all, SIGSTOP);
        // The host may ignore SIGPIPE or block signals in this thread; the child must not inherit that.
        const short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP;
        bool ok = ::posix_spawnattr_setflags(&attributes_, flags) == 0 &&
                  ::posix_spawnattr_setsigmask(&attributes_, &none) == 0 &&
                  ::posix_spawnattr_setsigdefault(&attributes_, &all) == 0 &&
                  ::posix_spawnattr_setpgroup(&attributes_, 0) == 0 &&
                  ::posix_spawn_file_actions_adddup2(&actions_, input, STDIN_FILENO) == 0 &&
                  ::posix_spawn_file_actions_adddup2(&actions_, output, STDOUT_FILENO) == 0 &&
                  ::posix_spawn_file_actions_adddup2(&actions_, error, STDERR_FILENO) == 0;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        // Descriptors that someone else opened without close-on-exec must not leak into the child.
        ok = ok && ::posix_spawn_file_actions_addclosefrom_np(&actions_, k_first_free_fd) == 0;
#endif
        return ok;
    }

    const posix_spawn_file_actions_t* actions() const {
        return &actions_;
    }
    const posix_spawnattr_t* attributes() const {
        return &attributes_;
    }

private:
    posix_spawn_file_actions_t actions_{};
    posix_spawnattr_t attributes_{};
    bool ok_ = false;
};

}  // namespace

ChildProcess::~ChildProcess() {
    reset();
}

std::vector<std::string> ChildProcess::split_command_line(std::string_view line) {
    std::vector<std::string> arguments;
    std::string current;
    bool in_argument = false;
    bool quoted = false;
    for (const char c : line) {
        if (c == '"') {
            quoted = !quoted;
            in_argument = true;
        } else if (!quoted && is_blank(c)) {
            if (in_argument) {
                arguments.push_back(std::move(current));
                current.clear();
                in_argument = false;
            }
        } else {
            current += c;
            in_argument = true;
        }
    }
    if (in_argument) {
        arguments.push_back(std::move(current));
    }
    return arguments;
}

bool ChildProcess::start(std::string_view command_line) {
    return start(split_command_line(command_line));
}

bool ChildProcess::start(const std::vector<std::string>& arguments) {
    reset();
    start_error_ = 0;
    if (arguments.empty()) {
        start_error_ = EINVAL;
        return false;
    }
    // Find the program before mapping the arguments: a start that cannot happen creates no drive.
    const std::string& name = arguments.front();
    const std::optional<std::filesystem::path> program =
        find_program(is_drive_path(name) ? native_path(name).string() : name);
    if (!program) {
        start_error_ = ENOENT;
        return false;
    }
    std::vector<std::string> mapped;
    mapped.reserve(arguments.size());
    for (const std::string& argument : arguments) {
        mapped.push_back(is_drive_path(argument) ? native_path(argument).string() : argument);
    }
    // The child sees the name it really runs under ("gzip", not "gzip.exe"): some programs choose
    // their behaviour by it.
    if (mapped.front().find('/') == std::string::npos) {
        mapped.front() = program->filename().string();
    } else {
        mapped.front() = program->string();
    }

    UniqueFd child_input;
    UniqueFd child_output;
    UniqueFd child_error;
    UniqueFd input;
    UniqueFd output;
    UniqueFd error;
    if (!make_pipe(child_input, input) || !make_pipe(output, child_output) ||
        !make_pipe(error, child_error)) {
        start_error_ = errno;
        return false;
    }
    SpawnSetup setup;
    if (!setup.configure(child_input.get(), child_output.get(), child_error.get())) {
        start_error_ = ENOMEM;
        return false;
    }
    std::vector<char*> argv;
    argv.reserve(mapped.size() + 1);
    for (std::string& argument : mapped) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int result =
        ::posix_spawn(&pid, program->c_str(), setup.actions(), setup.attributes(), argv.data(), environ);
    if (result != 0) {
        start_error_ = result;
        return false;
    }
    // child_input, child_output and child_error close here: only the child holds them now.
    std::lock_guard lock(mutex_);
    pid_ = pid;
    ended_ = false;
    reaped_ = false;
    exit_code_.reset();
    input_ = std::move(input);
    output_ = std::move(output);
    error_ = std::move(error);
    return true;
}

void ChildProcess::close_pipes() {
    input_.reset();
    output_.reset();
    error_.reset();
}

bool ChildProcess::peek_locked() {
    if (pid_ <= 0 || ended_) {
        return true;
    }
    siginfo_t info{};
    for (;;) {
        if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0) {
            if (info.si_pid == pid_) {
                ended_ = true;
                exit_code_ = decode(info);
            }
            return ended_;
        }
        if (errno != EINTR) {
            // ECHILD: someone reaped it behind our back (SIGCHLD ignored); it has certainly ended.
            ended_ = true;
            return true;
        }
    }
}

bool ChildProcess::has_exited() {
    std::lock_guard lock(mutex_);
    return peek_locked();
}

std::optional<int> ChildProcess::wait() {
    pid_t pid = -1;
    {
        std::lock_guard lock(mutex_);
        if (pid_ <= 0 || reaped_) {
            return exit_code_;
        }
        pid = pid_;
    }
    // Block without the lock and without reaping, so other threads can still peek meanwhile.
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    std::lock_guard lock(mutex_);
    peek_locked();
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    return exit_code_;
}

void ChildProcess::kill_and_reap() {
    {
        std::lock_guard lock(mutex_);
        if (pid_ <= 0 || reaped_) {
            return;
        }
        // Not yet reaped, so neither the pid nor the group id can have been reused. The group goes
        // even when the child has ended: what it started in the background would otherwise hold our
        // pipes open.
        ::kill(-pid_, SIGKILL);
        if (!peek_locked()) {
            ::kill(pid_, SIGKILL);
        }
    }
    // SIGKILL cannot be caught or ignored: the wait ends as soon as the kernel has torn it down.
    wait();
}

void ChildProcess::reset() {
    close_pipes();
    kill_and_reap();
    std::lock_guard lock(mutex_);
    pid_ = -1;
    ended_ = false;
    reaped_ = false;
    exit_code_.reset();
}

}  // namespace velmora::platform
