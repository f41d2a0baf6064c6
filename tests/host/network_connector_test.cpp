// "com connector" on a serial line reached over the network, against servers of the test's own: the
// same contract as on a device (26 in order, 15 out in order with 18 counting the caller's bytes, 13
// and 16, 28 when the line goes), raw and through Telnet with the COM-PORT option, and every way an
// open can fail, each said with what happened.
#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/tcp.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "host/com_connector.h"
#include "host/host_registry.h"
#include "link/host_components.h"
#include "netline/telnet_codes.h"
#include "progress_counts.h"
#include "recording_component.h"
#include "tcp_peer.h"
#include "tests/netline/telnet_script.h"

namespace velmora {
namespace {

using netline::test::answers;
using netline::test::cat;
using netline::test::command;
using netline::test::ser2net_greeting;
using netline::test::settings;
using test::expect_progress;
using test::k_wait;
using test::RecordingComponent;
using test::TcpPeer;
using Deliveries = std::vector<RecordingComponent::Delivery>;
namespace telnet = netline::telnet;

// A fast line, so that the sends of these tests are out soon (see the pacing test below).
constexpr qint32 k_baud = 2000000;
// Short, so the failures that wait out a limit end soon; nothing that works comes near them.
const NetworkLine::Limits k_short_limits{std::chrono::seconds(60), std::chrono::milliseconds(500),
                                         std::chrono::milliseconds(500)};

std::string text_of(const std::vector<std::uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

// Bytes of every value, 0xFF and CR NUL among them, so that any escaping shows.
std::string every_byte(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i * 7 + i / 256);
    }
    return bytes;
}

// Each 0xFF written twice, as Telnet carries it.
std::string doubled(const std::string& bytes) {
    std::string out;
    for (char byte : bytes) {
        out += byte;
        if (static_cast<std::uint8_t>(byte) == telnet::k_iac) {
            out += byte;
        }
    }
    return out;
}

// This process's TCP socket connected to 127.0.0.1:`port`; -1 when there is none.
int socket_to(std::uint16_t port) {
    DIR* fds = ::opendir("/proc/self/fd");
    int found = -1;
    for (dirent* entry = fds != nullptr ? ::readdir(fds) : nullptr; entry != nullptr && found < 0;
         entry = ::readdir(fds)) {
        const int fd = std::atoi(entry->d_name);
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        if (fd > 2 && ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) == 0 &&
            peer.sin_family == AF_INET && ntohs(peer.sin_port) == port) {
            found = fd;
        }
    }
    if (fds != nullptr) {
        ::closedir(fds);
    }
    return found;
}

bool socket_option(int fd, int level, int name) {
    int value = 0;
    socklen_t size = sizeof value;
    return ::getsockopt(fd, level, name, &value, &size) == 0 && value != 0;
}

class NetworkConnectorTest : public ::testing::Test {
protected:
    void SetUp() override {
        agent.set_active(true);
        connector.set_network_limits(k_short_limits);
    }

    std::uint32_t request(std::uint32_t code, std::uint32_t param1 = 0, const void* param2 = nullptr) {
        return registry.lookup(k_com_connector)->request({code, param1, param2});
    }

    void open(const std::string& url) {
        QString error;
        ASSERT_TRUE(connector.open(QString::fromStdString(url), k_baud, error)) << error.toStdString();
    }

    // Queues each of `sends` with request 15, changing the caller's buffer once the call returned.
    std::string send_all(const std::vector<std::string>& sends) {
        std::string all;
        for (const std::string& send : sends) {
            std::string buffer = send;
            request(k_connector_send, static_cast<std::uint32_t>(buffer.size()), buffer.data());
            buffer.assign(buffer.size(), 'X');
            all += send;
        }
        return all;
    }

    bool wait_for_final_count(std::size_t size) {
        return agent.wait_until([&](const Deliveries& d) {
            return !d.empty() && d.back().code == k_connector_sent && d.back().count == size;
        });
    }

    HostRegistry registry;
    RecordingComponent agent{"velmora", &registry};
    ComConnector connector{&registry};
};

