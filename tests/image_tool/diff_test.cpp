// `velmora-image diff`: what it reports for images and side files, the files it refuses, and its
// JSON. The changed images are made by `velmora-image generate` from side files, as a production
// line makes them.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "config/flash_image.h"
#include "tests/image_tool/tool_fixture.h"
#include "tools/velmora-image/sample_image.h"

namespace velmora {
namespace {

constexpr std::size_t k_changed_ir1_row = 12;  // "1_UP" in the sample's key script
constexpr std::size_t k_changed_led_byte = 17;

ConfigBlock sample_block() {
    ConfigBlock block;
    KeyScriptBuffer script;
    EXPECT_EQ(ExtractConfig(image_tool::make_sample_image(), block, script, {}), 1);
    return block;
}

std::vector<std::uint8_t> record_of(const ConfigBlock& block) {
    return {block.bytes.begin(), block.bytes.end()};
}

std::string hex(std::uint8_t byte) {
    return fmt::format("0x{:02x}", byte);
}

class DiffTest : public VelmoraImageTest {
protected:
    void SetUp() override {
        VelmoraImageTest::SetUp();
        const ConfigBlock sample = sample_block();

        ConfigBlock fp = sample;
        fp.set_u32(0, 1);  // "1635": not 1642, and no 650 mark in byte 6
        fp.bytes[6] &= static_cast<std::uint8_t>(~0x08);
        fp_file_ = write("changed.fp", record_of(fp));

        ConfigBlock ir1 = sample;
        old_ir1_code_ = sample.key_code(k_ir1_table, k_changed_ir1_row);
        ir1.set_key_code(k_ir1_table, k_changed_ir1_row, old_ir1_code_ + 1);
        ir1_file_ = write("changed.ir1", record_of(ir1));

        ConfigBlock led = sample;
        old_led_byte_ = sample.bytes[k_led_map.offset + k_changed_led_byte];
        led.bytes[k_led_map.offset + k_changed_led_byte] = static_cast<std::uint8_t>(~old_led_byte_);
        led_file_ = write("changed.led", record_of(led));
    }

    // The sample with the side files given applied by generate.
    std::string generated(const std::string& name, const std::string& side_files) const {
        const std::string path = (dir_ / name).string();
        const ToolRun r = run("generate " + sample_ + " -o " + path + " " + side_files);
        EXPECT_EQ(r.status, 0) << r.err;
        return path;
    }

    std::string ir1_line() const {
        return fmt::format("IR1 key {} (1_UP): {} → {}\n", k_changed_ir1_row, hex(old_ir1_code_),
                           hex(static_cast<std::uint8_t>(old_ir1_code_ + 1)));
    }

