// velmora-provision with boxes behind the real ser2net, raw and through Telnet with the COM-PORT
// option: four boxes at once beside a local one, a server that stops in the middle of an upload while
// the other boxes go on, and --repeat finding the server again when it comes back.
#include <sstream>

#include "tests/provision/provision_fixture.h"
#include "tests/support/ser2net_process.h"

namespace velmora::provision::test {
namespace {

using velmora::test::Ser2netProcess;
using Mode = Ser2netProcess::Mode;

constexpr char k_upload_start[] = "Start to send all configuration data...";

class ProvisionNetworkTest : public ProvisionTest {
protected:
    void SetUp() override {
        if (Ser2netProcess::program().empty()) {
            GTEST_SKIP() << "ser2net is not installed (scripts/deps installs it)";
        }
        ProvisionTest::SetUp();
    }

    std::unique_ptr<Ser2netProcess> serve(std::vector<Ser2netProcess::Line> lines) {
        auto server = std::make_unique<Ser2netProcess>(dir_, std::move(lines));
        EXPECT_TRUE(server->ok()) << server->log();
        return server;
    }

    // Whether a progress line of `port` holds `text`.
    static bool port_says(const std::string& output, const std::string& port, const std::string& text) {
        std::istringstream in(output);
        for (std::string line; std::getline(in, line);) {
            if (line.find(port) != std::string::npos && line.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    // Resets every box once the stations have all asked for it, as an operator does.
    void reset_boxes_when_asked(ProvisionProcess& run, std::size_t boxes) {
        ASSERT_TRUE(run.watch([&](const std::string& text) {
            return count_of(text, "Please reset the STB!") == boxes;
        })) << out();
        for (const auto& sim : sims_) {
            sim->type("reset\n");
        }
    }

    static std::string dropped(const std::string& url) {
        return "Network port " + url + " closed: the server closed the connection";
    }
};

TEST_F(ProvisionNetworkTest, FourBoxesBehindSer2netAndALocalOneTakeTheBlockThatGenerateWrites) {
    std::vector<Ser2netProcess::Line> lines;
    for (const Mode mode : {Mode::raw, Mode::rfc2217, Mode::raw, Mode::rfc2217}) {
        const std::string line = add_box({"--baud", "0"});
        ASSERT_FALSE(line.empty());
        lines.push_back({line, mode});
    }
    const std::string local = add_box({"--baud", "0"});
    ASSERT_FALSE(local.empty());
    const auto server = serve(lines);
    ASSERT_TRUE(server->ok());
    std::vector<std::string> args;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        args.insert(args.end(), {"--port", server->url(i)});
    }
    args.insert(args.end(), {"--port", local});
    const std::vector<std::uint8_t> block = expected_block("");

    auto run = provision(args);
    ASSERT_NO_FATAL_FAILURE(reset_boxes_when_asked(*run, sims_.size()));
    ASSERT_EQ(run->wait_exit(), 0) << out() << err() << server->log();

    const std::vector<nlohmann::json> log = log_lines();
    ASSERT_EQ(log.size(), sims_.size() + 1) << slurp(log_);
    for (std::size_t i = 0; i < sims_.size(); ++i) {
        SCOPED_TRACE("box " + std::to_string(i));
        EXPECT_EQ(bytes_of(records_[i] / "block.bin"), block);
        EXPECT_EQ(slurp(records_[i] / "client.bin"), slurp(client_));
        EXPECT_EQ(log[i].at("result"), "done") << log[i].dump();
    }
    EXPECT_EQ(log.back().at("done"), static_cast<int>(sims_.size()));
}

TEST_F(ProvisionNetworkTest, AServerStoppedMidUploadFailsItsBoxAndTheOthersAreConfigured) {
    // The first box goes silent once the block is announced, so the stop always meets its upload.
    const std::string dropping =
        add_box({"--baud", "0", "--fault", "silent-after=" + std::to_string(k_bytes_before_block_ack)});
    const std::string behind_other = add_box({"--baud", "0"});
    const std::string local = add_box({"--baud", "0"});
    ASSERT_FALSE(dropping.empty() || behind_other.empty() || local.empty());
    auto stopping = serve({{dropping, Mode::rfc2217}});
    const auto staying = serve({{behind_other, Mode::raw}});
    ASSERT_TRUE(stopping->ok() && staying->ok());
    const std::string url = stopping->url(0);

    // Retried, the silent box's upload would go on for ten acknowledgement waits.
    auto run =
        provision({"--port", url, "--port", staying->url(0), "--port", local, "--on-block-timeout", "retry"});
    ASSERT_NO_FATAL_FAILURE(reset_boxes_when_asked(*run, 3));
    ASSERT_TRUE(run->watch([&](const std::string& text) { return port_says(text, url, k_upload_start); }))
        << out();
    stopping->stop();
    EXPECT_EQ(run->wait_exit(), 1) << out() << err();

    const std::vector<nlohmann::json> log = log_lines();
    ASSERT_EQ(log.size(), 4u) << slurp(log_);
    for (std::size_t i = 0; i < 3; ++i) {
        if (log[i].at("port") == url) {
            EXPECT_EQ(log[i].at("result"), "failed");
            EXPECT_EQ(log[i].at("messages").back(), dropped(url)) << log[i].dump();
        } else {
            EXPECT_EQ(log[i].at("result"), "done") << log[i].dump();
        }
    }
    const std::vector<std::uint8_t> block = expected_block("");
    EXPECT_EQ(bytes_of(records_[1] / "block.bin"), block);
    EXPECT_EQ(bytes_of(records_[2] / "block.bin"), block);
    EXPECT_EQ(log.back().at("done"), 2);
    EXPECT_EQ(log.back().at("failed"), 1);
}

TEST_F(ProvisionNetworkTest, RepeatFindsTheServerAgainWhenItComesBack) {
    const std::string first =
        add_box({"--baud", "0", "--fault", "silent-after=" + std::to_string(k_bytes_before_block_ack)});
    ASSERT_FALSE(first.empty());
    auto server = serve({{first, Mode::rfc2217}});
    ASSERT_TRUE(server->ok());
    const std::string url = server->url(0);
    const std::uint16_t port = server->lines()[0].port;

    auto run = provision({"--port", url, "--repeat", "--on-block-timeout", "retry"});
    ASSERT_NO_FATAL_FAILURE(reset_boxes_when_asked(*run, 1));
    ASSERT_TRUE(run->watch([&](const std::string& text) { return port_says(text, url, k_upload_start); }))
        << out();
    server->stop();
    // The box under way fails; the station then finds nobody on the port and says so.
    ASSERT_TRUE(run->watch([&](const std::string& text) { return port_says(text, url, "  absent "); }))
        << out();
    ASSERT_EQ(log_lines().size(), 1u) << slurp(log_);

    // The bench's server starts again, now with the next box on its line.
    const std::string second = add_box({"--baud", "0"});
    ASSERT_FALSE(second.empty());
    server = serve({{second, Mode::rfc2217, port}});
    ASSERT_TRUE(server->ok());
    ASSERT_TRUE(run->watch([](const std::string& text) {
        return count_of(text, "Please reset the STB!") == 2;
    })) << out();
    sims_[1]->type("reset\n");
    ASSERT_TRUE(run->watch([](const std::string& text) { return count_of(text, "  done ") == 1; })) << out();
    run->signal(SIGTERM);
    EXPECT_EQ(run->wait_exit(), 1) << out() << err();

    const std::vector<nlohmann::json> log = log_lines();
    ASSERT_EQ(log.size(), 3u) << slurp(log_);
    EXPECT_EQ(log[0].at("result"), "failed");
    EXPECT_EQ(log[0].at("messages").back(), dropped(url)) << log[0].dump();
    EXPECT_EQ(log[1].at("result"), "done") << log[1].dump();
    EXPECT_EQ(log[2].at("boxes"), 2);
    EXPECT_EQ(bytes_of(records_[1] / "block.bin"), expected_block(""));
}

}  // namespace
}  // namespace velmora::provision::test
