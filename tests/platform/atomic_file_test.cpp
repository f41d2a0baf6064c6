#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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
    const std::filesystem::path refused[] = {
        directory.path() / "missing" / "out.bin",
        directory.path() / "a_directory",
        directory.path() / "plain" / "out.bin",
        directory.path() / "dangling",
        directory.path() / "",
    };
    for (const auto& path : refused) {
        AtomicFileWriter writer;
        EXPECT_FALSE(writer.open(path)) << path;
        EXPECT_FALSE(writer.write(bytes_of("x"))) << path;
        EXPECT_FALSE(writer.commit()) << path;
    }
    EXPECT_FALSE(std::filesystem::exists(directory.path() / "nowhere"));
    EXPECT_EQ(names_in(directory.path()), (std::vector<std::string>{"a_directory", "dangling", "plain"}));
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
