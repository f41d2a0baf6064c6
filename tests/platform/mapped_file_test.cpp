#include "platform/mapped_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>

#include "tests/platform/temp_drive_root.h"

namespace velmora::platform {
namespace {

using testing::TempDirectory;

void write_text(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string as_text(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

TEST(MappedFile, ViewsTheWholeFile) {
    const TempDirectory directory;
    const auto path = directory.path() / "image.bin";
    // Not a multiple of the page size, to catch a view cut to whole pages.
    std::string content(2 * 1024 * 1024 + 123, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<char>(i % 251);
    }
    write_text(path, content);

    MappedFile file;
    ASSERT_EQ(file.open(path), MapError::none);
    EXPECT_TRUE(file.is_open());
    EXPECT_EQ(as_text(file.bytes()), content);
}

TEST(MappedFile, EmptyFileIsAnEmptyView) {
    const TempDirectory directory;
    const auto path = directory.path() / "empty.bin";
    write_text(path, "");
    MappedFile file;
    ASSERT_EQ(file.open(path), MapError::none);
    EXPECT_TRUE(file.is_open());
    EXPECT_TRUE(file.bytes().empty());
}

TEST(MappedFile, ReportsWhyItCannotMap) {
    const TempDirectory directory;
    MappedFile file;
    EXPECT_EQ(file.open(directory.path() / "missing.bin"), MapError::open_failed);
    EXPECT_EQ(file.open(directory.path()), MapError::not_regular_file);
    EXPECT_FALSE(file.is_open());
    EXPECT_TRUE(file.bytes().empty());
}

TEST(MappedFile, MovingHandsOverTheViewAndCloseReleasesIt) {
    const TempDirectory directory;
    const auto path = directory.path() / "a.bin";
    write_text(path, "abc");
    MappedFile first;
    ASSERT_EQ(first.open(path), MapError::none);

    MappedFile second(std::move(first));
    EXPECT_FALSE(first.is_open());  // NOLINT(bugprone-use-after-move): the moved-from state is the point
    EXPECT_TRUE(first.bytes().empty());
    EXPECT_EQ(as_text(second.bytes()), "abc");

    MappedFile third;
    third = std::move(second);
    EXPECT_EQ(as_text(third.bytes()), "abc");
    // The view stays valid after the file is gone: it is the mapping that holds the bytes.
    std::filesystem::remove(path);
    EXPECT_EQ(as_text(third.bytes()), "abc");
    third.close();
    EXPECT_FALSE(third.is_open());
    EXPECT_TRUE(third.bytes().empty());
}

}  // namespace
}  // namespace velmora::platform
