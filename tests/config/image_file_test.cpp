#include "config/image_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

#include "config/flash_image.h"
#include "config/flash_image_file.h"
#include "tests/config/image_builder.h"
#include "tests/support/temp_directory.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

GenerateTarget to(const std::string& path) {
    GenerateTarget target;
    target.path = path;
    return target;
}

class ImageFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        image_ = test::ImageBuilder(0x10400)
                     .directory(16, {{TAG_MAIN, 0x100, 464}})
                     .directory(0x10000, {{TAG_KEY_SCRIPT, 0x100, 8}})
                     .build();
    }

    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }
    static std::vector<std::uint8_t> read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::size_t files_in_dir() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    velmora::testing::TempDirectory temp_dir;
    fs::path dir_ = temp_dir.path();
    std::vector<std::uint8_t> image_;
};

// Every file Parse meets, with the verdict and the length the view takes as the image's size.
TEST_F(ImageFileTest, OneRuleRefusesWhatIsNoImageWhateverItsSize) {
    const std::string good = write("good.bin", image_);
    // Grown without writing: the files are sparse and cost no disk.
    const auto grown = [&](const std::string& name, const std::vector<std::uint8_t>& bytes,
                           std::uint64_t size) {
        const std::string path = write(name, bytes);
        fs::resize_file(path, size);
        return path;
    };
    constexpr std::uint64_t k_4_gib = std::uint64_t{1} << 32;
    struct Case {
        const char* what;
        std::string path;
        std::optional<ImageMessage> verdict;
        std::optional<std::uint64_t> length;  // none: the file never opened
    };
    const Case cases[] = {
        {"no path", "", ImageMessage::select_input, std::nullopt},
        {"missing file", (dir_ / "missing.bin").string(), ImageMessage::open_flash_failed, std::nullopt},
        {"a directory", dir_.string(), ImageMessage::open_flash_failed, std::nullopt},
        {"empty file", write("empty.bin", {}), ImageMessage::wrong_binary, 0},
        {"cut inside directory B", write("cut.bin", {image_.begin(), image_.begin() + 0x10000 + 20}),
         ImageMessage::wrong_binary, 0x10000 + 20},
        {"1 GiB that is no image", grown("zeros.bin", {}, std::uint64_t{1} << 30), ImageMessage::wrong_binary,
         std::uint64_t{1} << 30},
        {"the image grown to 4 GiB + 16", grown("huge.bin", image_, k_4_gib + 16), ImageMessage::wrong_binary,
         k_4_gib + 16},
        {"the image grown to 4 GiB", grown("4g.bin", image_, k_4_gib), ImageMessage::wrong_binary, k_4_gib},
        // The largest length the size rule lets through; with no directory A it is refused unread.
        {"4 GiB - 1 that is no image", grown("4g-1.bin", {}, k_4_gib - 1), ImageMessage::wrong_binary,
         k_4_gib - 1},
        {"the image grown to 64 MiB", grown("64m.bin", image_, std::uint64_t{64} << 20), std::nullopt,
         std::uint64_t{64} << 20},
        {"the image", good, std::nullopt, image_.size()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FlashImageFile file;
        EXPECT_EQ(file.check(c.path), c.verdict);
        EXPECT_EQ(file.length(), c.length);
        // Parse whole gives the same verdict, and unpacks the key script only for a sound directory B.
        int unpacked = 0;
        ConfigBlock block;
        KeyScriptBuffer script;
        EXPECT_EQ(file.parse(c.path, block, script, [&] { ++unpacked; }), c.verdict);
        EXPECT_EQ(unpacked, c.verdict ? 0 : 1);
        if (!c.verdict) {
            EXPECT_EQ(block.bytes[0], image_[16 + 0x100]);
        }
    }
}

TEST_F(ImageFileTest, TheVerdictLeavesTheBlockAloneAndExtractFillsIt) {
    FlashImageFile file;
    ASSERT_EQ(file.open(write("in.bin", image_)), std::nullopt);
    EXPECT_EQ(file.verdict(), std::nullopt);
    ConfigBlock block;
    KeyScriptBuffer script;
    EXPECT_EQ(FlashImageFile::extract_from(image_, block, script, {}), std::nullopt);
    ConfigBlock from_file;
    EXPECT_EQ(file.extract(from_file, script, {}), std::nullopt);
    EXPECT_EQ(from_file.bytes, block.bytes);
    // A refused image still gets Parse's record step: the default key tables are preset.
    const std::vector<std::uint8_t> no_main = test::ImageBuilder(0x10400)
                                                  .directory(16, {{TAG_FP_KEYS, 0x100, 9}})
                                                  .directory(0x10000, {{TAG_KEY_SCRIPT, 0x100, 8}})
                                                  .build();
    ConfigBlock refused;
    EXPECT_EQ(FlashImageFile::extract_from(no_main, refused, script, {}), ImageMessage::wrong_binary);
    EXPECT_NE(refused.bytes, ConfigBlock{}.bytes);
}

TEST_F(ImageFileTest, GenerateWritesTheNewImageAfterStoringThePages) {
    std::vector<std::uint8_t> image = image_;
    ConfigBlock config;
    const std::string out = (dir_ / "out.bin").string();
    const ImageMessage result = generate_image(to(out), image, config, [](ConfigBlock& block) {
        block.bytes[5] = 0x55;
        return true;
    });
    EXPECT_EQ(result, ImageMessage::save_success);
    EXPECT_EQ(message_text(result).text, "Save Data Success!");
    EXPECT_EQ(message_text(result).caption, "Success");
    const auto written = read(out);
    ASSERT_EQ(written.size(), image_.size());
    EXPECT_EQ(written[16 + 0x100 + 5], 0x55);
    EXPECT_EQ(written, image);
    EXPECT_EQ(files_in_dir(), 1u);  // no temporary file left behind
}

TEST_F(ImageFileTest, GenerateFailuresLeaveTheOutputAsItWas) {
    const std::string existing = write("existing.bin", {9, 9, 9});
    const fs::path taken = dir_ / "taken.bin";
    fs::create_directory(taken);
    struct Case {
        const char* what;
        std::string output;
        std::vector<std::uint8_t> image;
        ImageMessage message;
        bool stores;  // whether the pages are stored
    };
    const Case cases[] = {
        {"no output path", "", image_, ImageMessage::select_output, false},
        {"missing folder", (dir_ / "nowhere" / "out.bin").string(), image_, ImageMessage::open_output_failed,
         false},
        {"a folder", taken.string(), image_, ImageMessage::open_output_failed, false},
        {"under a file", existing + "/out.bin", image_, ImageMessage::open_output_failed, false},
        {"no directory A", existing, std::vector<std::uint8_t>(2048, 0), ImageMessage::save_failed, true},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> image = c.image;
        ConfigBlock config;
        bool stored = false;
        // A store that changes the block, as a page with a new value does.
        const auto store = [&](ConfigBlock& block) {
            stored = true;
            block.bytes[0] = 0x42;
            return true;
        };
        EXPECT_EQ(generate_image(to(c.output), image, config, store), c.message) << c.what;
        EXPECT_EQ(stored, c.stores) << c.what;
        if (!c.stores) {
            EXPECT_EQ(config.bytes, ConfigBlock{}.bytes) << c.what;
        }
        EXPECT_EQ(image, c.image) << c.what;
        EXPECT_EQ(read(existing), (std::vector<std::uint8_t>{9, 9, 9})) << c.what;
        EXPECT_FALSE(fs::exists(dir_ / "nowhere")) << c.what;
        EXPECT_TRUE(fs::is_empty(taken)) << c.what;
        EXPECT_EQ(files_in_dir(), 2u) << c.what;
    }
    // A caller that abandons the run after the stores gets no image either.
    std::vector<std::uint8_t> image = image_;
    ConfigBlock config;
    EXPECT_EQ(generate_image(to(existing), image, config, [](ConfigBlock&) { return false; }),
              ImageMessage::save_failed);
    EXPECT_EQ(read(existing), (std::vector<std::uint8_t>{9, 9, 9}));
    EXPECT_EQ(files_in_dir(), 2u);
    EXPECT_EQ(message_text(ImageMessage::save_failed).text, "Save Data Failed!!");
    EXPECT_EQ(message_text(ImageMessage::save_failed).caption, "Error");
}

TEST_F(ImageFileTest, TheInputChosenAsOutputIsReplacedWhole) {
    const std::string path = write("in.bin", image_);
    // From the view's copy and from the open file alike.
    for (const bool from_file : {false, true}) {
        write("in.bin", image_);
        FlashImageFile file;
        ASSERT_EQ(file.check(path), std::nullopt);
        std::vector<std::uint8_t> image;
        ASSERT_EQ(file.read_whole(image), std::nullopt);
        ConfigBlock config;
        config.bytes[0] = 0x77;
        EXPECT_EQ(from_file ? generate_image(to(path), file, config, {})
                            : generate_image(to(path), image, config, {}),
                  ImageMessage::save_success);
        const auto written = read(path);
        EXPECT_EQ(written.size(), image_.size());
        EXPECT_EQ(written[16 + 0x100], 0x77);
        EXPECT_EQ(files_in_dir(), 1u);
    }
}

// The view writes the copy it took at Parse, whatever happens to the input on disk afterwards.
TEST_F(ImageFileTest, TheViewWritesItsCopyWhateverHappensToTheInputOnDisk) {
    const std::string in = write("in.bin", image_);
    FlashImageFile file;
    ASSERT_EQ(file.check(in), std::nullopt);
    std::vector<std::uint8_t> image;
    ASSERT_EQ(file.read_whole(image), std::nullopt);
    file.close();
    // Someone cuts the input down and rewrites its start after the Parse.
    fs::resize_file(in, 100);
    write("in.bin", std::vector<std::uint8_t>(50, 0xEE));
    ConfigBlock config;
    config.bytes.fill(0x3C);
    const std::string out = (dir_ / "out.bin").string();
    ASSERT_EQ(generate_image(to(out), image, config, {}), ImageMessage::save_success);
    EXPECT_EQ(read(out), image);
    EXPECT_EQ(read(out).size(), image_.size());
    EXPECT_EQ(read(out)[16 + 0x100], 0x3C);
}

// Generate from the open file gives the bytes Generate in memory gives, byte for byte, also for
// records that overlap each other and the directory, on a file larger than any piece it is copied in.
TEST_F(ImageFileTest, GenerateFromTheFileWritesWhatGenerateInMemoryWrites) {
    std::vector<std::uint8_t> hostile = test::ImageBuilder(0x10400)
                                            .directory(16, {{TAG_MAIN, 0, 0x10000},
                                                            {TAG_IR1_KEYS, 20, 62},
                                                            {TAG_FP_KEYS, 0x200, 0x10000 - 0x200},
                                                            {TAG_MAIN, 0x100, 464}})
                                            .directory(0x10000, {{TAG_KEY_SCRIPT, 0x100, 8}})
                                            .build();
    std::vector<std::uint8_t> large = image_;
    large.resize(std::size_t{12} << 20, 0xA5);
    struct Case {
        const char* what;
        std::vector<std::uint8_t> image;
    };
    const std::vector<Case> cases = {{"an image", image_}, {"hostile records", hostile}, {"12 MiB", large}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ConfigBlock config;
        for (std::size_t i = 0; i < config.bytes.size(); ++i) {
            config.bytes[i] = static_cast<std::uint8_t>(i * 7);
        }
        std::vector<std::uint8_t> in_memory = c.image;
        const std::string expected = (dir_ / "expected.bin").string();
        ConfigBlock memory_config = config;
        ASSERT_EQ(generate_image(to(expected), in_memory, memory_config, {}), ImageMessage::save_success);

        FlashImageFile file;
        ASSERT_EQ(file.open(write("in.bin", c.image)), std::nullopt);
        const std::string out = (dir_ / "out.bin").string();
        ASSERT_EQ(generate_image(to(out), file, config, {}), ImageMessage::save_success);
        EXPECT_EQ(read(out), read(expected));
        EXPECT_EQ(read(dir_ / "in.bin"), c.image) << "the input is never written";
    }
}

// Generate from the open file streams the input's bytes into the output, so an input that changes
// after the Parse is refused ("Wrong binary file!") and the output stays as it was, instead of an
// image that mixes two files under CRCs of neither.
TEST_F(ImageFileTest, GenerateFromTheFileRefusesAnInputThatChangedSinceTheParse) {
    const std::string in = (dir_ / "in.bin").string();
    const std::string out = write("out.bin", {1, 2, 3});
    struct Case {
        const char* what;
        std::function<void()> change;
    };
    const std::vector<Case> cases = {
        {"cut down", [&] { fs::resize_file(in, 0x8000); }},
        {"cut inside the records", [&] { fs::resize_file(in, 0x120); }},
        {"grown", [&] { fs::resize_file(in, 0x20000); }},
        {"rewritten in place",
         [&] {
             std::fstream file(in, std::ios::binary | std::ios::in | std::ios::out);
             file.seekp(0x9000);
             file.put('\x11');
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write("in.bin", image_);
        // Aged, so that a rewrite in the clock tick of the write above still shows.
        const timespec old_times[2] = {{1, 0}, {1, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, in.c_str(), old_times, 0), 0);
        FlashImageFile file;
        ConfigBlock config;
        KeyScriptBuffer script;
        ASSERT_EQ(file.parse(in, config, script, {}), std::nullopt);
        c.change();
        EXPECT_EQ(generate_image(to(out), file, config, {}), ImageMessage::wrong_binary);
        EXPECT_EQ(read(out), (std::vector<std::uint8_t>{1, 2, 3}));
        EXPECT_EQ(files_in_dir(), 2u);
    }
}

}  // namespace
}  // namespace velmora
