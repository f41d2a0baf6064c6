#include "config/flash_image_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "config/record_directory.h"
#include "platform/file_system_calls.h"
#include "tests/config/image_builder.h"
#include "tests/support/special_files.h"
#include "tests/support/temp_directory.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t k_4_gib = std::uint64_t{1} << 32;

class FlashImageFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        image = test::ImageBuilder(0x10400)
                    .directory(16, {{TAG_MAIN, 0x100, 464}})
                    .directory(0x10000, {{TAG_KEY_SCRIPT, 0x100, 8}})
                    .build();
    }

    // The test image, grown without writing (sparse) to `size` when that is larger.
    std::string write_image(const std::string& name, std::uint64_t size = 0) const {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        if (size > image.size()) {
            fs::resize_file(path, size);
        }
        return path.string();
    }

    velmora::testing::TempDirectory temp_dir;
    fs::path dir = temp_dir.path();
    std::vector<std::uint8_t> image;
};

// The real calls, with a step of the test's run just before a chosen pread or fstat, and the bytes
// that preads asked for counted.
class ChangingCalls : public platform::FileSystemCalls {
public:
    ssize_t pread(int fd, void* buffer, std::size_t count, off_t offset) override {
        bytes_asked += count;
        if (++preads == before_pread && step) {
            step();
        }
        return FileSystemCalls::pread(fd, buffer, count, offset);
    }
    int fstat(int fd, struct stat* info) override {
        if (++fstats == before_fstat && step) {
            step();
        }
        return FileSystemCalls::fstat(fd, info);
    }

    int before_pread = 0;
    int before_fstat = 0;
    std::function<void()> step;
    int preads = 0;
    int fstats = 0;
    std::uint64_t bytes_asked = 0;
};

// A FIFO would block open() or read() for ever, a device read could too; none is an image file.
TEST_F(FlashImageFileTest, WhatIsNoRegularFileIsRefusedWithoutWaitingOnIt) {
    test::SpecialFiles special;
    ASSERT_NO_FATAL_FAILURE(test::make_special_files(dir, "", special));
    struct Case {
        const char* what;
        std::string path;
    };
    const Case cases[] = {
        {"a FIFO without a writer", special.fifo.string()},
        {"a directory", dir.string()},
        {"a character device", "/dev/null"},
        {"a socket", special.socket.string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FlashImageFile file;
        EXPECT_EQ(file.check(c.path), ImageMessage::open_flash_failed);
        EXPECT_EQ(file.length(), std::nullopt);
        ConfigBlock block;
        KeyScriptBuffer script;
        EXPECT_EQ(file.parse(c.path, block, script, {}), ImageMessage::open_flash_failed);
        EXPECT_EQ(file.descriptor(), -1);
    }
}

// Sets the file's modification time well into the past, so that a rewrite in the same clock tick as
// the test's own write still changes it.
void age(const std::string& path) {
    const timespec times[2] = {{1, 0}, {1, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// The file is cut down, grown or rewritten between two of the loader's steps: a read comes up short,
// or the file is not as it was opened once the records were read. Either way the file is refused as a
// short read is ("Wrong binary file!"), instead of a verdict on bytes of two different files.
TEST_F(FlashImageFileTest, AFileThatChangesWhileItIsReadIsRefused) {
    const std::string path = write_image("in.bin");
    const auto resize_to = [&](std::uint64_t size) { return [&, size] { fs::resize_file(path, size); }; };
    const auto rewrite = [&] {
        std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(0x8000);
        file.put('\x5A');
    };
    // The reads, in order: directory A's window, header and entries, the main record, then directory
    // B's window, header and entries, and the key script; the file's state is taken after them.
    struct Case {
        const char* what;
        int before_pread;
        int before_fstat;
        std::function<void()> step;
        std::optional<ImageMessage> verdict;
    };
    const Case cases[] = {
        {"unchanged", 0, 0, {}, std::nullopt},
        {"cut before directory A's window is read", 1, 0, resize_to(100), ImageMessage::wrong_binary},
        {"cut before the main record is read", 4, 0, resize_to(0x100), ImageMessage::wrong_binary},
        {"emptied before directory B is read", 5, 0, resize_to(0), ImageMessage::wrong_binary},
        {"cut after it was read", 0, 2, resize_to(0x10000), ImageMessage::wrong_binary},
        {"grown after it was read", 0, 2, resize_to(0x20000), ImageMessage::wrong_binary},
        {"rewritten in place after it was read", 0, 2, rewrite, ImageMessage::wrong_binary},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::resize_file(path, 0);
        write_image("in.bin");
        age(path);
        ChangingCalls calls;
        calls.before_pread = c.before_pread;
        calls.before_fstat = c.before_fstat;
        calls.step = c.step;
        const platform::FileSystemCalls::ScopedOverride override(calls);
        FlashImageFile file;
        EXPECT_EQ(file.check(path), c.verdict);
        EXPECT_EQ(file.length(), image.size());  // the length it had when it was opened
        EXPECT_EQ(file.unchanged(), !c.verdict);
    }
}

// A file of 4 GiB or more is refused on its size alone, one without directory A's marker after
// reading that window alone, and an image costs the reads of its directories and records however
// large the file is: none is read whole.
TEST_F(FlashImageFileTest, TheLoaderReadsOnlyTheDirectoriesAndTheRecords) {
    const fs::path zeros = dir / "zeros.bin";
    std::ofstream(zeros).close();
    fs::resize_file(zeros, std::uint64_t{1} << 30);
    const std::uint64_t window = k_window_a.end - 1 + k_directory_marker.size();
    // Both windows (directory B's as far as the file goes), both headers, one entry each, the main
    // record and the 8-byte key script.
    const std::uint64_t records = 2 * k_entries_offset + 2 * k_entry_stride + 464 + 8;
    const std::uint64_t image_reads = window + (image.size() - k_window_b.first) + records;
    const std::uint64_t grown_image_reads = 2 * window + records;
    struct Case {
        const char* what;
        std::string path;
        std::optional<ImageMessage> verdict;
        std::uint64_t bytes_read;
    };
    const Case cases[] = {
        {"the image grown to 4 GiB", write_image("4g.bin", k_4_gib), ImageMessage::wrong_binary, 0},
        {"the image grown past 4 GiB", write_image("5g.bin", k_4_gib + 4096), ImageMessage::wrong_binary, 0},
        {"1 GiB of zeros", zeros.string(), ImageMessage::wrong_binary, window},
        {"the image", write_image("in.bin"), std::nullopt, image_reads},
        {"the image grown to 1 GiB", write_image("1g.bin", std::uint64_t{1} << 30), std::nullopt,
         grown_image_reads},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ChangingCalls calls;
        const platform::FileSystemCalls::ScopedOverride override(calls);
        FlashImageFile file;
        EXPECT_EQ(file.check(c.path), c.verdict);
        EXPECT_EQ(calls.bytes_asked, c.bytes_read);
    }
}

// The view's own copy: the whole file, refused like any read when the file changes under it.
TEST_F(FlashImageFileTest, ReadWholeTakesTheFileOrNothing) {
    const std::string path = write_image("in.bin");
    FlashImageFile file;
    ASSERT_EQ(file.check(path), std::nullopt);
    std::vector<std::uint8_t> copy{1, 2, 3};
    EXPECT_EQ(file.read_whole(copy), std::nullopt);
    EXPECT_EQ(copy, image);

    fs::resize_file(path, 0x8000);
    EXPECT_EQ(file.read_whole(copy), ImageMessage::wrong_binary);
    EXPECT_TRUE(copy.empty());
}

}  // namespace
}  // namespace velmora
