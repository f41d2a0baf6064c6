// The panel tests: lamp positions, key capture, the LED map dialogue and light/dim, their refusals,
// and one link thread at a time.
#include <gtest/gtest.h>

#include "link/window_messages.h"
#include "link_fakes.h"

namespace velmora::link_test {
namespace {

const Bytes k_one{'1'};

Bytes with_answer(std::initializer_list<std::uint8_t> answer) {
    Bytes reply = ok_reply();
    for (const std::uint8_t byte : answer) {
        reply.push_back(byte);
    }
    return reply;
}

Post end_post(WindowMessage message) {
    const LinkPage page = message == WindowMessage::lamp_test_ended ? LinkPage::front_panel
                          : message == WindowMessage::led_map_ended ? LinkPage::led_map
                                                                    : LinkPage::key_map;
    return Post{page, message_number(message)};
}

class PanelTestsTest : public testing::Test {
protected:
    PanelTestsTest() { fx.owner.connected = 1; }
    void wait_for_end() {
        ASSERT_TRUE(wait_until([&] { return !fx.agent().link_thread_running(); }));
    }
    // The LED map's parts wait as long as it takes: the test hands each one over when it is read.
    static LinkTiming timing() {
        LinkTiming timing = fast_timing();
        timing.record_reply = 1h;
        return timing;
    }
    LinkFixture fx{timing()};
};

enum class PanelTest { lamp, key, led };

struct RefusalCase {
    const char* name;
    PanelTest test;
    std::string text;
    WindowMessage end;
};

class RefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTest, WithoutAConnectedPanelOnlyRefuses) {
    const RefusalCase& c = GetParam();
    LinkFixture fx;
    fx.owner.lamp_running = 1;
    fx.owner.lamp_request = LampKey::right;
    fx.owner.key_running = 1;
    fx.owner.capture_target = true;
    fx.owner.led_running = 1;
    const bool started = c.test == PanelTest::lamp  ? fx.agent().start_lamp_test()
                         : c.test == PanelTest::key ? fx.agent().start_get_key()
                                                    : fx.agent().start_led_map();
    ASSERT_TRUE(started);
    ASSERT_TRUE(wait_until([&] { return !fx.agent().link_thread_running(); }));
    EXPECT_EQ(fx.output.texts(), std::vector<std::string>{c.text});
    EXPECT_EQ(fx.owner.posts(), std::vector<Post>{end_post(c.end)});
    EXPECT_TRUE(fx.connector.sends().empty());
    EXPECT_EQ(fx.agent().link_state(), LinkState::listening);
    if (c.test == PanelTest::lamp) {
        EXPECT_EQ(fx.owner.lamp_request.load(), LampKey::none);
    }
    if (c.test == PanelTest::key) {
        EXPECT_FALSE(fx.owner.capture_target.load());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tests, RefusalTest,
    testing::Values(RefusalCase{"lamp", PanelTest::lamp, "\n!!Please connect with panel correctly!\v",
                                WindowMessage::lamp_test_ended},
                    RefusalCase{"key", PanelTest::key, "\n!!Please connect with panel correctly!\n",
                                WindowMessage::key_capture_ended},
                    RefusalCase{"led", PanelTest::led, "\n!!Please connect with panel correctly!\v",
                                WindowMessage::led_map_ended}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST_F(PanelTestsTest, LampTestActsOnlyOnThePagesRequests) {
    fx.owner.lamp_running = 1;
    fx.connector.script({ok_reply(), with_answer({0, 7, 0}), with_answer({0, 4, 0})});
    ASSERT_TRUE(fx.agent().start_lamp_test());
    ASSERT_TRUE(wait_until([&] { return fx.output.texts().size() == 2; }));
    EXPECT_EQ(fx.output.texts().back(),
              "\n Press OK when lamp is light!\n Press Left to light the previous led!\n Press Right to "
              "light the next "
              "led!");
    // With the request left at "none" the thread only polls.
    for (int poll = 0; poll < 20; ++poll) {
        fx.agent().session().events.pause(1ms);
        EXPECT_EQ(fx.connector.send_count(), 1u);
    }
    fx.owner.lamp_request = LampKey::right;
    // The thread takes the request before it moves the lamp: the move's text is what says it is done.
    ASSERT_TRUE(wait_until([&] { return fx.output.texts().size() == 3; }));
    EXPECT_EQ(fx.output.texts().back(), "\nClick right,the led pos is: 7");
    EXPECT_EQ(fx.owner.lamp_request.load(), LampKey::none);
    fx.owner.lamp_request = LampKey::confirm;
    wait_for_end();
    const std::vector<Bytes> sends = fx.connector.sends();
    EXPECT_EQ(sends, (std::vector<Bytes>{command_frame(LinkCommand::lamp_test, k_one),
                                         command_frame(LinkCommand::lamp_next, k_one),
                                         command_frame(LinkCommand::lamp_confirm, k_one)}));
    const std::vector<std::string> texts = fx.output.texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2],
              "\nTest success: the lock or power lamp pos is: 4\nPlease input it to the correct editbox!\n");
    EXPECT_EQ(texts.back(), "\nStop test lamp pos!\n");
    EXPECT_EQ(fx.owner.posts(), std::vector<Post>{end_post(WindowMessage::lamp_test_ended)});
    EXPECT_EQ(fx.owner.lamp_request.load(), LampKey::none);
}

// A key pressed while the box answers the last one is the next request, not lost.
TEST_F(PanelTestsTest, LampKeyPressedDuringAMoveIsActedOnNext) {
    fx.owner.lamp_running = 1;
    const Bytes next = command_frame(LinkCommand::lamp_next, k_one);
    std::atomic<int> moves{0};
    fx.connector.set_model([&](const Bytes& sent) {
        if (sent == next) {
            if (moves.fetch_add(1) == 0) {
                fx.owner.lamp_request = LampKey::right;  // pressed again before the first move's answer
            }
            return with_answer({0, static_cast<std::uint8_t>(moves.load()), 0});
        }
        return ok_reply();
    });
    ASSERT_TRUE(fx.agent().start_lamp_test());
    fx.owner.lamp_request = LampKey::right;
    ASSERT_TRUE(wait_until([&] { return fx.output.count("\nClick right,the led pos is: 2") == 1; }))
        << testing::PrintToString(fx.output.texts());
    fx.owner.lamp_request = LampKey::confirm;
    wait_for_end();
    EXPECT_EQ(fx.output.count("\nClick right,the led pos is: 1"), 1u);
    EXPECT_EQ(fx.connector.sends(),
              (std::vector<Bytes>{command_frame(LinkCommand::lamp_test, k_one), next, next,
                                  command_frame(LinkCommand::lamp_confirm, k_one)}));
    EXPECT_EQ(fx.owner.lamp_request.load(), LampKey::none);
}

TEST_F(PanelTestsTest, LampMoveWithoutAnswerIsReportedAndTheTestGoesOn) {
    fx.owner.lamp_running = 1;
    fx.owner.lamp_request = LampKey::left;
    fx.connector.script({ok_reply(), ok_reply()});
    ASSERT_TRUE(fx.agent().start_lamp_test());
    ASSERT_TRUE(wait_until([&] { return fx.output.count("\n!!Click left,get the led pos failed!") == 1; }));
    fx.owner.lamp_running = 0;
    wait_for_end();
    EXPECT_EQ(fx.output.texts().back(), "\nStop test lamp pos!\n");
    EXPECT_EQ(fx.owner.posts(), std::vector<Post>{end_post(WindowMessage::lamp_test_ended)});
}

struct KeyCase {
    const char* name;
    bool hex;
    Bytes event;
    CapturedKey captured;
    std::string text;
};

class GetKeyTest : public testing::TestWithParam<KeyCase> {};

TEST_P(GetKeyTest, HandsTheKeyToThePage) {
    const KeyCase& c = GetParam();
    LinkFixture fx;
    fx.owner.connected = 1;
    fx.owner.key_running = 1;
    fx.owner.capture_target = true;
    fx.owner.hex = c.hex;
    fx.connector.script({ok_reply()});
    ASSERT_TRUE(fx.agent().start_get_key());
    ASSERT_TRUE(wait_until([&] { return fx.agent().line().rx_starved(); }));
    fx.connector.receive(c.event);
    ASSERT_TRUE(wait_until([&] { return !fx.owner.captured().empty(); }));
    ASSERT_TRUE(wait_until([&] { return fx.output.count(c.text) == 1; }));
    fx.owner.key_running = 0;
    ASSERT_TRUE(wait_until([&] { return !fx.agent().link_thread_running(); }));
    EXPECT_EQ(fx.owner.captured(), std::vector<CapturedKey>{c.captured});
    EXPECT_EQ(fx.connector.sends(), std::vector<Bytes>{command_frame(LinkCommand::get_key, k_one)});
    EXPECT_EQ(fx.owner.posts(),
              (std::vector<Post>{{LinkPage::key_map, message_number(WindowMessage::key_captured)},
                                 end_post(WindowMessage::key_capture_ended)}));
    EXPECT_EQ(fx.output.texts().back(), "\nStop to get keymap...\n");
    EXPECT_FALSE(fx.owner.capture_target.load());
}

INSTANTIATE_TEST_SUITE_P(
    Bases, GetKeyTest,
    testing::Values(
        KeyCase{"decimal", false, {0x12, 0x34, 0x05, 0x00}, {0x3412, 0x05}, "\nusercode:3412,key_value:5"},
        KeyCase{"decimal_wide_key",
                false,
                {0xCD, 0xAB, 0x1F, 0x77},
                {0xABCD, 0x1F},
                "\nusercode:abcd,key_value:31"},
        KeyCase{
            "hexadecimal", true, {0xCD, 0xAB, 0x1F, 0x00}, {0xABCD, 0x1F}, "\nusercode:abcd,key_value:1f"}),
    [](const testing::TestParamInfo<KeyCase>& info) { return info.param.name; });

TEST_F(PanelTestsTest, KeyWithoutACaptureTargetIsDropped) {
    fx.owner.key_running = 1;
    fx.connector.script({ok_reply()});
    ASSERT_TRUE(fx.agent().start_get_key());
    ASSERT_TRUE(wait_until([&] { return fx.agent().line().rx_starved(); }));
    fx.connector.receive({1, 2, 3, 0});
    ASSERT_TRUE(wait_until([&] { return fx.output.count("\nPlease Focus the cursor to key!\n") == 1; }));
    fx.owner.key_running = 0;
    wait_for_end();
    EXPECT_TRUE(fx.owner.captured().empty());
}

TEST_F(PanelTestsTest, FailedKeyCommandEndsTheCapture) {
    fx.owner.key_running = 1;
    fx.owner.capture_target = true;
    fx.connector.script({{0, 0, 0, 1, 0, 0}});
    ASSERT_TRUE(fx.agent().start_get_key());
    wait_for_end();
    EXPECT_EQ(fx.output.texts(),
              (std::vector<std::string>{"\nStart to get keymap...\n", "Slave report Error\n",
                                        "\n!!Send get keymap CMD fail!\nPlease try again!\n",
                                        "\nStop to get keymap...\n"}));
    EXPECT_EQ(fx.owner.posts(), std::vector<Post>{end_post(WindowMessage::key_capture_ended)});
    EXPECT_FALSE(fx.owner.capture_target.load());
}

// The LED map as the box sends it, with its CRC right or spoiled.
Bytes led_map_block(const std::array<std::uint8_t, 256>& map, bool good_crc) {
    const DataBlock block = data_block(map);
    Bytes bytes;
    for (const std::uint8_t byte : block.header) {
        bytes.push_back(byte);
    }
    for (const std::uint8_t byte : block.data) {
        bytes.push_back(byte);
    }
    for (const std::uint8_t byte : block.crc) {
        bytes.push_back(byte);
    }
    if (!good_crc) {
        bytes.back() ^= 0xFF;
    }
    return bytes;
}

class LedMapTest : public PanelTestsTest {
protected:
    LedMapTest() {
        fx.owner.led_running = 1;
        for (std::size_t i = 0; i < map.size(); ++i) {
            map[i] = static_cast<std::uint8_t>(255 - i);
        }
        // The start, then ten steps all taken.
        std::vector<Bytes> replies{ok_reply()};
        replies.insert(replies.end(), 10, with_answer({0, 0, 0}));
        fx.connector.script(replies);
    }
    // Sends each block when the thread waits for the map on an empty queue, so none is flushed
    // unread; the queue holds a block until the thread has read it all, so the next wait is the
    // next attempt's.
    void feed(const std::vector<Bytes>& blocks) {
        for (const Bytes& block : blocks) {
            ASSERT_TRUE(wait_until([&] { return fx.agent().line().rx_starved(); }));
            fx.connector.receive(block);
        }
    }
    std::array<std::uint8_t, 256> map{};
};

TEST_F(LedMapTest, TenTakenStepsOfOneItemThenTheMapIsReadAgainUntilItsCrcMatches) {
    ASSERT_TRUE(fx.agent().start_led_map());
    fx.owner.add_picks({3, 3, 3, 3, 3, 3, 3, 3, 3, 3});
    ASSERT_TRUE(wait_until([&] { return fx.output.count("\nSucceed: Ack segment 1") == 10; }));
    feed({led_map_block(map, false), led_map_block(map, true)});
    wait_for_end();
    EXPECT_EQ(fx.owner.led_map(), map);
    EXPECT_EQ(fx.connector.sends().back(), Bytes{0x02});
    EXPECT_EQ(fx.connector.sends()[1], command_frame(LinkCommand::led_map_step, Bytes{3}));
    const std::vector<std::string> texts = fx.output.texts();
    EXPECT_EQ(std::vector<std::string>(texts.end() - 2, texts.end()),
              (std::vector<std::string>{"\nGet Led Map OK!!! \n", "\nStop get ledmap...\n"}));
    EXPECT_EQ(fx.owner.posts(), std::vector<Post>{end_post(WindowMessage::led_map_ended)});
}

// A box may send its map right after the tenth step's answer, whole or begun, after stray bytes:
// the thread takes it as it is.
struct MapArrivalCase {
    const char* name;
    Bytes before;                 // stray bytes ahead of the map, with the answer
    std::size_t with_the_answer;  // map bytes that come with the tenth step's answer; the rest follows
};

class LedMapArrivalTest : public PanelTestsTest, public testing::WithParamInterface<MapArrivalCase> {};

TEST_P(LedMapArrivalTest, TheMapSentRightAfterTheLastStepIsTaken) {
    const MapArrivalCase& c = GetParam();
    std::array<std::uint8_t, 256> map{};
    for (std::size_t i = 0; i < map.size(); ++i) {
        map[i] = static_cast<std::uint8_t>(i * 3 + 1);
    }
    const Bytes block = led_map_block(map, true);
    const auto cut = [&block](std::size_t from, std::size_t to) {
        return Bytes(block.begin() + static_cast<std::ptrdiff_t>(from),
                     block.begin() + static_cast<std::ptrdiff_t>(std::min(to, block.size())));
    };
    std::vector<Bytes> replies{ok_reply()};
    replies.insert(replies.end(), 9, with_answer({0, 0, 0}));
    Bytes last = with_answer({0, 0, 0});
    last.insert(last.end(), c.before.begin(), c.before.end());
    const Bytes begun = cut(0, c.with_the_answer);
    last.insert(last.end(), begun.begin(), begun.end());
    replies.push_back(last);
    fx.connector.script(replies);
    fx.owner.led_running = 1;
    ASSERT_TRUE(fx.agent().start_led_map());
    fx.owner.add_picks({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    ASSERT_TRUE(wait_until([&] { return fx.output.count("\nSucceed: Ack segment 7") == 1; }));
    fx.connector.receive(cut(c.with_the_answer, block.size()));
    wait_for_end();
    EXPECT_EQ(fx.owner.led_map(), map);
    EXPECT_EQ(fx.connector.sends().back(), Bytes{0x02});
    EXPECT_EQ(fx.output.count("\nGet Led Map OK!!! \n"), 1u);
    EXPECT_EQ(fx.output.count("\nGet Led Map Error!!! \n"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Arrivals, LedMapArrivalTest,
                         testing::Values(MapArrivalCase{"whole_with_the_answer", {}, 262},
                                         MapArrivalCase{"begun_with_the_answer", {}, 11},
                                         MapArrivalCase{"after_stray_bytes", {0x2A, 0x23, 0x00, 0x23}, 262}),
                         [](const testing::TestParamInfo<MapArrivalCase>& info) { return info.param.name; });

TEST_F(LedMapTest, FiveSpoiledMapsAreAnError) {
    ASSERT_TRUE(fx.agent().start_led_map());
    fx.owner.add_picks({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    ASSERT_TRUE(wait_until([&] { return fx.output.count("\nSucceed: Ack segment 7") == 1; }));
    feed(std::vector<Bytes>(5, led_map_block(map, false)));
    wait_for_end();
    EXPECT_FALSE(fx.owner.led_map().has_value());
    EXPECT_EQ(fx.connector.send_count(), 11u);  // no 0x02 answer
    EXPECT_EQ(fx.output.count("\nSucceed:Ack All ON "), 1u);
    EXPECT_EQ(fx.output.count("\nSucceed:Ack All OFF "), 1u);
    EXPECT_EQ(fx.output.count("\nSucceed: Ack segment 0"), 1u);
    const std::vector<std::string> texts = fx.output.texts();
    EXPECT_EQ(std::vector<std::string>(texts.end() - 2, texts.end()),
              (std::vector<std::string>{"\nGet Led Map Error!!! \n", "\nStop get ledmap...\n"}));
}

TEST_F(PanelTestsTest, FailedStepsAreReportedAndNotCounted) {
    fx.owner.led_running = 1;
    fx.connector.script({ok_reply(), with_answer({1, 0, 0}), with_answer({1, 0, 0}), with_answer({1, 0, 0})});
    ASSERT_TRUE(fx.agent().start_led_map());
    fx.owner.add_picks({0, 1, 9});
    ASSERT_TRUE(wait_until([&] { return fx.output.count("\nFailed: Ack segment 7") == 1; }));
    fx.owner.led_running = 0;
    wait_for_end();
    EXPECT_EQ(fx.output.count("\nFailed:Ack All ON "), 1u);
    EXPECT_EQ(fx.output.count("\nFailed:Ack All OFF "), 1u);
    EXPECT_EQ(fx.output.texts().back(), "\nStop get ledmap...\n");
    EXPECT_EQ(fx.owner.posts(), std::vector<Post>{end_post(WindowMessage::led_map_ended)});
}

TEST_F(PanelTestsTest, SecondTestWhileOneRunsIsRefusedAndItsPageReset) {
    fx.owner.key_running = 1;
    fx.connector.script({ok_reply()});
    ASSERT_TRUE(fx.agent().start_get_key());
    fx.owner.lamp_request = LampKey::left;
    EXPECT_FALSE(fx.agent().start_lamp_test());
    EXPECT_FALSE(fx.agent().start_led_map());
    EXPECT_FALSE(fx.agent().start_send_config());
    EXPECT_FALSE(fx.agent().light_dim(1));
    EXPECT_EQ(fx.owner.lamp_request.load(), LampKey::none);
    EXPECT_EQ(fx.owner.posts(), (std::vector<Post>{end_post(WindowMessage::lamp_test_ended),
                                                   end_post(WindowMessage::led_map_ended)}));
    EXPECT_EQ(
        fx.output.count("\n!!Another panel task is still running: Get Key (Key Map page)! Stop it or wait "
                        "for it to end, then try again.\n"),
        4u);
    fx.owner.key_running = 0;
    wait_for_end();
    // The slot is free again once the running test has ended.
    fx.owner.connected = 0;
    EXPECT_TRUE(fx.agent().start_lamp_test());
    wait_for_end();
    EXPECT_EQ(fx.output.texts().back(), "\n!!Please connect with panel correctly!\v");
}

struct LightDimCase {
    const char* name;
    std::int32_t flag;
    std::uint8_t payload;
};

class LightDimTest : public testing::TestWithParam<LightDimCase> {};

TEST_P(LightDimTest, SendsItsCommandOnTheCallersThread) {
    LinkFixture fx;
    fx.owner.connected = 1;
    fx.connector.script({ok_reply()});
    EXPECT_TRUE(fx.agent().light_dim(GetParam().flag));
    EXPECT_EQ(fx.agent().link_state(), LinkState::listening);
    EXPECT_EQ(fx.connector.sends(),
              std::vector<Bytes>{command_frame(LinkCommand::light_dim, Bytes{GetParam().payload})});
    EXPECT_TRUE(fx.owner.posts().empty());
}

INSTANTIATE_TEST_SUITE_P(Flags, LightDimTest,
                         testing::Values(LightDimCase{"light", 1, 0}, LightDimCase{"light_any_nonzero", 5, 0},
                                         LightDimCase{"dim", 0, 1}),
                         [](const testing::TestParamInfo<LightDimCase>& info) { return info.param.name; });

TEST(LightDimFailureTest, RefusalAndFailureAreReported) {
    LinkFixture fx;
    EXPECT_FALSE(fx.agent().light_dim(1));
    EXPECT_EQ(fx.output.texts(), std::vector<std::string>{"\n!!Please connect with panel correctly!\v"});
    EXPECT_EQ(fx.agent().link_state(), LinkState::listening);
    fx.owner.connected = 1;
    fx.connector.script({{0, 0, 0, 1, 0, 0}});
    EXPECT_FALSE(fx.agent().light_dim(0));
    EXPECT_EQ(fx.output.texts().back(), "\nSend light/dim led&lamp CMD fail!");
    EXPECT_TRUE(fx.owner.posts().empty());
}

TEST_F(PanelTestsTest, DestructionEndsAPollingTest) {
    fx.owner.lamp_running = 1;
    fx.connector.script({ok_reply()});
    ASSERT_TRUE(fx.agent().start_lamp_test());
    ASSERT_TRUE(wait_until([&] { return fx.output.texts().size() == 2; }));
    fx.destroy();
    EXPECT_EQ(fx.output.texts().back(), "\nStop test lamp pos!\n");
}

}  // namespace
}  // namespace velmora::link_test
