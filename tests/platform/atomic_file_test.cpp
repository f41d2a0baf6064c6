#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file_system_calls.h"
#include "platform/regular_file.h"
#include "tests/platform/temp_drive_root.h"

namespace velmora::platform {
namespace {

using testing::TempDirectory;

constexpr mode_t k_permission_bits = 07777;

std::span<const std::uint8_t> bytes_of(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string read_all(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_text(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

mode_t mode_of(const std::filesystem::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & k_permission_bits;
}

std::vector<std::string> names_in(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(old_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t old_;
};

// What an injected fault does to one system call.
enum class Effect {
    fail,         // -1 with the fault's errno
    half,         // a write that takes only half of the bytes, as a nearly full disk does
    no_progress,  // a write that returns 0
};

struct Fault {
    std::string call;
    int occurrence;  // 1 for the first call of that name
    Effect effect = Effect::fail;
    int error = EIO;
};

// The real calls, with a log of every call by name and the given faults injected.
class ScriptedCalls : public FileSystemCalls {
public:
    explicit ScriptedCalls(std::vector<Fault> faults = {}) : faults_(std::move(faults)) {}

    std::vector<std::string> log;
    int faults_fired = 0;

    int open(const char* path, int flags, mode_t mode) override {
        if (const auto faked = inject("open")) {
            return static_cast<int>(*faked);
        }
        return FileSystemCalls::open(path, flags, mode);
    }
    int fchmod(int fd, mode_t mode) override {
        if (const auto faked = inject("fchmod")) {
            return static_cast<int>(*faked);
        }
        return FileSystemCalls::fchmod(fd, mode);
    }
    ssize_t pread(int fd, void* buffer, std::size_t count, off_t offset) override {
        if (const auto faked = inject("pread")) {
            return *faked;
        }
        return FileSystemCalls::pread(fd, buffer, count, offset);
    }
    ssize_t write(int fd, const void* buffer, std::size_t count) override {
        if (const auto faked = inject("write", &count)) {
            return *faked;
        }
        return FileSystemCalls::write(fd, buffer, count);
    }
    ssize_t pwrite(int fd, const void* buffer, std::size_t count, off_t offset) override {
        if (const auto faked = inject("pwrite", &count)) {
            return *faked;
        }
        return FileSystemCalls::pwrite(fd, buffer, count, offset);
    }
    ssize_t copy_file_range(int in, off_t* in_offset, int out, std::size_t count) override {
        if (const auto faked = inject("copy_file_range", &count)) {
            return *faked;
        }
        return FileSystemCalls::copy_file_range(in, in_offset, out, count);
    }
    int fsync(int fd) override {
        if (const auto faked = inject("fsync")) {
            return static_cast<int>(*faked);
        }
        return FileSystemCalls::fsync(fd);
    }
    int close(int fd) override {
        // The descriptor is gone even when close() reports an error.
        const int result = FileSystemCalls::close(fd);
        const auto faked = inject("close");
        return faked ? static_cast<int>(*faked) : result;
    }
    int rename(const char* from, const char* to) override {
        if (const auto faked = inject("rename")) {
            return static_cast<int>(*faked);
        }
        return FileSystemCalls::rename(from, to);
    }
    int unlink(const char* path) override {
        if (const auto faked = inject("unlink")) {
            return static_cast<int>(*faked);
        }
        return FileSystemCalls::unlink(path);
    }

private:
    // The faked result, or none to make the real call (with `count` halved for Effect::half).
    std::optional<ssize_t> inject(const std::string& name, std::size_t* count = nullptr) {
        log.push_back(name);
        const int occurrence = ++seen_[name];
        for (const Fault& fault : faults_) {
            if (fault.call != name || fault.occurrence != occurrence) {
                continue;
            }
            ++faults_fired;
            switch (fault.effect) {
                case Effect::fail:
                    errno = fault.error;
                    return -1;
                case Effect::no_progress:
                    return 0;
                case Effect::half:
                    if (count != nullptr) {
                        *count /= 2;
                    }
                    return std::nullopt;
            }
        }
        return std::nullopt;
    }

    std::vector<Fault> faults_;
    std::map<std::string, int> seen_;
};

class AtomicFileTest : public ::testing::Test {
protected:
    TempDirectory directory;
    std::filesystem::path target = directory.path() / "out.bin";
};

TEST_F(AtomicFileTest, NewTargetGetsTheContentAndTheUsualMode) {
    const ScopedUmask mask(027);
    EXPECT_TRUE(write_file_atomically(target, bytes_of("new image")));
    EXPECT_EQ(read_all(target), "new image");
    EXPECT_EQ(mode_of(target), 0640u);
    EXPECT_EQ(names_in(directory.path()), std::vector<std::string>{"out.bin"});
}

TEST_F(AtomicFileTest, ReplacingKeepsTheTargetsModeAndLeavesNoTemporaryFile) {
    write_text(target, "old content that is longer than the new one");
    ASSERT_EQ(::chmod(target.c_str(), 0604), 0);

    AtomicFileWriter writer;
    ASSERT_TRUE(writer.open(target));
    EXPECT_TRUE(writer.write(bytes_of("new ")));
    EXPECT_TRUE(writer.write(bytes_of("bytes")));
    EXPECT_EQ(read_all(target), "old content that is longer than the new one") << "untouched until commit";
    EXPECT_TRUE(writer.commit());

    EXPECT_EQ(read_all(target), "new bytes");
    EXPECT_EQ(mode_of(target), 0604u);
    EXPECT_EQ(names_in(directory.path()), std::vector<std::string>{"out.bin"});
}

// The temporary name must not grow with the target's: a name the file system takes (up to 255
// bytes) is one we can replace, and the replaced file's permission bits stay.
TEST_F(AtomicFileTest, AnyNameTheFileSystemTakesIsReplacedWithItsMode) {
    struct Case {
        std::size_t name_length;
        mode_t mode;
    };
    for (const Case c : {Case{1, 0640}, Case{237, 0600}, Case{238, 0640}, Case{250, 0640}, Case{255, 0604}}) {
        SCOPED_TRACE(c.name_length);
        const std::filesystem::path path = directory.path() / std::string(c.name_length, 'n');
        write_text(path, "old");
        ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        EXPECT_TRUE(write_file_atomically(path, bytes_of("new")));
        EXPECT_EQ(read_all(path), "new");
        EXPECT_EQ(mode_of(path), c.mode);
        EXPECT_EQ(names_in(directory.path()), std::vector<std::string>{path.filename().string()});
        std::filesystem::remove(path);
    }
}

// As root, replacing another user's file must not hand it to root: its owner could no longer read
// it with a mode such as 0600.
TEST_F(AtomicFileTest, ReplacingKeepsTheOwnerWhereWeMayGiveIt) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root may give a file to another user";
    }
    constexpr uid_t k_other_user = 65534;  // nobody
    constexpr gid_t k_other_group = 65534;
    write_text(target, "theirs");
    ASSERT_EQ(::chown(target.c_str(), k_other_user, k_other_group), 0);
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    EXPECT_TRUE(write_file_atomically(target, bytes_of("new")));
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, k_other_user);
    EXPECT_EQ(info.st_gid, k_other_group);
    EXPECT_EQ(info.st_mode & k_permission_bits, 0600u);
    EXPECT_EQ(read_all(target), "new");
}

TEST_F(AtomicFileTest, LargeContentArrivesWhole) {
    std::string big(3 * 1024 * 1024 + 7, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 31 + 7);
    }
    EXPECT_TRUE(write_file_atomically(target, bytes_of(big)));
    EXPECT_EQ(read_all(target), big);
}

TEST_F(AtomicFileTest, UncommittedWriterLeavesTargetAsItWas) {
    write_text(target, "keep me");
    {
        AtomicFileWriter writer;
        ASSERT_TRUE(writer.open(target));
        ASSERT_TRUE(writer.write(bytes_of("half")));
        EXPECT_TRUE(std::filesystem::exists(writer.temporary_path()));
    }
    AtomicFileWriter discarded;
    ASSERT_TRUE(discarded.open(target));
    discarded.discard();
    EXPECT_FALSE(discarded.commit());

    EXPECT_EQ(read_all(target), "keep me");
    EXPECT_EQ(names_in(directory.path()), std::vector<std::string>{"out.bin"});
}

TEST_F(AtomicFileTest, RefusesTargetsItCannotReplace) {
    std::filesystem::create_directory(directory.path() / "a_directory");
    write_text(directory.path() / "plain", "x");
    std::filesystem::create_symlink(directory.path() / "nowhere", directory.path() / "dangling");
    ASSERT_EQ(::mkfifo((directory.path() / "fifo").c_str(), 0600), 0);
    const std::filesystem::path refused[] = {
        directory.path() / "fifo",        directory.path() / "missing" / "out.bin",
        directory.path() / "a_directory", directory.path() / "plain" / "out.bin",
        directory.path() / "dangling",    directory.path() / "",
    };
    for (const auto& path : refused) {
        AtomicFileWriter writer;
        EXPECT_FALSE(writer.open(path)) << path;
        EXPECT_FALSE(writer.write(bytes_of("x"))) << path;
        EXPECT_FALSE(writer.commit()) << path;
    }
    EXPECT_FALSE(std::filesystem::exists(directory.path() / "nowhere"));
    EXPECT_EQ(names_in(directory.path()),
              (std::vector<std::string>{"a_directory", "dangling", "fifo", "plain"}));
}

TEST_F(AtomicFileTest, RefusesWhatThePermissionsForbid) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may write whatever the permissions say";
    }
    write_text(target, "read only");
    ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
    EXPECT_FALSE(write_file_atomically(target, bytes_of("new")));
    EXPECT_EQ(read_all(target), "read only");

