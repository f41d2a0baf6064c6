#include <nlohmann/json.hpp>

#include "tests/image_tool/tool_fixture.h"
#include "tools/velmora-image/sample_image.h"

namespace velmora {
namespace {

TEST_F(VelmoraImageTest, SampleIsAcceptedAndItsCrcsMatch) {
    const ToolRun verify = run("verify " + sample_);
    EXPECT_EQ(verify.status, 0) << verify.err;
    EXPECT_NE(verify.out.find("all 4 record CRCs of directory A match"), std::string::npos) << verify.out;

    const ToolRun info = run("info --json " + sample_);
    ASSERT_EQ(info.status, 0) << info.err;
    const auto json = nlohmann::json::parse(info.out);
    EXPECT_EQ(json["directory_a"]["marker_offset"], 0x200);
    EXPECT_EQ(json["directory_b"]["marker_offset"], 0x10000);
    EXPECT_EQ(json["directory_a"]["entries"].size(), 5u);
    EXPECT_EQ(json["directory_a"]["entries"][1]["name"], "TAG_IR1_KEYS");
    EXPECT_EQ(json["directory_a"]["entries"][4]["used"], false);
    EXPECT_GT(json["key_script_size"].get<int>(), 0);
    EXPECT_LE(json["key_script_size"].get<int>(), 10240);

    const ToolRun text = run("info " + sample_);
    EXPECT_NE(text.out.find("Directory A at 0x200"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("TAG_KEY_SCRIPT"), std::string::npos) << text.out;
}

TEST_F(VelmoraImageTest, VerifyNamesEveryMismatch) {
    auto image = sample_bytes();
    image[0x200 + 0x400 + 3] ^= 0xFF;  // a byte of the IR1 record
    image[0x200 + 0x480] ^= 0xFF;      // and of the FP record
    const ToolRun verify = run("verify " + write("bad.bin", image));
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.out.find("entry 1 (TAG_IR1_KEYS)"), std::string::npos) << verify.out;
    EXPECT_NE(verify.out.find("entry 3 (TAG_FP_KEYS)"), std::string::npos) << verify.out;
    EXPECT_EQ(verify.out.find("TAG_MAIN"), std::string::npos) << verify.out;
}

TEST_F(VelmoraImageTest, DumpGivesTheBlockAndTheKeyNames) {
    const ToolRun dump = run("dump --json " + sample_);
    ASSERT_EQ(dump.status, 0) << dump.err;
    const auto json = nlohmann::json::parse(dump.out);

    ConfigBlock expected;
    KeyScriptBuffer script;
    ASSERT_EQ(ExtractConfig(sample_bytes(), expected, script, {}), 1);
    std::string hex;
    for (std::uint8_t byte : expected.bytes) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", byte);
        hex += two;
    }
    EXPECT_EQ(json["block"], hex);
    EXPECT_EQ(json["script_status"], 0);
    EXPECT_EQ(json["key_names"]["ir1"].size(), 60u);
    EXPECT_EQ(json["key_names"]["ir2"].size(), 60u);
    EXPECT_EQ(json["key_names"]["fp"].size(), 9u);
    EXPECT_EQ(json["key_names"]["ir1"][0], "1_POWER");
    EXPECT_EQ(json["key_names"]["fp"][8], "KEY_STANDBY");

    // What each page shows, in the view's order.
    ASSERT_EQ(json["pages"].size(), 4u);
    EXPECT_EQ(json["pages"][0]["page"], "Front Panel");
    EXPECT_EQ(json["pages"][0]["fields"][0], (nlohmann::json{{"label", "FP Type:"}, {"value", "1642"}}));
    EXPECT_EQ(json["pages"][1]["page"], "HW Info");
    const auto& key_map = json["pages"][2];
    EXPECT_EQ(key_map["tables"][0]["rows"].size(), 60u);
    EXPECT_EQ(key_map["tables"][0]["rows"][0], nlohmann::json::array({"1_POWER", "10", "2_POWER", "10"}));
    EXPECT_EQ(key_map["tables"][1]["rows"][8][0], "KEY_STANDBY");
    EXPECT_EQ(json["pages"][3]["page"], "LED Map");

    const ToolRun text = run("dump " + sample_);
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("[Key Map]"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("ir1 names (60): 1_POWER 1_MUTE"), std::string::npos) << text.out;
}

TEST_F(VelmoraImageTest, DumpReportsAScriptThatCannotBeUsed) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> record;
        int status;
    };
    const std::string no_header = "[1_A][p][q][r];\n";
    const Case cases[] = {
        {"empty record: gzip fails, no file", {}, -6},
        {"not gzip data", {'n', 'o', 't', ' ', 'g', 'z'}, -6},
        {"a script without its header", image_tool::gzip_compress(no_header), -7},
        {"a good script", image_tool::gzip_compress("CFGHEADER=toolcfg\n[KEY_OK][1][2][3];\n"), 0},
    };
    for (const Case& c : cases) {
        const fs::path root = dir_ / "drives";
        const ToolRun dump =
            run("dump --json " + image_with_script("s.bin", c.record), "VELMORA_DRIVE_ROOT=" + root.string());
        ASSERT_EQ(dump.status, 0) << c.what << dump.err;
        const auto json = nlohmann::json::parse(dump.out);
        EXPECT_EQ(json["script_status"], c.status) << c.what;
        EXPECT_EQ(json["key_names"]["fp"].size(), c.status == 0 ? 1u : 0u) << c.what;
        // The run's own folder inside the named root goes, with whatever gzip left in it.
        EXPECT_TRUE(fs::is_empty(root)) << c.what;
    }
}

