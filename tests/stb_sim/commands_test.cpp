// The box's answers to command frames and data blocks, byte for byte.
#include "config/config_block.h"
#include "tests/stb_sim/box_fixture.h"

#include "link/led_font.h"

namespace velmora::stb_sim::test {
namespace {

struct CommandCase {
    const char* name;
    Bytes setup;  // frames sent first, their answers dropped
    Bytes frame;
    Bytes answer;
};

void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandTest : public BoxTest, public ::testing::WithParamInterface<CommandCase> {};

Bytes bad_crc(Bytes frame) {
    frame.back() ^= 0x40;
    return frame;
}

TEST_P(CommandTest, AnswersTheFrame) {
    const CommandCase& c = GetParam();
    boot();
    send(c.setup);
    out();
    send(c.frame);
    EXPECT_EQ(out(), c.answer);
}

TEST_P(CommandTest, AnswersTheSameWhenTheFrameComesByteByByteAfterStrayBytes) {
    const CommandCase& c = GetParam();
    boot();
    send(c.setup);
    out();
    send(Bytes{0x00, 0x60, 0xFF});
    for (const std::uint8_t byte : c.frame) {
        send(Bytes{byte});
    }
    EXPECT_EQ(out(), c.answer);
}

const Bytes k_one = text_bytes("1");

INSTANTIATE_TEST_SUITE_P(
    Frames, CommandTest,
    ::testing::Values(
        CommandCase{"handshake_echoes_its_payload",
                    {},
                    command_frame(80, k_handshake_text),
                    k_ok_ok + k_handshake_text},
        CommandCase{"bad_crc_asks_again", {}, bad_crc(command_frame(80, k_handshake_text)), Bytes{2, 0, 0}},
        CommandCase{"unknown_code_is_an_error", {}, command_frame(0x42, k_one), Bytes{0, 0, 0, 1, 0, 0}},
        CommandCase{"block_announcement", {}, command_frame(81, k_block_announcement), k_ok_ok},
        CommandCase{"block_announcement_with_another_count",
                    {},
                    command_frame(81, Bytes{0xFF, 0x4E, 0x02, 0, 0, 0}),
                    Bytes{0, 0, 0, 1, 0, 0}},
        CommandCase{"record_announcement", {}, command_frame(83, k_record_announcement), k_ok_ok},
        CommandCase{"led_map_start_without_payload", {}, command_frame(84), k_ok_ok},
        CommandCase{"led_map_step_acknowledged", command_frame(84), command_frame(85, Bytes{9}),
                    k_ok_ok + k_ok},
        CommandCase{"led_map_step_past_nine", command_frame(84), command_frame(85, Bytes{10}),
                    Bytes{0, 0, 0, 1, 0, 0}},
        CommandCase{"led_map_step_without_start", {}, command_frame(85, Bytes{0}), Bytes{0, 0, 0, 1, 0, 0}},
        CommandCase{"lamp_test_start", {}, command_frame(88, k_one), k_ok_ok},
        CommandCase{"lamp_next_moves_up", command_frame(88, k_one), command_frame(93, k_one),
                    k_ok_ok + Bytes{0, 1, 0}},
        CommandCase{"lamp_previous_stays_at_zero", command_frame(88, k_one), command_frame(92, k_one),
                    k_ok_ok + Bytes{0, 0, 0}},
        CommandCase{"lamp_confirm_reports_the_position",
                    command_frame(88, k_one) + command_frame(93, k_one) + command_frame(93, k_one),
                    command_frame(94, k_one), k_ok_ok + Bytes{0, 2, 0}},
        CommandCase{"lamp_move_without_the_test", {}, command_frame(93, k_one), Bytes{0, 0, 0, 1, 0, 0}},
        CommandCase{"key_capture_start", {}, command_frame(89, k_one), k_ok_ok},
        CommandCase{"light", {}, command_frame(95, Bytes{0}), k_ok_ok},
        CommandCase{"dim", {}, command_frame(95, Bytes{1}), k_ok_ok},
        CommandCase{
            "light_dim_with_another_value", {}, command_frame(95, Bytes{2}), Bytes{0, 0, 0, 1, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoxTest, TheLampPositionStaysWithinTheSixtyFourLamps) {
    boot();
    send(command_frame(88, text_bytes("1")));
    for (int i = 0; i < k_lamp_positions + 5; ++i) {
        send(command_frame(93, text_bytes("1")));
    }
    EXPECT_EQ(box_->lamp_position(), k_lamp_positions - 1);
    out();
    send(command_frame(94, text_bytes("1")));
    EXPECT_EQ(out(), (k_ok_ok + Bytes{0, k_lamp_positions - 1, 0}));
    EXPECT_FALSE(box_->lamp_test_running());
}

TEST_F(BoxTest, LightAndDimAreKept) {
    boot();
    send(command_frame(95, Bytes{1}));
    EXPECT_TRUE(box_->leds_dimmed());
    send(command_frame(95, Bytes{0}));
    EXPECT_FALSE(box_->leds_dimmed());
}

TEST_F(BoxTest, TheWholeBlockIsTakenInThreePiecesAndAskedAgainOnACrcError) {
    boot();
    const Bytes block = pattern(k_config_block_size, 3);
    send(command_frame(81, k_block_announcement));
    out();
    Bytes spoiled = data_block(block);
    spoiled[100] ^= 1;
    send(spoiled);
    EXPECT_EQ(out(), Bytes{1});
    EXPECT_TRUE(box_->block().empty());

    // In the three pieces the host sends, 200 ms apart; the quiet line before them is no pause of
    // a frame, the two inside the block are.
    advance(std::chrono::milliseconds(500));
    log_.clear();
    const Bytes framed = data_block(block);
    send(Bytes(framed.begin(), framed.begin() + 2));
    advance(std::chrono::milliseconds(200));
    send(Bytes(framed.begin() + 2, framed.end() - 4));
    advance(std::chrono::milliseconds(199));
    send(Bytes(framed.end() - 4, framed.end()));
    EXPECT_EQ(out(), Bytes{0});
    EXPECT_EQ(box_->block(), block);
    EXPECT_EQ(log_,
              (std::vector<std::string>{"sim: 200 ms pause inside a frame",
                                        "sim: 199 ms pause inside a frame", "sim: block 1564 bytes crc ok"}));

    // Taken: 0x23 0x2A now starts a command frame again (code 0x2A is unknown).
    send(command_frame(0x2A));
    EXPECT_EQ(out(), (Bytes{0, 0, 0, 1, 0, 0}));
}

TEST_F(BoxTest, ConfigurationRecordsAreKeptInOrderAndARefusalCarriesStateAndCode) {
    boot();
    const Bytes first = pattern(k_main_record.length, 5);
    const Bytes second = pattern(k_main_record.length, 6);
    send(command_frame(83, k_record_announcement));
    out();
    Bytes spoiled = data_block(first);
    spoiled.back() ^= 1;
    send(spoiled);
    EXPECT_EQ(out(), (Bytes{1, k_record_error_state, k_record_crc_error}));
    send(data_block(first));
    EXPECT_EQ(out(), k_ok);
    send(command_frame(83, k_record_announcement) + data_block(second));
    EXPECT_EQ(out(), k_ok_ok + k_ok);
    EXPECT_EQ(box_->configs(), (std::vector<Bytes>{first, second}));
}

TEST_F(BoxTest, AnAnnouncementSentAgainIsAnsweredWhileTheBlockIsAwaited) {
    boot();
    send(command_frame(81, k_block_announcement));
    send(command_frame(81, k_block_announcement));
    EXPECT_EQ(out(), k_ok_ok + k_ok_ok);
    send(data_block(pattern(k_config_block_size, 1)));
    EXPECT_EQ(out(), Bytes{0});
}

TEST_F(BoxTest, AFrameThatStopsIsDroppedAfterTheGapAndNotBefore) {
    boot();
    const Bytes frame = command_frame(80, k_handshake_text);
    send(Bytes(frame.begin(), frame.begin() + 5));
    EXPECT_EQ(box_->next_deadline(), now_ + k_frame_gap);
    advance(k_frame_gap - std::chrono::milliseconds(1));
    send(Bytes(frame.begin() + 5, frame.end()));  // still the same frame
    EXPECT_EQ(out(), k_ok_ok + k_handshake_text);

    send(Bytes(frame.begin(), frame.begin() + 5));
    now_ += k_frame_gap;
    send(frame);  // the stale piece must not swallow the new frame's start
    EXPECT_EQ(out(), k_ok_ok + k_handshake_text);
    EXPECT_TRUE(logged("sim: partial frame dropped"));
}

Bytes expected_map_block(const LedMap& map) {
    return data_block(Bytes(map.begin(), map.end()));
}

// The map follows the tenth step's answer after the box's delay, or with it.
class LedMapDelayTest : public BoxTest, public ::testing::WithParamInterface<std::chrono::milliseconds> {};

TEST_P(LedMapDelayTest, TenAcknowledgedStepsOfAnyItemsBringTheFontMap) {
    const std::chrono::milliseconds delay = GetParam();
    SimBoxSettings settings;
    settings.led_map_delay = delay;
    boot(std::move(settings));
    send(command_frame(84));
    for (int i = 0; i < k_led_map_steps - 1; ++i) {
        send(command_frame(85, Bytes{3}));  // successes count, not distinct items
    }
    out();
    send(command_frame(85, Bytes{7}));
    Bytes answer = out();
    if (delay > std::chrono::milliseconds::zero()) {
        EXPECT_EQ(answer, k_ok_ok + k_ok);
        send(Bytes{k_led_map_received});  // before the map went out, 0x02 takes nothing
        advance(delay - std::chrono::milliseconds(1));
        EXPECT_TRUE(out().empty());
        advance(std::chrono::milliseconds(1));
        answer = answer + out();
    }
    ASSERT_EQ(answer.size(), 9u + 2 + k_led_map_size + 4);
    EXPECT_EQ(Bytes(answer.begin(), answer.begin() + 9), k_ok_ok + k_ok);
    const Bytes map(answer.begin() + 9, answer.end());
    EXPECT_EQ(map, expected_map_block(font_led_map()));
    EXPECT_EQ(map[2], led_font[0].character);
    EXPECT_EQ(map[3], led_font[0].segments);
    EXPECT_EQ(map[2 + k_led_font_bytes], 0);

    send(Bytes{k_led_map_received});
    advance(k_map_resend_wait * 3);
    EXPECT_TRUE(out().empty());
    EXPECT_TRUE(logged("sim: LED map taken"));
}

INSTANTIATE_TEST_SUITE_P(Delays, LedMapDelayTest,
                         ::testing::Values(k_led_map_delay, std::chrono::milliseconds(0),
                                           std::chrono::milliseconds(1500)),
                         [](const ::testing::TestParamInfo<std::chrono::milliseconds>& info) {
                             return "after_" + std::to_string(info.param.count()) + "_ms";
                         });

TEST_F(BoxTest, AMapNotTakenGoesOutAgainUpToFiveTimes) {
    SimBoxSettings settings;
    settings.led_map.fill(0x5A);
    settings.led_map_delay = std::chrono::milliseconds(0);
    boot(std::move(settings));
    LedMap map;
    map.fill(0x5A);
    send(command_frame(84));
    for (int i = 0; i < k_led_map_steps; ++i) {
        send(command_frame(85, Bytes{static_cast<std::uint8_t>(i)}));
    }
    out();
    for (int send_count = 1; send_count < k_led_map_attempts; ++send_count) {
        advance(k_map_resend_wait - std::chrono::milliseconds(1));
        EXPECT_TRUE(out().empty());
        advance(std::chrono::milliseconds(1));
        EXPECT_EQ(out(), expected_map_block(map)) << "send " << send_count + 1;
    }
    advance(k_map_resend_wait * 10);
    EXPECT_TRUE(out().empty());
    EXPECT_TRUE(logged("sim: LED map not taken"));
}

TEST_F(BoxTest, KeyEventsGoOutOnlyWhileKeysAreCaptured) {
    boot();
    EXPECT_FALSE(box_->send_key(0x3412, 5));
    EXPECT_TRUE(out().empty());
    EXPECT_TRUE(logged("key dropped"));
    send(command_frame(89, text_bytes("1")));
    out();
    EXPECT_TRUE(box_->send_key(0x3412, 5));
    EXPECT_EQ(out(), (Bytes{0x12, 0x34, 0x05, 0x00}));
}

}  // namespace
}  // namespace velmora::stb_sim::test
