#include "netline/network_port.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

namespace velmora::netline {

namespace {

constexpr std::string_view k_scheme_end = "://";
constexpr std::string_view k_forms =
    "write tcp://HOST:PORT (raw) or rfc2217://HOST:PORT (Telnet COM-PORT option)";

struct Scheme {
    std::string_view name;
    NetworkProtocol protocol;
};

// The first is the spelling name() gives for each protocol.
constexpr std::array k_schemes{Scheme{"tcp", NetworkProtocol::raw},
                               Scheme{"rfc2217", NetworkProtocol::rfc2217},
                               Scheme{"socket", NetworkProtocol::raw}};

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool is_scheme_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '-' || c == '.';
}

bool is_host_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.' || c == '_';
}

bool is_ipv6_char(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.';
}

}  // namespace

std::string NetworkPort::name() const {
    std::string scheme;
    for (const Scheme& known : k_schemes) {
        if (known.protocol == protocol) {
            scheme = known.name;
            break;
        }
    }
    const std::string shown_host = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return scheme + std::string(k_scheme_end) + shown_host + ":" + std::to_string(port);
}

bool is_network_port_name(std::string_view name) {
    const std::size_t end = name.find(k_scheme_end);
    if (end == std::string_view::npos || end == 0 || std::isalpha(static_cast<unsigned char>(name[0])) == 0) {
        return false;
    }
    return std::all_of(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(end), is_scheme_char);
}

std::optional<NetworkPort> parse_network_port(std::string_view name, std::string& error) {
    if (!is_network_port_name(name)) {
        error = "not a network port; " + std::string(k_forms);
        return std::nullopt;
    }
    const std::size_t scheme_end = name.find(k_scheme_end);
    const std::string scheme = lower(name.substr(0, scheme_end));
    NetworkPort port;
    const auto known = std::find_if(k_schemes.begin(), k_schemes.end(),
                                    [&](const Scheme& candidate) { return candidate.name == scheme; });
    if (known == k_schemes.end()) {
        error = "unknown kind of network port \"" + scheme + "://\"; " + std::string(k_forms);
        return std::nullopt;
    }
    port.protocol = known->protocol;

    std::string_view rest = name.substr(scheme_end + k_scheme_end.size());
    if (!rest.empty() && rest.back() == '/') {
        rest.remove_suffix(1);
    }
    std::string_view host;
    std::string_view port_text;
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            error = "the IPv6 address has no closing \"]\"; " + std::string(k_forms);
            return std::nullopt;
        }
        host = rest.substr(1, close - 1);
        if (host.empty() || !std::all_of(host.begin(), host.end(), is_ipv6_char)) {
            error = "\"" + std::string(host) + "\" is not an IPv6 address";
            return std::nullopt;
        }
        rest.remove_prefix(close + 1);
        if (!rest.starts_with(':')) {
            error = "no port number after the host; " + std::string(k_forms);
            return std::nullopt;
        }
        port_text = rest.substr(1);
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos) {
            error = "no port number after the host; " + std::string(k_forms);
            return std::nullopt;
        }
        host = rest.substr(0, colon);
        port_text = rest.substr(colon + 1);
        if (host.empty()) {
            error = "no host before the port number; " + std::string(k_forms);
            return std::nullopt;
        }
        if (!std::all_of(host.begin(), host.end(), is_host_char)) {
            error = "\"" + std::string(host) + "\" is not a host name or address";
            return std::nullopt;
        }
    }
    unsigned number = 0;
    const auto [end, failure] =
        std::from_chars(port_text.data(), port_text.data() + port_text.size(), number);
    if (port_text.empty() || failure != std::errc() || end != port_text.data() + port_text.size() ||
        number == 0 || number > 65535) {
        error = "\"" + std::string(port_text) + "\" is not a port number (1 to 65535)";
        return std::nullopt;
    }
    port.host = lower(host);
    port.port = static_cast<std::uint16_t>(number);
    return port;
}

}  // namespace velmora::netline
