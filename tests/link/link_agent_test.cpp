// The agent as a component: what it does with the connector's broadcasts, its reads and sends, going
// online and offline, its worker's waking, and its destruction with work in progress.
#include <gtest/gtest.h>

#include <future>

#include "link_fakes.h"

namespace velmora::link_test {
namespace {

TEST(LinkAgentTest, RegistersAsTheShareableUpgradeComponent) {
    LinkFixture fx;
    EXPECT_EQ(fx.registry.lookup("velmora"), &fx.agent());
    EXPECT_EQ(fx.agent().type_name(), "upgrade");
    EXPECT_TRUE(fx.agent().is_shareable());
    EXPECT_FALSE(fx.agent().active());
}

TEST(LinkAgentTest, SyncAmidOtherBytesIsAnsweredOnceAndWakesTheWorker) {
    LinkFixture fx;
    // The worker stops at the missing client's box while the link is synced.
    fx.owner.hold_boxes();
    fx.connector.receive({0x00, 0xA5, 0x10});
    ASSERT_TRUE(wait_until([&] { return !fx.owner.boxes().empty(); }));
    EXPECT_EQ(fx.agent().link_state(), LinkState::synced);
    fx.connector.receive({0xA5});  // dropped while synced
    EXPECT_EQ(fx.connector.sends(), (std::vector<Bytes>{{0x60}}));
    EXPECT_EQ(fx.owner.boxes(), (std::vector<std::string>{"Failed to open zipped file!"}));
    EXPECT_EQ(fx.output.count("Got sync byte!\nStart sending client...\n"), 1u);
    EXPECT_EQ(fx.agent().line().rx_queued(), 0u);
}

struct ReceiveCase {
    const char* name;
    std::int32_t online;
    LinkState state;
    Bytes bytes;
    std::size_t queued;
};

class ReceiveTest : public testing::TestWithParam<ReceiveCase> {};

TEST_P(ReceiveTest, QueuesOrDropsByState) {
    const ReceiveCase& c = GetParam();
    LinkFixture fx;
    fx.owner.online = c.online;
    fx.agent().line().set_link_state(c.state);
    fx.connector.receive(c.bytes);
    EXPECT_EQ(fx.agent().link_state(), c.state);
    EXPECT_EQ(fx.agent().line().rx_queued(), c.queued);
    EXPECT_TRUE(fx.connector.sends().empty());
}

INSTANTIATE_TEST_SUITE_P(States, ReceiveTest,
                         testing::Values(ReceiveCase{"sync_while_offline", 0, LinkState::idle, {0xA5}, 0},
                                         ReceiveCase{
                                             "no_sync_while_online", 1, LinkState::idle, {0x00, 0x10}, 0},
                                         ReceiveCase{"sync_while_synced", 1, LinkState::synced, {0xA5}, 0},
                                         ReceiveCase{"listening", 1, LinkState::listening, {0xA5, 1, 2}, 3},
                                         ReceiveCase{"uploading", 1, LinkState::uploading, {1, 2}, 2},
                                         ReceiveCase{"uploaded", 0, LinkState::uploaded, {1}, 1}),
                         [](const testing::TestParamInfo<ReceiveCase>& info) { return info.param.name; });

TEST(LinkAgentTest, ReadTakesTheFirstBytesAndLeavesTheRest) {
    LinkFixture fx;
    fx.listen();
    fx.connector.receive({1, 2, 3, 4, 5});
    std::array<std::uint8_t, 3> three{};
    ASSERT_TRUE(fx.agent().line().read_rx(three.data(), 3, 0ms));
    EXPECT_EQ(three, (std::array<std::uint8_t, 3>{1, 2, 3}));
    EXPECT_EQ(fx.agent().line().rx_queued(), 2u);
    // More than is queued: the time runs out and the queue stays as it was.
    std::array<std::uint8_t, 3> more{};
    EXPECT_FALSE(fx.agent().line().read_rx(more.data(), 3, 5ms));
    EXPECT_EQ(fx.agent().line().rx_queued(), 2u);
    std::array<std::uint8_t, 2> rest{};
    ASSERT_TRUE(fx.agent().line().read_rx(rest.data(), 2, 0ms));
    EXPECT_EQ(rest, (std::array<std::uint8_t, 2>{4, 5}));
}

TEST(LinkAgentTest, ReadOfNothingSucceedsUnlessIdle) {
    LinkFixture fx;
    std::uint8_t none = 0;
    EXPECT_FALSE(fx.agent().line().read_rx(&none, 0, 1h));
    fx.listen();
    EXPECT_TRUE(fx.agent().line().read_rx(&none, 0, 1h));
}

TEST(LinkAgentTest, GoingIdleEndsAWaitingRead) {
    LinkFixture fx;
    fx.listen();
    fx.connector.receive({7});
    auto read = std::async(std::launch::async, [&] {
        std::array<std::uint8_t, 2> two{};
        return fx.agent().line().read_rx(two.data(), 2, 1h);
    });
    ASSERT_TRUE(
        wait_until([&] { return fx.agent().line().rx_starved() || fx.agent().line().rx_queued() == 1; }));
    fx.agent().line().set_link_state(LinkState::idle);
    EXPECT_FALSE(read.get());
    EXPECT_EQ(fx.agent().line().rx_queued(), 1u);
}

TEST(LinkAgentTest, SendWaitsForTheFullCount) {
    LinkFixture fx;
    fx.connector.reports = false;
    auto send = std::async(std::launch::async, [&] {
        const Bytes bytes{1, 2, 3, 4, 5};
        return fx.agent().line().send_raw(bytes);
    });
    ASSERT_TRUE(wait_until([&] { return fx.connector.send_count() == 1; }));
    fx.connector.report(3);
    fx.connector.report(5);
    EXPECT_TRUE(send.get());
    EXPECT_EQ(fx.connector.sends(), (std::vector<Bytes>{{1, 2, 3, 4, 5}}));
}

// A send whose completion report stops short, or never comes, fails once its bytes could have
// crossed the line and the margin has passed; a port that answers no baud rate counts as 9600.
struct SilentSendCase {
    const char* name;
    std::uint32_t baud;
    std::optional<std::uint32_t> partial_report;
};

class SilentSendTest : public testing::TestWithParam<SilentSendCase> {};

TEST_P(SilentSendTest, FailsAfterLineTimeAndMargin) {
    LinkTiming timing = fast_timing();
    timing.send_margin = 10ms;
    LinkFixture fx(timing);
    fx.connector.reports = false;
    fx.connector.baud = GetParam().baud;
    auto send = std::async(std::launch::async, [&] { return fx.agent().line().send_raw(Bytes(48, 0x11)); });
    ASSERT_TRUE(wait_until([&] { return fx.connector.send_count() == 1; }));
    if (GetParam().partial_report) {
        fx.connector.report(*GetParam().partial_report);
    }
    EXPECT_FALSE(send.get());
}

INSTANTIATE_TEST_SUITE_P(Reports, SilentSendTest,
                         testing::Values(SilentSendCase{"no_report", 1'000'000, std::nullopt},
                                         SilentSendCase{"closed_port_baud", 0, std::nullopt},
                                         SilentSendCase{"partial_report", 115200, 47u}),
                         [](const testing::TestParamInfo<SilentSendCase>& info) { return info.param.name; });

TEST(LinkAgentTest, WithoutAConnectorASendEndsAfterItsTime) {
    LinkTiming timing = fast_timing();
    timing.send_margin = 1ms;
    FakeOwner owner;
    link_agent agent(owner, nullptr, timing);
    EXPECT_FALSE(agent.line().send_raw(Bytes{1}));
    EXPECT_EQ(agent.session().output.output_text("dropped"), 0u);
    EXPECT_FALSE(LinkLine(nullptr, timing).connector_query());
}

// What ends a send still waiting for its report: both leave the link idle.
enum class SendEnd { port_closed, going_offline };

class SendAbortTest : public testing::TestWithParam<SendEnd> {};

TEST_P(SendAbortTest, EndsAWaitingSend) {
    LinkTiming timing = fast_timing();
    timing.send_margin = 1h;
    LinkFixture fx(timing);
    fx.connector.reports = false;
    fx.listen();
    auto send = std::async(std::launch::async, [&] { return fx.agent().line().send_raw(Bytes{1, 2}); });
    ASSERT_TRUE(wait_until([&] { return fx.connector.send_count() == 1; }));
    if (GetParam() == SendEnd::port_closed) {
        fx.agent().deliver(component_msg{k_connector_closed, 0, nullptr});
    } else {
        fx.agent().go_offline();
    }
    EXPECT_FALSE(send.get());
    EXPECT_EQ(fx.agent().link_state(), LinkState::idle);
}

INSTANTIATE_TEST_SUITE_P(Ends, SendAbortTest, testing::Values(SendEnd::port_closed, SendEnd::going_offline));

TEST(LinkAgentTest, GoingOnlineTakesTheLineFromTheOutputWindow) {
    LinkFixture fx;
    fx.owner.connected = 1;
    fx.agent().line().set_link_state(LinkState::uploaded);
    fx.agent().go_online();
    EXPECT_EQ(fx.agent().link_state(), LinkState::idle);
    EXPECT_EQ(fx.owner.connected.load(), 0);
    EXPECT_TRUE(fx.agent().active());
    EXPECT_FALSE(fx.output.active());
    EXPECT_EQ(fx.output.switches(), 1);
    EXPECT_EQ(fx.output.texts(), (std::vector<std::string>{"Please reset the STB!\n"}));
}

TEST(LinkAgentTest, GoingOfflineGivesTheLineBack) {
    LinkFixture fx;
    fx.agent().go_online();
    fx.listen();
    fx.connector.receive({1, 2});
    fx.agent().go_offline();
    EXPECT_EQ(fx.agent().link_state(), LinkState::idle);
    EXPECT_EQ(fx.agent().line().rx_queued(), 0u);
    EXPECT_FALSE(fx.agent().active());
    EXPECT_TRUE(fx.output.active());
    EXPECT_EQ(fx.output.switches(), 2);
    EXPECT_EQ(fx.owner.upg_info().back(), (std::array<std::int32_t, 3>{0, 0, 0}));
}

// Each sync byte must run one connection, however it meets the worker on its way to parking.
TEST(LinkAgentTest, WorkerNeverLosesAWake) {
    LinkTiming timing = fast_timing();
    timing.receipt_reply = 1ms;
    timing.command_result = 1ms;
    LinkFixture fx(timing);
    // The box refuses the handshake at once, so every connection ends idle quickly.
    fx.connector.set_model([](const Bytes& sent) {
        return sent.size() >= k_command_overhead ? Bytes{0, 0, 0, 1, 0, 0} : Bytes{};
    });
    constexpr int k_connections = 100;
    for (int i = 1; i <= k_connections; ++i) {
        ASSERT_TRUE(wait_until([&] { return fx.agent().link_state() == LinkState::idle; }));
        fx.connector.receive({0xA5});
        ASSERT_TRUE(wait_until([&] {
            return fx.output.count("Got sync byte!\nStart sending client...\n") ==
                   static_cast<std::size_t>(i);
        })) << "connection "
            << i;
    }
    ASSERT_TRUE(wait_until([&] {
        return fx.owner.boxes().size() == 2 * static_cast<std::size_t>(k_connections) &&
               fx.agent().link_state() == LinkState::idle;
    }));
}

TEST(LinkAgentTest, DestructionMidUploadJoinsTheWorker) {
    LinkTiming timing = fast_timing();
    timing.block_ack = 1h;
    LinkFixture fx(timing);
    BoxModel box;
    fx.connector.set_model([&box](const Bytes& sent) {
        const Bytes reply = box(sent);
        return reply == Bytes{0} ? Bytes{} : reply;  // never acknowledges a block
    });
    fx.connector.receive({0xA5});
    ASSERT_TRUE(wait_until(
        [&] { return fx.agent().link_state() == LinkState::uploading && fx.agent().line().rx_starved(); }));
    fx.destroy();
    SUCCEED();
}

TEST(LinkAgentTest, DestructionEndsASendThatIsNeverReported) {
    LinkTiming timing = fast_timing();
    timing.send_margin = 1h;
    LinkFixture fx(timing);
    fx.connector.reports = false;
    fx.owner.connected = 1;
    fx.owner.key_running = 1;
    ASSERT_TRUE(fx.agent().start_get_key());
    ASSERT_TRUE(wait_until([&] { return fx.connector.send_count() == 1; }));
    fx.destroy();
    SUCCEED();
}

}  // namespace
}  // namespace velmora::link_test
