// The connection against a box that misbehaves, one fresh box per case: what the user reads in the
// output window and in message boxes, and that the link ends idle (or connected, when the fault is
// one the link rides out) without hanging.
#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/panel_bench.h"
#include "tests/support/ser2net_process.h"

namespace velmora::e2e_test {
namespace {

constexpr char k_no_response[] = "Failed to get CMD response!\n";
constexpr char k_handshake_failed_box[] = "Handshake failed!Please check port and reset the STB!";
constexpr char k_connection_error_box[] = "Connection error! retry or not?";
constexpr char k_transfer_error[] = "\n transfer error ....\n";
constexpr char k_end_downloading[] = "\nEnd downloading!";
constexpr char k_fail_1[] = "\n!!TEST CMD fail-1!";

// Bytes the box sends in a good connection up to and with the result of the block announcement:
// the sync byte, the handshake's receipt, result and 15-byte echo, the announcement's receipt and
// result. Silent after these, the box never acknowledges the block.
constexpr std::size_t k_bytes_before_block_ack = 1 + 3 + 3 + 15 + 3 + 3;

struct FaultCase {
    const char* name;
    std::vector<std::string> sim_faults;
    bool client_file_missing;
    std::vector<MessageResult> retry_cancel_answers;
    bool ends_connected;
    // In this order in the output window.
    std::vector<std::string> texts;
    std::size_t no_response_texts;
    std::vector<std::string> boxes;
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

const FaultCase k_fault_cases[] = {
    {"one_command_unanswered",
     {"--fault", "no-receipt"},
     false,
     {},
     true,
     {"Start to check serial...\n", k_no_response, k_end_downloading},
     1,
     {}},
    {"box_silent_after_sync",
     {"--fault", "silent-after=1"},
     false,
     {},
     false,
     {"Start to check serial...\n", k_no_response, k_no_response, k_no_response, k_fail_1},
     3,
     {k_handshake_failed_box}},
    {"receipts_ask_again",
     {"--fault", "resend-receipt"},
     false,
     {},
     false,
     {"Start to check serial...\n", k_fail_1},
     0,
     {k_handshake_failed_box}},
    {"box_reports_an_error",
     {"--fault", "result-1"},
     false,
     {},
     false,
     {"Start to check serial...\n", "Slave report Error\n", k_fail_1},
     0,
     {k_handshake_failed_box}},
    {"block_crc_error_then_taken",
     {"--fault", "bad-block-ack"},
     false,
     {},
     true,
     {"Start to send all configuration data...\n", "\nSlave error, retransfer...!", k_end_downloading},
     0,
     {}},
    {"no_block_ack_retry_then_cancel",
     {"--fault", "silent-after=" + std::to_string(k_bytes_before_block_ack)},
     false,
     {MessageResult::retry, MessageResult::cancel},
     false,
     {"Start to send all configuration data...\n", k_transfer_error},
     0,
     {k_connection_error_box, k_connection_error_box}},
    {"garbage_before_sync",
     {"--fault", "garbage-before-sync"},
     false,
     {},
     true,
     {"Got sync byte!\nStart sending client...\n", k_end_downloading},
     0,
     {}},
    {"client_file_missing",
     {},
     true,
     {},
     false,
     {"Got sync byte!\nStart sending client...\n", "Client file not found: ", "Start to check serial...\n",
      k_fail_1},
     3,
     {"Failed to open zipped file!", k_handshake_failed_box}},
};

class LinkFaultTest : public PanelLinkTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(LinkFaultTest, TheUserIsToldAndTheLinkEndsIdle) {
    const FaultCase& c = GetParam();
    if (c.client_file_missing) {
        name_client_file(dir / "no-such-client.bin");
    }
    ASSERT_NO_FATAL_FAILURE(start_sim(c.sim_faults));
    ASSERT_NO_FATAL_FAILURE(make_view());
    ASSERT_NO_FATAL_FAILURE(parse());
    messages.retry_cancel_answers.assign(c.retry_cancel_answers.begin(), c.retry_cancel_answers.end());

    ASSERT_NO_FATAL_FAILURE(connect_and_reset());
    const std::string& last = c.texts.back();
    ASSERT_TRUE(wait_until([&] {
        return count_of(texts, last) > 0 && messages.shown.size() >= c.boxes.size() &&
               link_state() == LinkState::idle && view->panel_connected.load() == (c.ends_connected ? 1 : 0);
    })) << "texts: "
        << texts << "\nboxes: " << ::testing::PrintToString(messages.texts()) << "\nstate "
        << static_cast<int>(link_state()) << "\nsim: " << sim_log();