TEST_F(VelmoraImageTest, RefusedImagesAndBadUsage) {
    struct Case {
        std::string args;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {"info " + (dir_ / "missing.bin").string(), 1, "Failed to open the flash file!\n"},
        {"dump --json " + write("junk.bin", std::vector<std::uint8_t>(70000, 0x5A)), 1,
         "Wrong binary file!\n"},
        {"verify " + write("short.bin", {'*', '^'}), 1, "Wrong binary file!\n"},
        {"", 2, ""},
        {"explode " + sample_, 2, ""},
        {"info", 2, ""},
    };
    for (const Case& c : cases) {
        const ToolRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        if (c.status == 1) {
            EXPECT_EQ(r.err, c.err) << c.args;
            EXPECT_EQ(r.out, "") << c.args;
        } else {
            EXPECT_NE(r.err.find("velmora-image --help"), std::string::npos) << c.args << r.err;
        }
    }
    const ToolRun help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("verify"), std::string::npos);
}

// Every command opens the image through the same loader, so each file gets one verdict from all of
// them: the message Parse shows, or acceptance.
TEST_F(VelmoraImageTest, EveryCommandGivesEachFileTheSameVerdict) {
    const std::vector<std::uint8_t> sample = sample_bytes();
    // Grown without writing: sparse files that cost no disk.
    const auto grown = [&](const std::string& name, const std::vector<std::uint8_t>& bytes,
                           std::uint64_t size) {
        const std::string path = write(name, bytes);
        fs::resize_file(path, size);
        return path;
    };
    fs::create_directory(dir_ / "folder.bin");
    struct Case {
        const char* what;
        std::string image;
        std::string err;  // empty: accepted
    };
    const Case cases[] = {
        {"the sample", sample_, ""},
        {"the sample grown to 4 GiB + 16", grown("huge.bin", sample, (std::uint64_t{1} << 32) + 16),
         "Wrong binary file!\n"},
        {"the sample cut inside directory B",
         write("cut.bin", {sample.begin(), sample.begin() + 0x10000 + 20}), "Wrong binary file!\n"},
        {"1 GiB that is no image", grown("zeros.bin", {}, std::uint64_t{1} << 30), "Wrong binary file!\n"},
        {"an empty file", write("empty.bin", {}), "Wrong binary file!\n"},
        {"a folder", (dir_ / "folder.bin").string(), "Failed to open the flash file!\n"},
        {"a missing file", (dir_ / "missing.bin").string(), "Failed to open the flash file!\n"},
    };
    const fs::path out = dir_ / "out.bin";
    for (const Case& c : cases) {
        for (const std::string command : {"info", "verify", "dump", "generate"}) {
            SCOPED_TRACE(std::string(c.what) + ": " + command);
            fs::remove(out);
            const std::string args = command == "generate" ? "generate " + c.image + " -o " + out.string()
                                                           : command + " " + c.image;
            const ToolRun r = run(args);
            if (c.err.empty()) {
                EXPECT_EQ(r.status, 0) << r.err;
                EXPECT_EQ(r.err, "");
                EXPECT_EQ(fs::exists(out), command == "generate");
            } else {
                EXPECT_EQ(r.status, 1);
                EXPECT_EQ(r.err, c.err);
                EXPECT_EQ(r.out, "");
                EXPECT_FALSE(fs::exists(out));
            }
        }
    }
}

TEST_F(VelmoraImageTest, ParallelDumpsDoNotMeetInTheScriptFolder) {
    const std::string other =
        image_with_script("other.bin", image_tool::gzip_compress("CFGHEADER=toolcfg\n[KEY_X][1][2][3];\n"));
    const std::string command = std::string(VELMORA_IMAGE_TOOL) + " dump --json ";
    std::string script = "set -e; for i in 1 2 3 4 5 6; do " + command + sample_ + " > " +
                         (dir_ / "a$i").string() + " & " + command + other + " > " + (dir_ / "b$i").string() +
                         " & done; wait";
    ASSERT_EQ(std::system(("bash -c '" + script + "'").c_str()), 0);
    for (int i = 1; i <= 6; ++i) {
        const auto a = nlohmann::json::parse(slurp(dir_ / ("a" + std::to_string(i))));
        const auto b = nlohmann::json::parse(slurp(dir_ / ("b" + std::to_string(i))));
        EXPECT_EQ(a["key_names"]["fp"].size(), 9u) << i;
        EXPECT_EQ(b["key_names"]["fp"], nlohmann::json::array({"KEY_X"})) << i;
    }
}

}  // namespace
}  // namespace velmora