    const auto locked = directory.path() / "locked";
    std::filesystem::create_directory(locked);
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    EXPECT_FALSE(write_file_atomically(locked / "out.bin", bytes_of("new")));
    EXPECT_TRUE(std::filesystem::is_empty(locked));
}

TEST_F(AtomicFileTest, FailedWriteLeavesTargetUntouchedAndNoTemporaryFile) {
    write_text(target, "the old image");
    // A file size limit makes write() fail with EFBIG for every user, root included.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction old_action {};
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &old_action), 0);
    rlimit old_limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    rlimit small = old_limit;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

    AtomicFileWriter writer;
    const bool opened = writer.open(target);
    const bool written = writer.write(bytes_of(std::string(10000, 'x')));
    const bool committed = writer.commit();

    ::setrlimit(RLIMIT_FSIZE, &old_limit);
    ::sigaction(SIGXFSZ, &old_action, nullptr);
    EXPECT_TRUE(opened);
    EXPECT_FALSE(written);
    EXPECT_FALSE(committed);
    EXPECT_EQ(read_all(target), "the old image");
    EXPECT_EQ(names_in(directory.path()), std::vector<std::string>{"out.bin"});
}

// How a case puts the new bytes into the writer.
enum class Fill {
    write,           // write() of the whole image
    copy_and_patch,  // copy_from() a source file, then write_at() over part of it
    copy_too_much,   // copy_from() more bytes than the source file holds
};