    std::size_t from = 0;
    for (const std::string& text : c.texts) {
        const std::size_t at = texts.find(text, from);
        ASSERT_NE(at, std::string::npos) << "missing, or out of order: \"" << text << "\" in\n" << texts;
        from = at + text.size();
    }
    EXPECT_EQ(count_of(texts, k_no_response), c.no_response_texts) << texts;
    EXPECT_EQ(messages.texts(), c.boxes);
    if (c.client_file_missing) {
        EXPECT_NE(texts.find((dir / "no-such-client.bin").string()), std::string::npos) << texts;
        EXPECT_FALSE(std::filesystem::exists(record_dir / "client.bin"));
    }
    if (c.ends_connected) {
        EXPECT_EQ(recorded("block.bin"), view_block());
    } else {
        EXPECT_EQ(count_of(texts, k_end_downloading), 0u) << texts;
    }
    // However it ended, the status line is reset and Connect works again, on the image parsed.
    EXPECT_TRUE(wait_until([&] {
        return view->is_control_enabled(main_form_id::k_connect_button) && status_shown() == " ";
    })) << status_shown();
    EXPECT_FALSE(view->is_control_enabled(main_form_id::k_parse_button));
    EXPECT_EQ(link_shown(), c.ends_connected ? "Link: connected" : "Link: waiting for reset");
    EXPECT_EQ(link_state(), LinkState::idle);
}

INSTANTIATE_TEST_SUITE_P(Faults, LinkFaultTest, ::testing::ValuesIn(k_fault_cases),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                             return std::string(info.param.name);
                         });

// The LED map arrives even when the first copy the box sends is spoiled on the way.
TEST_F(PanelLinkTest, ALedMapWithABadCrcIsReadAgain) {
    ASSERT_NO_FATAL_FAILURE(start_sim({"--fault", "led-crc"}));
    ASSERT_NO_FATAL_FAILURE(make_view());
    ASSERT_NO_FATAL_FAILURE(parse());
    ASSERT_NO_FATAL_FAILURE(connect_and_expect_connected());

    view->ShowPage(CVelmoraDlg::k_led_map);
    LEDMapDlg& page = view->led_map_page;
    click(&page, led_map_id::k_get_led_map_button);
    ASSERT_TRUE(wait_for_sim_log("LED map start")) << texts << "\nsim: " << sim_log();
    for (std::size_t i = 0; i < 10; ++i) {
        // Ten acknowledged steps of any item are what the box counts.
        click(&page, led_map_id::k_segment_top_button);
        ASSERT_TRUE(wait_for_text("\nSucceed:", i + 1)) << texts << "\nsim: " << sim_log();
    }
    ASSERT_TRUE(wait_for_text("\nStop get ledmap...\n")) << texts << "\nsim: " << sim_log();
    ASSERT_TRUE(wait_link_thread_ended());
    EXPECT_EQ(count_of(texts, "\nGet Led Map OK!!! \n"), 1u) << texts;
    EXPECT_EQ(count_of(texts, "\nGet Led Map Error!!! \n"), 0u) << texts;
    const auto map = view->pages.led_map.led_map();
    EXPECT_EQ(Bytes(map.begin(), map.end()), box_led_map);
    const std::string log = sim_log();
    EXPECT_EQ(count_of(log, "sim: LED map sent with a wrong crc"), 1u) << log;
    EXPECT_EQ(count_of(log, "sim: LED map sent"), 2u) << log;
    EXPECT_EQ(count_of(log, "sim: LED map taken"), 1u) << log;
}

// The line goes away while the block is on its way: the link ends idle and disconnected, and asks
// the user nothing. On the network, the server stopping is the adapter pulled out.
enum class LineLoss { connector_closed, box_killed, network_server_stopped };

const char* name_of(LineLoss loss) {
    switch (loss) {
        case LineLoss::connector_closed:
            return "connector_closed";
        case LineLoss::box_killed:
            return "box_killed";
        case LineLoss::network_server_stopped:
            return "network_server_stopped";
    }
    return "";
}

void PrintTo(LineLoss loss, std::ostream* out) {
    *out << name_of(loss);
}

class LineLossTest : public PanelLinkTest, public ::testing::WithParamInterface<LineLoss> {};

TEST_P(LineLossTest, MidUploadTheLinkGoesIdle) {
    const bool network = GetParam() == LineLoss::network_server_stopped;
    if (network && test::Ser2netProcess::program().empty()) {
        GTEST_SKIP() << "ser2net is not installed (scripts/deps installs it)";
    }
    // The box stays silent after announcing the block, so the loss always meets the upload.
    ASSERT_NO_FATAL_FAILURE(
        start_sim({"--fault", "silent-after=" + std::to_string(k_bytes_before_block_ack)}, !network));
    std::unique_ptr<test::Ser2netProcess> ser2net;
    std::vector<QString> lost;
    QObject lost_sink;  // here, so the reports come on this thread
    QObject::connect(&connector, &ComConnector::port_lost, &lost_sink,
                     [&lost](const QString& reason) { lost.push_back(reason); });
    if (network) {
        ser2net = std::make_unique<test::Ser2netProcess>(
            dir, std::vector<test::Ser2netProcess::Line>{{sim_line, test::Ser2netProcess::Mode::rfc2217}});
        ASSERT_TRUE(ser2net->ok()) << ser2net->log();
        QString error;
        ASSERT_TRUE(connector.open(QString::fromStdString(ser2net->url(0)), k_baud, error))
            << error.toStdString();
    }
    ASSERT_NO_FATAL_FAILURE(make_view());
    ASSERT_NO_FATAL_FAILURE(parse());
    ASSERT_NO_FATAL_FAILURE(connect_and_reset());
    ASSERT_TRUE(wait_for_sim_log("block announced")) << texts << "\nsim: " << sim_log();

    if (GetParam() == LineLoss::connector_closed) {
        connector.close();
    } else if (network) {
        ser2net->stop();
    } else {
        sim->signal(SIGKILL);
    }
    ASSERT_TRUE(wait_until([&] {
        return count_of(texts, k_transfer_error) == 1 && link_state() == LinkState::idle &&
               !view->link_agent->connecting();
    })) << "texts: "
        << texts << "\nstate " << static_cast<int>(link_state());
    EXPECT_EQ(view->panel_connected.load(), 0);
    EXPECT_TRUE(messages.shown.empty()) << ::testing::PrintToString(messages.texts());
    EXPECT_FALSE(connector.is_open());
    // The user reads why, and can connect again once the port is open.
    EXPECT_NE(texts.find(std::string(k_transfer_error) +
                         "\n!!The serial port is closed! Open it, then try again.\n"),
              std::string::npos)
        << texts;
    EXPECT_TRUE(wait_until([&] {
        return view->is_control_enabled(main_form_id::k_connect_button) && status_shown() == " " &&
               link_shown() == "Link: port closed";
    })) << status_shown()
        << " / " << link_shown();
    if (network) {
        ASSERT_TRUE(wait_until([&] { return !lost.empty(); }));
        EXPECT_EQ(lost,
                  std::vector<QString>{QString::fromStdString("Network port " + ser2net->url(0) +
                                                              " closed: the server closed the connection")});
    }
}

// The window closes while the link works: during the waits before the handshake, and while the box
// keeps the block's acknowledgement. Closing neither hangs nor crashes, nothing is asked of the user
// any more, and the line and the box are left alone.
enum class ClosedDuring { client_start_wait, block_ack_wait };

void PrintTo(ClosedDuring when, std::ostream* out) {
    *out << (when == ClosedDuring::client_start_wait ? "client_start_wait" : "block_ack_wait");
}

class WindowClosedTest : public PanelLinkTest, public ::testing::WithParamInterface<ClosedDuring> {};

TEST_P(WindowClosedTest, ClosingTheWindowMidTransferEndsTheLinkCleanly) {
    const bool block = GetParam() == ClosedDuring::block_ack_wait;
    ASSERT_NO_FATAL_FAILURE(start_sim(
        block
            ? std::vector<std::string>{"--fault", "silent-after=" + std::to_string(k_bytes_before_block_ack)}
            : std::vector<std::string>{}));
    ASSERT_NO_FATAL_FAILURE(make_view());
    ASSERT_NO_FATAL_FAILURE(parse());
    ASSERT_NO_FATAL_FAILURE(connect_and_reset());
    ASSERT_TRUE(wait_for_sim_log(block ? "block announced" : "client")) << texts << "\nsim: " << sim_log();

    view = nullptr;
    parent.reset();  // the window and the view with it; its link's threads are joined here

    EXPECT_TRUE(messages.shown.empty()) << ::testing::PrintToString(messages.texts());
    EXPECT_TRUE(connector.is_open()) << "the line stays the host's";
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowClosedTest,
                         ::testing::Values(ClosedDuring::client_start_wait, ClosedDuring::block_ack_wait));

INSTANTIATE_TEST_SUITE_P(Lines, LineLossTest,
                         ::testing::Values(LineLoss::connector_closed, LineLoss::box_killed,
                                           LineLoss::network_server_stopped),
                         [](const ::testing::TestParamInfo<LineLoss>& info) {
                             return std::string(name_of(info.param));
                         });

}  // namespace
}  // namespace velmora::e2e_test
