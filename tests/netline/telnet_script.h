// What a Telnet server with the COM-PORT option says, as bytes, for the tests that play one: its
// commands, its sub-negotiations, ser2net's first words and its answers to the line settings.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "netline/telnet_codes.h"

namespace velmora::netline::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

inline Bytes command(std::uint8_t verb, std::uint8_t option) {
    return {telnet::k_iac, verb, option};
}

// A COM-PORT sub-negotiation; `body` is written as it goes on the wire (0xFF already doubled).
inline Bytes com_port(std::initializer_list<std::uint8_t> body) {
    Bytes out{telnet::k_iac, telnet::k_sb, telnet::k_com_port};
    out.insert(out.end(), body);
    out.insert(out.end(), {telnet::k_iac, telnet::k_se});
    return out;
}

// SET-BAUDRATE (or its answer, with `command_number` + 100) with IAC doubled in the value.
inline Bytes baud_setting(std::uint8_t command_number, std::uint32_t baud) {
    Bytes out{telnet::k_iac, telnet::k_sb, telnet::k_com_port, command_number};
    for (int shift = 8 * (telnet::k_baud_rate_bytes - 1); shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(baud >> shift));
        if (out.back() == telnet::k_iac) {
            out.push_back(telnet::k_iac);
        }
    }
    out.insert(out.end(), {telnet::k_iac, telnet::k_se});
    return out;
}

// What a server says when it took 8N1 without flow control at `baud`.
inline Bytes answers(std::uint32_t baud) {
    using namespace telnet;
    return cat({baud_setting(k_set_baud_rate + k_server_offset, baud),
                com_port({k_set_data_size + k_server_offset, k_data_bits_8}),
                com_port({k_set_parity + k_server_offset, k_parity_none}),
                com_port({k_set_stop_size + k_server_offset, k_stop_bits_1}),
                com_port({k_set_control + k_server_offset, k_no_flow_control})});
}

// What the client asks of the line at `baud`.
inline Bytes settings(std::uint32_t baud) {
    using namespace telnet;
    return cat({baud_setting(k_set_baud_rate, baud), com_port({k_set_data_size, k_data_bits_8}),
                com_port({k_set_parity, k_parity_none}), com_port({k_set_stop_size, k_stop_bits_1}),
                com_port({k_set_control, k_no_flow_control})});
}

// ser2net's first words: its own offers, the COM-PORT option's acceptance among them.
inline Bytes ser2net_greeting() {
    using namespace telnet;
    return cat({command(k_will, k_suppress_go_ahead), command(k_do, k_suppress_go_ahead),
                command(k_will, k_echo), command(k_dont, k_echo), command(k_do, k_binary),
                command(k_will, k_binary), command(k_do, k_com_port)});
}

}  // namespace velmora::netline::test
