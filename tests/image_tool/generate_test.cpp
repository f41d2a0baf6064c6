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
                          write("a.led", record_of(led)) + " --power-wave ' 7,,-1,65536,0x5,'");
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
    const std::uint16_t words[] = {7, 0xFFFF, 0, 0, 0};
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

TEST_F(GenerateTest, FailedChecksWriteTheImageUnlessStrict) {
    ConfigBlock hw = sample_block();
    hw.bytes[308] = 200;  // a TV/AV pin no box has
    const std::string hw_file = write("bad.hw", record_of(hw));
    std::string tokens;
    for (int i = 0; i < 64; ++i) {
        tokens += std::to_string(i) + ",";
    }
    struct Case {
        std::string args;
        std::string err;
    };
    const Case cases[] = {
        {"--hw " + hw_file, "Load done!\nThe 'TV/AV' value is not valid!\n"},
        {"--power-wave " + tokens, "There is more than 63 group data, please check!\n"},
    };
    for (const Case& c : cases) {
        fs::remove(out());
        const ToolRun lenient = run("generate " + sample_ + " -o " + out() + " " + c.args);
        EXPECT_EQ(lenient.status, 0) << c.args;
        EXPECT_EQ(lenient.err, c.err) << c.args;
        EXPECT_TRUE(fs::exists(out())) << c.args;

        fs::remove(out());
        const ToolRun strict = run("generate --strict " + sample_ + " -o " + out() + " " + c.args);
        EXPECT_EQ(strict.status, 3) << c.args;
        EXPECT_EQ(strict.err, c.err) << c.args;
        EXPECT_FALSE(fs::exists(out())) << c.args;
    }
    // The refused power wave text changed nothing.
    fs::remove(out());
    ASSERT_EQ(run("generate " + sample_ + " -o " + out() + " --power-wave " + tokens).status, 0);
    EXPECT_EQ(out_block().range(k_power_wave)[0], sample_block().range(k_power_wave)[0]);
    EXPECT_EQ(out_block().u16(k_power_wave.offset + 2), 1000);
}

}  // namespace
}  // namespace velmora
