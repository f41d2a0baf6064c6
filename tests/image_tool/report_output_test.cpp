// What velmora-image prints when the image carries hostile names, when standard output cannot take
// the report, and the empty power wave text.
#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "config/flash_image.h"
#include "tests/image_tool/tool_fixture.h"
#include "tools/velmora-image/generate_command.h"
#include "tools/velmora-image/report_text.h"
#include "tools/velmora-image/sample_image.h"

namespace velmora {
namespace {

using image_tool::escape_for_terminal;
using image_tool::is_utf8;
using image_tool::replace_invalid_utf8;

const std::string k_fffd = "\xEF\xBF\xBD";

// True when `text` is valid UTF-8, judged by the JSON library rather than by the code under test.
bool library_accepts(const std::string& text) {
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::type_error&) {
        return false;
    }
}

TEST(ReportTextTest, DecodesAndEscapesEveryKindOfByte) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string decoded;  // replace_invalid_utf8
        std::string escaped;  // escape_for_terminal
    };
    const Case cases[] = {
        {"plain ASCII", "KEY_OK", "KEY_OK", "KEY_OK"},
        {"Chinese and an emoji", "\xE6\x8E\xA7\xF0\x9F\x98\x80", "\xE6\x8E\xA7\xF0\x9F\x98\x80",
         "\xE6\x8E\xA7\xF0\x9F\x98\x80"},
        {"a raw 0xFF", "KEY_\xFF", "KEY_" + k_fffd, "KEY_\\xff"},
        {"a character cut after two of its three bytes", "A\xE6\x8E", "A" + k_fffd, "A\\xe6\\x8e"},
        {"a cut character before ASCII", "\xE6\x8Ex", k_fffd + "x", "\\xe6\\x8ex"},
        {"an ESC sequence", "\x1B[31mRED", "\x1B[31mRED", "\\x1b[31mRED"},
        {"NUL, tab, DEL", std::string("\0\t\x7F", 3), std::string("\0\t\x7F", 3), "\\x00\\x09\\x7f"},
        {"the C1 control CSI, encoded",
         "\xC2\x9B"
         "1m",
         "\xC2\x9B"
         "1m",
         "\\u009b1m"},
        {"the first character past the C1 controls", "\xC2\xA0", "\xC2\xA0", "\xC2\xA0"},
        {"an overlong slash", "\xC0\xAF", k_fffd + k_fffd, "\\xc0\\xaf"},
        {"a surrogate", "\xED\xA0\x80", k_fffd + k_fffd + k_fffd, "\\xed\\xa0\\x80"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", k_fffd + k_fffd + k_fffd + k_fffd, "\\xf4\\x90\\x80\\x80"},
        {"a four-byte character cut after three", "\xF0\x9F\x98", k_fffd, "\\xf0\\x9f\\x98"},
        {"a lone continuation byte", "\x80", k_fffd, "\\x80"},
        {"a backslash stays as it is", "A\\x1b", "A\\x1b", "A\\x1b"},
        {"empty", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(replace_invalid_utf8(c.bytes), c.decoded);
        EXPECT_EQ(escape_for_terminal(c.bytes), c.escaped);
        EXPECT_EQ(is_utf8(c.bytes), c.bytes == c.decoded);
        EXPECT_EQ(is_utf8(c.bytes), library_accepts(c.bytes));
        EXPECT_TRUE(library_accepts(c.decoded));
    }
}

TEST(ReportTextTest, JsonReportParsesEvenWithATextThatMissedJsonText) {
    const nlohmann::json report{{"name", image_tool::json_text("KEY_\xFF")}, {"raw", "A\xE6\x8E"}};
    const std::string text = image_tool::json_report(report);
    ASSERT_EQ(text.back(), '\n');
    const auto parsed = nlohmann::json::parse(text);
    EXPECT_EQ(parsed["name"], "KEY_" + k_fffd);
    EXPECT_TRUE(library_accepts(parsed["raw"].get<std::string>()));
}

TEST(PowerWaveArgumentTest, OnlyAnEmptyPowerWaveBeforeTheOptionsEndIsSpeltOut) {
    struct Case {
        std::vector<std::string> in;
        std::vector<std::string> out;
    };
    const Case cases[] = {
        {{"velmora-image", "generate", "--power-wave=", "--strict"},
         {"velmora-image", "generate", "--power-wave", "", "--strict"}},
        {{"velmora-image", "--power-wave=1,2"}, {"velmora-image", "--power-wave=1,2"}},
        {{"velmora-image", "--", "--power-wave="}, {"velmora-image", "--", "--power-wave="}},
        {{"--power-wave="}, {"--power-wave="}},  // the program's own name
    };
    for (const Case& c : cases) {
        std::vector<std::string> storage = c.in;
        std::vector<char*> argv;
        for (std::string& arg : storage) {
            argv.push_back(arg.data());
        }
        const std::vector<char*> args =
            image_tool::with_empty_power_wave(static_cast<int>(argv.size()), argv.data());
        const std::vector<std::string> got(args.begin(), args.end());
        EXPECT_EQ(got, c.out) << c.in.size();
    }
}

class ReportOutputTest : public VelmoraImageTest {
protected:
    // Runs the program with standard output sent to `target`, after the shell line `setup`.
    ToolRun run_into(const std::string& args, const std::string& target,
                     const std::string& setup = "") const {
        const fs::path err = dir_ / "stderr.txt";
        const std::string command =
            setup + " " VELMORA_IMAGE_TOOL " " + args + " >" + target + " 2>" + err.string();
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, "", slurp(err)};
    }

    // The sample with front-panel key names that a hostile script gives it.
    std::string hostile_image() const {
        const std::string script =
            "CFGHEADER=toolcfg\n"
            "[KEY_\x1B[31mRED][1][2][3];\n"
            "[KEY_\xFF][4][5][6];\n"
            "[KEY_A\xE6\x8E\xA7\xE6\x8E\xA7\xE6\x8E\xA7\xE6\x8E\xA7\xE6\x8E\xA7][7][8][9];\n"
            "[KEY_\xC2\x9B\x7F][1][1][1];\n";
        return write("hostile.bin", image_tool::make_sample_image(script));
    }
};

