// Each fault the box can be told to make: what it does, that it acts once, and how it is named.
#include "config/config_block.h"
#include "tests/stb_sim/box_fixture.h"

#include <algorithm>

namespace velmora::stb_sim::test {
namespace {

SimBoxSettings with_fault(const char* name) {
    SimBoxSettings settings;
    EXPECT_EQ(settings.faults.add_named(name), std::nullopt) << name;
    return settings;
}

struct FaultCase {
    const char* fault;
    Bytes first;          // sent first
    Bytes first_answer;   // its answer under the fault
    Bytes second;         // sent next
    Bytes second_answer;  // the fault has been made: the normal answer
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.fault;
}

class FaultTest : public BoxTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultTest, ActsOnceThenTheBoxAnswersAsUsual) {
    const FaultCase& c = GetParam();
    boot(with_fault(c.fault));
    send(c.first);
    EXPECT_EQ(out(), c.first_answer);
    send(c.second);
    EXPECT_EQ(out(), c.second_answer);
}

const Bytes k_handshake_frame = command_frame(80, k_handshake_text);
const Bytes k_block = pattern(k_config_block_size, 4);
const Bytes k_record = pattern(k_main_record.length, 8);

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultTest,
    ::testing::Values(
        FaultCase{"no-receipt", k_handshake_frame, {}, k_handshake_frame, k_ok_ok + k_handshake_text},
        FaultCase{"result-1", k_handshake_frame, Bytes{0, 0, 0, 1, 0, 0}, k_handshake_frame,
                  k_ok_ok + k_handshake_text},
        FaultCase{"bad-block-ack", command_frame(81, k_block_announcement) + data_block(k_block),
                  k_ok_ok + Bytes{1}, data_block(k_block), Bytes{0}},
        FaultCase{"bad-block-ack", command_frame(83, k_record_announcement) + data_block(k_record),
                  k_ok_ok + Bytes{1, k_record_error_state, k_record_crc_error}, data_block(k_record), k_ok}),
    [](const auto& info) {
        std::string name = std::string(info.param.fault) + "_" + std::to_string(info.index);
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST_F(BoxTest, ResendReceiptAsksForThreeFramesAgainWithoutActingOnThem) {
    boot(with_fault("resend-receipt"));
    for (int i = 0; i < k_resend_receipt_frames; ++i) {
        send(command_frame(89, text_bytes("1")));
        EXPECT_EQ(out(), (Bytes{k_resend_receipt_code, 0, 0})) << "frame " << i + 1;
    }
    EXPECT_FALSE(box_->capturing_keys());
    send(command_frame(89, text_bytes("1")));
    EXPECT_EQ(out(), k_ok_ok);
    EXPECT_TRUE(box_->capturing_keys());
}

TEST_F(BoxTest, LedCrcSpoilsTheFirstMapOnlyAndTheResentOneIsGood) {
    SimBoxSettings settings = with_fault("led-crc");
    settings.led_map_delay = std::chrono::milliseconds(0);
    boot(std::move(settings));
    send(command_frame(84));
    for (int i = 0; i < k_led_map_steps; ++i) {
        send(command_frame(85, Bytes{0}));
    }
    const Bytes answer = out();
    const LedMap font = font_led_map();
    const Bytes good = data_block(Bytes(font.begin(), font.end()));
    ASSERT_GE(answer.size(), good.size());
    const Bytes first(answer.end() - static_cast<std::ptrdiff_t>(good.size()), answer.end());
    EXPECT_TRUE(std::equal(good.begin(), good.end() - 4, first.begin())) << "the map itself is right";
    EXPECT_NE(first, good) << "its CRC is not";
    advance(k_map_resend_wait);
    EXPECT_EQ(out(), good);
}

TEST_F(BoxTest, SilentAfterStopsEverythingPastTheCount) {
    boot(with_fault("silent-after=5"));  // the boot sent 1 byte, the sync
    send(k_handshake_frame);
    EXPECT_EQ(out(), (Bytes{0, 0, 0, 0}));
    send(k_handshake_frame);
    EXPECT_TRUE(out().empty());
    EXPECT_EQ(box_->bytes_sent(), 5u);
    EXPECT_TRUE(logged("sim: silent after 5 bytes"));
}

TEST_F(BoxTest, GarbageBeforeSyncHoldsNoSyncByte) {
    for (const std::uint32_t seed : {1u, 2u, 3u, 0xA5A5A5A5u}) {
        SimBoxSettings settings = with_fault("garbage-before-sync");
        settings.seed = seed;
        make(std::move(settings));
        box_->reset(now_);
        const Bytes sent = out();
        ASSERT_EQ(sent.size(), k_garbage_bytes + 1) << "seed " << seed;
        EXPECT_EQ(sent.back(), k_sync_byte);
        EXPECT_EQ(std::count(sent.begin(), sent.end(), k_sync_byte), 1) << "seed " << seed;
        send(Bytes{k_sync_answer} + client_image({}));
        EXPECT_EQ(box_->state(), BoxState::serving);
    }
}

struct FaultName {
    const char* text;
    bool accepted;
    const char* message;  // part of the refusal
};

void PrintTo(const FaultName& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class FaultNameTest : public ::testing::TestWithParam<FaultName> {};

TEST_P(FaultNameTest, ParsesOrRefusesWithAReason) {
    FaultSet faults;
    const std::optional<std::string> error = faults.add_named(GetParam().text);
    EXPECT_EQ(!error, GetParam().accepted);
    if (error) {
        EXPECT_NE(error->find(GetParam().message), std::string::npos) << *error;
    }
}

INSTANTIATE_TEST_SUITE_P(Names, FaultNameTest,
                         ::testing::Values(FaultName{"silent-after=0", true, ""},
                                           FaultName{"silent-after=12x", false, "silent-after=N"},
                                           FaultName{"silent-after", false, "silent-after=N"},
                                           FaultName{"no-receipt=3", false, "takes no value"},
                                           FaultName{"led_crc", false, "known: no-receipt, resend-receipt"},
                                           FaultName{"", false, "unknown fault"}));

TEST(FaultTable, EveryFaultHasOneNameThatParsesToIt) {
    for (const FaultInfo& info : k_faults) {
        FaultSet faults;
        const std::string text = std::string(info.name) + (info.takes_count ? "=7" : "");
        EXPECT_EQ(faults.add_named(text), std::nullopt) << text;
        EXPECT_TRUE(faults.has(info.fault)) << text;
        EXPECT_EQ(std::count_if(k_faults.begin(), k_faults.end(),
                                [&](const FaultInfo& other) { return other.fault == info.fault; }),
                  1);
    }
}

}  // namespace
}  // namespace velmora::stb_sim::test
