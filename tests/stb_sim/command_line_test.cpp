// The simulator's input lines, its options and its recorded files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "config/config_block.h"
#include "tests/stb_sim/box_fixture.h"
#include "tests/support/temp_directory.h"
#include "tools/velmora-stb-sim/sim_console.h"
#include "tools/velmora-stb-sim/sim_options.h"
#include "tools/velmora-stb-sim/sim_recorder.h"

namespace velmora::stb_sim::test {
namespace {

namespace fs = std::filesystem;
using Kind = ConsoleCommand::Kind;

struct LineCase {
    const char* line;
    Kind kind;
    std::uint16_t user_code;
    std::uint8_t key;
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << '"' << c.line << '"';
}

class ConsoleLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(ConsoleLineTest, Parses) {
    const ConsoleCommand command = ConsoleCommand::parse(GetParam().line);
    EXPECT_EQ(command.kind, GetParam().kind) << command.error;
    EXPECT_EQ(command.user_code, GetParam().user_code);
    EXPECT_EQ(command.key, GetParam().key);
    EXPECT_EQ(command.error.empty(), command.kind != Kind::unknown);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ConsoleLineTest,
    ::testing::Values(LineCase{"reset", Kind::reset, 0, 0}, LineCase{"  quit \r", Kind::quit, 0, 0},
                      LineCase{"", Kind::none, 0, 0}, LineCase{"key 3412 5", Kind::key, 0x3412, 5},
                      LineCase{"key 0x00ff 0x1f", Kind::key, 0xFF, 31},
                      LineCase{"key\tbeef\t255", Kind::key, 0xBEEF, 255},
                      LineCase{"key 10000 5", Kind::unknown, 0, 0},
                      LineCase{"key 12 256", Kind::unknown, 0, 0}, LineCase{"key 12 0x", Kind::unknown, 0, 0},
                      LineCase{"key 12", Kind::unknown, 0, 0}, LineCase{"reset now", Kind::unknown, 0, 0},
                      LineCase{"boot", Kind::unknown, 0, 0}));

class TempFolder : public ::testing::Test {
protected:
    static Bytes slurp(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    velmora::testing::TempDirectory temp_dir;
    fs::path dir_ = temp_dir.path();
};

struct Parsed {
    std::optional<int> exit_code;
    SimOptions options;
    std::string out;
    std::string err;
};

Parsed parse(std::vector<std::string> args) {
    args.insert(args.begin(), "velmora-stb-sim");
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    Parsed parsed;
    std::ostringstream out;
    std::ostringstream err;
    parsed.exit_code =
        SimOptions::parse(static_cast<int>(argv.size()), argv.data(), parsed.options, out, err);
    parsed.out = out.str();
    parsed.err = err.str();
    return parsed;
}

using OptionsTest = TempFolder;

TEST_F(OptionsTest, TakesEveryOption) {
    LedMap map;
    map.fill(0x11);
    std::ofstream(dir_ / "map.led", std::ios::binary).write(reinterpret_cast<const char*>(map.data()), 256);
    const Parsed parsed =
        parse({"--device", "/dev/null", "--baud", "0", "--reset-after", "0.5", "--record", dir_.string(),
               "--fault", "led-crc", "--fault", "silent-after=9", "--client-limit", "10", "--led-map",
               (dir_ / "map.led").string(), "--led-map-delay", "0"});
    ASSERT_EQ(parsed.exit_code, std::nullopt) << parsed.err;
    EXPECT_EQ(parsed.options.device, "/dev/null");
    EXPECT_EQ(parsed.options.baud, 0);
    EXPECT_EQ(parsed.options.reset_after_seconds, 0.5);
    EXPECT_EQ(parsed.options.record_dir, dir_.string());
    EXPECT_TRUE(parsed.options.faults.has(Fault::led_crc));
    EXPECT_EQ(parsed.options.faults.silent_after(), 9u);
    EXPECT_FALSE(parsed.options.faults.has(Fault::no_receipt));
    EXPECT_EQ(parsed.options.client_limit, 10u);
    EXPECT_EQ(parsed.options.led_map, map);
    EXPECT_EQ(parsed.options.led_map_delay_ms, 0);
}

TEST_F(OptionsTest, DefaultsArePacedAtTheUsualSpeedWithTheFontMap) {
    const Parsed parsed = parse({});
    ASSERT_EQ(parsed.exit_code, std::nullopt);
    EXPECT_EQ(parsed.options.baud, 115200);
    EXPECT_EQ(parsed.options.client_limit, k_max_client_size);
    EXPECT_EQ(parsed.options.led_map, font_led_map());
    EXPECT_EQ(parsed.options.led_map_delay_ms, k_led_map_delay.count());
    EXPECT_TRUE(parsed.options.device.empty());
}

TEST_F(OptionsTest, HelpNamesEveryFaultAndInputLine) {
    const Parsed parsed = parse({"--help"});
    EXPECT_EQ(parsed.exit_code, 0);
    for (const FaultInfo& info : k_faults) {
        EXPECT_NE(parsed.out.find(info.name), std::string::npos) << info.name;
    }
    for (const char* word :
         {"reset", "key USERCODE KEY", "quit", "--reset-after", "--record", "--led-map", "--led-map-delay"}) {
        EXPECT_NE(parsed.out.find(word), std::string::npos) << word;
    }
}

TEST_F(OptionsTest, RefusesBadUsageWithExitTwo) {
    std::ofstream(dir_ / "short.led", std::ios::binary) << "too short";
    const std::vector<std::vector<std::string>> cases{
        {"--fault", "no-such-fault"},
        {"--fault", "silent-after"},
        {"--baud", "-1"},
        {"--led-map-delay", "-5"},
        {"--record", (dir_ / "missing").string()},
        {"--led-map", (dir_ / "short.led").string()},
        {"--unknown"},
    };
    for (const std::vector<std::string>& args : cases) {
        const Parsed parsed = parse(args);
        EXPECT_EQ(parsed.exit_code, k_exit_usage) << args[0];
        EXPECT_NE(parsed.err.find("velmora-stb-sim: "), std::string::npos) << args[0];
    }
}

// A bad number is refused as typed, with the range it must lie in, never converted into another
// value (a reset "at once" for 1e308 or nan, a limit of 2^64-1 for -1) and never with a bound of
// hundreds of digits.
TEST_F(OptionsTest, RefusesBadNumbersSayingWhatTheyMustBe) {
    const std::string baud_range = "is not a whole number from 0 to 2147483647";
    const std::string seconds_range = "is not a number of seconds from 0 to 86400";
    const std::string limit_range = "is not a whole number from 0 to 4294967295";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--baud", "abc"}, "--baud: 'abc' " + baud_range},
        {{"--baud", "9600.5"}, "--baud: '9600.5' " + baud_range},
        {{"--baud", "-1"}, "--baud: '-1' " + baud_range},
        {{"--reset-after", "1e308"}, "--reset-after: '1e308' " + seconds_range},
        {{"--reset-after", "nan"}, "--reset-after: 'nan' " + seconds_range},
        {{"--reset-after", "inf"}, "--reset-after: 'inf' " + seconds_range},
        {{"--reset-after", "-0.5"}, "--reset-after: '-0.5' " + seconds_range},
        {{"--reset-after", "soon"}, "--reset-after: 'soon' " + seconds_range},
        {{"--client-limit", "-1"}, "--client-limit: '-1' " + limit_range},
        {{"--client-limit", "4294967296"}, "--client-limit: '4294967296' " + limit_range},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        const Parsed parsed = parse(args);
        EXPECT_EQ(parsed.exit_code, k_exit_usage);
        EXPECT_NE(parsed.err.find(message), std::string::npos) << parsed.err;
    }
    EXPECT_EQ(parse({"--reset-after", "86400", "--client-limit", "4294967295"}).exit_code, std::nullopt);
}

using RecorderTest = TempFolder;

TEST_F(RecorderTest, TheBoxRecordsEachClientBlockAndNumberedRecord) {
    SimRecorder recorder(dir_);
    SimBoxSettings settings;
    settings.recorder = &recorder;
    SimBox box(std::move(settings));
    const auto now = SimBox::Clock::now();
    const Bytes client = pattern(4000, 2);
    const Bytes first_block = pattern(k_config_block_size, 3);
    const Bytes last_block = pattern(k_config_block_size, 4);
    const Bytes record_1 = pattern(k_main_record.length, 5);
    const Bytes record_2 = pattern(k_main_record.length, 6);
    box.reset(now);
    box.receive(Bytes{k_sync_answer} + client_image(client), now);
    for (const Bytes& block : {first_block, last_block}) {
        box.receive(command_frame(81, k_block_announcement) + data_block(block), now);
    }
    for (const Bytes& record : {record_1, record_2}) {
        box.receive(command_frame(83, k_record_announcement) + data_block(record), now);
    }
    EXPECT_EQ(slurp(dir_ / "client.bin"), client);
    EXPECT_EQ(slurp(dir_ / "block.bin"), last_block);
    EXPECT_EQ(slurp(dir_ / "config-1.bin"), record_1);
    EXPECT_EQ(slurp(dir_ / "config-2.bin"), record_2);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 4)
        << "no temporary file is left";
}

}  // namespace
}  // namespace velmora::stb_sim::test
