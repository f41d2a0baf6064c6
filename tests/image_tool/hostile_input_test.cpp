// velmora-image against files that are not what they seem: FIFOs and folders where a file is
// expected, records that each cover the whole image, an OUT that belongs to a particular mode or has a
// long name.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "config/byte_order.h"
#include "config/crc32.h"
#include "config/flash_image.h"
#include "tests/image_tool/tool_fixture.h"

namespace velmora {
namespace {

class HostileInputTest : public VelmoraImageTest {
protected:
    std::string out() const { return (dir_ / "out.bin").string(); }
};

// A FIFO with no writer would hold the program for ever; it is refused as a file that cannot be
// opened, by every command and for every input.
TEST_F(HostileInputTest, FifosAndFoldersAreFilesThatCannotBeOpened) {
    const fs::path fifo = dir_ / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(dir_ / "folder.hw");
    struct Case {
        std::string args;
        std::string err;
    };
    const Case cases[] = {
        {"verify " + fifo.string(), "Failed to open the flash file!\n"},
        {"info " + fifo.string(), "Failed to open the flash file!\n"},
        {"dump " + fifo.string(), "Failed to open the flash file!\n"},
        {"generate " + fifo.string() + " -o " + out(), "Failed to open the flash file!\n"},
        {"generate /dev/zero -o " + out(), "Failed to open the flash file!\n"},
        {"generate " + sample_ + " -o " + out() + " --fp " + fifo.string(), "Can't open binary file!\n"},
        {"generate " + sample_ + " -o " + out() + " --hw " + (dir_ / "folder.hw").string(),
         "Can't open binary file!\n"},
        {"generate " + sample_ + " -o " + out() + " --led /dev/null", "Can't open binary file!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolRun r = run(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.err);
        EXPECT_FALSE(fs::exists(out()));
    }
}

// Sixty records that each run over nearly the whole image: Parse accepts it, and the CRCs that
// Generate writes are those of the bytes, as verify and a direct computation here agree. (The records
// hold the same data and begin past the directory, so no record's write changes another's bytes.)
TEST_F(HostileInputTest, RecordsCoveringTheWholeImageAreGeneratedAndVerified) {
    constexpr std::size_t k_size = 8u << 20;
    constexpr std::size_t k_a = 0x40;
    constexpr std::uint32_t k_data = 0x1000;
    std::vector<test::TestEntry> entries;
    for (std::uint32_t i = 0; i < 60; ++i) {
        entries.push_back({TAG_MAIN, k_data, static_cast<std::uint32_t>(k_size - k_a - k_data - 3 * i)});
    }
    test::ImageBuilder builder(k_size);
    // The main record's fields hold values the pages take (all zero), so Generate writes the image.
    builder.pattern(0, k_size, 9)
        .bytes(k_a + k_data, std::vector<std::uint8_t>(464, 0))
        .directory(k_a, entries)
        .directory(0x10000, {});
    const std::string image = write("crafted.bin", builder.build());

    ASSERT_EQ(run("generate " + image + " -o " + out()).status, 0);
    const ToolRun verify = run("verify " + out());
    EXPECT_EQ(verify.status, 0) << verify.out;
    EXPECT_EQ(verify.out, "all 60 record CRCs of directory A match\n");
    const std::string written = slurp(out());
    ASSERT_EQ(written.size(), k_size);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(written.data());
    for (const std::size_t i : {std::size_t{0}, std::size_t{31}, std::size_t{59}}) {
        const std::size_t crc_at = k_a + k_entries_offset + i * k_entry_stride + k_entry_crc_offset;
        EXPECT_EQ(read_le32(bytes + crc_at),
                  crc32_update(k_crc32_initial, bytes + k_a + k_data, entries[i].length))
            << i;
    }
}

// OUT keeps its permission bits, and a name near the file system's limit of 255 bytes is replaced
// like any other.
TEST_F(HostileInputTest, ReplacedOutKeepsItsModeWhateverTheLengthOfItsName) {
    for (const std::size_t length : {std::size_t{7}, std::size_t{238}, std::size_t{250}, std::size_t{255}}) {
        SCOPED_TRACE(length);
        const fs::path target = dir_ / std::string(length, 'o');
        write(target.filename().string(), {1, 2, 3});
        ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
        const ToolRun r = run("generate " + sample_ + " -o " + target.string());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(fs::file_size(target), fs::file_size(sample_));
        struct stat info {};
        ASSERT_EQ(::stat(target.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0640u);
    }
}

}  // namespace
}  // namespace velmora
