// The connection protocol: commands and their retries, the handshake, the client download, the block
// upload, the configuration record, and one whole connection run by the worker.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>

#include "link/agent/link_protocol.h"
#include "link/led_font.h"
#include "link_fakes.h"

namespace velmora::link_test {
namespace {

// The protocol's steps run here on the test's thread, on the fixture's agent's line.
LinkProtocol protocol(LinkFixture& fx) {
    return LinkProtocol(fx.agent().session());
}

namespace fs = std::filesystem;

const Bytes k_lamp_payload{'1'};

// A block whose every byte shows where it came from.
ConfigBlock patterned_block() {
    ConfigBlock block;
    for (std::size_t i = 0; i < block.bytes.size(); ++i) {
        block.bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return block;
}

Bytes joined(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// A file in a folder of its own, removed with it.
class TempFile {
public:
    explicit TempFile(std::uintmax_t size) {
        folder_ = fs::temp_directory_path() /
                  ("velmora-link-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        fs::create_directories(folder_);
        path_ = folder_ / "velmora.bin";
        std::ofstream(path_, std::ios::binary) << std::string(std::min<std::uintmax_t>(size, 64), 'C');
        fs::resize_file(path_, size);
    }
    ~TempFile() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    static inline int counter_ = 0;
    fs::path folder_;
    fs::path path_;
};

struct CommandCase {
    const char* name;
    std::vector<Bytes> replies;  // one per frame sent
    bool result;
    std::size_t frames;
    std::vector<std::string> texts;
};

class SendCommandTest : public testing::TestWithParam<CommandCase> {};

TEST_P(SendCommandTest, RetriesAsTheRepliesSay) {
    const CommandCase& c = GetParam();
    LinkFixture fx;
    fx.listen();
    fx.connector.script(c.replies);
    EXPECT_EQ(protocol(fx).send_command(LinkCommand::lamp_test, k_lamp_payload, 20ms), c.result);
    const std::vector<Bytes> sends = fx.connector.sends();
    ASSERT_EQ(sends.size(), c.frames);
    for (const Bytes& sent : sends) {
        EXPECT_EQ(sent, command_frame(LinkCommand::lamp_test, k_lamp_payload));
    }
    EXPECT_EQ(fx.output.texts(), c.texts);
}

const Bytes k_again{5, 0, 0};

INSTANTIATE_TEST_SUITE_P(
    Replies, SendCommandTest,
    testing::Values(CommandCase{"done", {ok_reply()}, true, 1, {}},
                    CommandCase{"receipt_again_then_done", {k_again, ok_reply()}, true, 2, {}},
                    CommandCase{
                        "three_receipts_again_fail_silently", {k_again, k_again, k_again}, false, 3, {}},
                    CommandCase{"result_error_fails_at_once",
                                {{0, 0, 0, 1, 9, 9}, ok_reply()},
                                false,
                                1,
                                {"Slave report Error\n"}},
                    CommandCase{"result_other_then_done", {{0, 0, 0, 7, 0, 0}, ok_reply()}, true, 2, {}},
                    CommandCase{"missing_result_then_done", {{0, 0, 0}, ok_reply()}, true, 2, {}},
                    CommandCase{"no_receipt",
                                {{}, {}, {}},
                                false,
                                3,
                                {"Failed to get CMD response!\n", "Failed to get CMD response!\n",
                                 "Failed to get CMD response!\n"}}),
    [](const testing::TestParamInfo<CommandCase>& info) { return info.param.name; });

struct HandshakeCase {
    const char* name;
    std::vector<Bytes> replies;
    bool result;
    std::string last_text;
};

class HandshakeTest : public testing::TestWithParam<HandshakeCase> {};

TEST_P(HandshakeTest, ChecksTheEcho) {
    const HandshakeCase& c = GetParam();
    LinkFixture fx;
    fx.listen();
    fx.connector.script(c.replies);
    EXPECT_EQ(protocol(fx).handshake(), c.result);
    const std::vector<std::string> texts = fx.output.texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), "Start to check serial...\n");
    EXPECT_EQ(texts.back(), c.last_text);
}

const Bytes k_echo(k_handshake_text.begin(), k_handshake_text.end());

INSTANTIATE_TEST_SUITE_P(
    Echoes, HandshakeTest,
    testing::Values(
        HandshakeCase{"echoed", {joined({ok_reply(), k_echo})}, true, "Start to check serial...\n"},
        HandshakeCase{"command_fails", {{0, 0, 0, 1, 0, 0}}, false, "\n!!TEST CMD fail-1!"},
        HandshakeCase{"no_echo", {joined({ok_reply(), Bytes(14, 'K')})}, false, "\n!!TEST CMD fail-2!"},
        HandshakeCase{"wrong_echo", {joined({ok_reply(), Bytes(15, 'K')})}, false, "\n!!TEST CMD fail-3!\n"}),
    [](const testing::TestParamInfo<HandshakeCase>& info) { return info.param.name; });

TEST(DownloadClientTest, SendsHeaderAndFileInOnePiece) {
    LinkFixture fx;
    const TempFile client(1000);
    fx.agent().set_client_path(client.path());
    fx.agent().line().set_link_state(LinkState::synced);
    EXPECT_EQ(protocol(fx).download_client(fx.agent().client_path()), 1012u);
    const std::vector<Bytes> sends = fx.connector.sends();
    ASSERT_EQ(sends.size(), 1u);
    const auto header = client_header(1000);
    EXPECT_EQ(Bytes(sends[0].begin(), sends[0].begin() + 12), Bytes(header.begin(), header.end()));
    EXPECT_EQ(sends[0].size(), 1012u);
    EXPECT_EQ(sends[0][12], 'C');
    EXPECT_EQ(fx.owner.upg_info().front(), (std::array<std::int32_t, 3>{2, 0, 100}));
    EXPECT_TRUE(fx.owner.boxes().empty());
}

TEST(DownloadClientTest, MissingFileIsNamedAndNothingIsSent) {
    LinkFixture fx;
    fx.agent().set_client_path("/nonexistent/velmora-test/client.bin");
    fx.agent().line().set_link_state(LinkState::synced);
    EXPECT_EQ(protocol(fx).download_client(fx.agent().client_path()), 0u);
    EXPECT_TRUE(fx.connector.sends().empty());
    EXPECT_EQ(fx.owner.boxes(), (std::vector<std::string>{"Failed to open zipped file!"}));
    const std::vector<std::string> texts = fx.output.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("/nonexistent/velmora-test/client.bin"), std::string::npos);
}

TEST(DownloadClientTest, MissingFileOnACancelledLinkShowsNoBox) {
    LinkFixture fx;
    EXPECT_EQ(protocol(fx).download_client(fx.agent().client_path()), 0u);
    EXPECT_TRUE(fx.owner.boxes().empty());
}

TEST(DownloadClientTest, FileLargerThanTheBoxTakesIsRefused) {
    LinkFixture fx;
    const TempFile client(k_max_client_size + 1);
    fx.agent().set_client_path(client.path());
    fx.agent().line().set_link_state(LinkState::synced);
    EXPECT_EQ(protocol(fx).download_client(fx.agent().client_path()), 0u);
    EXPECT_TRUE(fx.connector.sends().empty());
    const std::vector<std::string> boxes = fx.owner.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(client.path().string()), std::string::npos);
    EXPECT_NE(boxes[0].find("2097141"), std::string::npos);
    EXPECT_NE(boxes[0].find("2097140"), std::string::npos);
}

TEST(DownloadClientTest, FileOfTheLargestSizeGoesOut) {
    LinkFixture fx;
    const TempFile client(k_max_client_size);
    fx.agent().set_client_path(client.path());
    fx.agent().line().set_link_state(LinkState::synced);
    EXPECT_EQ(protocol(fx).download_client(fx.agent().client_path()), k_client_buffer_size);
    ASSERT_EQ(fx.connector.send_count(), 1u);
}

struct StallCase {
    const char* name;
    bool port_closes;  // the connector says the port closed, as for a pulled adapter
    bool stall_said;
};

class DownloadStallTest : public testing::TestWithParam<StallCase> {};

// A send whose completion report stops short fails soon after its time on the line.
LinkTiming short_send_margin() {
    LinkTiming timing = fast_timing();
    timing.send_margin = 50ms;
    return timing;
}

// The box takes 1000 bytes of the client and no more: the send ends after its time on the line. Said
// at once, with where it stopped, unless the link already said why (a lost port) or was cancelled.
TEST_P(DownloadStallTest, AStalledDownloadIsNamedWithTheByteItStoppedAt) {
    LinkFixture fx(short_send_margin());
    const TempFile client(1000);
    fx.agent().set_client_path(client.path());
    fx.agent().line().set_link_state(LinkState::synced);
    fx.connector.reports = false;
    fx.connector.set_model([&](const Bytes&) {
        fx.connector.report(1000);
        if (GetParam().port_closes) {
            fx.agent().deliver(component_msg{k_connector_closed, 0, nullptr});
        }
        return Bytes{};
    });
    EXPECT_EQ(protocol(fx).download_client(fx.agent().client_path()), 1012u);
    const std::string stall =
        "\nThe client download stalled at byte 1000 of 1012: the box stopped taking bytes.\n";
    EXPECT_EQ(fx.output.count(stall), GetParam().stall_said ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Stalls, DownloadStallTest,
                         testing::Values(StallCase{"box_stops_reading", false, true},
                                         StallCase{"port_closed", true, false}),
                         [](const testing::TestParamInfo<StallCase>& info) { return info.param.name; });

TEST(ConnectionTest, AStalledDownloadIsSaidBeforeTheHandshakeFails) {
    LinkFixture fx(short_send_margin());
    const TempFile client(300);
    fx.agent().set_client_path(client.path());
    fx.connector.reports = false;
    // The sync answer is reported; of the client only its first 100 bytes; nothing is answered.
    fx.connector.set_model([&](const Bytes& sent) {
        fx.connector.report(
            sent.size() == 1 ? 1 : std::min<std::uint32_t>(100, static_cast<std::uint32_t>(sent.size())));
        return Bytes{};
    });
    fx.agent().go_online();
    fx.connector.receive({0xA5});
    ASSERT_TRUE(wait_until(
        [&] { return fx.owner.boxes().size() == 1 && fx.agent().link_state() == LinkState::idle; }));
    const std::vector<std::string> texts = fx.output.texts();
    const auto stall =
        std::find(texts.begin(), texts.end(),
                  "\nThe client download stalled at byte 100 of 312: the box stopped taking bytes.\n");
    const auto handshake = std::find(texts.begin(), texts.end(), "Start to check serial...\n");
    ASSERT_NE(stall, texts.end());
    EXPECT_LT(stall, handshake);
    EXPECT_EQ(fx.owner.boxes(),
              std::vector<std::string>{"Handshake failed!Please check port and reset the STB!"});
}

class UploadTest : public testing::Test {
protected:
    UploadTest() {
        fx.owner.set_config(patterned_block());
        fx.agent().line().set_link_state(LinkState::uploading);
    }
    // The block as the box must receive it: the font over the LED map's start, its count at 288.
    static ConfigBlock expected_block() {
        ConfigBlock block = patterned_block();
        for (std::size_t i = 0; i < led_font.size(); ++i) {
            block.bytes[32 + 2 * i] = led_font[i].character;
            block.bytes[33 + 2 * i] = led_font[i].segments;
        }
        block.bytes[288] = 57;
        block.bytes[289] = 0;
        return block;
    }
    LinkFixture fx;
};

TEST_F(UploadTest, WritesTheFontAndSendsTheBlockInThreeTransmissions) {
    BoxModel box;
    fx.connector.set_model(std::ref(box));
    ASSERT_TRUE(protocol(fx).upload_all());
    const ConfigBlock expected = expected_block();
    EXPECT_EQ(fx.owner.config().bytes, expected.bytes);
    EXPECT_EQ(Bytes(expected.bytes.begin() + 32, expected.bytes.begin() + 36),
              (Bytes{0x2E, 0x01, 0x30, 0xFC}));
    const DataBlock block = data_block(expected.bytes);
    const std::vector<Bytes> sends = fx.connector.sends();
    ASSERT_EQ(sends.size(), 4u);
    EXPECT_EQ(sends[0], command_frame(LinkCommand::announce_block, k_announce_block_payload));
    EXPECT_EQ(sends[1], (Bytes{0x23, 0x2A}));
    EXPECT_EQ(sends[2], block.data);
    EXPECT_EQ(sends[3], Bytes(block.crc.begin(), block.crc.end()));
    EXPECT_EQ(fx.owner.upg_info().back(), (std::array<std::int32_t, 3>{4, 1564, 1564}));
    EXPECT_EQ(fx.output.texts(),
              (std::vector<std::string>{"Start to send all configuration data...\n", "\nEnd downloading!"}));
}

TEST_F(UploadTest, SlaveErrorSendsThePieceAgain) {
    fx.connector.script({ok_reply(), {}, {}, {1}, {}, {}, {0}});
    ASSERT_TRUE(protocol(fx).upload_all());
    EXPECT_EQ(fx.connector.send_count(), 7u);
    EXPECT_EQ(fx.output.count("\nSlave error, retransfer...!"), 1u);
}

TEST_F(UploadTest, FailedAnnouncementEndsWithoutMessage) {
    fx.connector.script({{0, 0, 0, 1, 0, 0}});
    EXPECT_FALSE(protocol(fx).upload_all());
    EXPECT_EQ(fx.connector.send_count(), 1u);
    EXPECT_EQ(fx.output.texts(), (std::vector<std::string>{"Start to send all configuration data...\n",
                                                           "Slave report Error\n"}));
}

TEST_F(UploadTest, RetryingAMissingAcknowledgementTenTimesGivesUp) {
    fx.owner.answer_boxes(LinkBoxAnswer::retry);
    fx.connector.script({ok_reply()});
    EXPECT_FALSE(protocol(fx).upload_all());
    EXPECT_EQ(fx.connector.send_count(), 1u + 10 * 3);
    EXPECT_EQ(fx.owner.boxes(), std::vector<std::string>(10, "Connection error! retry or not?"));
    EXPECT_EQ(fx.output.texts().back(), "\nUpgrade fail, Please start again!");
}

TEST_F(UploadTest, CancelOnAMissingAcknowledgementEndsTheUpload) {
    fx.owner.answer_boxes(LinkBoxAnswer::cancel);
    fx.connector.script({ok_reply()});
    EXPECT_FALSE(protocol(fx).upload_all());
    EXPECT_EQ(fx.connector.send_count(), 4u);
    EXPECT_EQ(fx.owner.boxes().size(), 1u);
}

TEST(UploadCancelTest, CancelledLinkDuringTheAcknowledgementWaitShowsNoBox) {
    LinkTiming timing = fast_timing();
    timing.block_ack = 1h;
    LinkFixture fx(timing);
    fx.agent().line().set_link_state(LinkState::uploading);
    fx.connector.script({ok_reply()});
    auto upload = std::async(std::launch::async, [&] { return protocol(fx).upload_all(); });
    ASSERT_TRUE(wait_until([&] { return fx.connector.send_count() == 4 && fx.agent().line().rx_starved(); }));
    fx.agent().line().set_link_state(LinkState::idle);
    EXPECT_FALSE(upload.get());
    EXPECT_TRUE(fx.owner.boxes().empty());
}

class SendConfigTest : public testing::Test {
protected:
    SendConfigTest() {
        fx.owner.set_config(patterned_block());
        fx.owner.connected = 1;
    }
    void run() {
        ASSERT_TRUE(fx.agent().start_send_config());
        ASSERT_TRUE(wait_until([&] { return !fx.agent().link_thread_running(); }));
    }
    LinkFixture fx;
};

TEST_F(SendConfigTest, SendsTheMainRecordAndRetriesAfterASlaveError) {
    fx.connector.script({ok_reply(), {}, {}, {1, 2, 7}, {}, {}, {0, 0, 0}});
    run();
    const ConfigBlock block = patterned_block();
    const DataBlock record = data_block(std::span(block.bytes).first(464));
    const std::vector<Bytes> sends = fx.connector.sends();
    ASSERT_EQ(sends.size(), 7u);
    EXPECT_EQ(sends[0], command_frame(LinkCommand::announce_record, k_announce_record_payload));
    for (std::size_t first : {1u, 4u}) {
        EXPECT_EQ(sends[first], (Bytes{0x23, 0x2A}));
        EXPECT_EQ(sends[first + 1], record.data);
        EXPECT_EQ(sends[first + 2], Bytes(record.crc.begin(), record.crc.end()));
    }
    EXPECT_EQ(fx.output.texts(), (std::vector<std::string>{
                                     "\nStart to send configuration...\n", "\nSlave error, retransfer...!\n",
                                     "Slave error:state:2, code:7\n", "send configuration success!!!"}));
    EXPECT_EQ(fx.owner.config().bytes, block.bytes);  // the record goes out as it is
}

TEST_F(SendConfigTest, RefusedWithoutAConnectedPanel) {
    fx.owner.connected = 0;
    run();
    EXPECT_TRUE(fx.connector.sends().empty());
    EXPECT_EQ(fx.output.texts(), (std::vector<std::string>{"\nPlease connect with panel connectly!\n"}));
}

TEST_F(SendConfigTest, FailedAnnouncementIsReported) {
    fx.connector.script({{0, 0, 0, 1, 0, 0}});
    run();
    EXPECT_EQ(fx.output.texts().back(), "send configuration fail!!!");
    EXPECT_EQ(fx.connector.send_count(), 1u);
}

TEST_F(SendConfigTest, OfflineAtAnAttemptEndsWithoutMessage) {
    fx.owner.online = 0;
    fx.connector.script({ok_reply()});
    run();
    EXPECT_EQ(fx.connector.send_count(), 1u);
    EXPECT_EQ(fx.output.texts(), (std::vector<std::string>{"\nStart to send configuration...\n"}));
}

TEST_F(SendConfigTest, TenUnansweredAttemptsGiveUp) {
    fx.connector.script({ok_reply()});
    run();
    EXPECT_EQ(fx.connector.send_count(), 1u + 10 * 3);
    EXPECT_EQ(fx.output.texts().back(), "\nUpgrade fail, Please start again!");
}

TEST(ConnectionTest, WorkerRunsDownloadHandshakeAndUploadToAConnectedPanel) {
    LinkFixture fx;
    const TempFile client(300);
    fx.agent().set_client_path(client.path());
    fx.owner.set_config(patterned_block());
    BoxModel box;
    fx.connector.set_model(std::ref(box));
    fx.agent().go_online();
    fx.connector.receive({0x00, 0xA5});
    // Idle again, the worker hands the line back before it parks.
    ASSERT_TRUE(wait_until([&] {
        return fx.owner.connected.load() == 1 && fx.agent().link_state() == LinkState::idle &&
               fx.connector.switches().size() >= 2;
    }));
    const std::vector<Bytes> sends = fx.connector.sends();
    ASSERT_EQ(sends.size(), 7u);
    EXPECT_EQ(sends[0], Bytes{0x60});
    EXPECT_EQ(sends[1].size(), 312u);
    EXPECT_EQ(sends[2], command_frame(LinkCommand::handshake, k_echo));
    EXPECT_EQ(sends[3], command_frame(LinkCommand::announce_block, k_announce_block_payload));
    EXPECT_EQ(sends[5].size(), 1564u);
    EXPECT_TRUE(fx.owner.boxes().empty());
    const std::vector<std::uint32_t> switches = fx.connector.switches();
    ASSERT_GE(switches.size(), 2u);
    EXPECT_EQ(switches.front(), 1u);
    EXPECT_EQ(switches.back(), 0u);
    EXPECT_EQ(fx.owner.upg_info().back(), (std::array<std::int32_t, 3>{0, 0, 0}));
}

TEST(ConnectionTest, FailedHandshakeTellsTheUserAndGoesIdle) {
    LinkFixture fx;
    fx.agent().go_online();
    fx.connector.receive({0xA5});
    ASSERT_TRUE(wait_until(
        [&] { return fx.owner.boxes().size() == 2 && fx.agent().link_state() == LinkState::idle; }));
    EXPECT_EQ(fx.owner.boxes(),
              (std::vector<std::string>{"Failed to open zipped file!",
                                        "Handshake failed!Please check port and reset the STB!"}));
    EXPECT_EQ(fx.owner.connected.load(), 0);
}

}  // namespace
}  // namespace velmora::link_test
