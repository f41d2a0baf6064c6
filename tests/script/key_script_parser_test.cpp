#include "script/key_script_parser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/platform/temp_drive_root.h"

namespace velmora {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

constexpr std::string_view k_header = "CFGHEADER=toolcfg\n";

fs::path write_file(const fs::path& file, std::string_view text) {
    std::ofstream out(file, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return file;
}

// Parses `text` in memory and from a file; the two roads must give the same result and names.
int parse_both(std::string_view text, KeyNames& names) {
    const int in_memory = parse_key_script(text, names);
    const testing::TempDirectory dir;
    const fs::path file = write_file(dir.path() / "script-kv.cfg", text);
    KeyNames from_file{{"stale"}, {"stale"}, {"stale"}};
    const int loaded = LoadKeyScript(file.string(), from_file);
    EXPECT_EQ(loaded, in_memory);
    EXPECT_EQ(from_file.ir1, names.ir1);
    EXPECT_EQ(from_file.ir2, names.ir2);
    EXPECT_EQ(from_file.fp, names.fp);
    return in_memory;
}

struct ScriptCase {
    std::string label;
    std::string text;
    int result;
    Names ir1{};
    Names ir2{};
    Names fp{};
};

void check_cases(const std::vector<ScriptCase>& cases) {
    for (const ScriptCase& c : cases) {
        SCOPED_TRACE(c.label);
        KeyNames names{{"old"}, {"old"}, {"old"}};
        EXPECT_EQ(parse_both(c.text, names), c.result);
        EXPECT_EQ(names.ir1, c.ir1);
        EXPECT_EQ(names.ir2, c.ir2);
        EXPECT_EQ(names.fp, c.fp);
    }
}

std::string with_header(std::string_view body) {
    return std::string(k_header) + std::string(body);
}

TEST(KeyScriptParser, HeaderDecidesWhetherTheFileIsAToolScript) {
    check_cases({
        {"header only, no line end", "CFGHEADER=toolcfg", k_script_ok},
        {"blank before the separator", "CFGHEADER =toolcfg\n", k_script_ok},
        {"further letters before the separator", "CFGHEADERS=toolcfg\n", k_script_ok},
        {"run of separators", "CFGHEADER===toolcfg\n", k_script_ok},
        {"value ends at the next separator", "CFGHEADER=toolcfg=v2\n", k_script_ok},
        {"header after other lines", "# tool\n\nname=x\nCFGHEADER=toolcfg\n", k_script_ok},
        {"one matching header among others", "CFGHEADER=other\nCFGHEADER=toolcfg\n", k_script_ok},
        {"text after a NUL is not seen", "CFGHEADER=toolcfg\0junk\n"s, k_script_ok},
        {"blank after the separator", "CFGHEADER= toolcfg\n", k_script_invalid},
        {"value only begins with toolcfg", "CFGHEADER=toolcfgs\n", k_script_invalid},
        {"trailing blank in the value", "CFGHEADER=toolcfg \n", k_script_invalid},
        {"no separator", "CFGHEADER toolcfg\n", k_script_invalid},
        {"nothing after the separators", "CFGHEADER==\n", k_script_invalid},
        {"header not at the line start", " CFGHEADER=toolcfg\n", k_script_invalid},
        {"header behind a comment mark", "##CFGHEADER=toolcfg\n", k_script_invalid},
        {"letters are not folded", "cfgheader=toolcfg\n", k_script_invalid},
        {"NUL inside the value", "CFGHEADER=tool\0cfg\n"s, k_script_invalid},
        {"lone carriage return at the end is text", "CFGHEADER=toolcfg\r", k_script_invalid},
        {"records without a header", "[1_A][p][q][r];\n", k_script_invalid},
        {"empty file", "", k_script_invalid},
    });
}

TEST(KeyScriptParser, RecordLinesFillTheirListsInOrder) {
    check_cases({
        {"two records, one blank between",
         with_header("[1_A][p][q][r] [1_B][p][q][r];\n"),
         k_script_ok,
         {"1_A", "1_B"}},
        {"each prefix feeds its list",
         with_header("##[1_A][p][q][r];\n[2_B][p][q][r];\n##[KEY_C][p][q][r];\n[KEY_D][p][q][r];\n"
                     "##[2_E][p][q][r];\n[1_F][p][q][r];\n"),
         k_script_ok,
         {"1_A", "1_F"},
         {"2_B", "2_E"},
         {"KEY_C", "KEY_D"}},
        {"records before the header count too",
         "[KEY_0][p][q][r];\nCFGHEADER=toolcfg\n",
         k_script_ok,
         {},
         {},
         {"KEY_0"}},
        {"other lines are ignored",
         with_header(
             " [1_A][p][q][r];\n[3_A][p][q][r];\n[key_A][p][q][r];\n#[1_A][p][q][r];\n1_A][p][q][r];\n"),
         k_script_ok},
        {"CRLF line ends",
         "CFGHEADER=toolcfg\r\n\r\n[1_A][p][q][r];\r\n[KEY_B][p][q][r]\r\n",
         k_script_ok,
         {"1_A"},
         {},
         {"KEY_B"}},
        {"ends at a following ##", with_header("[1_A][p][q][r]##\n"), k_script_ok, {"1_A"}},
        {"ends at a following blank and ## comment",
         with_header("[1_A][p][q][r] ## power key\n"),
         k_script_ok,
         {"1_A"}},
        {"ends at a directly following ## comment",
         with_header("[1_A][p][q][r]##power\n"),
         k_script_ok,
         {"1_A"}},
        {"ends with nothing after the last record",
         with_header("[2_A][p][q][r]\n[2_B][p][q][r]"),
         k_script_ok,
         {},
         {"2_A", "2_B"}},
        {"long name keeps 19 characters",
         with_header("[1_ABCDEFGHIJKLMNOPQRSTUVW][p][q][r];\n"),
         k_script_ok,
         {"1_ABCDEFGHIJKLMNOPQ"}},
        {"## in the first name ends the line unstored",
         with_header("[1_A##B][p];\n[1_C][p][q][r];\n"),
         k_script_ok,
         {"1_C"}},
        {"## in a further name ends the line unstored",
         with_header("[1_A][p][q][r] [1_##][p]\n"),
         k_script_ok,
         {"1_A"}},
        {"runs of ] are one cut", with_header("[1_A]][p]]][q][r]];\n"), k_script_ok, {"1_A"}},
        {"field contents are not read", with_header("[1_A][p][q];\n"), k_script_ok, {"1_A"}},
        {"a second separator character joins the name",
         with_header("[1_A][p][q][r]  [1_B][p][q][r];\n"),
         k_script_ok,
         {"1_A", "[1_B"}},
        {"a short opener gives an empty name",
         with_header("[1_A][p][q][r]x][p][q][r]\n"),
         k_script_ok,
         {"1_A", ""}},
        {"text after a NUL is not seen", with_header("[1_A][p][q][r];\0garbage\n"s), k_script_ok, {"1_A"}},
    });
}

TEST(KeyScriptParser, IncompleteRecordVoidsTheWholeScript) {
    check_cases({
        {"name alone", with_header("[1_A][p][q][r];\n[1_B]\n"), k_script_invalid},
        {"two of three fields", with_header("[KEY_A][p][q]\n"), k_script_invalid},
        {"second record short", with_header("[2_A][p][q][r] [2_B][p]\n"), k_script_invalid},
        {"blank after the terminator", with_header("[1_A][p][q][r]; \n"), k_script_invalid},
        {"blank before the terminator", with_header("[1_A][p][q][r] ;\n"), k_script_invalid},
        {"single stray character", with_header("[1_A][p][q][r]x\n"), k_script_invalid},
        {"fields cut off by a NUL", with_header("[1_A][p]\0[q][r];\n"s), k_script_invalid},
        {"lone carriage return at the end is text", with_header("[1_A][p][q][r];\r"), k_script_invalid},
        {"names of earlier lines are void too",
         with_header("[1_A][p][q][r];\n[2_A][p][q][r];\n[KEY_A][p][q][r];\n[1_B][p][q]\n"), k_script_invalid},
    });
}

std::string repeated(char c, std::size_t count) {
    return std::string(count, c);
}

// A record line of `length` characters whose last field is the single character after the last "]".
std::string record_of_length(std::size_t length) {
    const std::string_view start = "[1_";
    const std::string_view end = "][p][q]r";
    return std::string(start) + repeated('N', length - start.size() - end.size()) + std::string(end) + "\n";
}

TEST(KeyScriptParser, OverlongLineIsCutAndEndsThePass) {
    check_cases({
        {"999-character line before the header", repeated('x', 999) + "\n" + std::string(k_header),
         k_script_ok},
        {"999 characters and CRLF", repeated('x', 999) + "\r\n" + std::string(k_header), k_script_ok},
        {"1000-character line hides the header", repeated('x', 1000) + "\n" + std::string(k_header),
         k_script_invalid},
        {"very long line without a line end", repeated('x', 70000) + std::string(k_header), k_script_invalid},
        {"header in the first 999 characters of a long line", "CFGHEADER=toolcfg=" + repeated('x', 2000),
         k_script_ok},
        {"999-character header", "CFGHEADER" + repeated('=', 999 - 16) + "toolcfg\n", k_script_ok},
        {"1000-character header loses its last letter", "CFGHEADER" + repeated('=', 1000 - 16) + "toolcfg\n",
         k_script_invalid},
        {"999-character record line, next line read",
         with_header("[1_A][p][q][r]##" + repeated('x', 999 - 16) + "\n[2_B][p][q][r];\n"),
         k_script_ok,
         {"1_A"},
         {"2_B"}},
        {"1000-character record line ends the records",
         with_header("[1_A][p][q][r]##" + repeated('x', 1000 - 16) + "\n[2_B][p][q][r];\n"),
         k_script_ok,
         {"1_A"}},
        {"999-character record read whole",
         with_header(record_of_length(999)),
         k_script_ok,
         {"1_" + repeated('N', 17)}},
        {"1000-character record loses its last field", with_header(record_of_length(1000)), k_script_invalid},
    });
}

TEST(KeyScriptParser, NamesBeyondAListsCapacityAreDropped) {
    std::string text(k_header);
    Names ir1, ir2, fp;
    for (int i = 0; i < 140; ++i) {
        text += "[1_" + std::to_string(i) + "][p][q][r] [2_" + std::to_string(i) + "][p][q][r];\n";
        text += "[KEY_" + std::to_string(i) + "][p][q][r];\n";
        if (i < static_cast<int>(k_ir1_name_capacity)) {
            ir1.push_back("1_" + std::to_string(i));
            // Both records of a line go to the list its prefix chose.
            ir1.push_back("2_" + std::to_string(i));
        }
        if (i < static_cast<int>(k_fp_name_capacity)) {
            fp.push_back("KEY_" + std::to_string(i));
        }
    }
    ir1.resize(k_ir1_name_capacity);
    for (int i = 0; i < 140; ++i) {
        text += "##[2_" + std::to_string(i) + "][p][q][r]##\n";
        if (i < static_cast<int>(k_ir2_name_capacity)) {
            ir2.push_back("2_" + std::to_string(i));
        }
    }
    check_cases({{"full lists", text, k_script_ok, ir1, ir2, fp},
                 {"a dropped record is still checked", text + "[KEY_X][p][q]\n", k_script_invalid}});
}

// Lines of every length around the reader's chunk size, with both line ends, must read alike from a
// file and from memory; the expected names come from the generator, not from the parser.
TEST(KeyScriptParser, LargeScriptReadsAlikeFromFileAndMemory) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> filler_length(300, 999);
    std::string text;
    Names ir1, ir2, fp;
    for (int i = 0; i < 270; ++i) {
        text += repeated('f', i % 10 == 0 ? 0 : filler_length(random)) + (i % 2 ? "\r\n" : "\n");
        const std::string id = std::to_string(i);
        if (i % 17 == 0) {
            text += "[KEY_" + id + "][p][q][r];\n";
            fp.push_back("KEY_" + id);
        } else if (i % 2 == 0) {
            text += "[1_" + id + "][p][q][r]\r\n";
            ir1.push_back("1_" + id);
        } else {
            text += "##[2_" + id + "]][p][q][r] ## key\n";
            ir2.push_back("2_" + id);
        }
    }
    text += "CFGHEADER=toolcfg";
    ASSERT_GT(text.size(), 2u * 64 * 1024);

    KeyNames names;
    EXPECT_EQ(parse_both(text, names), k_script_ok);
    EXPECT_EQ(names.ir1, ir1);
    EXPECT_EQ(names.ir2, ir2);
    EXPECT_EQ(names.fp, fp);
}

TEST(KeyScriptParser, FileThatCannotBeReadGivesOpenFailure) {
    const testing::TempDriveRoot drives;
    const std::vector<std::pair<std::string, std::string>> cases{
        {"missing file", (drives.outside() / "absent.cfg").string()},
        {"directory", drives.outside().string()},
        {"missing drive path", "D:\\tmp\\script-kv.cfg"},
    };
    for (const auto& [label, path] : cases) {
        SCOPED_TRACE(label);
        KeyNames names{{"old"}, {"old"}, {"old"}};
        EXPECT_EQ(LoadKeyScript(path, names), k_script_open_failed);
        EXPECT_TRUE(names.ir1.empty() && names.ir2.empty() && names.fp.empty());
    }
}

TEST(KeyScriptParser, DrivePathIsReadUnderThePrivateDriveRootAndLeftInPlace) {
    const testing::TempDriveRoot drives;
    const fs::path& root = drives.root();
    const fs::path tmp = root / "D" / "tmp";
    fs::create_directories(tmp);
    // The drive directories belong to this user alone, as the drive mapping expects of them.
    fs::permissions(root, fs::perms::owner_all);
    fs::permissions(root / "D", fs::perms::owner_all);
    const std::string text = with_header("[1_POWER][0x0c][1][0];\n[KEY_MENU][0x01][0][0];\n");
    write_file(tmp / "script-kv.cfg", text);

    KeyNames names;
    ASSERT_EQ(LoadKeyScript("D:\\tmp\\script-kv.cfg", names), k_script_ok);
    EXPECT_EQ(names.ir1, Names{"1_POWER"});
    EXPECT_EQ(names.fp, Names{"KEY_MENU"});

    std::ifstream in(tmp / "script-kv.cfg", std::ios::binary);
    const std::string after{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(after, text);
}

}  // namespace
}  // namespace velmora
