// The host's components that a plug-in looks up by name, and the message codes each of them
// understands. The host registers its components under these names and acts on these codes; the
// plug-in sends and expects the same, so both sides take them from here.
//
// Callers may rely on: the names and numbers are fixed between host and plug-in; codes 26 of the two
// components are different messages that happen to share a number. Qt-free and header-only.
#pragma once

#include <cstdint>

namespace velmora {

// The serial link to the box.
inline constexpr char k_com_connector[] = "com connector";
// Request: a yes/no query (nonzero is yes); the host answers whether the port is open.
inline constexpr std::uint32_t k_connector_is_open = 13;
// Request: param1 1 when the client download begins, 0 when the link goes idle.
inline constexpr std::uint32_t k_connector_upgrade_mode = 14;
// Request: param1 bytes at param2 go out on the serial line, in order and unaltered.
inline constexpr std::uint32_t k_connector_send = 15;
// Broadcast: param2 points at the running count of the current send's bytes written.
inline constexpr std::uint32_t k_connector_sent = 18;
// Broadcast: param1 bytes at param2 received from the serial line, in arrival order.
inline constexpr std::uint32_t k_connector_received = 26;
// Request: the open port's baud rate, 0 when closed. A sender uses it to know how long its bytes
// need on the line.
inline constexpr std::uint32_t k_connector_baud = 16;
// Broadcast: the port has closed (by the user, or lost with an error); what was pending is dropped
// and no completion report will come for it.
inline constexpr std::uint32_t k_connector_closed = 28;
// Broadcast: a port has opened; sends can go out again.
inline constexpr std::uint32_t k_connector_opened = 29;

// What the host was started with that a plug-in acts on. Every request answers 1 when the host was
// given the option, 0 otherwise; a path (velmora-host makes it absolute) is written to the
// requester's std::string that param2 points at.
inline constexpr char k_host_options[] = "host options";
// Request: the image to open (velmora-host --open IMAGE); the plug-in shows it ready to parse.
inline constexpr std::uint32_t k_option_open_image = 1;
// Request: velmora-host --connect; the plug-in parses the image it was handed and goes online at
// once, as "Parse" and then "Connect with Panel" would, so a bench is ready for the box's reset.
inline constexpr std::uint32_t k_option_connect = 2;
// Request: the client program the plug-in sends the box (velmora-host --client FILE), in place of
// "velmora.bin" beside the host.
inline constexpr std::uint32_t k_option_client_file = 3;

// The host's output window.
inline constexpr char k_output[] = "output";
// Delivery: param1 bytes of text at param2, without terminator.
inline constexpr std::uint32_t k_output_text = 26;
// Delivery: the link switched between offline and online.
inline constexpr std::uint32_t k_output_link_switch = 27;

}  // namespace velmora
