// "Send Config to Panel" after a page's check failed: through the real window, host and simulated box,
// the check's message is all the user gets; the box receives no configuration record and the link
// prints no success. Once the value is mended the next send goes out, and it is the box's first
// record, so the refused send put nothing on the line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/panel_bench.h"

namespace velmora::e2e_test {
namespace {

constexpr std::size_t k_tv_av_offset = 308;

class SendConfigCheckTest : public PanelLinkTest {};

TEST_F(SendConfigCheckTest, AFailedCheckSendsNothingAndReportsNoSuccess) {
    ASSERT_NO_FATAL_FAILURE(start_sim());
    ASSERT_NO_FATAL_FAILURE(make_view());
    ASSERT_NO_FATAL_FAILURE(parse());
    ASSERT_NO_FATAL_FAILURE(connect_and_expect_connected());
    ASSERT_TRUE(messages.shown.empty()) << ::testing::PrintToString(messages.texts());

    view->ShowPage(CVelmoraDlg::k_hw_info);
    view->hw_page.set_control_text(hw_info_id::k_tv_av_edit, "x");
    click(view, main_form_id::k_send_config_button);

    EXPECT_EQ(messages.texts(), std::vector<std::string>{"The 'TV/AV' value is not valid!"});
    // The send would start its thread at once on the UI thread; none was started.
    EXPECT_FALSE(view->link_agent->link_thread_running());
    EXPECT_EQ(count_of(texts, "Start to send configuration"), 0u) << texts;
    EXPECT_EQ(count_of(texts, "send configuration success!!!"), 0u) << texts;

    // Mended, the value goes out: the box's first configuration record, holding it.
    view->hw_page.set_control_text(hw_info_id::k_tv_av_edit, "17");
    click(view, main_form_id::k_send_config_button);
    ASSERT_TRUE(wait_for_text("send configuration success!!!")) << texts << "\nsim: " << sim_log();
    ASSERT_TRUE(wait_link_thread_ended());
    const Bytes record = recorded("config-1.bin");
    ASSERT_EQ(record.size(), k_record_size);
    EXPECT_EQ(record[k_tv_av_offset], 17);
    EXPECT_FALSE(std::filesystem::exists(record_dir / "config-2.bin"));
    EXPECT_EQ(count_of(texts, "send configuration success!!!"), 1u) << texts;
    EXPECT_EQ(messages.shown.size(), 1u) << ::testing::PrintToString(messages.texts());
}

}  // namespace
}  // namespace velmora::e2e_test