    std::string fp_file_;
    std::string ir1_file_;
    std::string led_file_;
    std::uint8_t old_ir1_code_ = 0;
    std::uint8_t old_led_byte_ = 0;
};

TEST_F(DiffTest, PrintsOneLinePerChangedField) {
    const std::string fp_image = generated("fp.bin", "--fp " + fp_file_);
    const std::string ir1_image = generated("ir1.bin", "--ir1 " + ir1_file_);
    const std::string led_image = generated("led.bin", "--led " + led_file_);
    ConfigBlock fewer_fp_keys = sample_block();
    fewer_fp_keys.set_u16(k_fp_key_table.count_offset, 8);
    const std::string fpkey_file = write("fewer.fpkey", record_of(fewer_fp_keys));
    const std::string master_fp = write("master.fp", record_of(sample_block()));
    const std::string ir1_bytes = slurp(ir1_file_);
    const std::string upper_case_ir1 = write("CHANGED.IR1", {ir1_bytes.begin(), ir1_bytes.end()});
    const std::string led_line =
        fmt::format("LED map byte {}: {} → {}\n", k_changed_led_byte, hex(old_led_byte_),
                    hex(static_cast<std::uint8_t>(~old_led_byte_)));
    struct Case {
        const char* what;
        std::string a;
        std::string b;
        int status;
        std::string out;
    };
    const Case cases[] = {
        {"the same image", sample_, sample_, 0, ""},
        {"a front panel side file applied", sample_, fp_image, 1, "FP Type: 1642 → 1635\n"},
        {"a key code and nothing else", sample_, ir1_image, 1, ir1_line()},
        {"an LED map byte", sample_, led_image, 1, led_line},
        {"an image against the side file applied to it", ir1_file_, ir1_image, 0, ""},
        {"an image against a side file: only what the file holds", sample_, ir1_file_, 1, ir1_line()},
        {"the extension in capitals", sample_, upper_case_ir1, 1, ir1_line()},
        {"two side files of one page", master_fp, fp_file_, 1, "FP Type: 1642 → 1635\n"},
        {"a key row one side lacks", sample_, fpkey_file, 1,
         fmt::format("FP key 8 (KEY_STANDBY): {} → (none)\n",
                     hex(sample_block().key_code(k_fp_key_table, 8)))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ToolRun r = run("diff " + c.a + " " + c.b);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(DiffTest, RefusesWhatItCannotReadAndNamesTheSide) {
    ConfigBlock too_many = sample_block();
    too_many.set_u16(k_ir1_table.count_offset, 129);
    const std::string neither =
        "velmora-image: {} is neither a flash image nor a side file "
        "(.fp .hw .fpkey .ir1 .ir2 .led){}";
    const std::string record = write("record.bin", record_of(sample_block()));
    const std::string junk = write("junk.txt", {'h', 'e', 'l', 'l', 'o'});
    const std::string short_fp = write("short.fp", std::vector<std::uint8_t>(1563));
    const std::string short_hw = write("short.hw", std::vector<std::uint8_t>(1563));
    const std::string too_short = "The file is too short: a side file holds 1564 bytes!";
    struct Case {
        const char* what;
        std::string a;
        std::string b;
        int status;
        const char* side;  // "a", "b", or nullptr when neither side alone is at fault
        std::string message;
        std::vector<std::string> reasons;
    };
    const auto refused = [](char side, const std::string& path) {
        return fmt::format("{} ({}) is refused, so nothing was compared", side, path);
    };
    const Case cases[] = {
        {"a record without its page's extension",
         sample_,
         record,
         1,
         "b",
         refused('B', record),
         {fmt::format(fmt::runtime(neither), record, ": a 1564-byte record needs its page's extension")}},
        {"neither image nor record",
         junk,
         sample_,
         1,
         "a",
         refused('A', junk),
         {"Wrong binary file!", fmt::format(fmt::runtime(neither), junk, "")}},
        {"a file that is not there",
         sample_,
         (dir_ / "missing.bin").string(),
         1,
         "b",
         refused('B', (dir_ / "missing.bin").string()),
         {"Failed to open the flash file!"}},
        {"a device",
         "/dev/null",
         fp_file_,
         1,
         "a",
         refused('A', "/dev/null"),
         {"Failed to open the flash file!"}},
        {"a short side file as A", short_fp, fp_file_, 1, "a", refused('A', short_fp), {too_short}},
        {"a short side file as B", sample_, short_hw, 1, "b", refused('B', short_hw), {too_short}},
        {"a key file its page refuses",
         write("many.ir1", record_of(too_many)),
         sample_,
         1,
         "a",
         refused('A', (dir_ / "many.ir1").string()),
         {"The ir1 num out of range, please select the right file!"}},
        {"two side files of different pages",
         fp_file_,
         led_file_,
         2,
         nullptr,
         fmt::format("{} (side file .fp) and {} (side file .led) hold no page in common", fp_file_,
                     led_file_),
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string err = "velmora-image: " + c.message + "\n";
        for (const std::string& reason : c.reasons) {
            err += reason + "\n";
        }
        const ToolRun plain = run("diff " + c.a + " " + c.b);
        EXPECT_EQ(plain.status, c.status);
        EXPECT_EQ(plain.out, "");
        EXPECT_EQ(plain.err, err);

        const ToolRun json = run("diff --json " + c.a + " " + c.b);
        EXPECT_EQ(json.status, c.status);
        EXPECT_EQ(json.err, err);
        const auto report = nlohmann::json::parse(json.out, nullptr, false);
        ASSERT_FALSE(report.is_discarded()) << json.out;
        EXPECT_EQ(report["error"]["message"], c.message);
        EXPECT_EQ(report["error"]["side"], c.side == nullptr ? nlohmann::json() : nlohmann::json(c.side));
        EXPECT_EQ(report["error"]["reasons"], nlohmann::json(c.reasons));
        EXPECT_EQ(report["a"]["path"], c.a);
        EXPECT_EQ(report["b"]["path"], c.b);
        // A side has a kind once it loaded: A before a refused B, both when neither was refused.
        EXPECT_EQ(report["a"]["kind"].is_null(), c.side != nullptr && std::string(c.side) == "a");
        EXPECT_EQ(report["b"]["kind"].is_null(), c.side != nullptr);
    }
    EXPECT_EQ(run("diff " + sample_).status, 2);
    EXPECT_EQ(run("diff " + sample_ + " " + sample_ + " --no-such-flag").status, 2);
}

TEST_F(DiffTest, JsonHoldsEveryDifferenceAndParses) {
    const std::string ir1_image = generated("ir1.bin", "--ir1 " + ir1_file_);
    ConfigBlock fewer_fp_keys = sample_block();
    fewer_fp_keys.set_u16(k_fp_key_table.count_offset, 8);
    const std::string fpkey_file = write("fewer.fpkey", record_of(fewer_fp_keys));

    const ToolRun same = run("diff --json " + sample_ + " " + sample_);
    EXPECT_EQ(same.status, 0) << same.err;
    const auto same_json = nlohmann::json::parse(same.out);
    EXPECT_EQ(same_json["same"], true);
    EXPECT_EQ(same_json["differences"], nlohmann::json::array());
    EXPECT_EQ(same_json["a"]["kind"], "flash image");
    EXPECT_EQ(same_json["compared"].size(), 7u);

    const ToolRun keys = run("diff --json " + sample_ + " " + ir1_image);
    EXPECT_EQ(keys.status, 1) << keys.err;
    const auto keys_json = nlohmann::json::parse(keys.out);
    EXPECT_EQ(keys_json["same"], false);
    EXPECT_EQ(keys_json["differences"],
              nlohmann::json::array({{{"field", "IR1 key 12"},
                                      {"key_name", "1_UP"},
                                      {"a", hex(old_ir1_code_)},
                                      {"b", hex(static_cast<std::uint8_t>(old_ir1_code_ + 1))}}}));

    const ToolRun missing_row = run("diff --json " + fpkey_file + " " + sample_);
    EXPECT_EQ(missing_row.status, 1) << missing_row.err;
    const auto row_json = nlohmann::json::parse(missing_row.out);
    EXPECT_EQ(row_json["compared"], nlohmann::json::array({"FP keys"}));
    EXPECT_EQ(row_json["b"]["kind"], "flash image");
    EXPECT_EQ(row_json["a"]["kind"], "side file .fpkey");
    ASSERT_EQ(row_json["differences"].size(), 1u);
    EXPECT_EQ(row_json["differences"][0]["field"], "FP key 8");
    EXPECT_TRUE(row_json["differences"][0]["a"].is_null());
}

TEST_F(DiffTest, HostileKeyNamesStayValidJsonAndHarmlessText) {
    const std::string script =
        "CFGHEADER=toolcfg\n"
        "[KEY_\x1B[31mRED][1][2][3];\n"
        "[KEY_\xFF][4][5][6];\n";
    const std::string hostile = write("hostile.bin", image_tool::make_sample_image(script));

    const ToolRun json = run("diff --json " + sample_ + " " + hostile);
    EXPECT_EQ(json.status, 1) << json.err;
    const auto parsed = nlohmann::json::parse(json.out);
    const auto& differences = parsed["differences"];
    const auto name_of_key_1 = std::find_if(differences.begin(), differences.end(),
                                            [](const auto& d) { return d["field"] == "FP key 1 name"; });
    ASSERT_NE(name_of_key_1, differences.end());
    EXPECT_EQ((*name_of_key_1)["a"], "KEY_MENU");
    EXPECT_EQ((*name_of_key_1)["b"], "KEY_\xEF\xBF\xBD");

    const ToolRun text = run("diff " + sample_ + " " + hostile);
    EXPECT_EQ(text.status, 1);
    EXPECT_NE(text.out.find("FP key 0 name: KEY_POWER → KEY_\\x1b[31mRED\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("FP key 1 name: KEY_MENU → KEY_\\xff\n"), std::string::npos);
    EXPECT_EQ(text.out.find('\x1B'), std::string::npos);
}

}  // namespace
}  // namespace velmora
