// A symbolic link planted anywhere on a drive path is refused by every file function, and what it
// points at is left exactly as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

#include "platform/drive_path.h"
#include "platform/file_system.h"
#include "tests/platform/temp_drive_root.h"

namespace velmora::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDirectory;

constexpr mode_t k_permission_bits = 07777;

mode_t mode_of(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & k_permission_bits;
}

std::string read_all(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// What the system's code would do under "D:\tmp\sub": every kind of file operation.
void try_everything() {
    EXPECT_FALSE(create_directory("D:\\tmp\\sub\\new"));
    EXPECT_FALSE(remove_directory("D:\\tmp\\sub\\empty"));
    EXPECT_FALSE(delete_file("D:\\tmp\\sub\\victim"));
    EXPECT_FALSE(set_hidden("D:\\tmp\\sub\\victim"));
    for (const char* mode : {"wb", "ab", "rb", "r+b"}) {
        std::FILE* file = open_file("D:\\tmp\\sub\\victim", mode);
        EXPECT_EQ(file, nullptr) << mode;
        if (file != nullptr) {
            std::fclose(file);
        }
    }
}

// Where the link sits, relative to the drive root; "" is the root itself.
struct PlantCase {
    const char* link_at;
};

void PrintTo(const PlantCase& c, std::ostream* os) {
    *os << "link at '" << c.link_at << "'";
}

class PlantedLink : public ::testing::TestWithParam<PlantCase> {};

TEST_P(PlantedLink, IsRefusedAndItsTargetUntouched) {
    const TempDirectory base;
    const fs::path root = base.path() / "drives";
    const fs::path link_at = fs::path(GetParam().link_at);
    const fs::path link = link_at.empty() ? root : root / link_at;
    // The target holds what the rest of the path would reach, made private and ours, so a walk that
    // followed the link would succeed in changing it.
    const fs::path target = base.path() / "elsewhere";
    const fs::path rest = fs::path("D/tmp/sub").lexically_relative(link_at.empty() ? "." : link_at);
    const fs::path victims = (target / rest).lexically_normal();
    fs::create_directories(victims / "empty");
    std::ofstream(victims / "victim") << "keep";
    for (fs::path p = victims; p != base.path(); p = p.parent_path()) {
        ASSERT_EQ(::chmod(p.c_str(), 0700), 0) << p;
    }
    ASSERT_EQ(::chmod((victims / "victim").c_str(), 0644), 0);
    if (!link_at.empty()) {
        fs::create_directories(link.parent_path());
        for (fs::path p = link.parent_path(); p != base.path(); p = p.parent_path()) {
            ASSERT_EQ(::chmod(p.c_str(), 0700), 0) << p;
        }
    }
    fs::create_directory_symlink(target, link);
    set_drive_root(root);

    try_everything();
    set_drive_root({});

    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read_all(victims / "victim"), "keep");
    EXPECT_EQ(mode_of(victims / "victim"), 0644u);
    EXPECT_TRUE(fs::is_directory(victims / "empty"));
    EXPECT_FALSE(fs::exists(victims / "new"));
}

INSTANTIATE_TEST_SUITE_P(Table, PlantedLink,
                         ::testing::Values(PlantCase{""}, PlantCase{"D"}, PlantCase{"D/tmp"},
                                           PlantCase{"D/tmp/sub"}),
                         [](const auto& info) {
                             std::string name = std::string("At_") + info.param.link_at;
                             for (char& c : name) {
                                 c = (c == '/') ? '_' : c;
                             }
                             return name;
                         });

// A link as the last component: the functions that write or change a file refuse it, reading does
// not go through it, and deleting removes the link itself, never its target.
TEST(PlantedLinkAsFile, IsNeitherFollowedNorWrittenThrough) {
    const testing::TempDriveRoot drives;
    ASSERT_TRUE(create_directory("D:\\tmp"));
    const fs::path target = drives.outside() / "precious";
    std::ofstream(target) << "keep";
    ASSERT_EQ(::chmod(target.c_str(), 0644), 0);
    const fs::path link = drives.root() / "D" / "tmp" / "script-kv.cfg";
    fs::create_symlink(target, link);

    for (const char* mode : {"wb", "ab", "rb", "r"}) {
        std::FILE* file = open_file("D:\\tmp\\script-kv.cfg", mode);
        EXPECT_EQ(file, nullptr) << mode;
        if (file != nullptr) {
            std::fclose(file);
        }
    }
    EXPECT_FALSE(set_hidden("D:\\tmp\\script-kv.cfg"));
    EXPECT_TRUE(delete_file("D:\\tmp\\script-kv.cfg"));
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_EQ(read_all(target), "keep");
    EXPECT_EQ(mode_of(target), 0644u);
}

}  // namespace
}  // namespace velmora::platform
