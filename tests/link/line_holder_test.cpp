// Who holds the line and how each holder ends: a connection refuses the tests until it ends, every
// connection ends with the status line reset, a closed port ends the running test and fails sends at
// once with a line that says why, and a send never depends on what the connector's request answers.
#include <gtest/gtest.h>

#include <functional>
#include <future>

#include "link/window_messages.h"
#include "link_fakes.h"

namespace velmora::link_test {
namespace {

constexpr char k_connection_busy[] =
    "\n!!The connection with the box is still running! Wait for it to end, then try again.\n";
constexpr char k_port_closed[] = "\n!!The serial port is closed! Open it, then try again.\n";

const Bytes k_one{'1'};
const std::array<std::int32_t, 3> k_status_reset{0, 0, 0};

Post end_post(LinkPage page, WindowMessage message) {
    return Post{page, message_number(message)};
}

std::size_t frames_of(const std::vector<Bytes>& sends, LinkCommand code) {
    return static_cast<std::size_t>(std::count_if(sends.begin(), sends.end(), [code](const Bytes& sent) {
        return sent.size() >= k_command_overhead && sent[0] == k_frame_start &&
               sent[1] == static_cast<std::uint8_t>(code);
    }));
}

TEST(LineHolderTest, TestsStartedWhileTheBoxConnectsAreRefusedAndTheConnectionRunsOn) {
    LinkFixture fx;
    BoxModel box;
    fx.connector.set_model(std::ref(box));
    fx.agent().go_online();
    // The worker stops at the missing client's box: the connection has begun and holds the line.
    fx.owner.hold_boxes();
    fx.connector.receive({0xA5});
    ASSERT_TRUE(wait_until([&] { return !fx.owner.boxes().empty(); }));
    EXPECT_TRUE(fx.agent().connecting());
    fx.owner.lamp_running = 1;
    fx.owner.key_running = 1;
    fx.owner.led_running = 1;

    EXPECT_FALSE(fx.agent().start_lamp_test());
    EXPECT_FALSE(fx.agent().start_get_key());
    EXPECT_FALSE(fx.agent().start_led_map());
    EXPECT_FALSE(fx.agent().start_send_config());
    EXPECT_FALSE(fx.agent().light_dim(1));
    EXPECT_EQ(fx.output.count(k_connection_busy), 5u);
    EXPECT_EQ(fx.owner.posts(),
              (std::vector<Post>{end_post(LinkPage::front_panel, WindowMessage::lamp_test_ended),
                                 end_post(LinkPage::key_map, WindowMessage::key_capture_ended),
                                 end_post(LinkPage::led_map, WindowMessage::led_map_ended)}));
    EXPECT_EQ(fx.agent().link_state(), LinkState::synced);

    fx.owner.release_boxes();
    ASSERT_TRUE(wait_until([&] { return fx.owner.connected.load() == 1 && !fx.agent().connecting(); }));
    const std::vector<Bytes> sends = fx.connector.sends();
    EXPECT_EQ(frames_of(sends, LinkCommand::handshake), 1u);
    EXPECT_EQ(frames_of(sends, LinkCommand::announce_block), 1u);
    EXPECT_EQ(fx.owner.boxes(), std::vector<std::string>{"Failed to open zipped file!"});
    EXPECT_EQ(fx.owner.upg_info().back(), k_status_reset);

    // Once the connection has ended, the line is free again.
    fx.owner.key_running = 0;
    EXPECT_TRUE(fx.agent().start_get_key());
}

// However a connection ends, the status line is reset, so "Connect with Panel" works again.
struct EndCase {
    const char* name;
    std::function<void(LinkFixture&)> box;  // sets the box up
    std::function<bool(LinkFixture&)> ready;
    std::function<void(LinkFixture&)> act;  // then, when ready holds
    bool port_closed;
};

void PrintTo(const EndCase& c, std::ostream* out) {
    *out << c.name;
}

class ConnectionEndTest : public testing::TestWithParam<EndCase> {};

TEST_P(ConnectionEndTest, TheStatusLineIsResetAndTheLinkIdle) {
    const EndCase& c = GetParam();
    LinkTiming timing = fast_timing();
    timing.client_start_wait = 100ms;
    timing.block_ack = 50ms;
    LinkFixture fx(timing);
    c.box(fx);
    fx.agent().go_online();
    fx.connector.receive({0xA5});
    ASSERT_TRUE(wait_until([&] { return c.ready(fx); }));
    c.act(fx);
    ASSERT_TRUE(
        wait_until([&] { return !fx.agent().connecting() && fx.agent().link_state() == LinkState::idle; }));
    EXPECT_EQ(fx.owner.upg_info().back(), k_status_reset);
    EXPECT_EQ(fx.owner.connected.load(), 0);
    EXPECT_EQ(fx.output.count(k_port_closed), c.port_closed ? 1u : 0u);
}

// A box that runs the client but never acknowledges the block.
void box_without_block_ack(LinkFixture& fx) {
    auto box = std::make_shared<BoxModel>();
    fx.connector.set_model([box](const Bytes& sent) {
        const Bytes reply = (*box)(sent);
        return reply == Bytes{0} ? Bytes{} : reply;
    });
}

bool waits_for_block_ack(LinkFixture& fx) {
    return fx.agent().link_state() == LinkState::uploading && fx.agent().line().rx_starved();
}

void nothing(LinkFixture&) {}

INSTANTIATE_TEST_SUITE_P(
    Ends, ConnectionEndTest,
    testing::Values(EndCase{"handshake_fails", nothing,
                            [](LinkFixture& fx) { return fx.owner.boxes().size() == 2; }, nothing, false},
                    EndCase{"block_unacknowledged_and_cancelled",
                            [](LinkFixture& fx) {
                                box_without_block_ack(fx);
                                fx.owner.answer_boxes(LinkBoxAnswer::cancel);
                            },
                            [](LinkFixture&) { return true; }, nothing, false},
                    EndCase{"port_closed_while_the_box_starts_the_client", nothing,
                            [](LinkFixture& fx) { return fx.agent().link_state() == LinkState::listening; },
                            [](LinkFixture& fx) { fx.connector.close_port(); }, true},
                    EndCase{"port_closed_mid_upload", box_without_block_ack, waits_for_block_ack,
                            [](LinkFixture& fx) { fx.connector.close_port(); }, true}),
    [](const testing::TestParamInfo<EndCase>& info) { return std::string(info.param.name); });

enum class PanelTest { lamp, key, led };

struct ClosedPortCase {
    const char* name;
    PanelTest test;
    Post end;
    std::string stop_text;
};

void PrintTo(const ClosedPortCase& c, std::ostream* out) {
    *out << c.name;
}

bool start(LinkFixture& fx, PanelTest test) {
    switch (test) {
        case PanelTest::lamp:
            return fx.agent().start_lamp_test();
        case PanelTest::key:
            return fx.agent().start_get_key();
        case PanelTest::led:
            return fx.agent().start_led_map();
    }
    return false;
}

class ClosedPortTest : public testing::TestWithParam<ClosedPortCase> {
protected:
    ClosedPortTest() {
        fx.owner.connected = 1;
        fx.owner.lamp_running = 1;
        fx.owner.key_running = 1;
        fx.owner.capture_target = true;
        fx.owner.led_running = 1;
    }
    LinkFixture fx;
};

// The box vanished: the running test ends, its page hears of it, and the user reads why.
TEST_P(ClosedPortTest, AClosedPortEndsTheRunningTest) {
    const ClosedPortCase& c = GetParam();
    fx.connector.script({ok_reply()});
    ASSERT_TRUE(start(fx, c.test));
    ASSERT_TRUE(
        wait_until([&] { return fx.connector.send_count() == 1 && fx.agent().line().rx_queued() == 0; }));
    fx.connector.close_port();
    ASSERT_TRUE(wait_until([&] { return !fx.agent().link_thread_running(); }))
        << testing::PrintToString(fx.output.texts());
    EXPECT_EQ(fx.owner.posts(), std::vector<Post>{c.end});
    const std::vector<std::string> texts = fx.output.texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts.back(), c.stop_text);
    EXPECT_EQ(fx.output.count(k_port_closed), 1u) << testing::PrintToString(texts);