TEST_F(NetworkConnectorTest, ARawPortCarriesTheLineUnchangedBothWays) {
    TcpPeer peer;
    ASSERT_TRUE(peer.ok());
    open(peer.url("tcp"));
    EXPECT_EQ(request(k_connector_is_open), 1u);
    EXPECT_EQ(request(k_connector_baud), static_cast<std::uint32_t>(k_baud));
    // Nagle off, so each send leaves at once; keep-alive on, so a peer gone silent is noticed.
    const int fd = socket_to(peer.port());
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(socket_option(fd, IPPROTO_TCP, TCP_NODELAY));
    EXPECT_TRUE(socket_option(fd, SOL_SOCKET, SO_KEEPALIVE));
    EXPECT_TRUE(socket_option(fd, IPPROTO_TCP, TCP_USER_TIMEOUT));

    const std::string from_box = std::string("\x00\xA5\x10\xFF\xFF\r\x00", 7) + every_byte(5000);
    ASSERT_TRUE(peer.send(from_box));
    ASSERT_TRUE(agent.wait_until(
        [&](const Deliveries& d) { return RecordingComponent::received(d).size() >= from_box.size(); }));
    EXPECT_EQ(RecordingComponent::received(agent.deliveries()), from_box);

    const std::string big = every_byte(300000);
    const std::string sent = send_all({std::string("\x60", 1), "", big, "end"});
    ASSERT_TRUE(peer.wait_received([&](const std::string& got) { return got.size() >= sent.size(); }));
    EXPECT_EQ(peer.received(), sent);
    ASSERT_TRUE(wait_for_final_count(3));
    expect_progress(agent.deliveries(), {1, 0, big.size(), 3});
}

// The socket takes the bytes at once; the line behind the server needs its time for them. As a
// serial port counts a send out when its queue is empty, the last count waits for that time, so
// the link's pauses after a send are pauses on the box's line.
TEST_F(NetworkConnectorTest, ASendCountsAsOutOnlyWhenTheRemoteLineCanHaveSentIt) {
    constexpr qint32 k_slow_baud = 9600;
    const std::string bytes = every_byte(1920);  // two seconds at 9600 baud, 10 bits a byte
    const std::chrono::milliseconds line_time(bytes.size() * 10 * 1000 / k_slow_baud);
    TcpPeer peer;
    ASSERT_TRUE(peer.ok());
    QString error;
    ASSERT_TRUE(connector.open(QString::fromStdString(peer.url("tcp")), k_slow_baud, error))
        << error.toStdString();

    const auto sent_at = std::chrono::steady_clock::now();
    send_all({bytes});
    ASSERT_TRUE(peer.wait_received([&](const std::string& got) { return got.size() >= bytes.size(); }));
    ASSERT_TRUE(agent.wait_until([&](const Deliveries& d) {
        return !d.empty() && d.back().code == k_connector_sent && d.back().count == bytes.size();
    }));
    // A lower bound only: the report can never come sooner, however idle the machine.
    EXPECT_GE(std::chrono::steady_clock::now() - sent_at, line_time);
    expect_progress(agent.deliveries(), {bytes.size()});
    EXPECT_EQ(peer.received(), bytes);
}

TEST_F(NetworkConnectorTest, ThroughTheComPortOptionTheLineIsSetAndItsBytesStayAsTheyAre) {
    TcpPeer peer(cat({ser2net_greeting(), answers(k_baud)}));
    ASSERT_TRUE(peer.ok());
    open(peer.url("rfc2217"));
    // The client's requests, the refusal of ECHO and the settings came before the port counted as
    // open: a server that had not answered them would have failed the open.
    const std::string negotiation = text_of(
        cat({command(telnet::k_will, telnet::k_binary), command(telnet::k_will, telnet::k_suppress_go_ahead),
             command(telnet::k_will, telnet::k_com_port), command(telnet::k_do, telnet::k_binary),
             command(telnet::k_do, telnet::k_suppress_go_ahead), command(telnet::k_dont, telnet::k_echo),
             settings(k_baud)}));
    ASSERT_TRUE(peer.wait_received([&](const std::string& got) { return got.size() >= negotiation.size(); }));
    EXPECT_EQ(peer.received(), negotiation);
    EXPECT_EQ(request(k_connector_baud), static_cast<std::uint32_t>(k_baud));

    const std::string from_box = every_byte(5000);
    ASSERT_TRUE(peer.send(doubled(from_box)));
    ASSERT_TRUE(agent.wait_until(
        [&](const Deliveries& d) { return RecordingComponent::received(d).size() >= from_box.size(); }));
    EXPECT_EQ(RecordingComponent::received(agent.deliveries()), from_box);

    // Counts are of the caller's bytes, not of the wire's: all 0xFF goes out twice as long.
    const std::string all_iac(100000, '\xFF');
    const std::string block = every_byte(1564);
    const std::string sent = send_all({all_iac, block});
    const std::string wire = negotiation + doubled(sent);
    ASSERT_TRUE(peer.wait_received([&](const std::string& got) { return got.size() >= wire.size(); }));
    EXPECT_EQ(peer.received(), wire);
    ASSERT_TRUE(wait_for_final_count(block.size()));
    expect_progress(agent.deliveries(), {all_iac.size(), block.size()});
}

