// One session with the box, as a user has it at the bench: connect and upload the block, send the
// configuration, capture a key, teach the LED map, find a lamp and light and dim everything. The
// steps share one connection (each costs the link's own waits of about four seconds), so they run
// in order in one test, each step checking what the box received and what the user saw.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTableWidget>
#include <algorithm>
#include <string>
#include <vector>

#include "pages/models/key_map_model.h"
#include "pages/models/led_map_model.h"
#include "tests/e2e/panel_bench.h"

namespace velmora::e2e_test {
namespace {

// Steps of the session after the connection; each leaves the link idle for the next.
class PanelSessionTest : public PanelLinkTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(PanelLinkTest::SetUp());
        ASSERT_NO_FATAL_FAILURE(start_sim());
        ASSERT_NO_FATAL_FAILURE(make_view());
        ASSERT_NO_FATAL_FAILURE(parse());
    }

    void expect_texts_in_order(const std::vector<std::string>& expected) {
        std::size_t from = 0;
        for (const std::string& text : expected) {
            const std::size_t at = texts.find(text, from);
            ASSERT_NE(at, std::string::npos) << "missing, or out of order: \"" << text << "\" in\n" << texts;
            from = at + text.size();
        }
    }

    void send_config() {
        click(view, main_form_id::k_send_config_button);
        ASSERT_TRUE(wait_for_text("send configuration success!!!")) << texts << "\nsim: " << sim_log();
        ASSERT_TRUE(wait_link_thread_ended());
        const Bytes record = recorded("config-1.bin");
        const Bytes block = view_block();
        EXPECT_EQ(record, Bytes(block.begin(), block.begin() + k_record_size));
        expect_texts_in_order({"\nStart to send configuration...\n", "send configuration success!!!"});
    }

    QTableWidget* fp_key_list() {
        return view->key_map_page.control_as<QTableWidget>(key_map_id::k_fp_key_list);
    }

    void capture_key() {
        view->ShowPage(CVelmoraDlg::k_key_map);
        KeyMapDlg& page = view->key_map_page;
        ASSERT_TRUE(wait_until([&] { return page.isVisible(); }));
        click(&page, key_map_id::k_get_key_button);
        EXPECT_EQ(page.control_text(key_map_id::k_get_key_button), "Stop Get Key");
        // The box takes key events once it has acted on the capture command.
        ASSERT_TRUE(wait_for_sim_log("command 89 ok")) << texts << "\nsim: " << sim_log();

        constexpr int k_row = 3;
        constexpr int k_column = 1;
        QTableWidget* table = fp_key_list();
        table->scrollToItem(table->item(k_row, k_column));
        test::double_click(table->viewport(), page.list(KeyList::fp).cell_rect(k_row, k_column).center());
        ASSERT_EQ(view->pages.key_map.capture_target.load(), KeyList::fp);

        sim->type("key 3412 5\n");
        ASSERT_TRUE(wait_for_text("\nusercode:3412,key_value:5")) << texts << "\nsim: " << sim_log();
        EXPECT_TRUE(wait_until([&] { return table->item(k_row, k_column)->text() == QStringLiteral("5"); }))
            << "the cell shows " << table->item(k_row, k_column)->text().toStdString();

        click(&page, key_map_id::k_get_key_button);
        ASSERT_TRUE(wait_for_text("\nStop to get keymap...\n")) << texts;
        ASSERT_TRUE(wait_link_thread_ended());
        EXPECT_TRUE(
            wait_until([&] { return page.control_text(key_map_id::k_get_key_button) == "Start Get Key"; }));
        expect_texts_in_order(
            {"\nStart to get keymap...\n", "\nusercode:3412,key_value:5", "\nStop to get keymap...\n"});
    }

    void get_led_map() {
        view->ShowPage(CVelmoraDlg::k_led_map);
        LEDMapDlg& page = view->led_map_page;
        ASSERT_TRUE(wait_until([&] { return page.isVisible(); }));
        click(&page, led_map_id::k_get_led_map_button);
        EXPECT_EQ(page.control_text(led_map_id::k_get_led_map_button),
                  std::string(LedMapModel::k_stop_caption));
        ASSERT_TRUE(wait_for_sim_log("LED map start")) << texts << "\nsim: " << sim_log();

        // One pick at a time: a second press before the link took the first would replace it.
        const std::vector<int> picks{
            led_map_id::k_light_all_button,           led_map_id::k_dim_all_button,
            led_map_id::k_segment_top_button,         led_map_id::k_segment_upper_right_button,
            led_map_id::k_segment_lower_right_button, led_map_id::k_segment_bottom_button,
            led_map_id::k_segment_lower_left_button,  led_map_id::k_segment_upper_left_button,
            led_map_id::k_segment_middle_button,      led_map_id::k_segment_dot_button};
        for (std::size_t i = 0; i < picks.size(); ++i) {
            ASSERT_TRUE(page.is_control_enabled(picks[i])) << "pick " << i;
            click(&page, picks[i]);
            ASSERT_TRUE(wait_for_text("\nSucceed:", i + 1))
                << "pick " << i << ": " << texts << "\nsim: " << sim_log();
        }
        ASSERT_TRUE(wait_for_text("\nGet Led Map OK!!! \n")) << texts << "\nsim: " << sim_log();
        ASSERT_TRUE(wait_for_text("\nStop get ledmap...\n"));
        ASSERT_TRUE(wait_link_thread_ended());
        EXPECT_TRUE(wait_until([&] {
            return page.control_text(led_map_id::k_get_led_map_button) == LedMapModel::k_start_caption;
        }));
        const auto map = view->pages.led_map.led_map();
        EXPECT_EQ(Bytes(map.begin(), map.end()), box_led_map);
        EXPECT_EQ(count_of(texts, "\nFailed:"), 0u) << texts;
        expect_texts_in_order({"\nStart get ledmap...\n", "\nSucceed:Ack All ON ", "\nSucceed:Ack All OFF ",
                               "\nSucceed: Ack segment 0", "\nSucceed: Ack segment 7",
                               "\nGet Led Map OK!!! \n"});
    }

