#include "platform/drive_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>

#include "tests/platform/temp_drive_root.h"

namespace velmora::platform {
namespace {

using testing::TempDirectory;
using testing::TempDriveRoot;

constexpr mode_t k_permission_bits = 07777;
// The unprivileged "nobody" user, for directories that must belong to someone else.
constexpr uid_t k_other_user = 65534;

mode_t mode_of(const std::filesystem::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & k_permission_bits;
}

struct MappingCase {
    const char* text;
    const char* under_root;  // nullptr: not a drive path, returned unchanged
};

void PrintTo(const MappingCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class DrivePathMapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(DrivePathMapping, MapsDrivePathsUnderTheRootAndLeavesOtherTextAlone) {
    const TempDriveRoot drives;
    const MappingCase& c = GetParam();
    if (c.under_root == nullptr) {
        EXPECT_FALSE(is_drive_path(c.text));
        EXPECT_EQ(native_path(c.text), std::filesystem::path(c.text));
        EXPECT_FALSE(std::filesystem::exists(drives.root()));
    } else {
        EXPECT_TRUE(is_drive_path(c.text));
        EXPECT_EQ(native_path(c.text), drives.root() / c.under_root);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DrivePathMapping,
    ::testing::Values(
        MappingCase{"D:\\tmp\\script-kv.cfg", "D/tmp/script-kv.cfg"}, MappingCase{"D:\\tmp", "D/tmp"},
        MappingCase{"C:\\", "C"}, MappingCase{"d:\\tmp\\a.gz", "D/tmp/a.gz"},
        MappingCase{"Z:/out/image.bin", "Z/out/image.bin"},
        MappingCase{"E:\\mixed/seps\\x", "E/mixed/seps/x"}, MappingCase{"D:\\a\\\\b\\.\\c\\", "D/a/b/c"},
        // ".." stops at the drive: no drive path can reach outside its directory.
        MappingCase{"D:\\tmp\\..\\..\\..\\etc\\passwd", "D/etc/passwd"},
        MappingCase{"/tmp/native.cfg", nullptr}, MappingCase{"relative/file.bin", nullptr},
        MappingCase{"D:", nullptr}, MappingCase{"D:file", nullptr}, MappingCase{"1:\\x", nullptr},
        MappingCase{"", nullptr}, MappingCase{"\\\\server\\share", nullptr}));

TEST(DrivePath, MappingMakesRootAndDriveDirectoriesPrivate) {
    const TempDriveRoot drives;
    const MappedPath mapped = map_path("D:\\tmp\\script-kv.cfg");
    EXPECT_TRUE(mapped.ready);
    for (const auto& directory : {drives.root(), drives.root() / "D"}) {
        ASSERT_TRUE(std::filesystem::is_directory(directory)) << directory;
        EXPECT_EQ(mode_of(directory), 0700u) << directory;
        struct stat info {};
        ASSERT_EQ(::stat(directory.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, ::geteuid());
    }
    // Only the drive itself: "tmp" is the caller's to create.
    EXPECT_FALSE(std::filesystem::exists(drives.root() / "D" / "tmp"));
}

TEST(DrivePath, RootThatIsASymlinkIsRefusedAndNothingIsCreatedThere) {
    const TempDirectory base;
    const auto elsewhere = base.path() / "elsewhere";
    std::filesystem::create_directory(elsewhere);
    const auto link = base.path() / "drives";
    std::filesystem::create_directory_symlink(elsewhere, link);
    set_drive_root(link);

    const MappedPath mapped = map_path("D:\\tmp");
    set_drive_root({});
    EXPECT_FALSE(mapped.ready);
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
}

TEST(DrivePath, EnsurePrivateDirectoryTightensOurOwnDirectory) {
    const TempDirectory base;
    const auto directory = base.path() / "shared";
    ASSERT_EQ(::mkdir(directory.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(directory.c_str(), 0755), 0);
    EXPECT_TRUE(ensure_private_directory(directory));
    EXPECT_EQ(mode_of(directory), 0700u);
}

TEST(DrivePath, EnsurePrivateDirectoryCreatesMissingParents) {
    const TempDirectory base;
    const auto directory = base.path() / "a" / "b" / "c";
    EXPECT_TRUE(ensure_private_directory(directory));
    EXPECT_EQ(mode_of(directory), 0700u);
    EXPECT_EQ(mode_of(base.path() / "a"), 0700u);
}

TEST(DrivePath, EnsurePrivateDirectoryRefusesWhatIsNotOurDirectory) {
    const TempDirectory base;
    const auto file = base.path() / "file";
    std::filesystem::create_directory(base.path() / "real");
    {
        std::FILE* f = std::fopen(file.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    std::filesystem::create_directory_symlink(base.path() / "real", base.path() / "link");

    EXPECT_FALSE(ensure_private_directory(file));
    EXPECT_FALSE(ensure_private_directory(base.path() / "link"));
    EXPECT_FALSE(ensure_private_directory(base.path() / "link" / ""));
    EXPECT_FALSE(ensure_private_directory(""));
}

TEST(DrivePath, EnsurePrivateDirectoryRefusesAnotherUsersDirectory) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "giving a directory to another user needs root";
    }
    const TempDirectory base;
    const auto directory = base.path() / "theirs";
    ASSERT_EQ(::mkdir(directory.c_str(), 0777), 0);
    ASSERT_EQ(::chown(directory.c_str(), k_other_user, k_other_user), 0);
    ASSERT_EQ(::chmod(directory.c_str(), 0777), 0);
    EXPECT_FALSE(ensure_private_directory(directory));
    // Not ours, so not ours to change either.
    EXPECT_EQ(mode_of(directory), 0777u);
}

// Restores one environment variable when the test ends.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name); old != nullptr) {
            old_ = old;
        }
        if (value == nullptr) {
            ::unsetenv(name);
        } else {
            ::setenv(name, value, 1);
        }
    }
    ~ScopedEnvironment() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

struct RootCase {
    const char* drive_root;
    const char* runtime_dir;
    const char* home;
    std::string expected;
};

// The folder of ours inside a root the user names.
std::string ours_inside(const std::string& named) {
    return named + "/velmora-drives-" + std::to_string(::geteuid());
}

void PrintTo(const RootCase& c, std::ostream* os) {
    *os << "expecting " << c.expected;
}

class DriveRootChoice : public ::testing::TestWithParam<RootCase> {};

TEST_P(DriveRootChoice, FollowsOverrideThenEnvironment) {
    const RootCase& c = GetParam();
    const ScopedEnvironment root("VELMORA_DRIVE_ROOT", c.drive_root);
    const ScopedEnvironment runtime("XDG_RUNTIME_DIR", c.runtime_dir);
    const ScopedEnvironment home("HOME", c.home);
    EXPECT_EQ(drive_root(), std::filesystem::path(c.expected));

    set_drive_root("/override/root");
    EXPECT_EQ(drive_root(), std::filesystem::path("/override/root"));
    set_drive_root({});
    EXPECT_EQ(drive_root(), std::filesystem::path(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, DriveRootChoice,
    ::testing::Values(RootCase{"/srv/drives", "/run/user/7", "/home/u", ours_inside("/srv/drives")},
                      RootCase{"", "/run/user/7", "/home/u", "/run/user/7/velmora/drives"},
                      RootCase{nullptr, "/run/user/7", "/home/u", "/run/user/7/velmora/drives"},
                      RootCase{nullptr, nullptr, "/home/u", "/home/u/.cache/velmora/drives"},
                      RootCase{nullptr, "", "/home/u", "/home/u/.cache/velmora/drives"}));

// A root the user names keeps its mode, whatever it is: the drives go into a folder of ours inside.
class NamedRootMode : public ::testing::TestWithParam<mode_t> {};

TEST_P(NamedRootMode, IsNeverChanged) {
    const TempDirectory base;
    const auto named = base.path() / "shared";
    ASSERT_EQ(::mkdir(named.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(named.c_str(), GetParam()), 0);
    const ScopedEnvironment root("VELMORA_DRIVE_ROOT", named.c_str());

    const std::optional<DriveLocation> location = open_drive_location("D:\\tmp");
    ASSERT_TRUE(location.has_value());
    EXPECT_EQ(location->name, "tmp");
    EXPECT_EQ(mode_of(named), GetParam());
    const std::filesystem::path ours = ours_inside(named.string());
    EXPECT_EQ(drive_root(), ours);
    EXPECT_EQ(mode_of(ours), 0700u);
    EXPECT_EQ(mode_of(ours / "D"), 0700u);
}

INSTANTIATE_TEST_SUITE_P(Table, NamedRootMode, ::testing::Values(01777, 0755, 0777, 0700),
                         [](const auto& info) {
                             std::ostringstream name;
                             name << "Mode" << std::oct << info.param;
                             return name.str();
                         });

}  // namespace
}  // namespace velmora::platform
