#include "config/image_file.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "config/flash_image.h"
#include "tests/config/image_builder.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

GenerateTarget to(const std::string& path, const std::string& unchanged_source = "") {
    GenerateTarget target;
    target.path = path;
    target.unchanged_source = unchanged_source;
    return target;
}

class ImageFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "velmora-image-file.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        image_ = test::ImageBuilder(0x10400)
                     .directory(16, {{TAG_MAIN, 0x100, 464}})
                     .directory(0x10000, {{TAG_KEY_SCRIPT, 0x100, 8}})
                     .build();
    }
    void TearDown() override { fs::remove_all(dir_); }

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

    fs::path dir_;
    std::vector<std::uint8_t> image_;
};

TEST_F(ImageFileTest, ReadFailuresAndWhatHappensToTheOldImage) {
    const std::vector<std::uint8_t> old{1, 2, 3};
    struct Case {
        std::string path;
        ImageMessage message;
        bool keeps_old;
    };
    const Case cases[] = {
        {"", ImageMessage::select_input, true},
        {(dir_ / "missing.bin").string(), ImageMessage::open_flash_failed, true},
        {dir_.string(), ImageMessage::open_flash_failed, true},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> image = old;
        EXPECT_EQ(ReadFlashImage(c.path, image), c.message) << c.path;
        EXPECT_EQ(image == old, c.keeps_old) << c.path;
    }
    std::vector<std::uint8_t> image = old;
    EXPECT_EQ(ReadFlashImage(write("in.bin", image_), image), std::nullopt);
    EXPECT_EQ(image, image_);
}

TEST_F(ImageFileTest, GenerateWritesTheNewImageAfterStoringThePages) {
    std::vector<std::uint8_t> image = image_;
    ConfigBlock config;
    const std::string out = (dir_ / "out.bin").string();
    const ImageMessage result = GenerateImage(to(out), image, config, [](ConfigBlock& block) {
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
    struct Case {
        const char* what;
        std::string output;
        std::vector<std::uint8_t> image;
        ImageMessage message;
    };
    const Case cases[] = {
        {"no output path", "", image_, ImageMessage::select_output},
        {"missing folder", (dir_ / "nowhere" / "out.bin").string(), image_, ImageMessage::open_output_failed},
        {"no directory A", existing, std::vector<std::uint8_t>(2048, 0), ImageMessage::save_failed},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> image = c.image;
        ConfigBlock config;
        EXPECT_EQ(GenerateImage(to(c.output), image, config, {}), c.message) << c.what;
        EXPECT_EQ(read(existing), (std::vector<std::uint8_t>{9, 9, 9})) << c.what;
        EXPECT_FALSE(fs::exists(dir_ / "nowhere")) << c.what;
        EXPECT_EQ(files_in_dir(), 1u) << c.what;
    }
    // A caller that abandons the run after the stores gets no image either.
    std::vector<std::uint8_t> image = image_;
    ConfigBlock config;
    EXPECT_EQ(GenerateImage(to(existing), image, config, [](ConfigBlock&) { return false; }),
              ImageMessage::save_failed);
    EXPECT_EQ(read(existing), (std::vector<std::uint8_t>{9, 9, 9}));
    EXPECT_EQ(files_in_dir(), 1u);
    EXPECT_EQ(message_text(ImageMessage::save_failed).text, "Save Data Failed!!");
    EXPECT_EQ(message_text(ImageMessage::save_failed).caption, "Error");
}

TEST_F(ImageFileTest, TheInputChosenAsOutputIsReplacedWhole) {
    const std::string path = write("in.bin", image_);
    std::vector<std::uint8_t> image;
    ASSERT_EQ(ReadFlashImage(path, image), std::nullopt);
    ConfigBlock config;
    config.bytes[0] = 0x77;
    EXPECT_EQ(GenerateImage(to(path), image, config, {}), ImageMessage::save_success);
    const auto written = read(path);
    EXPECT_EQ(written.size(), image_.size());
    EXPECT_EQ(written[16 + 0x100], 0x77);
}

TEST_F(ImageFileTest, CopyingTheSourceFileGivesTheSameBytesAsWritingTheImage) {
    // A record far out in a large image, so that the copied and the rewritten parts interleave.
    auto big = test::ImageBuilder(0x30000)
                   .directory(16, {{TAG_MAIN, 0x100, 464}, {TAG_FP_KEYS, 0x2F000, 9}, {0x42, 0x400, 4}})
                   .directory(0x10000, {{TAG_KEY_SCRIPT, 0x100, 8}})
                   .pattern(0x20000, 0x100, 7)
                   .build();
    const std::string in = write("big.bin", big);
    ConfigBlock config;
    config.bytes.fill(0x3C);
    for (const std::string& source : {std::string(), in}) {
        const std::string out = (dir_ / ("out" + std::to_string(source.size()) + ".bin")).string();
        std::vector<std::uint8_t> image = big;
        ASSERT_EQ(GenerateImage(to(out, source), image, config, {}), ImageMessage::save_success) << source;
        EXPECT_EQ(read(out), image) << source;
    }
    // The input chosen as the output, copied from itself.
    std::vector<std::uint8_t> image = big;
    ASSERT_EQ(GenerateImage(to(in, in), image, config, {}), ImageMessage::save_success);
    EXPECT_EQ(read(in), image);
    // A source shorter than the image cannot give a whole output.
    const std::string short_source = write("short.bin", std::vector<std::uint8_t>(100, 1));
    image = big;
    EXPECT_EQ(GenerateImage(to((dir_ / "never.bin").string(), short_source), image, config, {}),
              ImageMessage::save_failed);
    EXPECT_FALSE(fs::exists(dir_ / "never.bin"));
}

}  // namespace
}  // namespace velmora
