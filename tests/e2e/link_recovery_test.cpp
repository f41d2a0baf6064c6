// Where a fault leaves the user, through the real window, host and box: a failed connection leaves
// the parsed image and a working "Connect with Panel"; a test pressed while the box connects is
// refused and the connection goes on; a box that vanishes ends the running test and says why; the
// link's state is shown beside the status line; and at a low baud rate the box sees the pauses
// inside a data block.
#include <gtest/gtest.h>

#include <csignal>
#include <regex>
#include <string>
#include <vector>

#include "pages/models/key_map_model.h"
#include "pages/models/led_map_model.h"
#include "tests/e2e/panel_bench.h"

namespace velmora::e2e_test {
namespace {

constexpr char k_connection_busy[] =
    "\n!!The connection with the box is still running! Wait for it to end, then try again.\n";
constexpr char k_port_closed[] = "\n!!The serial port is closed! Open it, then try again.\n";
constexpr char k_handshake_failed_box[] = "Handshake failed!Please check port and reset the STB!";

// The box reports an error to the first command, the handshake; the next reset connects.
TEST_F(PanelLinkTest, AfterAFailedConnectionTheUserConnectsAgainWithoutParsingAgain) {
    ASSERT_NO_FATAL_FAILURE(start_sim({"--fault", "result-1"}));
    ASSERT_NO_FATAL_FAILURE(make_view());
    ASSERT_NO_FATAL_FAILURE(parse());
    EXPECT_EQ(link_shown(), "Link: offline");
    ASSERT_NO_FATAL_FAILURE(connect_and_reset());
    ASSERT_TRUE(wait_until([&] { return messages.shown.size() == 1 && !view->link_agent->connecting(); }))
        << texts;
    EXPECT_EQ(messages.texts(), std::vector<std::string>{k_handshake_failed_box});
    EXPECT_TRUE(wait_until([&] { return view->is_control_enabled(main_form_id::k_connect_button); }));
    EXPECT_EQ(status_shown(), " ");
    EXPECT_EQ(link_shown(), "Link: waiting for reset");
    // The parsed image and its path stay: no Browse, no Parse.
    EXPECT_FALSE(view->is_control_enabled(main_form_id::k_parse_button));
    EXPECT_EQ(view->input_path, image.string());

    ASSERT_NO_FATAL_FAILURE(connect_and_expect_connected());
    EXPECT_EQ(link_shown(), "Link: connected");
    EXPECT_EQ(recorded("block.bin"), view_block());
    EXPECT_EQ(messages.shown.size(), 1u);
}

// While the box takes the client and the block, the tests are refused, their pages reset, and the
// connection runs to its end once.
TEST_F(PanelLinkTest, TestsPressedWhileTheBoxConnectsAreRefusedAndTheConnectionEnds) {
    ASSERT_NO_FATAL_FAILURE(start_sim());
    ASSERT_NO_FATAL_FAILURE(make_view());
    ASSERT_NO_FATAL_FAILURE(parse());
    ASSERT_NO_FATAL_FAILURE(connect_and_reset());
    ASSERT_TRUE(wait_for_sim_log("sim: client ")) << texts << "\nsim: " << sim_log();
    EXPECT_EQ(link_shown(), "Link: connecting...");

    view->ShowPage(CVelmoraDlg::k_key_map);
    click(&view->key_map_page, key_map_id::k_get_key_button);
    view->ShowPage(CVelmoraDlg::k_led_map);
    click(&view->led_map_page, led_map_id::k_get_led_map_button);
    view->ShowPage(CVelmoraDlg::k_front_panel);
    click(&view->fp_page, front_panel_id::k_start_lamp_test_button);
    click(&view->fp_page, front_panel_id::k_light_all_button);
    ASSERT_TRUE(wait_for_text(k_connection_busy, 4)) << texts;
    EXPECT_TRUE(wait_until([&] {
        return view->key_map_page.control_text(key_map_id::k_get_key_button) == "Start Get Key" &&
               view->led_map_page.control_text(led_map_id::k_get_led_map_button) ==
                   LedMapModel::k_start_caption &&
               view->fp_page.control_text(front_panel_id::k_start_lamp_test_button) == "Start Test Lamp Pos";
    }));

    ASSERT_TRUE(wait_until([this] { return connected(); })) << texts << "\nsim: " << sim_log();
    EXPECT_EQ(count_of(texts, "Start to check serial...\n"), 1u) << texts;
    EXPECT_EQ(count_of(texts, "\nEnd downloading!"), 1u) << texts;
    EXPECT_TRUE(messages.shown.empty()) << ::testing::PrintToString(messages.texts());
    EXPECT_EQ(recorded("block.bin"), view_block());
    EXPECT_EQ(count_of(sim_log(), "command 89"), 0u) << sim_log();
}

// The box vanishes while "Start Get Key" runs: the capture ends on its page with a word of why,
// "Send Config to Panel" is not refused for a task that no longer runs, and once a line is open again
// a reset connects the box.
TEST_F(PanelLinkTest, ABoxThatVanishesEndsTheRunningTestAndSaysWhy) {
    ASSERT_NO_FATAL_FAILURE(start_sim());
    ASSERT_NO_FATAL_FAILURE(make_view());
    ASSERT_NO_FATAL_FAILURE(parse());
    ASSERT_NO_FATAL_FAILURE(connect_and_expect_connected());
    view->ShowPage(CVelmoraDlg::k_key_map);
    KeyMapDlg& page = view->key_map_page;
    click(&page, key_map_id::k_get_key_button);
    ASSERT_TRUE(wait_for_sim_log("command 89 ok")) << texts << "\nsim: " << sim_log();

    sim->signal(SIGKILL);
    ASSERT_TRUE(wait_for_text("\nStop to get keymap...\n")) << texts;
    ASSERT_TRUE(wait_link_thread_ended());
    EXPECT_TRUE(
        wait_until([&] { return page.control_text(key_map_id::k_get_key_button) == "Start Get Key"; }));
    EXPECT_EQ(count_of(texts, k_port_closed), 1u) << texts;
    EXPECT_LT(texts.find(k_port_closed), texts.find("\nStop to get keymap...\n"));
    EXPECT_TRUE(wait_until([&] { return link_shown() == "Link: port closed"; })) << link_shown();

    const std::size_t before = texts.size();
    click(view, main_form_id::k_send_config_button);
    ASSERT_TRUE(wait_link_thread_ended());
    ASSERT_TRUE(wait_for_text(k_port_closed, 2)) << texts;
    const std::string after = texts.substr(before);
    EXPECT_EQ(count_of(after, "Another panel task is still running"), 0u) << after;
    EXPECT_NE(after.find(std::string("send configuration fail!!!") + k_port_closed), std::string::npos)
        << after;
    EXPECT_TRUE(messages.shown.empty()) << ::testing::PrintToString(messages.texts());

    // The user opens the line of a box again: it must be reset to be connected.
    ASSERT_NO_FATAL_FAILURE(start_sim());
    EXPECT_TRUE(wait_until([&] { return link_shown() == "Link: waiting for reset"; })) << link_shown();
    ASSERT_NO_FATAL_FAILURE(connect_and_reset());
    ASSERT_TRUE(wait_for_text("\nEnd downloading!", 2)) << texts << "\nsim: " << sim_log();
    EXPECT_TRUE(wait_until([&] { return link_shown() == "Link: connected"; })) << link_shown();

    click(view, main_form_id::k_clear_button);
    EXPECT_EQ(link_shown(), "Link: offline");
}

// The pauses that the host makes between the header, the data and the CRC of a block reach the box
// as pauses: each send is complete only once its bytes have crossed the line.
TEST_F(PanelLinkTest, AtALowBaudRateTheBoxSeesThePausesInsideTheBlock) {
    line_baud = 9600;
    paced_line = true;
    ASSERT_NO_FATAL_FAILURE(start_sim());
    ASSERT_NO_FATAL_FAILURE(make_view());
    ASSERT_NO_FATAL_FAILURE(parse());
    ASSERT_NO_FATAL_FAILURE(connect_and_expect_connected());

    const std::string log = sim_log();
    const std::size_t from = log.find("block announced");
    const std::size_t to = log.find("sim: block 1564 bytes crc ok");
    ASSERT_NE(from, std::string::npos) << log;
    ASSERT_NE(to, std::string::npos) << log;
    const std::string block_log = log.substr(from, to - from);
    // 200 ms apart on the host; the box reads at the line's pace, so it sees each pause whole unless
    // a busy machine delays its reads: half of it is the floor. A send reported complete when the
    // kernel took it would let the CRC follow the data with no pause at all.
    const std::regex pause_line(R"(sim: (\d+) ms pause inside a frame)");
    std::vector<int> pauses;
    for (auto it = std::sregex_iterator(block_log.begin(), block_log.end(), pause_line);
         it != std::sregex_iterator(); ++it) {
        if (const int ms = std::stoi((*it)[1]); ms >= 100) {
            pauses.push_back(ms);
        }
    }
    EXPECT_GE(pauses.size(), 2u) << block_log;
}

}  // namespace
}  // namespace velmora::e2e_test
