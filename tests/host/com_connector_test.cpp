// "com connector" over a real pseudo-terminal: received bytes broadcast as 26, code-15 bytes on the
// line in order with code-18 progress, the queries, and the failures.
#include <gtest/gtest.h>

#include <algorithm>

#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "host/com_connector.h"
#include "host/host_registry.h"
#include "host/port_error_text.h"
#include "link/host_components.h"
#include "progress_counts.h"
#include "pseudo_terminal.h"
#include "recording_component.h"

namespace velmora {
namespace {

using test::expect_progress;
using test::k_wait;
using test::PseudoTerminal;
using test::RecordingComponent;
using Deliveries = std::vector<RecordingComponent::Delivery>;

// Fast, so big sends are soon off the line.
constexpr qint32 k_baud = 921600;
// Long enough for bytes that would arrive to do so; used only where nothing should.
constexpr std::chrono::milliseconds k_quiet{200};

class ComConnectorTest : public ::testing::Test {
protected:
    void SetUp() override {
        agent.set_active(true);
        QString error;
        ASSERT_TRUE(connector.open(QString::fromStdString(pty.slave_path()), k_baud, error))
            << error.toStdString();
    }

    std::uint32_t request(std::uint32_t code, std::uint32_t param1 = 0, const void* param2 = nullptr) {
        return registry.lookup(k_com_connector)->request({code, param1, param2});
    }

