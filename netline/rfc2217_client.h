// The client's side of a serial line reached through Telnet with the COM-PORT option (RFC 2217), as
// ser2net's "telnet(rfc2217)" accepter and serial device servers offer it. No sockets here: the
// caller hands over the bytes the server sent and sends what this layer gives back.
//
// How a connection goes:
// 1. The client speaks first (start()): IAC WILL COM-PORT-OPTION (44), and both ways BINARY (0) and
//    SUPPRESS-GO-AHEAD (3): IAC WILL x and IAC DO x. BINARY keeps the line's bytes as they are; in
//    the Telnet default (NVT) a carriage return travels as CR NUL, which this layer also handles
//    when a server refuses BINARY.
// 2. Each option on each side follows the "Q method" of RFC 1143: a request is answered only when
//    it changes the option's state, and an answer is never answered, so two sides that ask at once
//    do not loop. Options the client has no use for (ECHO, terminal type, ...) are refused with
//    DONT or WONT.
// 3. Once the server agrees to COM-PORT-OPTION (IAC DO 44), the client sets the line:
//    IAC SB 44 SET-BAUDRATE(1) <4 bytes, network order> IAC SE, SET-DATASIZE(2) 8, SET-PARITY(3)
//    NONE(1), SET-STOPSIZE(4) 1, SET-CONTROL(5) NO-FLOW-CONTROL(1). The server answers each with
//    the command number + 100 and the value it set.
// 4. The line is ready when all five answers have come and say what was asked, and BINARY is
//    settled both ways. A server that refuses COM-PORT-OPTION (IAC DONT 44), or answers a setting
//    with another value (a speed the line cannot take), fails the negotiation with the reason.
//
// In the data, 0xFF (IAC) is doubled both ways, also inside sub-negotiations. Commands the server
// may send at any time are taken: NOP, data mark, go-ahead and the like are dropped; line and modem
// state notices are read and ignored; FLOWCONTROL-SUSPEND (108) and -RESUME (109) set suspended(),
// and the caller holds what it sends until the server resumes. A sub-negotiation is kept up to
// k_max_subnegotiation bytes; the rest of a longer one is dropped, so bytes from the server can
// never grow this layer's memory.
//
// Callers may rely on: receive() accepts any bytes in any state and any split into pieces; every
// byte it appends to `data` is a byte of the serial line, in order; what it appends to `reply` is
// a run of whole Telnet commands. encode() gives bytes that a server turns back into exactly the
// data given. Once failed, the client stays failed and receive() takes nothing more.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velmora::netline {

class Rfc2217Client {
public:
    enum class State { negotiating, ready, failed };

    using Bytes = std::vector<std::uint8_t>;

    static constexpr std::size_t k_max_subnegotiation = 64;

    explicit Rfc2217Client(std::uint32_t baud);

    // The client's first words; call once, before anything is received.
    Bytes start();
    void receive(std::span<const std::uint8_t> wire, Bytes& data, Bytes& reply);
    void encode(std::span<const std::uint8_t> data, Bytes& wire) const;

    State state() const { return state_; }
    // Why the negotiation failed ("the server refused 12345 baud ..."); empty unless failed.
    const std::string& failure() const { return failure_; }
    // What the negotiation still waits for, as a phrase ("the COM-PORT option", "the baud rate").
    std::string awaited() const;
    bool suspended() const { return suspended_; }

private:
    // RFC 1143's states of one option on one side.
    enum class Q : std::uint8_t { no, yes, want_no, want_yes };
    enum class Rx : std::uint8_t { data, command, option, sub_option, sub_data, sub_command };
    // The line settings, in the order they are sent: the baud rate first, then 8N1 and flow control.
    static constexpr std::size_t k_setting_count = 5;
    static constexpr std::size_t k_baud_setting = 0;

    void take(std::uint8_t byte, Bytes& data, Bytes& reply);
    void take_command(std::uint8_t byte);
    void keep_sub(std::uint8_t byte);
    void take_data(std::uint8_t byte, Bytes& data);
    void take_option(std::uint8_t verb, std::uint8_t option, Bytes& reply);
    void take_subnegotiation();
    void take_setting(std::size_t setting, std::uint32_t value);
    void send_settings(Bytes& reply);
    void check_ready();
    void fail(std::string reason);

    const std::uint32_t baud_;
    State state_ = State::negotiating;
    std::string failure_;
    std::array<Q, 256> us_{};   // options the client performs (WILL/WONT)
    std::array<Q, 256> him_{};  // options the server performs
    Rx rx_ = Rx::data;
    std::uint8_t verb_ = 0;
    std::uint8_t sub_option_ = 0;
    Bytes sub_;
    bool sub_overflow_ = false;
    bool pending_cr_ = false;
    bool suspended_ = false;
    bool settings_sent_ = false;
    std::array<bool, k_setting_count> answered_{};
};

}  // namespace velmora::netline
