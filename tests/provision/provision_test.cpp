// velmora-provision on several simulated boxes at once: the bytes each box takes, the log, the
// progress output, a box that fails beside boxes that succeed, and bad command lines.
#include <set>

#include "tests/provision/provision_fixture.h"

namespace velmora::provision::test {
namespace {

struct LineCase {
    const char* name;
    int boxes;
    std::vector<std::string> options;
    bool send_config;
    bool json;
};

class ProvisionLineTest : public ProvisionTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(ProvisionLineTest, EveryBoxTakesTheBlockThatGenerateWrites) {
    const LineCase& c = GetParam();
    std::vector<std::string> args = c.options;
    for (int i = 0; i < c.boxes; ++i) {
        const std::string line = add_box({"--baud", "0", "--reset-after", "1"});
        ASSERT_FALSE(line.empty());
        args.insert(args.end(), {"--port", line});
    }
    // The block's own options are generate's too.
    std::string generate_options;
    for (const std::string& option : c.options) {
        if (option != "--send-config" && option != "--json") {
            generate_options += " " + option;
        }
    }
    const std::vector<std::uint8_t> block = expected_block(generate_options);

    auto run = provision(args);
    ASSERT_EQ(run->wait_exit(), 0) << out() << err();

    const std::vector<nlohmann::json> lines = log_lines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(c.boxes) + 1) << slurp(log_);
    for (int i = 0; i < c.boxes; ++i) {
        SCOPED_TRACE("box " + std::to_string(i));
        EXPECT_EQ(bytes_of(records_[i] / "block.bin"), block);
        EXPECT_EQ(slurp(records_[i] / "client.bin"), slurp(client_));
        const nlohmann::json& box = lines[i];
        EXPECT_EQ(box.at("type"), "box");
        EXPECT_EQ(box.at("result"), "done");
        EXPECT_EQ(box.at("block_crc32"), crc_text(block));
        EXPECT_EQ(box.at("client_size"), 3000);
        EXPECT_EQ(box.at("client_crc32"), crc_text(bytes_of(client_)));
        const auto& messages = box.at("messages");
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.front(), "Please reset the STB!\n");
        EXPECT_EQ(messages.back(), c.send_config ? "send configuration success!!!" : "\nEnd downloading!");
        EXPECT_LT(box.at("start").get<std::string>(), box.at("end").get<std::string>());
        if (c.send_config) {
            const std::vector<std::uint8_t> record(block.begin(), block.begin() + k_main_record.length);
            bool found = false;
            for (const auto& entry : fs::directory_iterator(records_[i])) {
                if (entry.path().filename().string().starts_with("config-")) {
                    EXPECT_EQ(bytes_of(entry.path()), record);
                    found = true;
                }
            }
            EXPECT_TRUE(found) << "no configuration record reached the box";
        }
    }
    // Every port's box is logged once, whichever ended first.
    std::set<std::string> ports;
    for (int i = 0; i < c.boxes; ++i) {
        ports.insert(lines[i].at("port").get<std::string>());
    }
    EXPECT_EQ(ports.size(), static_cast<std::size_t>(c.boxes));
    EXPECT_EQ(lines.back().at("type"), "summary");
    EXPECT_EQ(lines.back().at("boxes"), c.boxes);
    EXPECT_EQ(lines.back().at("done"), c.boxes);
    EXPECT_EQ(lines.back().at("failed"), 0);