    PseudoTerminal pty;
    HostRegistry registry;
    RecordingComponent agent{"velmora", &registry};
    ComConnector connector{&registry};
};

TEST_F(ComConnectorTest, ReceivedBytesAreBroadcastAsCode26InArrivalOrder) {
    const std::string first("\x00\xA5\x10", 3);
    const std::string second = "Got it\r\n\xFF";
    pty.write_master(first);
    pty.write_master(second);
    ASSERT_TRUE(agent.wait_until([&](const Deliveries& d) {
        return RecordingComponent::received(d).size() >= first.size() + second.size();
    }));
    Deliveries deliveries = agent.deliveries();
    EXPECT_EQ(RecordingComponent::received(deliveries), first + second);
    // The port's opening was said first.
    ASSERT_FALSE(deliveries.empty());
    EXPECT_EQ(deliveries.front().code, k_connector_opened);
    deliveries.erase(deliveries.begin());
    for (const auto& delivery : deliveries) {
        EXPECT_EQ(delivery.code, k_connector_received);
        EXPECT_EQ(delivery.param1, delivery.bytes.size());
    }
}

TEST_F(ComConnectorTest, Code15BytesLeaveInOrderAndProgressReachesEachFullCount) {
    EXPECT_EQ(request(k_connector_is_open), 1u);
    // Bigger than the pseudo-terminal's buffer, so the port reports it in several writes.
    std::string big(70000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 7);
    }
    const std::vector<std::string> sends = {std::string("\x60", 1), "", big, "end"};
    std::string expected;
    for (const std::string& send : sends) {
        std::string buffer = send;
        request(k_connector_send, static_cast<std::uint32_t>(buffer.size()), buffer.data());
        // The connector took its copy during the call.
        buffer.assign(buffer.size(), 'X');
        expected += send;
    }
    EXPECT_EQ(pty.read_master(expected.size(), k_wait), expected);
    ASSERT_TRUE(agent.wait_until([&](const Deliveries& d) {
        return !d.empty() && d.back().code == k_connector_sent && d.back().count == sends.back().size();
    }));
    expect_progress(agent.deliveries(), {1, 0, big.size(), 3});
}

// A pseudo-terminal takes the bytes at once; the send is complete only once they can have crossed a
// line at the port's rate, so the box sees the sender's pauses between its sends.
TEST(ComConnectorLineTest, ASendIsCompleteOnceItsBytesHadTheirTimeOnTheLine) {
    constexpr qint32 k_slow_baud = 1200;
    const std::string bytes(120, 'x');  // one second at 1200 baud
    const std::chrono::milliseconds line_time(static_cast<long>(bytes.size()) * 10 * 1000 / k_slow_baud);
    PseudoTerminal pty;
    HostRegistry registry;
    RecordingComponent agent{"velmora", &registry};
    agent.set_active(true);
    ComConnector connector{&registry};
    QString error;
    ASSERT_TRUE(connector.open(QString::fromStdString(pty.slave_path()), k_slow_baud, error))
        << error.toStdString();
    const auto start = std::chrono::steady_clock::now();
    registry.lookup(k_com_connector)
        ->request({k_connector_send, static_cast<std::uint32_t>(bytes.size()), bytes.data()});
    EXPECT_EQ(pty.read_master(bytes.size(), k_wait), bytes);
    ASSERT_TRUE(agent.wait_until([&](const Deliveries& d) {
        return !d.empty() && d.back().code == k_connector_sent && d.back().count == bytes.size();
    }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, line_time);
    expect_progress(agent.deliveries(), {bytes.size()});
}

TEST_F(ComConnectorTest, TypedBytesGoOutWithoutProgress) {
    ASSERT_TRUE(connector.send("ls\r"));
    EXPECT_EQ(pty.read_master(3, k_wait), "ls\r");
    const std::string mark = "!";
    request(k_connector_send, 1, mark.data());
    EXPECT_EQ(pty.read_master(1, k_wait), mark);
    ASSERT_TRUE(agent.wait_until([](const Deliveries& d) {
        return std::any_of(d.begin(), d.end(), [](const auto& one) { return one.code == k_connector_sent; });
    }));
    expect_progress(agent.deliveries(), {1});
}

TEST_F(ComConnectorTest, QueryAndTerminalModeFollowThePort) {
    std::vector<bool> modes;
    QObject::connect(
        &connector, &ComConnector::terminal_mode_changed, &connector,
        [&modes](bool upgrade) { modes.push_back(upgrade); }, Qt::DirectConnection);
    request(k_connector_upgrade_mode, 1);
    EXPECT_TRUE(connector.upgrade_mode());
    request(k_connector_upgrade_mode, 0);
    EXPECT_FALSE(connector.upgrade_mode());
    EXPECT_EQ(modes, (std::vector<bool>{true, false}));
    EXPECT_EQ(request(99, 1), 0u);

    EXPECT_EQ(request(k_connector_baud), static_cast<std::uint32_t>(k_baud));

    connector.close();
    EXPECT_EQ(request(k_connector_is_open), 0u);
    EXPECT_EQ(request(k_connector_baud), 0u);
    const std::string dropped = "lost";
    EXPECT_EQ(request(k_connector_send, 4, dropped.data()), 0u);
    EXPECT_FALSE(connector.send("lost"));

    QString error;
    ASSERT_TRUE(connector.open(QString::fromStdString(pty.slave_path()), k_baud, error));
    EXPECT_EQ(request(k_connector_is_open), 1u);
    request(k_connector_send, 1, "Z");
    // What was queued while closed never went out.
    EXPECT_EQ(pty.read_master(1, k_wait), "Z");
    EXPECT_EQ(pty.read_master(1, k_quiet), "");
}

TEST_F(ComConnectorTest, FarEndGoneClosesThePortAndSaysSo) {
    std::promise<QString> lost;
    QObject::connect(
        &connector, &ComConnector::port_lost, &connector,
        [&lost](const QString& reason) { lost.set_value(reason); }, Qt::DirectConnection);
    pty.close_master();
    auto reason = lost.get_future();
    ASSERT_EQ(reason.wait_for(k_wait), std::future_status::ready);
    const QString said = reason.get();
    EXPECT_TRUE(said.contains(QString::fromStdString(pty.slave_path()))) << said.toStdString();
    // What happened, not the words of the last call that failed on the vanished device.
    EXPECT_TRUE(said.contains(QStringLiteral("closed: the device is gone"))) << said.toStdString();
    EXPECT_EQ(request(k_connector_is_open), 0u);
}

// A sender waiting for its completion report hears that none will come: once when the port is lost,
// once when it is closed, and not when it was closed already.
TEST_F(ComConnectorTest, ClosingAnOpenPortIsBroadcastOnce) {
    auto closings_in = [](const Deliveries& all) {
        return std::count_if(all.begin(), all.end(),
                             [](const auto& delivery) { return delivery.code == k_connector_closed; });
    };
    auto closings = [&] { return closings_in(agent.deliveries()); };
    pty.close_master();
    ASSERT_TRUE(agent.wait_until([&](const Deliveries& all) { return closings_in(all) == 1; }));
    connector.close();
    EXPECT_EQ(closings(), 1);

    PseudoTerminal other;
    QString error;
    ASSERT_TRUE(connector.open(QString::fromStdString(other.slave_path()), k_baud, error));
    connector.close();
    EXPECT_EQ(closings(), 2);
}

TEST(ComConnectorOpenTest, AFailedOpenNamesThePortAndTheReason) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString plain_file = dir.filePath(QStringLiteral("not-a-tty"));
    QFile file(plain_file);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    struct Case {
        QString port;
        qint32 baud;
        QString must_contain;
    };
    const std::vector<Case> cases = {
        {dir.filePath(QStringLiteral("no-such-port")), k_baud, dir.filePath(QStringLiteral("no-such-port"))},
        {plain_file, k_baud, plain_file},
        {QStringLiteral("  "), k_baud, QStringLiteral("no port was chosen")},
        {QStringLiteral("/dev/ttyS0"), 0, QStringLiteral("/dev/ttyS0: 0 is not a baud rate")},
    };
    HostRegistry registry;
    ComConnector connector(&registry);
    for (const Case& c : cases) {
        QString error;
        EXPECT_FALSE(connector.open(c.port, c.baud, error)) << c.port.toStdString();
        EXPECT_TRUE(error.contains(c.must_contain)) << error.toStdString();
        EXPECT_FALSE(error.endsWith(QStringLiteral(": "))) << "no reason in: " << error.toStdString();
        EXPECT_FALSE(connector.is_open());
    }
}

TEST(PortErrorTextTest, PermissionErrorsPointAtTheDialoutGroup) {
    struct Case {
        QSerialPort::SerialPortError error;
        bool mentions_dialout;
    };
    for (const Case& c :
         {Case{QSerialPort::PermissionError, true}, Case{QSerialPort::DeviceNotFoundError, false},
          Case{QSerialPort::OpenError, false}}) {
        const QString text =
            port_error_text(QStringLiteral("/dev/ttyUSB0"), c.error, QStringLiteral("Reason"));
        EXPECT_TRUE(text.startsWith(QStringLiteral("Cannot open serial port /dev/ttyUSB0: Reason")))
            << text.toStdString();
        EXPECT_EQ(text.contains(QStringLiteral("dialout")), c.mentions_dialout) << text.toStdString();
    }
}

}  // namespace
}  // namespace velmora