    void find_lamp() {
        view->ShowPage(CVelmoraDlg::k_front_panel);
        FPDlg& page = view->fp_page;
        ASSERT_TRUE(wait_until([&] { return page.isVisible(); }));
        click(&page, front_panel_id::k_start_lamp_test_button);
        ASSERT_TRUE(wait_for_text("\n Press OK when lamp is light!")) << texts << "\nsim: " << sim_log();
        // The box starts at position 0: right, right, left leaves it at 1.
        const std::vector<std::pair<int, std::string>> moves{
            {front_panel_id::k_lamp_right_button, "\nClick right,the led pos is: 1"},
            {front_panel_id::k_lamp_right_button, "\nClick right,the led pos is: 2"},
            {front_panel_id::k_lamp_left_button, "\nClick left,the led pos is: 1"}};
        for (const auto& [button, text] : moves) {
            click(&page, button);
            ASSERT_TRUE(wait_for_text(text)) << texts << "\nsim: " << sim_log();
        }
        click(&page, front_panel_id::k_lamp_confirm_button);
        ASSERT_TRUE(wait_for_text(
            "\nTest success: the lock or power lamp pos is: 1\nPlease input it to the correct editbox!\n"))
            << texts << "\nsim: " << sim_log();
        ASSERT_TRUE(wait_for_text("\nStop test lamp pos!\n"));
        ASSERT_TRUE(wait_link_thread_ended());
        EXPECT_EQ(count_of(texts, "failed"), 0u) << texts;

        click(&page, front_panel_id::k_light_all_button);
        EXPECT_TRUE(wait_for_sim_log("command 95 ok (light)")) << texts << "\nsim: " << sim_log();
        click(&page, front_panel_id::k_dim_all_button);
        EXPECT_TRUE(wait_for_sim_log("command 95 ok (dim)")) << texts << "\nsim: " << sim_log();
        EXPECT_EQ(count_of(texts, "\nSend light/dim led&lamp CMD fail!"), 0u) << texts;
    }
};

TEST_F(PanelSessionTest, ConnectThenSendConfigCaptureAKeyGetTheLedMapAndFindALamp) {
    EXPECT_EQ(link_shown(), "Link: offline");
    click(view, main_form_id::k_connect_button);
    EXPECT_EQ(link_shown(), "Link: waiting for reset");
    sim->type("reset\n");
    ASSERT_TRUE(wait_until([this] { return connected(); })) << "not connected; texts: " << texts;
    // The status line goes blank after a connection; beside it the user reads that the tests are ready.
    EXPECT_EQ(status_shown(), " ");
    EXPECT_TRUE(wait_until([this] { return link_shown() == "Link: connected"; })) << link_shown();

    // The box got the client file as it is and the view's block, with the font written into it.
    EXPECT_EQ(recorded("client.bin"), client);
    const Bytes block = recorded("block.bin");
    ASSERT_EQ(block.size(), k_block_size);
    EXPECT_EQ(block, view_block());
    EXPECT_EQ((Bytes(block.begin() + k_led_font_offset, block.begin() + k_led_font_offset + 4)),
              (Bytes{0x2E, 0x01, 0x30, 0xFC}));
    for (std::size_t i = 0; i < led_font.size(); ++i) {
        EXPECT_EQ(block[k_led_font_offset + 2 * i], led_font[i].character) << "entry " << i;
        EXPECT_EQ(block[k_led_font_offset + 2 * i + 1], led_font[i].segments) << "entry " << i;
    }
    EXPECT_EQ(block[k_led_font_count_offset], 57);
    EXPECT_EQ(block[k_led_font_count_offset + 1], 0);

    const std::vector<std::string>& shown = status_history->texts();
    EXPECT_NE(std::find(shown.begin(), shown.end(), "Transferring: 1564/1564"), shown.end())
        << "the status line showed: " << ::testing::PrintToString(shown);
    ASSERT_NO_FATAL_FAILURE(
        expect_texts_in_order({"Got sync byte!\nStart sending client...\n", "Start to check serial...\n",
                               "Start to send all configuration data...\n", "\nEnd downloading!"}));
    EXPECT_TRUE(messages.shown.empty()) << ::testing::PrintToString(messages.texts());

    {
        SCOPED_TRACE("send configuration");
        ASSERT_NO_FATAL_FAILURE(send_config());
    }
    {
        SCOPED_TRACE("key capture");
        ASSERT_NO_FATAL_FAILURE(capture_key());
    }
    {
        SCOPED_TRACE("LED map");
        ASSERT_NO_FATAL_FAILURE(get_led_map());
    }
    {
        SCOPED_TRACE("lamp test, light and dim");
        ASSERT_NO_FATAL_FAILURE(find_lamp());
    }
    EXPECT_TRUE(messages.shown.empty()) << ::testing::PrintToString(messages.texts());
    EXPECT_EQ(view->panel_connected.load(), 1);
}

}  // namespace
}  // namespace velmora::e2e_test
