// The byte values of Telnet (RFC 854, 855, 856, 858) and of its COM-PORT option (RFC 2217), in one
// place for the client, its tests and its fuzz target. Qt-free and header-only.
#pragma once

#include <cstdint>

namespace velmora::netline::telnet {

// Commands: each follows k_iac.
inline constexpr std::uint8_t k_iac = 255;
inline constexpr std::uint8_t k_dont = 254;
inline constexpr std::uint8_t k_do = 253;
inline constexpr std::uint8_t k_wont = 252;
inline constexpr std::uint8_t k_will = 251;
inline constexpr std::uint8_t k_sb = 250;  // sub-negotiation begins: IAC SB option ... IAC SE
inline constexpr std::uint8_t k_se = 240;

// Options.
inline constexpr std::uint8_t k_binary = 0;
inline constexpr std::uint8_t k_echo = 1;
inline constexpr std::uint8_t k_suppress_go_ahead = 3;
inline constexpr std::uint8_t k_com_port = 44;

// In the default network virtual terminal a carriage return is sent as CR NUL (a CR LF stays).
inline constexpr std::uint8_t k_cr = 13;
inline constexpr std::uint8_t k_nul = 0;

// COM-PORT commands from the client; the server answers and notifies with the number + 100.
inline constexpr std::uint8_t k_set_baud_rate = 1;
inline constexpr std::uint8_t k_set_data_size = 2;
inline constexpr std::uint8_t k_set_parity = 3;
inline constexpr std::uint8_t k_set_stop_size = 4;
inline constexpr std::uint8_t k_set_control = 5;
inline constexpr std::uint8_t k_server_offset = 100;
inline constexpr std::uint8_t k_flow_suspend = 8 + k_server_offset;
inline constexpr std::uint8_t k_flow_resume = 9 + k_server_offset;

// The values that make 8N1 without flow control.
inline constexpr std::uint8_t k_data_bits_8 = 8;
inline constexpr std::uint8_t k_parity_none = 1;
inline constexpr std::uint8_t k_stop_bits_1 = 1;
inline constexpr std::uint8_t k_no_flow_control = 1;

// SET-BAUDRATE carries four bytes, most significant first.
inline constexpr int k_baud_rate_bytes = 4;

}  // namespace velmora::netline::telnet