TEST_F(ReportOutputTest, JsonDumpOfHostileNamesParsesAndKeepsTheBytesInHex) {
    const fs::path tmp = dir_ / "tmp";
    fs::create_directory(tmp);
    const ToolRun r = run("dump --json " + hostile_image(), "TMPDIR=" + tmp.string());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(fs::is_empty(tmp)) << "the private drive folder is removed";

    const auto json = nlohmann::json::parse(r.out);
    const nlohmann::json decoded = {"KEY_\x1B[31mRED", "KEY_" + k_fffd,
                                    "KEY_A\xE6\x8E\xA7\xE6\x8E\xA7\xE6\x8E\xA7\xE6\x8E\xA7" + k_fffd,
                                    "KEY_\xC2\x9B\x7F"};
    EXPECT_EQ(json["key_names"]["fp"], decoded);
    EXPECT_EQ(json["key_names_hex"]["fp"],
              nlohmann::json({"4b45595f1b5b33316d524544", "4b45595fff",
                              "4b45595f41e68ea7e68ea7e68ea7e68ea7e68e", "4b45595fc29b7f"}));
    EXPECT_EQ(json["key_names_hex"]["ir1"], nlohmann::json::array());
    const auto& fp_table = json["pages"][2]["tables"][1]["rows"];
    ASSERT_GE(fp_table.size(), decoded.size());
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        EXPECT_EQ(fp_table[i][0], decoded[i]) << i;
    }
}

