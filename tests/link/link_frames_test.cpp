// The bytes the agent puts on the line: command frames, data blocks, the client header and the CRC.
#include <gtest/gtest.h>

#include <string_view>

#include "link/agent/link_frames.h"
#include "link_fakes.h"

namespace velmora::link_test {
namespace {

// The CRC computed bit by bit, apart from every table.
std::uint32_t bitwise_jamcrc(const Bytes& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        }
    }
    return crc;
}

Bytes le32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

TEST(LinkCrcTest, GivesTheJamcrcCheckValue) {
    const std::string_view digits = "123456789";
    const Bytes bytes(digits.begin(), digits.end());
    EXPECT_EQ(frame_crc(bytes), 0x340BC6D9u);
}

struct FrameCase {
    const char* name;
    LinkCommand code;
    Bytes payload;
};

class CommandFrameTest : public testing::TestWithParam<FrameCase> {};

TEST_P(CommandFrameTest, IsStartCodeLengthPayloadAndCrc) {
    const FrameCase& c = GetParam();
    const Bytes frame = command_frame(c.code, c.payload);
    ASSERT_EQ(frame.size(), c.payload.size() + 7);
    Bytes covered{static_cast<std::uint8_t>(c.code), static_cast<std::uint8_t>(c.payload.size())};
    covered.insert(covered.end(), c.payload.begin(), c.payload.end());
    Bytes expected = covered;
    expected.insert(expected.begin(), 0x23);
    const Bytes crc = le32(bitwise_jamcrc(covered));
    expected.insert(expected.end(), crc.begin(), crc.end());
    EXPECT_EQ(frame, expected);
}

INSTANTIATE_TEST_SUITE_P(Commands, CommandFrameTest,
                         testing::Values(FrameCase{"led_map_start", LinkCommand::led_map_start, {}},
                                         FrameCase{"lamp_test", LinkCommand::lamp_test, {'1'}},
                                         FrameCase{"handshake", LinkCommand::handshake,
                                                   Bytes(k_handshake_text.begin(), k_handshake_text.end())},
                                         FrameCase{"announce_block", LinkCommand::announce_block,
                                                   Bytes(k_announce_block_payload.begin(),
                                                         k_announce_block_payload.end())},
                                         FrameCase{"announce_record",
                                                   LinkCommand::announce_record,
                                                   {0xFF, 0x4E, 0xD0, 0x01, 0x00, 0x00}},
                                         FrameCase{"longest", LinkCommand::led_map_step, Bytes(255, 0x5A)}),
                         [](const testing::TestParamInfo<FrameCase>& info) { return info.param.name; });

TEST(CommandFrameTest, CommandWithoutPayloadStartsWithItsThreeBytes) {
    const Bytes frame = command_frame(LinkCommand::led_map_start, {});
    ASSERT_EQ(frame.size(), 7u);
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 3), (Bytes{0x23, 0x54, 0x00}));
}

TEST(DataBlockTest, CrcCoversTheDataOnly) {
    const Bytes data{0x00, 0x23, 0x2A, 0xFF, 0x10};
    const DataBlock block = data_block(data);
    EXPECT_EQ(Bytes(block.header.begin(), block.header.end()), (Bytes{0x23, 0x2A}));
    EXPECT_EQ(block.data, data);
    EXPECT_EQ(Bytes(block.crc.begin(), block.crc.end()), le32(bitwise_jamcrc(data)));
}

TEST(ClientHeaderTest, IsTheLengthThenTwoZeroWords) {
    const auto header = client_header(0x00123456);
    EXPECT_EQ(Bytes(header.begin(), header.end()), (Bytes{0x56, 0x34, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace velmora::link_test
