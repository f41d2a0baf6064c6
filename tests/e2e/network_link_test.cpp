// The box's line on the network: the real ser2net between the simulator's pseudo-terminal and the
// host's connector, raw and through Telnet with the COM-PORT option. The view connects, downloads,
// handshakes and uploads as on a local line, and the box records the same bytes: a client and a
// block full of 0xFF (Telnet's escape) and CR NUL (its default terminal's carriage return). Through
// the COM-PORT option the host sets the box's line speed; raw, the line keeps ser2net's own.
#include <termios.h>

#include "tests/e2e/panel_bench.h"
#include "tests/support/ser2net_process.h"

namespace velmora::e2e_test {
namespace {

using test::Ser2netProcess;

// Not the speed ser2net's configuration gives the line (115200), so the change shows.
constexpr qint32 k_network_baud = 57600;

struct NetworkCase {
    const char* name;
    Ser2netProcess::Mode mode;
    speed_t line_speed;  // what the box's line runs at once connected
};

void PrintTo(const NetworkCase& c, std::ostream* out) {
    *out << c.name;
}

// Every byte value, with the sequences Telnet treats specially among them.
Bytes telnet_hostile_client() {
    Bytes bytes = {0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xFA, 0x2C, 0x01, 0xFF, 0xF0, 0x0D, 0x00, 0x0D, 0x0A, 0x0D};
    for (std::size_t i = 0; bytes.size() < k_client_size; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(i % 3 == 0 ? 0xFF : i * 13));
    }
    return bytes;
}

// The line's speed as its holders see it.
speed_t line_speed(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios mode{};
    const bool read = fd >= 0 && ::tcgetattr(fd, &mode) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return read ? ::cfgetospeed(&mode) : B0;
}

class NetworkLinkTest : public PanelLinkTest, public ::testing::WithParamInterface<NetworkCase> {
protected:
    void SetUp() override {
        if (Ser2netProcess::program().empty()) {
            GTEST_SKIP() << "ser2net is not installed (scripts/deps installs it)";
        }
        ASSERT_NO_FATAL_FAILURE(PanelLinkTest::SetUp());
        client = telnet_hostile_client();
        plugin_test::write_bytes(client_file, client);
        ASSERT_NO_FATAL_FAILURE(start_sim({}, false));
        ser2net = std::make_unique<Ser2netProcess>(
            dir, std::vector<Ser2netProcess::Line>{{sim_line, GetParam().mode}});
        ASSERT_TRUE(ser2net->ok()) << ser2net->log();
        QString error;
        ASSERT_TRUE(connector.open(QString::fromStdString(ser2net->url(0)), k_network_baud, error))
            << error.toStdString() << "\n"
            << ser2net->log();
        ASSERT_NO_FATAL_FAILURE(make_view());
        ASSERT_NO_FATAL_FAILURE(parse());
    }

    void TearDown() override {
        PanelLinkTest::TearDown();
        ser2net.reset();
    }

    std::unique_ptr<Ser2netProcess> ser2net;
};

TEST_P(NetworkLinkTest, ConnectsDownloadsHandshakesAndUploadsAsOnALocalLine) {
    const Bytes block_before = view_block();
    ASSERT_NE(std::find(block_before.begin(), block_before.end(), 0xFF), block_before.end())
        << "the block should carry 0xFF";
    ASSERT_NO_FATAL_FAILURE(connect_and_expect_connected());

    EXPECT_EQ(recorded("client.bin"), client);
    const Bytes block = recorded("block.bin");
    EXPECT_EQ(block, view_block());
    EXPECT_EQ(line_speed(sim_line), GetParam().line_speed);
    EXPECT_TRUE(messages.shown.empty()) << ::testing::PrintToString(messages.texts());
    EXPECT_EQ(count_of(texts, "\nEnd downloading!"), 1u) << texts;
}

INSTANTIATE_TEST_SUITE_P(Ser2net, NetworkLinkTest,
                         ::testing::Values(NetworkCase{"raw", Ser2netProcess::Mode::raw, B115200},
                                           NetworkCase{"rfc2217", Ser2netProcess::Mode::rfc2217, B57600}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmora::e2e_test