TEST_F(NetworkConnectorTest, ADroppedConnectionIsBroadcastAs28AndReportedAfterTheLastBytes) {
    for (const char* scheme : {"tcp", "rfc2217"}) {
        SCOPED_TRACE(scheme);
        TcpPeer peer(cat({ser2net_greeting(), answers(k_baud)}));
        std::promise<QString> lost;
        const auto watch = QObject::connect(
            &connector, &ComConnector::port_lost, &connector,
            [&lost](const QString& reason) { lost.set_value(reason); }, Qt::DirectConnection);
        const std::size_t before = agent.deliveries().size();
        open(peer.url(scheme));
        // Through Telnet the greeting is no data; raw, it is the line's.
        const std::string greeting =
            std::string(scheme) == "tcp" ? text_of(cat({ser2net_greeting(), answers(k_baud)})) : "";
        ASSERT_TRUE(peer.send("last words"));
        ASSERT_TRUE(agent.wait_until([&](const Deliveries& d) {
            return RecordingComponent::received(Deliveries(d.begin() + static_cast<std::ptrdiff_t>(before),
                                                           d.end())) == greeting + "last words";
        }));
        peer.hang_up();

        auto reason = lost.get_future();
        ASSERT_EQ(reason.wait_for(k_wait), std::future_status::ready);
        EXPECT_EQ(reason.get().toStdString(),
                  "Network port " + peer.url(scheme) + " closed: the server closed the connection");
        QObject::disconnect(watch);
        EXPECT_EQ(request(k_connector_is_open), 0u);
        const Deliveries deliveries = agent.deliveries();
        EXPECT_EQ(std::count_if(deliveries.begin() + static_cast<std::ptrdiff_t>(before), deliveries.end(),
                                [](const auto& d) { return d.code == k_connector_closed; }),
                  1);
        EXPECT_EQ(deliveries.back().code, k_connector_closed) << "the last bytes came before the end";
        const std::string dropped = "x";
        EXPECT_EQ(request(k_connector_send, 1, dropped.data()), 0u);
    }
}

