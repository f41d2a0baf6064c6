// Bytes from an RFC 2217 server in any state: the client's negotiation, its replies and the line's
// data, fed in pieces of any size, with the caller's bytes encoded between them. The client must
// never give out more data than it was given, every reply must be whole Telnet commands, a failure
// must have its reason, and what encode() puts on the wire must be the caller's bytes with IAC
// doubled (and, without BINARY, each CR followed by NUL).
//
// Input: bytes 0-3 the baud rate, most significant first; then each operation is one byte, its low
// bit the kind (0 receive, 1 encode) and the rest a count of the bytes that follow for it.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "netline/rfc2217_client.h"
#include "netline/telnet_codes.h"

using namespace velmora::netline;
using namespace velmora::netline::telnet;
using Bytes = Rfc2217Client::Bytes;

namespace {

constexpr std::size_t k_header = 4;

// Whether `reply` is a run of IAC WILL/WONT/DO/DONT x and IAC SB ... IAC SE with IAC doubled inside.
bool whole_commands(const Bytes& reply) {
    std::size_t at = 0;
    while (at < reply.size()) {
        if (reply[at] != k_iac || at + 2 >= reply.size()) {
            return false;
        }
        const std::uint8_t verb = reply[at + 1];
        if (verb == k_will || verb == k_wont || verb == k_do || verb == k_dont) {
            at += 3;
            continue;
        }
        if (verb != k_sb) {
            return false;
        }
        at += 2;
        while (true) {
            if (at >= reply.size()) {
                return false;
            }
            if (reply[at] == k_iac) {
                if (at + 1 >= reply.size()) {
                    return false;
                }
                if (reply[at + 1] == k_se) {
                    at += 2;
                    break;
                }
                if (reply[at + 1] != k_iac) {
                    return false;
                }
                at += 2;
                continue;
            }
            ++at;
        }
    }
    return true;
}

// The wire with each doubled IAC made one; false when an IAC stands alone.
bool undouble(const Bytes& wire, Bytes& out) {
    for (std::size_t at = 0; at < wire.size(); ++at) {
        out.push_back(wire[at]);
        if (wire[at] == k_iac) {
            if (at + 1 >= wire.size() || wire[at + 1] != k_iac) {
                return false;
            }
            ++at;
        }
    }
    return true;
}

Bytes with_cr_nul(std::span<const std::uint8_t> data) {
    Bytes out;
    for (const std::uint8_t byte : data) {
        out.push_back(byte);
        if (byte == k_cr) {
            out.push_back(k_nul);
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < k_header) {
        return 0;
    }
    const std::uint32_t baud = (std::uint32_t{data[0]} << 24) | (std::uint32_t{data[1]} << 16) |
                               (std::uint32_t{data[2]} << 8) | data[3];
    Rfc2217Client client(baud);
    if (!whole_commands(client.start())) {
        std::abort();
    }
    std::size_t at = k_header;
    while (at < size) {
        const std::uint8_t op = data[at++];
        const std::size_t n = std::min<std::size_t>(op >> 1, size - at);
        const std::span<const std::uint8_t> piece(data + at, n);
        at += n;
        if ((op & 1) == 0) {
            Bytes line;
            Bytes reply;
            client.receive(piece, line, reply);
            if (line.size() > n || !whole_commands(reply)) {
                std::abort();
            }
        } else {
            Bytes wire;
            client.encode(piece, wire);
            Bytes back;
            if (!undouble(wire, back) ||
                (back != Bytes(piece.begin(), piece.end()) && back != with_cr_nul(piece))) {
                std::abort();
            }
        }
        const bool failed = client.state() == Rfc2217Client::State::failed;
        if (failed == client.failure().empty()) {
            std::abort();
        }
    }
    return 0;
}