    // Nothing holds the line any more: a send is told the port is closed, not that a task runs.
    ASSERT_TRUE(fx.agent().start_send_config());
    ASSERT_TRUE(wait_until([&] { return !fx.agent().link_thread_running(); }));
    const std::vector<std::string> after = fx.output.texts();
    EXPECT_EQ(std::vector<std::string>(after.end() - 2, after.end()),
              (std::vector<std::string>{"send configuration fail!!!", k_port_closed}));
}

// A start on a closed port: the described failure, then the line that says the port is closed.
TEST_P(ClosedPortTest, AStartOnAClosedPortSaysWhyItFailed) {
    const ClosedPortCase& c = GetParam();
    fx.connector.close_port();
    ASSERT_TRUE(start(fx, c.test));
    ASSERT_TRUE(wait_until([&] { return !fx.agent().link_thread_running(); }));
    const std::vector<std::string> texts = fx.output.texts();
    const auto closed = std::find(texts.begin(), texts.end(), k_port_closed);
    ASSERT_NE(closed, texts.end()) << testing::PrintToString(texts);
    ASSERT_NE(closed, texts.begin());
    EXPECT_NE((closed - 1)->find("fail"), std::string::npos) << *(closed - 1);
    EXPECT_TRUE(fx.connector.sends().empty());
    EXPECT_EQ(fx.owner.posts(), std::vector<Post>{c.end});
}

INSTANTIATE_TEST_SUITE_P(
    Tests, ClosedPortTest,
    testing::Values(ClosedPortCase{"lamp", PanelTest::lamp,
                                   end_post(LinkPage::front_panel, WindowMessage::lamp_test_ended),
                                   "\nStop test lamp pos!\n"},
                    ClosedPortCase{"key", PanelTest::key,
                                   end_post(LinkPage::key_map, WindowMessage::key_capture_ended),
                                   "\nStop to get keymap...\n"},
                    ClosedPortCase{"led", PanelTest::led,
                                   end_post(LinkPage::led_map, WindowMessage::led_map_ended),
                                   "\nStop get ledmap...\n"}),
    [](const testing::TestParamInfo<ClosedPortCase>& info) { return std::string(info.param.name); });

// Whoever waits for a task to end (the production tool, after Send Config) is told, and finds it ended.
TEST(LineHolderTest, TheOwnerIsToldWhenATaskHasEnded) {
    std::promise<bool> told;
    std::atomic<bool> first{true};
    LinkFixture fx;
    fx.owner.on_link_changed = [&] {
        if (first.exchange(false)) {
            told.set_value(fx.agent().link_thread_running());
        }
    };
    // Not connected: the thread says so and ends at once.
    ASSERT_TRUE(fx.agent().start_send_config());
    std::future<bool> still_running = told.get_future();
    ASSERT_EQ(still_running.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(still_running.get());
    fx.destroy();
}

TEST(LineHolderTest, LightAndDimOnAClosedPortSayWhyTheyFailed) {
    LinkFixture fx;
    fx.owner.connected = 1;
    fx.connector.close_port();
    EXPECT_FALSE(fx.agent().light_dim(1));
    EXPECT_EQ(fx.output.texts(),
              (std::vector<std::string>{"\nSend light/dim led&lamp CMD fail!", k_port_closed}));
}

// A host that follows the contract answers 0 to a send: the send still waits for its report.
TEST(LineHolderTest, ASendDoesNotDependOnTheRequestsAnswer) {
    LinkFixture fx;
    fx.connector.send_answer = 0;
    EXPECT_TRUE(fx.agent().line().send_raw(Bytes{1, 2, 3}));
    fx.owner.connected = 1;
    fx.connector.script({ok_reply()});
    EXPECT_TRUE(fx.agent().light_dim(0));
}

// Once the port closed, sends fail at once instead of waiting out their time; a port that opens
// again, or going online, lets them out again.
TEST(LineHolderTest, AClosedPortFailsSendsAtOnceUntilAPortOpens) {
    LinkTiming timing = fast_timing();
    timing.send_margin = 1h;
    LinkFixture fx(timing);
    fx.connector.close_port();
    EXPECT_TRUE(fx.agent().port_closed());
    auto send = std::async(std::launch::async, [&] { return fx.agent().line().send_raw(Bytes{1}); });
    ASSERT_TRUE(wait_until([&] { return send.wait_for(0s) == std::future_status::ready; }));
    EXPECT_FALSE(send.get());

    fx.connector.open_port();
    EXPECT_FALSE(fx.agent().port_closed());
    EXPECT_TRUE(fx.agent().line().send_raw(Bytes{2}));

    fx.connector.close_port();
    fx.connector.open = true;  // opened by a host that says nothing of it
    fx.agent().go_online();
    EXPECT_FALSE(fx.agent().port_closed());
    EXPECT_TRUE(fx.agent().line().send_raw(Bytes{3}));
    EXPECT_EQ(fx.connector.sends(), (std::vector<Bytes>{{2}, {3}}));
}

}  // namespace
}  // namespace velmora::link_test