TEST_F(NetworkConnectorTest, AnOpenThatFailsSaysWhatHappened) {
    using telnet::k_com_port;
    using telnet::k_do;
    using telnet::k_dont;
    struct Case {
        const char* name;
        std::string url;  // empty: the peer's, with `scheme`
        const char* scheme;
        std::vector<std::uint8_t> greeting;
        std::string message;  // after "Cannot open network port <url>: "
        bool hangs_up = false;
    };
    const std::string busy = "Port's device already in use\r\n";
    const std::uint16_t nobody = test::closed_port();
    test::SilentPort silent;
    ASSERT_TRUE(silent.ok());
    const std::vector<Case> cases = {
        {"refused",
         "tcp://127.0.0.1:" + std::to_string(nobody),
         "",
         {},
         "the connection was refused (nothing listens on port " + std::to_string(nobody) + " of 127.0.0.1)"},
        {"no answer",
         "rfc2217://127.0.0.1:" + std::to_string(silent.port()),
         "",
         {},
         "no answer from 127.0.0.1 port " + std::to_string(silent.port()) + " within 0.5 s"},
        {"a server that says nothing",
         "",
         "rfc2217",
         {},
         "no answer to the COM-PORT option within 0.5 s (is it a Telnet port with the COM-PORT option? For a "
         "raw port write tcp://)"},
        {"a server that stops at the settings", "", "rfc2217", command(k_do, k_com_port),
         "no answer to the baud rate within 0.5 s (is it a Telnet port with the COM-PORT option? For a raw "
         "port write tcp://)"},
        {"a refused speed", "", "rfc2217", cat({command(k_do, k_com_port), answers(9600)}),
         "the server refused 2000000 baud (it answered 9600)"},
        {"no COM-PORT option", "", "rfc2217", command(k_dont, k_com_port),
         "the server does not offer the COM-PORT option (RFC 2217); for a raw port write tcp://"},
        {"a busy server", "", "rfc2217", cat({ser2net_greeting(), {busy.begin(), busy.end()}}),
         "the server closed the connection (it said \"Port's device already in use\")", true},
        {"no port number",
         "tcp://127.0.0.1",
         "",
         {},
         "no port number after the host; write tcp://HOST:PORT (raw) or rfc2217://HOST:PORT (Telnet COM-PORT "
         "option)"},
        {"an unknown kind", "udp://127.0.0.1:9", "", {}, "unknown kind of network port \"udp://\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TcpPeer peer(c.greeting, c.hangs_up);
        const std::string url = c.url.empty() ? peer.url(c.scheme) : c.url;
        QString error;
        EXPECT_FALSE(connector.open(QString::fromStdString(url), k_baud, error));
        EXPECT_EQ(error.toStdString().substr(0, error.toStdString().find(": ") + 2),
                  "Cannot open network port " + url + ": ");
        EXPECT_NE(error.toStdString().find(c.message), std::string::npos) << error.toStdString();
        EXPECT_FALSE(connector.is_open());
        EXPECT_EQ(request(k_connector_is_open), 0u);
    }
    QString error;
    EXPECT_FALSE(connector.open(QStringLiteral("tcp://127.0.0.1:9"), 0, error));
    EXPECT_EQ(error.toStdString(), "Cannot open network port tcp://127.0.0.1:9: 0 is not a baud rate");
}

TEST_F(NetworkConnectorTest, AHostThatIsNotFoundIsNamed) {
    // A name under .invalid never resolves; the lookup's limit is long enough for a slow resolver to say so.
    QString error;
    EXPECT_FALSE(connector.open(QStringLiteral("tcp://no-such-host.invalid:4000"), k_baud, error));
    EXPECT_EQ(
        error.toStdString(),
        "Cannot open network port tcp://no-such-host.invalid:4000: host no-such-host.invalid not found");
}

TEST_F(NetworkConnectorTest, AnOpenUnderWayEndsWhenCancelled) {
    test::SilentPort silent;
    ASSERT_TRUE(silent.ok());
    const QString url = QStringLiteral("tcp://127.0.0.1:%1").arg(silent.port());
    // Long limits: only the cancel ends these opens.
    connector.set_network_limits(NetworkLine::Limits{});
    const QString cancelled = QStringLiteral("Cannot open network port %1: %2")
                                  .arg(url, QString::fromLatin1(NetworkLine::k_cancelled));

    // A waiting open, as a production line's station makes it, ended from another thread.
    auto waiting = std::async(std::launch::async, [&] {
        QString error;
        const bool opened = connector.open(url, k_baud, error);
        return std::make_pair(opened, error);
    });
    // Cancelled again until it has ended: the first cancel may come before the open began.
    while (waiting.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        connector.cancel_open();
    }
    const auto [opened, error] = waiting.get();
    EXPECT_FALSE(opened);
    EXPECT_EQ(error, cancelled);

    // An open the window started, ended by its close.
    std::promise<std::pair<bool, QString>> finished;
    const auto watch = QObject::connect(
        &connector, &ComConnector::open_finished, &connector,
        [&finished](bool done, const QString& reason) {
            finished.set_value({done, reason});
        },
        Qt::DirectConnection);
    connector.open_async(url, k_baud);
    auto outcome = finished.get_future();
    while (outcome.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        connector.close();
    }
    QObject::disconnect(watch);
    EXPECT_EQ(outcome.get(), std::make_pair(false, cancelled));
    EXPECT_FALSE(connector.is_open());
}

}  // namespace
}  // namespace velmora
