// The client's side of Telnet with the COM-PORT option against scripted servers: what it says first,
// how it answers a server that offers options of its own, the line settings and their refusals, 0xFF
// both ways, the default terminal's CR NUL when a server refuses BINARY, and the commands a server
// may send at any time.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <limits>

#include "netline/rfc2217_client.h"
#include "netline/telnet_codes.h"
#include "tests/netline/telnet_script.h"

namespace velmora::netline {
namespace {

using namespace telnet;
using namespace test;
using State = Rfc2217Client::State;

constexpr std::uint32_t k_baud = 115200;

struct Heard {
    Bytes data;
    Bytes reply;
};

// Feeds `wire` in pieces of `piece` bytes.
Heard feed(Rfc2217Client& client, const Bytes& wire,
           std::size_t piece = std::numeric_limits<std::size_t>::max()) {
    Heard heard;
    for (std::size_t at = 0; at < wire.size(); at += piece) {
        const std::size_t n = std::min(piece, wire.size() - at);
        client.receive(std::span(wire.data() + at, n), heard.data, heard.reply);
    }
    return heard;
}

// A client through ser2net's greeting and answers: ready, in BINARY both ways.
Rfc2217Client ready_client(std::uint32_t baud = k_baud) {
    Rfc2217Client client(baud);
    client.start();
    feed(client, cat({ser2net_greeting(), answers(baud)}));
    EXPECT_EQ(client.state(), State::ready) << client.failure();
    return client;
}

TEST(Rfc2217ClientTest, AsksForTheComPortOptionAndBinaryBothWaysFirst) {
    Rfc2217Client client(k_baud);
    EXPECT_EQ(client.start(), cat({command(k_will, k_binary), command(k_will, k_suppress_go_ahead),
                                   command(k_will, k_com_port), command(k_do, k_binary),
                                   command(k_do, k_suppress_go_ahead)}));
    EXPECT_EQ(client.state(), State::negotiating);
    EXPECT_EQ(client.awaited(), "the COM-PORT option");
}

TEST(Rfc2217ClientTest, SetsTheLineOnceTheServerTakesTheOptionAndIsReadyWhenEverySettingIsAnswered) {
    for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{5}, std::size_t{1000}}) {
        SCOPED_TRACE("pieces of " + std::to_string(piece));
        Rfc2217Client client(k_baud);
        client.start();
        const Heard greeted = feed(client, ser2net_greeting(), piece);
        // Only the unwanted ECHO is refused; the offers that cross the client's own requests are not
        // answered again, and the line is set once.
        EXPECT_EQ(greeted.reply, cat({command(k_dont, k_echo), settings(k_baud)}));
        EXPECT_TRUE(greeted.data.empty());
        EXPECT_EQ(client.state(), State::negotiating);
        EXPECT_EQ(client.awaited(), "the baud rate");

        const Bytes all = answers(k_baud);
        const Bytes last = com_port({k_set_control + k_server_offset, 1});
        const Heard first_four =
            feed(client, Bytes(all.begin(), all.end() - static_cast<std::ptrdiff_t>(last.size())), piece);
        EXPECT_TRUE(first_four.reply.empty());
        EXPECT_EQ(client.state(), State::negotiating);
        EXPECT_EQ(client.awaited(), "no flow control");
        const Heard rest = feed(client, cat({last, {'o', 'k'}}), piece);
        EXPECT_EQ(client.state(), State::ready);
        EXPECT_TRUE(client.failure().empty());
        EXPECT_EQ(rest.data, (Bytes{'o', 'k'}));
    }
}