TEST_F(ReportOutputTest, PlainDumpEscapesControlBytesOfHostileNames) {
    const ToolRun r = run("dump " + hostile_image());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(
        r.out.find("fp names (4): KEY_\\x1b[31mRED KEY_\\xff "
                   "KEY_A\xE6\x8E\xA7\xE6\x8E\xA7\xE6\x8E\xA7\xE6\x8E\xA7\\xe6\\x8e KEY_\\u009b\\x7f\n"),
        std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("KEY_\\x1b[31mRED"), r.out.rfind("KEY_\\x1b[31mRED")) << "also in the key map table";
    EXPECT_TRUE(library_accepts(r.out));
    for (const char byte : r.out) {
        const auto value = static_cast<unsigned char>(byte);
        ASSERT_TRUE(value == '\n' || (value >= 0x20 && value != 0x7F)) << static_cast<int>(value);
    }
    EXPECT_EQ(r.out.find("\xC2\x9B"), std::string::npos);
}

// A report that standard output cannot take is an error for every command, with the reason.
TEST_F(ReportOutputTest, EveryCommandFailsWhenItsReportCannotBeWritten) {
    if (::access("/dev/full", W_OK) != 0) {
        GTEST_SKIP() << "no /dev/full";
    }
    const std::string out = (dir_ / "out.bin").string();
    const std::string commands[] = {
        "info " + sample_,        "info --json " + sample_,
        "verify " + sample_,      "dump " + sample_,
        "dump --json " + sample_, "dump --json " + hostile_image(),
        "sample -o " + out,       "generate " + sample_ + " -o " + out,
    };
    for (const std::string& args : commands) {
        SCOPED_TRACE(args);
        const ToolRun r = run_into(args, "/dev/full");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "velmora-image: cannot write the report: No space left on device\n");
    }
    // Refusals keep their own message: no report was due.
    const ToolRun refused = run_into("info " + (dir_ / "missing.bin").string(), "/dev/full");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "Failed to open the flash file!\n");
}

// A file that stops growing partway (here a file size limit) is the case of a disk that fills up
// during the report: what was written is a prefix, and the run fails.
TEST_F(ReportOutputTest, AReportCutShortFailsAndLeavesAPrefix) {
    const ToolRun whole = run("dump --json " + sample_);
    ASSERT_EQ(whole.status, 0);
    const fs::path cut = dir_ / "cut.json";
    const ToolRun r = run_into("dump --json " + sample_, cut.string(), "trap '' XFSZ; ulimit -f 16;");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "velmora-image: cannot write the report: File too large\n");
    const std::string written = slurp(cut);
    EXPECT_LT(written.size(), whole.out.size());
    EXPECT_EQ(written, whole.out.substr(0, written.size()));
}

// "--power-wave=" is the empty text, which the dialog's OK takes as 63 zeros; the option after it
// stays an option.
TEST_F(ReportOutputTest, AnEmptyPowerWaveTextGivesZeros) {
    const std::string out = (dir_ / "out.bin").string();
    struct Case {
        std::string args;
        std::uint16_t first;  // the first word; all others are 0
    };
    const Case cases[] = {
        {"--power-wave=", 0},
        {"--power-wave= --strict", 0},
        {"--power-wave ''", 0},
        {"--power-wave=7", 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        fs::remove(out);
        const ToolRun r = run("generate " + sample_ + " -o " + out + " " + c.args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "Save Data Success!\n");
        const std::string image = slurp(out);
        ConfigBlock block;
        KeyScriptBuffer script;
        ASSERT_EQ(ExtractConfig({reinterpret_cast<const std::uint8_t*>(image.data()), image.size()}, block,
                                script, {}),
                  1);
        EXPECT_EQ(block.u16(k_power_wave.offset), c.first);
        for (std::size_t i = 1; i < k_power_wave_values; ++i) {
            EXPECT_EQ(block.u16(k_power_wave.offset + 2 * i), 0) << i;
        }
    }
}

}  // namespace
}  // namespace velmora