struct FaultCase {
    const char* name;
    std::vector<Fault> faults;
    Fill fill = Fill::write;
    Durability durability = Durability::synced;
};

class AtomicFileFaultTest : public AtomicFileTest {
protected:
    // Runs one writer through the case's faults; true when its commit reported success.
    bool run(const FaultCase& c, ScriptedCalls& calls) {
        const FileSystemCalls::ScopedOverride scoped(calls);
        AtomicFileWriter writer;
        if (!writer.open(target)) {
            return false;
        }
        bool filled = false;
        if (c.fill == Fill::write) {
            filled = writer.write(bytes_of(new_bytes));
        } else {
            const std::size_t length = new_bytes.size() + (c.fill == Fill::copy_too_much ? 1 : 0);
            filled = writer.copy_from(source_fd.get(), length) && writer.write_at(0, bytes_of("NEW"));
        }
        const bool committed = writer.commit(c.durability);
        EXPECT_FALSE(committed && !filled) << "a commit after a failed fill";
        return committed;
    }

    void SetUp() override {
        write_text(source.path() / "source.bin", new_bytes);
        source_fd = open_regular_file(source.path() / "source.bin").fd;
        ASSERT_TRUE(source_fd);
    }

    TempDirectory source;
    const std::string new_bytes = "the new image, written whole or not at all";
    UniqueFd source_fd;
};

// Every call the writer makes that can fail before the rename must leave the target as it was, no
// temporary file behind, and a failure for Generate to report ("Save Data Failed!!").
TEST_F(AtomicFileFaultTest, AFailureBeforeTheRenameNeverReplacesTheTarget) {
    const std::vector<FaultCase> cases{
        {"the temporary file cannot be created", {{"open", 1, Effect::fail, EACCES}}},
        {"the target's mode cannot be copied", {{"fchmod", 1, Effect::fail, EPERM}}},
        {"write fails", {{"write", 1}}},
        {"a short write, then the disk is full",
         {{"write", 1, Effect::half}, {"write", 2, Effect::fail, ENOSPC}}},
        {"a write that makes no progress", {{"write", 1, Effect::no_progress}}},
        {"the flush fails", {{"fsync", 1}}},
        {"close reports a lost write", {{"close", 1}}},
        {"the rename is refused", {{"rename", 1, Effect::fail, EXDEV}}},
        {"the rename is refused without a flush",
         {{"rename", 1, Effect::fail, EACCES}},
         Fill::write,
         Durability::renamed},
        {"close fails without a flush", {{"close", 1}}, Fill::write, Durability::renamed},
        {"the source is shorter than the copy", {}, Fill::copy_too_much},
        {"the kernel copy fails", {{"copy_file_range", 1}}, Fill::copy_and_patch},
        {"the kernel copy stops short",
         {{"copy_file_range", 1, Effect::half}, {"copy_file_range", 2, Effect::no_progress}},
         Fill::copy_and_patch},
        {"the buffered copy's read fails",
         {{"copy_file_range", 1, Effect::fail, EXDEV}, {"pread", 1}},
         Fill::copy_and_patch},
        {"the buffered copy's write fails",
         {{"copy_file_range", 1, Effect::fail, EXDEV}, {"write", 1, Effect::fail, ENOSPC}},
         Fill::copy_and_patch},
        {"the patch fails", {{"pwrite", 1, Effect::fail, ENOSPC}}, Fill::copy_and_patch},
        {"the flush after a copy fails", {{"fsync", 1}}, Fill::copy_and_patch},
    };
    for (const bool target_exists : {true, false}) {
        for (const FaultCase& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (target_exists ? ", target exists" : ", new target"));
            std::filesystem::remove(target);
            if (target_exists) {
                write_text(target, "the old image");
            }
            ScriptedCalls calls(c.faults);
            const bool reported_success = run(c, calls);
            if (!target_exists && calls.faults_fired == 0) {
                continue;  // a call only made for an existing target (fchmod)
            }
            EXPECT_EQ(calls.faults_fired, static_cast<int>(c.faults.size()));
            EXPECT_FALSE(reported_success);
            if (target_exists) {
                EXPECT_EQ(read_all(target), "the old image");
            } else {
                EXPECT_FALSE(std::filesystem::exists(target));
            }
            EXPECT_EQ(names_in(directory.path()),
                      target_exists ? std::vector<std::string>{"out.bin"} : std::vector<std::string>{});
        }
    }
}

