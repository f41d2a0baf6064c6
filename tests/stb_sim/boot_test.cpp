// The box's boot: the sync byte, its answer and the client image, with their deadlines.
#include "tests/stb_sim/box_fixture.h"

namespace velmora::stb_sim::test {
namespace {

TEST_F(BoxTest, ResetSendsTheSyncByteAloneAndTakesTheClientAfterItsAnswer) {
    make();
    EXPECT_EQ(box_->state(), BoxState::off);
    send(command_frame(80, k_handshake_text));  // before a reset the box hears nothing
    EXPECT_TRUE(out().empty());

    box_->reset(now_);
    EXPECT_EQ(out(), Bytes{k_sync_byte});
    send(Bytes{0x23, 0x00, 0xA5});  // anything but the answer is ignored while it waits
    EXPECT_EQ(box_->state(), BoxState::awaiting_sync_answer);

    const Bytes client = pattern(3000, 9);
    const Bytes image = Bytes{k_sync_answer} + client_image(client);
    for (std::size_t at = 0; at < image.size(); at += 777) {  // in pieces, as a line delivers it
        send(Bytes(image.begin() + at, image.begin() + std::min(image.size(), at + 777)));
    }
    EXPECT_EQ(box_->state(), BoxState::serving);
    EXPECT_EQ(box_->client(), client);
    EXPECT_TRUE(out().empty());
    EXPECT_TRUE(logged("sim: client 3000 bytes"));
}

TEST_F(BoxTest, AnEmptyClientLeavesTheBoxServing) {
    make();
    box_->reset(now_);
    send(Bytes{k_sync_answer} + client_image({}) + command_frame(84));
    EXPECT_EQ(box_->state(), BoxState::serving);
    EXPECT_EQ(out(), Bytes{k_sync_byte} + k_ok_ok);
}

struct BootFailure {
    const char* name;
    Bytes before;                  // sent after the reset
    SimBox::Clock::duration wait;  // then this much time passes
    std::size_t client_limit;
    const char* log;
};

void PrintTo(const BootFailure& c, std::ostream* os) {
    *os << c.name;
}

class BootFailureTest : public BoxTest, public ::testing::WithParamInterface<BootFailure> {};

TEST_P(BootFailureTest, TheBoxGivesUpAndIgnoresWhatFollows) {
    const BootFailure& c = GetParam();
    SimBoxSettings settings;
    settings.client_limit = c.client_limit;
    make(std::move(settings));
    box_->reset(now_);
    send(c.before);
    advance(c.wait);
    EXPECT_EQ(box_->state(), BoxState::off);
    EXPECT_TRUE(logged(c.log));
    out();
    send(Bytes{k_sync_answer} + command_frame(84));
    EXPECT_TRUE(out().empty());
    EXPECT_EQ(box_->next_deadline(), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Boot, BootFailureTest,
    ::testing::Values(
        BootFailure{"no_answer", {}, k_sync_answer_wait, k_max_client_size, "sim: no sync answer"},
        BootFailure{"client_stops", Bytes{k_sync_answer} + le32(50) + le32(0) + le32(0) + pattern(20, 1),
                    k_client_gap, k_max_client_size, "sim: client incomplete"},
        BootFailure{"client_too_long", Bytes{k_sync_answer} + le32(101) + le32(0) + le32(0),
                    std::chrono::seconds(0), 100, "sim: client of 101 bytes refused (limit 100)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoxTest, TheSyncWaitEndsOnlyAtItsDeadline) {
    make();
    box_->reset(now_);
    EXPECT_EQ(box_->next_deadline(), now_ + k_sync_answer_wait);
    advance(k_sync_answer_wait - std::chrono::milliseconds(1));
    EXPECT_EQ(box_->state(), BoxState::awaiting_sync_answer);
    send(Bytes{k_sync_answer});
    EXPECT_EQ(box_->state(), BoxState::receiving_client);
}

TEST_F(BoxTest, AResetStartsOverFromAnyState) {
    boot();
    send(command_frame(89, text_bytes("1")));
    EXPECT_TRUE(box_->capturing_keys());
    out();
    box_->reset(now_);
    EXPECT_EQ(out(), Bytes{k_sync_byte});
    EXPECT_EQ(box_->state(), BoxState::awaiting_sync_answer);
    EXPECT_FALSE(box_->capturing_keys());
}

}  // namespace
}  // namespace velmora::stb_sim::test