TEST(Rfc2217ClientTest, ARefusalFailsTheNegotiationWithItsReason) {
    struct Case {
        const char* name;
        Bytes server;
        const char* reason;
    };
    const Bytes accept = command(k_do, k_com_port);
    const Case cases[] = {
        {"no COM-PORT option", command(k_dont, k_com_port),
         "the server does not offer the COM-PORT option (RFC 2217); for a raw port write tcp://"},
        {"another speed", cat({accept, answers(9600)}), "the server refused 115200 baud (it answered 9600)"},
        {"seven data bits", cat({accept, com_port({k_set_data_size + k_server_offset, 7})}),
         "the server refused 8 data bits (it answered 7)"},
        {"even parity", cat({accept, com_port({k_set_parity + k_server_offset, 3})}),
         "the server refused no parity (it answered 3)"},
        {"two stop bits", cat({accept, com_port({k_set_stop_size + k_server_offset, 2})}),
         "the server refused one stop bit (it answered 2)"},
        {"hardware flow control", cat({accept, com_port({k_set_control + k_server_offset, 3})}),
         "the server refused no flow control (it answered 3)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rfc2217Client client(k_baud);
        client.start();
        feed(client, c.server);
        EXPECT_EQ(client.state(), State::failed);
        EXPECT_EQ(client.failure(), c.reason);
        // Nothing more is taken from a server that refused.
        const Heard after = feed(client, cat({answers(k_baud), {'x'}}));
        EXPECT_EQ(client.state(), State::failed);
        EXPECT_TRUE(after.data.empty());
        EXPECT_TRUE(after.reply.empty());
    }
}

TEST(Rfc2217ClientTest, DoublesIacBothWaysInTheDataAndInTheSettings) {
    constexpr std::uint32_t k_odd_baud = 0x0000FFFF;
    Rfc2217Client client(k_odd_baud);
    client.start();
    const Heard greeted = feed(client, ser2net_greeting());
    const Bytes asked = baud_setting(k_set_baud_rate, k_odd_baud);
    EXPECT_TRUE(std::search(greeted.reply.begin(), greeted.reply.end(), asked.begin(), asked.end()) !=
                greeted.reply.end());
    EXPECT_EQ(asked, (Bytes{k_iac, k_sb, k_com_port, k_set_baud_rate, 0, 0, k_iac, k_iac, k_iac, k_iac, k_iac,
                            k_se}));
    feed(client, answers(k_odd_baud));
    ASSERT_EQ(client.state(), State::ready) << client.failure();

    Bytes wire;
    client.encode(Bytes{0x01, 0xFF, 0xFF, k_cr, k_nul, 0xF0}, wire);
    EXPECT_EQ(wire, (Bytes{0x01, 0xFF, 0xFF, 0xFF, 0xFF, k_cr, k_nul, 0xF0}));

    const Bytes from_server{0x01, 0xFF, 0xFF, 0x02, 0xFF, 0xFF, 0xFF, 0xFF, k_cr, k_nul};
    for (std::size_t piece = 1; piece <= from_server.size(); ++piece) {
        EXPECT_EQ(feed(client, from_server, piece).data, (Bytes{0x01, 0xFF, 0x02, 0xFF, 0xFF, k_cr, k_nul}))
            << "pieces of " << piece;
    }
}

TEST(Rfc2217ClientTest, WithoutBinaryACarriageReturnTravelsAsCrNul) {
    Rfc2217Client client(k_baud);
    client.start();
    const Heard greeted = feed(client, cat({command(k_dont, k_binary), command(k_wont, k_binary),
                                            command(k_do, k_com_port), answers(k_baud)}));
    ASSERT_EQ(client.state(), State::ready) << client.failure();
    EXPECT_EQ(greeted.reply, settings(k_baud)) << "refusals of the client's own requests are not answered";

    Bytes wire;
    client.encode(Bytes{k_cr, '\n', k_cr, 'A', 0xFF}, wire);
    EXPECT_EQ(wire, (Bytes{k_cr, k_nul, '\n', k_cr, k_nul, 'A', 0xFF, 0xFF}));
    const Bytes from_server{'A', k_cr, k_nul, 'B', k_cr, '\n', k_cr, k_cr, k_nul, k_nul};
    for (std::size_t piece = 1; piece <= from_server.size(); ++piece) {
        EXPECT_EQ(feed(client, from_server, piece).data,
                  (Bytes{'A', k_cr, 'B', k_cr, '\n', k_cr, k_cr, k_nul}))
            << "pieces of " << piece;
    }
}

TEST(Rfc2217ClientTest, AnswersOnlyWhatChangesAnOptionSoTwoSidesNeverLoop) {
    struct Case {
        const char* name;
        Bytes server;
        Bytes reply;
    };
    const Case cases[] = {
        {"requests already agreed",
         cat({command(k_do, k_com_port), command(k_will, k_binary), command(k_do, k_binary)}),
         {}},
        {"an option the client does not want", cat({command(k_will, 24), command(k_do, 24)}),
         cat({command(k_dont, 24), command(k_wont, 24)})},
        {"the server stops sending in binary", command(k_wont, k_binary), command(k_dont, k_binary)},
        {"the server wants go-ahead back", command(k_dont, k_suppress_go_ahead),
         command(k_wont, k_suppress_go_ahead)},
        {"refusals of what is off already", cat({command(k_wont, k_echo), command(k_dont, k_echo)}), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rfc2217Client client = ready_client();
        const Heard heard = feed(client, c.server);
        EXPECT_EQ(heard.reply, c.reply);
        EXPECT_EQ(client.state(), State::ready);
    }
}

TEST(Rfc2217ClientTest, CommandsAmidTheDataCarryNothingForTheLine) {
    Rfc2217Client client = ready_client();
    Bytes long_notice{k_iac, k_sb, k_com_port, k_set_baud_rate + k_server_offset};
    long_notice.insert(long_notice.end(), 3 * Rfc2217Client::k_max_subnegotiation, 0x11);
    long_notice.insert(long_notice.end(), {k_iac, k_se});
    const Bytes wire = cat({{'A', k_iac, 241 /* NOP */, 'B'},
                            {k_iac, k_sb, 24, 1, 2, k_iac, k_iac, 3, k_iac, k_se},
                            {'C', k_iac, 249 /* go-ahead */, 'D', k_iac, 242 /* data mark */},
                            long_notice,
                            com_port({106 /* line state */, 0x60}),
                            baud_setting(k_set_baud_rate + k_server_offset, 9600),
                            {'E'}});
    for (std::size_t piece : {std::size_t{1}, std::size_t{3}, wire.size()}) {
        const Heard heard = feed(client, wire, piece);
        EXPECT_EQ(heard.data, (Bytes{'A', 'B', 'C', 'D', 'E'})) << "pieces of " << piece;
        EXPECT_TRUE(heard.reply.empty());
        EXPECT_EQ(client.state(), State::ready) << "a later notice of the speed is the server's business";
    }
}

TEST(Rfc2217ClientTest, ASubNegotiationCutShortByACommandGivesWayToTheCommand) {
    Rfc2217Client client(k_baud);
    client.start();
    const Heard heard = feed(client, cat({command(k_do, k_com_port),
                                          {k_iac, k_sb, k_com_port, k_set_baud_rate + k_server_offset, 0, 0},
                                          command(k_will, k_echo),
                                          {'z'}}));
    EXPECT_EQ(heard.reply, cat({settings(k_baud), command(k_dont, k_echo)}));
    EXPECT_EQ(heard.data, Bytes{'z'});
    EXPECT_EQ(client.state(), State::negotiating);
    EXPECT_EQ(client.awaited(), "the baud rate") << "the cut answer is no answer";
}

TEST(Rfc2217ClientTest, TheServerMayPauseAndResumeTheClient) {
    Rfc2217Client client = ready_client();
    EXPECT_FALSE(client.suspended());
    feed(client, com_port({k_flow_suspend}));
    EXPECT_TRUE(client.suspended());
    feed(client, com_port({k_flow_resume}));
    EXPECT_FALSE(client.suspended());
}

}  // namespace
}  // namespace velmora::netline
