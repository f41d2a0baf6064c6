#include "platform/file_system.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/drive_path.h"
#include "tests/platform/temp_drive_root.h"

namespace velmora::platform {
namespace {

using testing::TempDriveRoot;

constexpr mode_t k_permission_bits = 07777;

mode_t mode_of(const std::filesystem::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & k_permission_bits;
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

// Sets the umask for one test, so modes of shared files are predictable.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(old_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t old_;
};

class FileSystemTest : public ::testing::Test {
protected:
    TempDriveRoot drives;
    std::filesystem::path tmp() const { return drives.root() / "D" / "tmp"; }
};

TEST_F(FileSystemTest, CreateDirectoryBehavesLikeCreateDirectory) {
    EXPECT_TRUE(create_directory("D:\\tmp"));
    EXPECT_TRUE(std::filesystem::is_directory(tmp()));
    EXPECT_EQ(mode_of(tmp()), 0700u);
    EXPECT_FALSE(create_directory("D:\\tmp")) << "an existing directory is reported as a failure";
    EXPECT_FALSE(create_directory("D:\\missing\\child")) << "parents are not created";
}

TEST_F(FileSystemTest, CreateDirectoryOutsideTheDrivesHonoursTheUmask) {
    const ScopedUmask mask(022);
    const auto directory = drives.outside() / "shared";
    EXPECT_TRUE(create_directory(directory.string()));
    EXPECT_EQ(mode_of(directory), 0755u);
}

TEST_F(FileSystemTest, RemoveDirectoryAndDeleteFileRemoveOnlyWhatTheyShould) {
    ASSERT_TRUE(create_directory("D:\\tmp"));
    write_text(tmp() / "a.cfg", "x");

    EXPECT_FALSE(remove_directory("D:\\tmp")) << "not empty";
    EXPECT_FALSE(delete_file("D:\\tmp")) << "a directory is not a file";
    EXPECT_TRUE(delete_file("D:\\tmp\\a.cfg"));
    EXPECT_FALSE(delete_file("D:\\tmp\\a.cfg")) << "already gone";
    EXPECT_TRUE(remove_directory("D:\\tmp"));
    EXPECT_FALSE(std::filesystem::exists(tmp()));
    EXPECT_FALSE(remove_directory("D:\\tmp"));
}

TEST_F(FileSystemTest, WrittenFilesUnderTheDrivesArePrivateAndReadBack) {
    ASSERT_TRUE(create_directory("D:\\tmp"));
    std::FILE* out = open_file("D:\\tmp\\script-kv.cfg.gz", "wb");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(std::fputs("first", out), 1);
    EXPECT_EQ(std::fclose(out), 0);
    EXPECT_EQ(mode_of(tmp() / "script-kv.cfg.gz"), 0600u);

    std::FILE* append = open_file("D:\\tmp\\script-kv.cfg.gz", "ab");
    ASSERT_NE(append, nullptr);
    std::fputs("+second", append);
    std::fclose(append);

    std::FILE* in = open_file("D:\\tmp\\script-kv.cfg.gz", "rb");
    ASSERT_NE(in, nullptr);
    char buffer[32] = {};
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer - 1, in), 12u);
    std::fclose(in);
    EXPECT_STREQ(buffer, "first+second");

    std::FILE* truncate = open_file("D:\\tmp\\script-kv.cfg.gz", "wb");
    ASSERT_NE(truncate, nullptr);
    std::fclose(truncate);
    EXPECT_EQ(std::filesystem::file_size(tmp() / "script-kv.cfg.gz"), 0u);
}

TEST_F(FileSystemTest, FilesOutsideTheDrivesGetTheUsualModes) {
    const ScopedUmask mask(022);
    const auto path = drives.outside() / "image.bin";
    std::FILE* out = open_file(path.string(), "wb");
    ASSERT_NE(out, nullptr);
    std::fclose(out);
    EXPECT_EQ(mode_of(path), 0644u);
}

TEST_F(FileSystemTest, EveryModeGivesACloseOnExecDescriptor) {
    ASSERT_TRUE(create_directory("D:\\tmp"));
    for (const char* mode : {"wb", "ab", "w+b", "rb", "r+b", "r"}) {
        std::FILE* file = open_file("D:\\tmp\\f.bin", mode);
        ASSERT_NE(file, nullptr) << mode;
        EXPECT_NE(::fcntl(::fileno(file), F_GETFD) & FD_CLOEXEC, 0) << mode;
        std::fclose(file);
    }
}

TEST_F(FileSystemTest, OpenFileRefusesBadModesAndMissingFiles) {
    EXPECT_EQ(open_file("D:\\tmp\\none.bin", "rb"), nullptr);
    EXPECT_EQ(open_file("D:\\tmp\\none.bin", "wb"), nullptr) << "D:\\tmp was never created";
    EXPECT_EQ(open_file("D:\\tmp\\none.bin", "zz"), nullptr);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(open_file("D:\\tmp\\none.bin", ""), nullptr);
}

TEST_F(FileSystemTest, WritingDoesNotFollowALinkPlantedAtTheName) {
    ASSERT_TRUE(create_directory("D:\\tmp"));
    const auto victim = drives.outside() / "victim";
    write_text(victim, "precious");
    std::filesystem::create_symlink(victim, tmp() / "script-kv.cfg.gz");

    for (const char* mode : {"wb", "ab"}) {
        EXPECT_EQ(open_file("D:\\tmp\\script-kv.cfg.gz", mode), nullptr) << mode;
    }
    EXPECT_EQ(read_all(victim), "precious");
}

TEST_F(FileSystemTest, NothingIsCreatedUnderARootThatIsALink) {
    const auto elsewhere = drives.outside() / "elsewhere";
    std::filesystem::create_directory(elsewhere);
    std::filesystem::create_directory_symlink(elsewhere, drives.root());

    EXPECT_FALSE(create_directory("D:\\tmp"));
    EXPECT_EQ(open_file("D:\\x.bin", "wb"), nullptr);
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
}

TEST_F(FileSystemTest, SetHiddenKeepsTheFileFromOthersWithoutFollowingLinks) {
    ASSERT_TRUE(create_directory("D:\\tmp"));
    const auto file = tmp() / "script-kv.cfg";
    write_text(file, "x");
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    EXPECT_TRUE(set_hidden("D:\\tmp\\script-kv.cfg"));
    EXPECT_EQ(mode_of(file), 0600u);

    EXPECT_FALSE(set_hidden("D:\\tmp\\missing.cfg"));

    const auto outside = drives.outside() / "outside";
    write_text(outside, "y");
    ASSERT_EQ(::chmod(outside.c_str(), 0644), 0);
    std::filesystem::create_symlink(outside, tmp() / "link.cfg");
    EXPECT_FALSE(set_hidden("D:\\tmp\\link.cfg"));
    EXPECT_EQ(mode_of(outside), 0644u);
}

TEST(FileSystem, ExecutableDirIsWhereThisProgramLives) {
    const std::filesystem::path directory = executable_dir();
    ASSERT_FALSE(directory.empty());
    EXPECT_TRUE(std::filesystem::equivalent(directory / program_invocation_short_name,
                                            std::filesystem::canonical("/proc/self/exe")));
}

}  // namespace
}  // namespace velmora::platform