    const std::string output = out();
    if (c.json) {
        std::istringstream in(output);
        int uploads_done = 0;
        int reset_prompts = 0;
        for (std::string line; std::getline(in, line);) {
            const nlohmann::json event = nlohmann::json::parse(line);
            if (event.contains("type")) {
                EXPECT_EQ(event.at("type"), "summary");
                continue;
            }
            ASSERT_TRUE(event.contains("port") && event.contains("phase") && event.contains("done") &&
                        event.contains("total") && event.contains("message"))
                << line;
            uploads_done += event.at("phase") == "uploading" && event.at("done") == k_config_block_size &&
                            event.at("total") == k_config_block_size;
            reset_prompts += event.at("message") == "Please reset the STB!\n";
        }
        EXPECT_GE(uploads_done, c.boxes);
        EXPECT_EQ(reset_prompts, c.boxes);
    } else {
        EXPECT_EQ(count_of(output, "Please reset the STB!"), static_cast<std::size_t>(c.boxes));
        EXPECT_NE(output.find("1564/1564"), std::string::npos) << output;
        EXPECT_NE(output.find("boxes " + std::to_string(c.boxes) + "  done " + std::to_string(c.boxes) +
                              "  failed 0"),
                  std::string::npos)
            << output;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ProvisionLineTest,
    ::testing::Values(LineCase{"three_boxes_power_wave", 3, {"--power-wave", "10,20,30"}, false, false},
                      LineCase{"two_boxes_send_config_json", 2, {"--send-config", "--json"}, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct FaultCase {
    const char* name;
    std::vector<std::string> sim_options;  // empty: the port does not exist
    const char* message;                   // in the failed box's messages
};

class ProvisionFaultTest : public ProvisionTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ProvisionFaultTest, OneBoxFailsAndTheOthersAreConfigured) {
    const FaultCase& c = GetParam();
    std::vector<std::string> args;
    std::vector<std::string> good_lines;
    for (int i = 0; i < 2; ++i) {
        good_lines.push_back(add_box({"--baud", "0", "--reset-after", "1"}));
        args.insert(args.end(), {"--port", good_lines.back()});
    }
    std::string bad_line = (dir_ / "no-such-port").string();
    if (!c.sim_options.empty()) {
        bad_line = add_box(c.sim_options);
    }
    args.insert(args.begin() + 2, {"--port", bad_line});
    const std::vector<std::uint8_t> block = expected_block("");

    auto run = provision(args);
    ASSERT_EQ(run->wait_exit(), 1) << out() << err();

    const std::vector<nlohmann::json> lines = log_lines();
    ASSERT_EQ(lines.size(), 4u) << slurp(log_);
    int failed = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        const nlohmann::json& box = lines[i];
        if (box.at("port") == bad_line) {
            ++failed;
            EXPECT_EQ(box.at("result"), "failed");
            const std::string messages = box.at("messages").dump();
            EXPECT_NE(messages.find(c.message), std::string::npos) << messages;
        } else {
            EXPECT_EQ(box.at("result"), "done") << box.dump();
        }
    }
    EXPECT_EQ(failed, 1);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(bytes_of(records_[i] / "block.bin"), block);
    }
    EXPECT_EQ(lines.back().at("done"), 2);
    EXPECT_EQ(lines.back().at("failed"), 1);
    // The average is a box's time: the failed box, however short, is not in it.
    double done_seconds = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        done_seconds += lines[i].at("result") == "done" ? lines[i].at("seconds").get<double>() : 0.0;
    }
    EXPECT_NEAR(lines.back().at("average_seconds").get<double>(), done_seconds / 2, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ProvisionFaultTest,
    ::testing::Values(
        // The box reports an error to the handshake: the link shows its message box and gives up.
        FaultCase{"handshake_error",
                  {"--baud", "0", "--reset-after", "1", "--fault", "result-1"},
                  "Handshake failed!Please check port and reset the STB!"},
        FaultCase{"no_such_port", {}, "no-such-port"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProvisionTest, BadCommandLinesEndWithUsageStatusAndTouchNoPort) {
    const std::string missing = (dir_ / "missing.bin").string();
    const std::vector<std::vector<std::string>> cases = {
        {"--image", sample_, "--client", client_},                         // no port
        {"--port", "/dev/null", "--client", client_},                      // no image
        {"--port", "/dev/null", "--image", missing, "--client", client_},  // image refused
        {"--port", "/dev/null", "--image", sample_, "--client", missing},  // no client
        {"--port", "/dev/null", "--port", "/dev/null", "--image", sample_, "--client", client_},
        {"--port", "/dev/null", "--image", sample_, "--client", client_, "--on-block-timeout", "later"},
        {"--port", "/dev/null", "--image", sample_, "--client", client_, "--baud", "0"},
        // Power wave values the dialog refuses: -5 and 99999999999 used to reach the boxes as 65531
        // and 65535.
        {"--port", "/dev/null", "--image", sample_, "--client", client_, "--power-wave", "-5"},
        {"--port", "/dev/null", "--image", sample_, "--client", client_, "--power-wave=99999999999"},
        {"--port", "/dev/null", "--image", sample_, "--client", client_, "--power-wave", "100,200,abc,300"},
        // Network ports: a malformed name, and one line named twice in two spellings.
        {"--port", "tcp://127.0.0.1", "--image", sample_, "--client", client_},
        {"--port", "ftp://127.0.0.1:21", "--image", sample_, "--client", client_},
        {"--port", "rfc2217://127.0.0.1:2001", "--port", "RFC2217://127.0.0.1:2001/", "--image", sample_,
         "--client", client_},
        {"--port", "tcp://localhost:2001", "--port", "socket://LOCALHOST:2001", "--image", sample_,
         "--client", client_},
        {"--port", "/dev/null", "--image", sample_, "--client", client_, "--baud", "fast"},
    };
    for (const auto& args : cases) {
        std::string shown;
        for (const std::string& arg : args) {
            shown += arg + " ";
        }
        SCOPED_TRACE(shown);
        ProvisionProcess run(args, dir_ / "stdout.txt", dir_ / "stderr.txt");
        EXPECT_EQ(run.wait_exit(), 2);
        EXPECT_FALSE(err().empty());
        // A message a person can read: no bound hundreds of digits long.
        EXPECT_LT(err().size(), 200u) << err();
        EXPECT_EQ(out().find("Please reset the STB!"), std::string::npos);
    }
    ProvisionProcess zero_baud(
        {"--port", "/dev/null", "--image", sample_, "--client", client_, "--baud", "0"}, out_path(),
        err_path());
    EXPECT_EQ(zero_baud.wait_exit(), 2);
    EXPECT_NE(err().find("--baud: '0' is not a whole number from 1 to 2147483647"), std::string::npos)
        << err();
}

}  // namespace
}  // namespace velmora::provision::test
