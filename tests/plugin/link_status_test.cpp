// What the view says about the link beside its status line, for every combination that matters.
#include <gtest/gtest.h>

#include <string>

#include "plugin/link_status.h"

namespace velmora {
namespace {

struct IndicatorCase {
    const char* name;
    LinkFacts facts;
    std::string text;
};

class LinkIndicatorTest : public ::testing::TestWithParam<IndicatorCase> {};

TEST_P(LinkIndicatorTest, SaysWhatTheUserCanDoNext) {
    const IndicatorCase& c = GetParam();
    const LinkIndicator indicator = link_indicator(c.facts);
    EXPECT_EQ(link_indicator_text(indicator), c.text);
    EXPECT_NE(std::string(link_indicator_tip(indicator)), "");
}

// online, port closed, connecting, connected
INSTANTIATE_TEST_SUITE_P(
    Facts, LinkIndicatorTest,
    ::testing::Values(
        IndicatorCase{"never_online", {false, false, false, false}, "Link: offline"},
        // After Clear the box may still run the client, but the link is the terminal's.
        IndicatorCase{"cleared_after_a_connection", {false, true, false, true}, "Link: offline"},
        IndicatorCase{"online", {true, false, false, false}, "Link: waiting for reset"},
        IndicatorCase{"box_reset", {true, false, true, false}, "Link: connecting..."},
        IndicatorCase{"reset_again_after_a_connection", {true, false, true, true}, "Link: connecting..."},
        IndicatorCase{"connected", {true, false, false, true}, "Link: connected"},
        IndicatorCase{"port_lost_while_connected", {true, true, false, true}, "Link: port closed"},
        IndicatorCase{"port_lost_while_connecting", {true, true, true, false}, "Link: port closed"}),
    [](const ::testing::TestParamInfo<IndicatorCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmora
