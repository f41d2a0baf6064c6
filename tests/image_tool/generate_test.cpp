#include <gtest/gtest.h>

#include "config/flash_image.h"
#include "tests/image_tool/tool_fixture.h"
#include "tools/velmora-image/sample_image.h"

namespace velmora {
namespace {

// The sample's block, as the view's Parse leaves it, to build side files from.
ConfigBlock sample_block() {
    ConfigBlock block;
    KeyScriptBuffer script;
    EXPECT_EQ(ExtractConfig(image_tool::make_sample_image(), block, script, {}), 1);
    return block;
}

std::vector<std::uint8_t> record_of(const ConfigBlock& block) {
    return {block.bytes.begin(), block.bytes.end()};
}

class GenerateTest : public VelmoraImageTest {
protected:
    std::string out() const { return (dir_ / "out.bin").string(); }
    ConfigBlock out_block() const {
        std::ifstream in(out(), std::ios::binary);
        const std::vector<std::uint8_t> image{std::istreambuf_iterator<char>(in),
                                              std::istreambuf_iterator<char>()};
        ConfigBlock block;
        KeyScriptBuffer script;
        EXPECT_EQ(ExtractConfig(image, block, script, {}), 1);
        return block;
    }
};

TEST_F(GenerateTest, WithoutChangesTheSampleComesBackByteForByte) {
    const ToolRun r = run("generate " + sample_ + " -o " + out());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Save Data Success!\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(slurp(out()), slurp(sample_));
}

TEST_F(GenerateTest, SideFilesAndPowerWaveReachTheNewImage) {
    ConfigBlock fp = sample_block();
    fp.bytes[8] = (33 << 2) | 0;  // clock on pin 33, active low
    ConfigBlock ir1{};
    ir1.set_u16(k_ir1_table.count_offset, 2);
    ir1.set_key_code(k_ir1_table, 0, 0x5A);
    ir1.set_key_code(k_ir1_table, 1, 0xA5);
    ir1.set_u16(k_ir1_user_code_offset, 0x1234);
    ConfigBlock led{};
    led.bytes[k_led_map.offset + 3] = 0x77;

    const ToolRun r = run("generate " + sample_ + " -o " + out() + " --fp " + write("a.fp", record_of(fp)) +
                          " --ir1 " + write("a.ir1", record_of(ir1)) + " --led " +
                          write("a.led", record_of(led)) + " --power-wave ' 7,,65535,0x5,'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Load done!\nLoad done!\nLoad done!\n");

    const ConfigBlock b = out_block();
    EXPECT_EQ(b.bytes[8], (33 << 2));
    EXPECT_EQ(b.key_code(k_ir1_table, 0), 0x5A);
    EXPECT_EQ(b.key_code(k_ir1_table, 1), 0xA5);
    EXPECT_EQ(b.key_code(k_ir1_table, 2),
              sample_block().key_code(k_ir1_table, 2));  // rows past the file's count stay
    EXPECT_EQ(b.u16(k_ir1_user_code_offset), 0x1234);
    EXPECT_EQ(b.bytes[k_led_map.offset + 3], 0x77);
    const std::uint16_t words[] = {7, 0xFFFF, 0, 0, 0};  // "0x5" reads as the 0 before the x
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(b.u16(k_power_wave.offset + 2 * i), words[i]) << i;
    }
    EXPECT_EQ(run("verify " + out()).status, 0);
}

TEST_F(GenerateTest, RefusedInputsLeaveNoOutput) {
    ConfigBlock ir1_too_many{};
    ir1_too_many.set_u16(k_ir1_table.count_offset, 129);
    ConfigBlock fp_too_many{};
    fp_too_many.set_u16(k_fp_key_table.count_offset, 17);
    struct Case {
        std::string args;
        std::string err;
    };
    const Case cases[] = {
        {"--ir1 " + write("bad.ir1", record_of(ir1_too_many)),
         "The ir1 num out of range, please select the right file!\n"},
        {"--fp " + write("ok.fp", record_of(sample_block())) + " --fpkey " +
             write("bad.fpkey", record_of(fp_too_many)),
         "Load done!\nThe fp num out of range, please select the right file!\n"},
        {"--hw " + write("short.hw", std::vector<std::uint8_t>(1563, 0)),
         "The file is too short: a side file holds 1564 bytes!\n"},
        {"--led " + (dir_ / "missing.led").string(), "Can't open binary file!\n"},
    };
    for (const Case& c : cases) {
        const ToolRun r = run("generate " + sample_ + " -o " + out() + " " + c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_EQ(r.err, c.err) << c.args;
        EXPECT_FALSE(fs::exists(out())) << c.args;
    }
    const ToolRun image =
        run("generate " + write("junk.bin", std::vector<std::uint8_t>(100, 0)) + " -o " + out());
    EXPECT_EQ(image.status, 1);
    EXPECT_EQ(image.err, "Wrong binary file!\n");
    EXPECT_FALSE(fs::exists(out()));
}

// As in the window, a failed check writes nothing: OUT keeps what it held, and no success is printed.
// --strict, which asked for that before, keeps its exit status 3.
TEST_F(GenerateTest, AFailedCheckWritesNothing) {
    ConfigBlock hw = sample_block();
    hw.bytes[308] = 200;  // a TV/AV pin no box has
    const std::string hw_file = write("bad.hw", record_of(hw));
    const std::vector<std::uint8_t> earlier(100, 0x5A);
    for (const auto& [strict, status] : {std::pair{"", 1}, std::pair{"--strict ", 3}}) {
        SCOPED_TRACE(strict);
        write("out.bin", earlier);
        const ToolRun r =
            run("generate " + std::string(strict) + sample_ + " -o " + out() + " --hw " + hw_file);
        EXPECT_EQ(r.status, status);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "Load done!\nThe 'TV/AV' value is not valid!\n");
        EXPECT_EQ(slurp(out()), std::string(earlier.begin(), earlier.end()));
    }
    fs::remove(out());
    EXPECT_EQ(run("generate " + sample_ + " -o " + out() + " --hw " + hw_file).status, 1);
    EXPECT_FALSE(fs::exists(out()));
}

// A power wave text that the dialog would keep open on is bad usage: refused before anything is read,
// with the dialog's message, and OUT is not made. -5 used to be written as 65531, 99999999999 as 65535.
TEST_F(GenerateTest, ARefusedPowerWaveTextIsBadUsage) {
    std::string tokens;
    for (int i = 0; i < 64; ++i) {
        tokens += std::to_string(i) + ",";
    }
    const std::vector<std::pair<std::string, std::string>> cases{
        {"-5", "The 'Power Wave Data 0' value is not valid!"},
        {"99999999999", "The 'Power Wave Data 0' value is not valid!"},
        {"100,200,abc,300", "The 'Power Wave Data 2' value is not valid!"},
        {"1,,70000", "The 'Power Wave Data 1' value is not valid!"},
        {tokens, "There is more than 63 group data, please check!"},
    };
    for (const auto& [text, message] : cases) {
        SCOPED_TRACE(text);
        const ToolRun r = run("generate " + sample_ + " -o " + out() + " --power-wave='" + text + "'");
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(out()));
    }
    // The empty text is the dialog's OK on an empty edit: 63 zeros.
    ASSERT_EQ(run("generate " + sample_ + " -o " + out() + " --power-wave=").status, 0);
    EXPECT_EQ(out_block().u16(k_power_wave.offset + 2), 0);
}

}  // namespace
}  // namespace velmora
