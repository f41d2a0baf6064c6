#include "netline/rfc2217_client.h"

#include <algorithm>
#include <utility>

#include "netline/telnet_codes.h"

namespace velmora::netline {

using namespace telnet;

namespace {

struct SettingInfo {
    std::uint8_t command;
    const char* what;  // what the line was asked for, as a phrase
};

// In the order the client sends them.
constexpr std::array<SettingInfo, 5> k_settings{{
    {k_set_baud_rate, "the baud rate"},
    {k_set_data_size, "8 data bits"},
    {k_set_parity, "no parity"},
    {k_set_stop_size, "one stop bit"},
    {k_set_control, "no flow control"},
}};

bool client_performs(std::uint8_t option) {
    return option == k_binary || option == k_suppress_go_ahead || option == k_com_port;
}

bool server_may_perform(std::uint8_t option) {
    return option == k_binary || option == k_suppress_go_ahead;
}

void put_command(Rfc2217Client::Bytes& out, std::uint8_t verb, std::uint8_t option) {
    out.insert(out.end(), {k_iac, verb, option});
}

// A byte of data or of a sub-negotiation's value, with IAC doubled.
void put_escaped(Rfc2217Client::Bytes& out, std::uint8_t byte) {
    out.push_back(byte);
    if (byte == k_iac) {
        out.push_back(k_iac);
    }
}

}  // namespace

Rfc2217Client::Rfc2217Client(std::uint32_t baud) : baud_(baud) {
    static_assert(k_settings.size() == k_setting_count);
    sub_.reserve(k_max_subnegotiation);
}

Rfc2217Client::Bytes Rfc2217Client::start() {
    Bytes out;
    for (const std::uint8_t option : {k_binary, k_suppress_go_ahead, k_com_port}) {
        us_[option] = Q::want_yes;
        put_command(out, k_will, option);
    }
    for (const std::uint8_t option : {k_binary, k_suppress_go_ahead}) {
        him_[option] = Q::want_yes;
        put_command(out, k_do, option);
    }
    return out;
}

void Rfc2217Client::receive(std::span<const std::uint8_t> wire, Bytes& data, Bytes& reply) {
    for (const std::uint8_t byte : wire) {
        if (state_ == State::failed) {
            return;
        }
        take(byte, data, reply);
    }
}

void Rfc2217Client::take(std::uint8_t byte, Bytes& data, Bytes& reply) {
    switch (rx_) {
        case Rx::data:
            if (byte == k_iac) {
                rx_ = Rx::command;
            } else {
                take_data(byte, data);
            }
            return;
        case Rx::command:
            rx_ = Rx::data;
            if (byte == k_iac) {
                take_data(byte, data);
            } else {
                take_command(byte);
            }
            return;
        case Rx::option:
            rx_ = Rx::data;
            take_option(verb_, byte, reply);
            return;
        case Rx::sub_option:
            sub_option_ = byte;
            sub_.clear();
            sub_overflow_ = false;
            rx_ = Rx::sub_data;
            return;
        case Rx::sub_data:
            if (byte == k_iac) {
                rx_ = Rx::sub_command;
            } else {
                keep_sub(byte);
            }
            return;
        case Rx::sub_command:
            if (byte == k_iac) {
                rx_ = Rx::sub_data;
                keep_sub(byte);
            } else if (byte == k_se) {
                rx_ = Rx::data;
                take_subnegotiation();
            } else {
                // IAC and a command inside a sub-negotiation: the server ended it without IAC SE.
                // The piece is dropped and the command taken as it stands.
                rx_ = Rx::data;
                take_command(byte);
            }
            return;
    }
}

void Rfc2217Client::keep_sub(std::uint8_t byte) {
    if (sub_.size() < k_max_subnegotiation) {
        sub_.push_back(byte);
    } else {
        sub_overflow_ = true;
    }
}

void Rfc2217Client::take_command(std::uint8_t byte) {
    if (byte == k_will || byte == k_wont || byte == k_do || byte == k_dont) {
        verb_ = byte;
        rx_ = Rx::option;
    } else if (byte == k_sb) {
        rx_ = Rx::sub_option;
    }
    // Anything else (NOP, data mark, go-ahead, a stray SE, ...) carries nothing for the line.
}

void Rfc2217Client::take_data(std::uint8_t byte, Bytes& data) {
    // A server that does not send in BINARY sends each lone carriage return as CR NUL.
    if (him_[k_binary] != Q::yes) {
        if (pending_cr_) {
            pending_cr_ = false;
            if (byte == k_nul) {
                return;
            }
        }
        pending_cr_ = byte == k_cr;
    } else {
        pending_cr_ = false;
    }
    data.push_back(byte);
}

void Rfc2217Client::take_option(std::uint8_t verb, std::uint8_t option, Bytes& reply) {
    const bool enable = verb == k_will || verb == k_do;
    const bool ours = verb == k_do || verb == k_dont;  // DO/DONT are about what the client performs
    Q& q = ours ? us_[option] : him_[option];
    const bool wanted = ours ? client_performs(option) : server_may_perform(option);
    const std::uint8_t agree = ours ? k_will : k_do;
    const std::uint8_t refuse = ours ? k_wont : k_dont;

    if (enable) {
        switch (q) {
            case Q::no:
                if (wanted) {
                    q = Q::yes;
                    put_command(reply, agree, option);
                } else {
                    put_command(reply, refuse, option);
                }
                break;
            case Q::yes:
                break;
            case Q::want_no:
            case Q::want_yes:
                q = Q::yes;
                break;
        }
    } else {
        switch (q) {
            case Q::no:
                break;
            case Q::yes:
                q = Q::no;
                put_command(reply, refuse, option);
                break;
            case Q::want_no:
            case Q::want_yes:
                q = Q::no;
                break;
        }
    }

    if (ours && option == k_com_port) {
        if (us_[k_com_port] == Q::yes) {
            send_settings(reply);
        } else if (state_ == State::negotiating) {
            fail("the server does not offer the COM-PORT option (RFC 2217); for a raw port write tcp://");
            return;
        }
    }
    check_ready();
}

void Rfc2217Client::send_settings(Bytes& reply) {
    if (settings_sent_) {
        return;
    }
    settings_sent_ = true;
    const std::array<std::uint8_t, k_setting_count> one_byte_values{0, k_data_bits_8, k_parity_none,
                                                                    k_stop_bits_1, k_no_flow_control};
    for (std::size_t setting = 0; setting < k_settings.size(); ++setting) {
        reply.insert(reply.end(), {k_iac, k_sb, k_com_port, k_settings[setting].command});
        if (setting == k_baud_setting) {
            for (int shift = 8 * (k_baud_rate_bytes - 1); shift >= 0; shift -= 8) {
                put_escaped(reply, static_cast<std::uint8_t>(baud_ >> shift));
            }
        } else {
            put_escaped(reply, one_byte_values[setting]);
        }
        reply.insert(reply.end(), {k_iac, k_se});
    }
}

void Rfc2217Client::take_subnegotiation() {
    if (sub_option_ != k_com_port || sub_.empty() || sub_overflow_) {
        return;
    }
    const std::uint8_t command = sub_[0];
    const std::span<const std::uint8_t> value(sub_.data() + 1, sub_.size() - 1);
    if (command == k_flow_suspend) {
        suspended_ = true;
        return;
    }
    if (command == k_flow_resume) {
        suspended_ = false;
        return;
    }
    for (std::size_t setting = 0; setting < k_settings.size(); ++setting) {
        if (command != k_settings[setting].command + k_server_offset) {
            continue;
        }
        const std::size_t size = setting == k_baud_setting ? k_baud_rate_bytes : 1;
        if (value.size() < size) {
            return;  // too short to say anything: still awaited
        }
        std::uint32_t number = 0;
        for (std::size_t i = 0; i < size; ++i) {
            number = (number << 8) | value[i];
        }
        take_setting(setting, number);
        return;
    }
}

void Rfc2217Client::take_setting(std::size_t setting, std::uint32_t value) {
    // Later notices (another client changed the line, say) are the server's business.
    if (state_ != State::negotiating || !settings_sent_) {
        return;
    }
    answered_[setting] = true;
    const std::array<std::uint32_t, k_setting_count> asked{baud_, k_data_bits_8, k_parity_none, k_stop_bits_1,
                                                           k_no_flow_control};
    if (value != asked[setting]) {
        if (setting == k_baud_setting) {
            fail("the server refused " + std::to_string(baud_) + " baud (it answered " +
                 std::to_string(value) + ")");
        } else {
            fail("the server refused " + std::string(k_settings[setting].what) + " (it answered " +
                 std::to_string(value) + ")");
        }
        return;
    }
    check_ready();
}

void Rfc2217Client::check_ready() {
    if (state_ != State::negotiating || us_[k_com_port] != Q::yes) {
        return;
    }
    const bool settled =
        us_[k_binary] != Q::want_yes && him_[k_binary] != Q::want_yes &&
        std::all_of(answered_.begin(), answered_.end(), [](bool answered) { return answered; });
    if (settled) {
        state_ = State::ready;
    }
}

void Rfc2217Client::fail(std::string reason) {
    state_ = State::failed;
    failure_ = std::move(reason);
}

std::string Rfc2217Client::awaited() const {
    if (us_[k_com_port] != Q::yes) {
        return "the COM-PORT option";
    }
    for (std::size_t setting = 0; setting < k_settings.size(); ++setting) {
        if (!answered_[setting]) {
            return k_settings[setting].what;
        }
    }
    return "the BINARY option";
}

void Rfc2217Client::encode(std::span<const std::uint8_t> data, Bytes& wire) const {
    const bool nvt = us_[k_binary] != Q::yes;
    wire.reserve(wire.size() + data.size() + data.size() / 64);
    for (const std::uint8_t byte : data) {
        put_escaped(wire, byte);
        if (nvt && byte == k_cr) {
            wire.push_back(k_nul);
        }
    }
}

}  // namespace velmora::netline
