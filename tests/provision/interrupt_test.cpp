// velmora-provision over time: --repeat box after box on one port, Ctrl-C in the middle of an upload,
// and a port that vanishes in the middle of a box while another port goes on.
#include "tests/provision/provision_fixture.h"

namespace velmora::provision::test {
namespace {

TEST_F(ProvisionTest, RepeatConfiguresBoxAfterBoxUntilInterrupted) {
    const std::string line = add_box({"--baud", "0"});
    ASSERT_FALSE(line.empty());
    auto run = provision({"--port", line, "--repeat"});
    for (std::size_t box = 1; box <= 3; ++box) {
        SCOPED_TRACE("box " + std::to_string(box));
        // The box is reset only once the station asks for it, as an operator does.
        ASSERT_TRUE(run->watch([&](const std::string& text) {
            return count_of(text, "Please reset the STB!") == box;
        })) << out();
        sims_[0]->type("reset\n");
        ASSERT_TRUE(run->watch([&](const std::string& text) { return count_of(text, "  done ") == box; }))
            << out();
        EXPECT_EQ(log_lines().size(), box) << "each box is in the log as soon as it ends";
    }
    run->signal(SIGINT);
    EXPECT_EQ(run->wait_exit(), 0) << out() << err();

    const std::vector<nlohmann::json> lines = log_lines();
    ASSERT_EQ(lines.size(), 4u) << slurp(log_);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(lines[i].at("result"), "done");
        EXPECT_EQ(lines[i].at("port"), line);
    }
    EXPECT_EQ(lines[3].at("type"), "summary");
    EXPECT_EQ(lines[3].at("boxes"), 3);
    EXPECT_EQ(lines[3].at("done"), 3);
    EXPECT_EQ(bytes_of(records_[0] / "block.bin"), expected_block(""));
}

struct StopCase {
    const char* name;
    int signal;
};

class ProvisionStopTest : public ProvisionTest, public ::testing::WithParamInterface<StopCase> {};

// Ctrl-C, a kill, and a dropped SSH session of the line PC all end the run the same way.
TEST_P(ProvisionStopTest, ASignalDuringTheUploadEndsCleanlyWithTheSummary) {
    const std::string line = add_box({"--baud", "0", "--reset-after", "1", "--fault",
                                      "silent-after=" + std::to_string(k_bytes_before_block_ack)});
    ASSERT_FALSE(line.empty());
    // Retried, the upload would go on for ten acknowledgement waits: the signal comes in the middle.
    auto run = provision({"--port", line, "--on-block-timeout", "retry"});
    ASSERT_TRUE(run->watch([](const std::string& text) {
        return text.find("Start to send all configuration data...") != std::string::npos;
    })) << out();
    run->signal(GetParam().signal);
    EXPECT_EQ(run->wait_exit(), 1) << out() << err();

    const std::vector<nlohmann::json> lines = log_lines();
    ASSERT_EQ(lines.size(), 2u) << slurp(log_);
    EXPECT_EQ(lines[0].at("result"), "interrupted");
    EXPECT_EQ(lines[0].at("messages").back(), "Start to send all configuration data...\n");
    EXPECT_EQ(lines[1].at("type"), "summary");
    EXPECT_EQ(lines[1].at("failed"), 1);
    EXPECT_FALSE(fs::exists(records_[0] / "block.bin"));
    EXPECT_NE(out().find("boxes 1  done 0  failed 1"), std::string::npos) << out();
}

INSTANTIATE_TEST_SUITE_P(Signals, ProvisionStopTest,
                         ::testing::Values(StopCase{"interrupt", SIGINT}, StopCase{"terminate", SIGTERM},
                                           StopCase{"hang_up", SIGHUP}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProvisionTest, APortThatVanishesEndsItsBoxAndTheOtherGoesOn) {
    const std::string vanishing = add_box({"--baud", "0", "--reset-after", "1"});
    const std::string staying = add_box({"--baud", "0", "--reset-after", "1"});
    ASSERT_FALSE(vanishing.empty());
    ASSERT_FALSE(staying.empty());
    auto run = provision({"--port", vanishing, "--port", staying});
    // Both boxes wait for the client to start when the first one's line disappears.
    ASSERT_TRUE(run->watch([](const std::string& text) { return count_of(text, "  handshake ") >= 2; }))
        << out();
    sims_[0]->signal(SIGKILL);
    EXPECT_EQ(run->wait_exit(), 1) << out() << err();

    const std::vector<nlohmann::json> lines = log_lines();
    ASSERT_EQ(lines.size(), 3u) << slurp(log_);
    for (std::size_t i = 0; i < 2; ++i) {
        if (lines[i].at("port") == vanishing) {
            EXPECT_EQ(lines[i].at("result"), "failed");
            const std::string said = lines[i].at("messages").back().get<std::string>();
            EXPECT_NE(said.find(vanishing), std::string::npos) << lines[i].dump();
            EXPECT_NE(said.find("closed: the device is gone"), std::string::npos) << said;
        } else {
            EXPECT_EQ(lines[i].at("result"), "done") << lines[i].dump();
        }
    }
    EXPECT_EQ(bytes_of(records_[1] / "block.bin"), expected_block(""));
}

TEST_F(ProvisionTest, RepeatReopensAPortThatComesBack) {
    // The port is a link, as a udev rule gives a USB adapter a fixed name; the new box's line takes
    // the old one's name as an adapter plugged in again does.
    const fs::path port = dir_ / "station-port";
    fs::create_symlink(add_box({"--baud", "0"}), port);
    auto run = provision({"--port", port.string(), "--repeat"});
    ASSERT_TRUE(run->watch([](const std::string& text) {
        return count_of(text, "Please reset the STB!") == 1;
    })) << out();
    sims_[0]->type("reset\n");
    ASSERT_TRUE(run->watch([](const std::string& text) { return count_of(text, "  done ") == 1; })) << out();
    // Pulled out while the station waits for the next reset.
    ASSERT_TRUE(run->watch([](const std::string& text) {
        return count_of(text, "Please reset the STB!") == 2;
    })) << out();
    // The link goes with the adapter, before its line does: the pseudo-terminal's number is free for
    // any other program at once, and the station must not find someone else's line behind the name.
    fs::remove(port);
    sims_[0]->signal(SIGKILL);
    ASSERT_TRUE(run->watch([](const std::string& text) {
        return text.find("  absent ") != std::string::npos;
    })) << out();
    const std::string line = add_box({"--baud", "0"});
    fs::create_symlink(line, port);
    ASSERT_TRUE(run->watch([](const std::string& text) {
        return count_of(text, "Please reset the STB!") >= 3;
    })) << out();
    sims_[1]->type("reset\n");
    ASSERT_TRUE(run->watch([](const std::string& text) { return count_of(text, "  done ") == 2; })) << out();
    run->signal(SIGTERM);
    EXPECT_EQ(run->wait_exit(), 0) << out() << err();

    const std::vector<nlohmann::json> lines = log_lines();
    ASSERT_EQ(lines.size(), 3u) << slurp(log_);
    EXPECT_EQ(lines[0].at("result"), "done");
    EXPECT_EQ(lines[1].at("result"), "done");
    EXPECT_EQ(lines[2].at("boxes"), 2);
    EXPECT_EQ(bytes_of(records_[1] / "block.bin"), expected_block(""));
}

}  // namespace
}  // namespace velmora::provision::test
