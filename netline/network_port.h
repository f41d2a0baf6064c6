// Names of serial lines reached over the network, as a serial device server or ser2net exposes them:
//
//   tcp://HOST:PORT       a raw byte stream (socket://HOST:PORT is the same)
//   rfc2217://HOST:PORT   Telnet with the COM-PORT option, which sets the remote line's speed
//
// HOST is a name, an IPv4 address or an IPv6 address in brackets ("[::1]"); PORT is 1..65535.
//
// Callers may rely on: is_network_port_name() tells a network name from a device name by its form
// alone ("scheme://" at the start), so a name it accepts is never looked for under /dev; a name it
// accepts that parse_network_port() refuses is a mistake to report, never a device to try. name()
// gives one spelling per line (scheme and host in lower case), so two spellings of one line compare
// equal. Qt-free.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::netline {

enum class NetworkProtocol { raw, rfc2217 };

struct NetworkPort {
    NetworkProtocol protocol = NetworkProtocol::raw;
    std::string host;  // an IPv6 address without its brackets
    std::uint16_t port = 0;

    std::string name() const;
};

bool is_network_port_name(std::string_view name);

// The port, or nullopt with `error` saying what is wrong with the name (without the name itself).
std::optional<NetworkPort> parse_network_port(std::string_view name, std::string& error);

}  // namespace velmora::netline
