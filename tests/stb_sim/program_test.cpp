// The real program on its own pseudo-terminal, driven as the host drives the box.
#include <gtest/gtest.h>
#include "config/config_block.h"
#include "tests/stb_sim/sim_process.h"
#include "tests/support/temp_directory.h"
#include "tools/velmora-stb-sim/sim_box.h"

namespace velmora::stb_sim::test {
namespace {

namespace fs = std::filesystem;

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directory(dir_ / "record"); }

    std::string log() const {
        std::ifstream in(dir_ / "log.txt");
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static Bytes slurp(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // The file once it is there: the program renames it into place whole.
    Bytes wait_for(const fs::path& path) const {
        const auto give_up = std::chrono::steady_clock::now() + k_reply_limit;
        while (!fs::exists(path) && std::chrono::steady_clock::now() < give_up) {
            std::this_thread::sleep_for(k_exit_poll);
        }
        return slurp(path);
    }

    velmora::testing::TempDirectory temp_dir;
    fs::path dir_ = temp_dir.path();
};

TEST_F(ProgramTest, BootsTakesTheClientAnswersTheHandshakeAndRecordsTheBlock) {
    SimProcess sim({"--record", (dir_ / "record").string()}, dir_ / "log.txt");
    const std::string path = sim.first_line();
    ASSERT_FALSE(path.empty()) << log();
    ASSERT_TRUE(sim.open_line(path)) << path;

    sim.type("reset\n");
    ASSERT_EQ(sim.receive(1), Bytes{k_sync_byte}) << log();
    const Bytes client = pattern(20000, 7);
    sim.send(Bytes{k_sync_answer} + client_image(client));

    sim.send(command_frame(80, k_handshake_text));
    EXPECT_EQ(sim.receive(6 + k_handshake_text.size()), k_ok_ok + k_handshake_text) << log();

    sim.send(command_frame(81, k_block_announcement));
    EXPECT_EQ(sim.receive(6), k_ok_ok) << log();
    const Bytes block = pattern(k_config_block_size, 11);
    const Bytes framed = data_block(block);
    // In the host's three pieces.
    sim.send(Bytes(framed.begin(), framed.begin() + 2));
    sim.send(Bytes(framed.begin() + 2, framed.end() - 4));
    sim.send(Bytes(framed.end() - 4, framed.end()));
    EXPECT_EQ(sim.receive(1), Bytes{0}) << log();

    EXPECT_EQ(wait_for(dir_ / "record" / "block.bin"), block);
    EXPECT_EQ(wait_for(dir_ / "record" / "client.bin"), client);

    sim.send(command_frame(89, text_bytes("1")));
    EXPECT_EQ(sim.receive(6), k_ok_ok);
    sim.type("key 3412 0x05\n");
    EXPECT_EQ(sim.receive(4), (Bytes{0x12, 0x34, 0x05, 0x00})) << log();

    sim.type("quit\n");
    EXPECT_EQ(sim.wait_exit(), 0) << log();
    const std::string text = log();
    for (const char* line : {"sim: sync sent", "sim: client 20000 bytes", "sim: command 80 ok",
                             "sim: block 1564 bytes crc ok"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    }
}

TEST_F(ProgramTest, ResetsByItselfWithResetAfter) {
    SimProcess sim({"--reset-after", "0", "--baud", "0", "--fault", "garbage-before-sync"}, dir_ / "log.txt");
    const std::string path = sim.first_line();
    ASSERT_TRUE(sim.open_line(path)) << path;
    const Bytes sent = sim.receive(k_garbage_bytes + 1);
    ASSERT_EQ(sent.size(), k_garbage_bytes + 1) << log();
    EXPECT_EQ(sent.back(), k_sync_byte);
    sim.close_input();
    EXPECT_EQ(sim.wait_exit(), 0) << log();
}

struct Ending {
    const char* name;
    int signal;  // 0: the end of standard input
};

void PrintTo(const Ending& c, std::ostream* os) {
    *os << c.name;
}

class ProgramEndTest : public ProgramTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(ProgramEndTest, EndsCleanly) {
    SimProcess sim({}, dir_ / "log.txt");
    ASSERT_FALSE(sim.first_line().empty()) << log();
    if (GetParam().signal == 0) {
        sim.close_input();
    } else {
        sim.signal(GetParam().signal);
    }
    EXPECT_EQ(sim.wait_exit(), 0) << log();
}

INSTANTIATE_TEST_SUITE_P(Endings, ProgramEndTest,
                         ::testing::Values(Ending{"end_of_input", 0}, Ending{"sigint", SIGINT},
                                           Ending{"sigterm", SIGTERM}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmora::stb_sim::test