// The copy takes the source by position, inside the kernel or, where the kernel cannot, through a
// buffer: the same bytes either way, and the source's own offset is left where it was.
TEST_F(AtomicFileFaultTest, ACopyTakesTheSourceWholeEitherWay) {
    for (const bool kernel_copy : {true, false}) {
        SCOPED_TRACE(kernel_copy ? "kernel copy" : "buffered copy");
        const std::vector<Fault> faults =
            kernel_copy ? std::vector<Fault>{}
                        : std::vector<Fault>{{"copy_file_range", 1, Effect::fail, EXDEV}};
        ScriptedCalls calls(faults);
        ASSERT_EQ(::lseek(source_fd.get(), 5, SEEK_SET), 5);
        EXPECT_TRUE(run({"a copy", faults, Fill::copy_and_patch}, calls));
        EXPECT_EQ(calls.faults_fired, static_cast<int>(faults.size()));
        EXPECT_EQ(read_all(target), "NEW" + new_bytes.substr(3));
        EXPECT_EQ(::lseek(source_fd.get(), 0, SEEK_CUR), 5);
    }
}

// Only bytes that the disk took without an error may replace the target, so the flush and the close
// come before the rename; the directory is synced after it so that the rename itself lasts.
TEST_F(AtomicFileFaultTest, TheCallsComeInTheOrderThatKeepsTheTargetSafe) {
    struct OrderCase {
        Durability durability;
        std::vector<std::string> calls;
    };
    const OrderCase cases[] = {
        {Durability::synced, {"open", "fchmod", "write", "fsync", "close", "rename", "open", "fsync"}},
        {Durability::renamed, {"open", "fchmod", "write", "close", "rename"}},
    };
    for (const OrderCase& c : cases) {
        write_text(target, "the old image");
        ScriptedCalls calls;
        EXPECT_TRUE(run({"no fault", {}, Fill::write, c.durability}, calls));
        EXPECT_EQ(calls.log, c.calls);
        EXPECT_EQ(read_all(target), new_bytes);
    }
}

// The directory sync comes after the rename, when the new file is already in place: its failure
// cannot bring the old file back, so the save is reported as done.
TEST_F(AtomicFileFaultTest, AFailedDirectorySyncAfterTheRenameKeepsTheNewFile) {
    const std::vector<Fault> faults[] = {{{"open", 2, Effect::fail, EACCES}}, {{"fsync", 2}}};
    for (const std::vector<Fault>& fault : faults) {
        SCOPED_TRACE(fault.front().call);
        write_text(target, "the old image");
        ScriptedCalls calls(fault);
        EXPECT_TRUE(run({"directory sync fails", fault}, calls));
        EXPECT_EQ(calls.faults_fired, 1);
        EXPECT_EQ(read_all(target), new_bytes);
        EXPECT_EQ(names_in(directory.path()), std::vector<std::string>{"out.bin"});
    }
}

TEST_F(AtomicFileTest, ALinkedTargetIsUpdatedThroughTheLink) {
    const auto real = directory.path() / "real.bin";
    write_text(real, "old");
    const auto link = directory.path() / "link.bin";
    std::filesystem::create_symlink(real, link);

    EXPECT_TRUE(write_file_atomically(link, bytes_of("new")));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(read_all(real), "new");
}

}  // namespace
}  // namespace velmora::platform
