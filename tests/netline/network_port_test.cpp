// Network port names: which names are meant for the network, what each gives, and what is wrong with
// the ones refused.
#include <gtest/gtest.h>

#include "netline/network_port.h"

namespace velmora::netline {
namespace {

TEST(NetworkPortTest, OnlyASchemeAndColonSlashSlashMakeANetworkName) {
    struct Case {
        const char* name;
        bool network;
    };
    const Case cases[] = {
        {"tcp://host:1", true},
        {"RFC2217://host:1", true},
        {"udp://host:1", true},
        {"tcp://", true},
        {"/dev/ttyUSB0", false},
        {"ttyUSB0", false},
        {"/dev/serial/by-id/usb-FTDI_x", false},
        {"tcp:/host:1", false},
        {"://host:1", false},
        {"1tcp://host:1", false},
        {"./tcp://host:1", false},
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(is_network_port_name(c.name), c.network) << c.name;
    }
}

TEST(NetworkPortTest, ParsesEachFormIntoOneSpelling) {
    struct Case {
        const char* name;
        NetworkProtocol protocol;
        const char* host;
        std::uint16_t port;
        const char* canonical;
    };
    const Case cases[] = {
        {"tcp://127.0.0.1:4000", NetworkProtocol::raw, "127.0.0.1", 4000, "tcp://127.0.0.1:4000"},
        {"socket://bench-7:2001", NetworkProtocol::raw, "bench-7", 2001, "tcp://bench-7:2001"},
        {"RFC2217://Bench-PC.Local:65535/", NetworkProtocol::rfc2217, "bench-pc.local", 65535,
         "rfc2217://bench-pc.local:65535"},
        {"rfc2217://[::1]:4001", NetworkProtocol::rfc2217, "::1", 4001, "rfc2217://[::1]:4001"},
        {"Tcp://[FE80::1]:1", NetworkProtocol::raw, "fe80::1", 1, "tcp://[fe80::1]:1"},
    };
    for (const Case& c : cases) {
        std::string error;
        const std::optional<NetworkPort> port = parse_network_port(c.name, error);
        ASSERT_TRUE(port.has_value()) << c.name << ": " << error;
        EXPECT_EQ(port->protocol, c.protocol) << c.name;
        EXPECT_EQ(port->host, c.host) << c.name;
        EXPECT_EQ(port->port, c.port) << c.name;
        EXPECT_EQ(port->name(), c.canonical) << c.name;
        // The one spelling reads back as the same line.
        const std::optional<NetworkPort> again = parse_network_port(port->name(), error);
        ASSERT_TRUE(again.has_value()) << port->name();
        EXPECT_EQ(again->name(), port->name());
    }
}

TEST(NetworkPortTest, RefusedNamesSayWhatIsWrong) {
    struct Case {
        const char* name;
        const char* error_part;
    };
    const Case cases[] = {
        {"udp://host:1", "unknown kind of network port \"udp://\""},
        {"tcp://host", "no port number after the host"},
        {"tcp://:4000", "no host before the port number"},
        {"tcp://host:0", "\"0\" is not a port number (1 to 65535)"},
        {"tcp://host:65536", "\"65536\" is not a port number"},
        {"tcp://host:+1", "\"+1\" is not a port number"},
        {"tcp://host:12a", "\"12a\" is not a port number"},
        {"tcp://host:", "\"\" is not a port number"},
        {"tcp://host:1/x", "\"1/x\" is not a port number"},
        {"tcp://[::1", "no closing \"]\""},
        {"tcp://[::1]4000", "no port number after the host"},
        {"tcp://[]:1", "\"\" is not an IPv6 address"},
        {"tcp://[host]:1", "\"host\" is not an IPv6 address"},
        {"tcp://bad host:1", "\"bad host\" is not a host name or address"},
        {"/dev/ttyUSB0", "not a network port"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(parse_network_port(c.name, error).has_value()) << c.name;
        EXPECT_NE(error.find(c.error_part), std::string::npos) << c.name << ": " << error;
    }
}

}  // namespace
}  // namespace velmora::netline
