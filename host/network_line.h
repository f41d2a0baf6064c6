// The "com connector"'s line when the port is on the network: a TCP connection (QTcpSocket, Nagle
// off) to a serial device server or ser2net, carrying the line's bytes raw (tcp://) or through
// Telnet with the COM-PORT option (rfc2217://, netline::Rfc2217Client), which sets the remote line
// to the baud rate and 8N1 before the line counts as open.
//
// Callers may rely on:
// - It lives in the connector's thread and is used only there; the handlers run there too.
// - open() ends, exactly once, by calling `opened` with an empty text (open) or the reason it could
//   not open: the host not found, the connection refused, no answer within the limits below, the
//   server refusing the COM-PORT option or a setting, or closing the connection (with what it said
//   then, as ser2net says a port is in use). close() during an open ends it with
//   k_cancelled.
// - While open, `received` gets the line's bytes in order (also those that came during the
//   negotiation), `written` the count of the caller's bytes the socket has taken (the connector
//   then counts them out at the remote line's pace, as it does a serial port's), and `lost` the
//   reason once when the connection drops; after `lost` the line is closed.
// - A peer that vanishes without closing (a pulled cable) is noticed by TCP keep-alive and the limit
//   on unacknowledged data, within a bounded time, as a drop.
#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "netline/network_port.h"
#include "netline/rfc2217_client.h"
#include "netline/wire_credit.h"

class QTcpSocket;
class QTimer;

namespace velmora {

class NetworkLine : public QObject {
public:
    // Each phase of an open has its own limit, so a message can say which one passed.
    struct Limits {
        std::chrono::milliseconds host_lookup{10000};
        std::chrono::milliseconds connect{5000};
        std::chrono::milliseconds negotiation{3000};
    };
    static constexpr std::chrono::seconds k_keepalive_idle{5};
    static constexpr std::chrono::seconds k_keepalive_interval{2};
    static constexpr int k_keepalive_probes = 3;
    static constexpr std::chrono::milliseconds k_unacknowledged_limit{10000};
    static constexpr const char* k_cancelled = "the open was cancelled";

    struct Handlers {
        std::function<void(const QByteArray&)> received;
        std::function<void(qint64)> written;
        std::function<void(const QString&)> lost;
    };
    using Opened = std::function<void(const QString& error)>;

    explicit NetworkLine(Handlers handlers);
    ~NetworkLine() override;

    void open(const netline::NetworkPort& port, std::uint32_t baud, const Limits& limits, Opened opened);
    void close();
    bool is_open() const { return phase_ == Phase::open; }
    bool is_opening() const { return phase_ != Phase::open && phase_ != Phase::closed; }
    // Queues the caller's bytes on the socket; false when the line is not open or the socket failed.
    bool write(const QByteArray& payload);

private:
    enum class Phase { closed, looking_up, connecting, negotiating, open };

    void on_state(QAbstractSocket::SocketState state);
    void on_connected();
    void on_ready_read();
    void on_bytes_written(qint64 wire);
    void on_error(QAbstractSocket::SocketError error);
    void on_disconnected();
    void on_deadline();
    void finish_open(const QString& error);
    // Closes the socket and drops every byte held, without a word to anyone.
    void forget();
    void take_last_words();
    void drop(const QString& reason);
    bool send_wire(const QByteArray& wire, qint64 payload);
    bool put(const QByteArray& wire);
    void tune_socket();
    QString reason_of(QAbstractSocket::SocketError error) const;

    Handlers handlers_;
    QTcpSocket* socket_;
    QTimer* deadline_;
    Phase phase_ = Phase::closed;
    netline::NetworkPort port_;
    Limits limits_;
    Opened opened_;
    std::optional<netline::Rfc2217Client> telnet_;
    netline::WireCredit credit_;
    QByteArray early_;  // the line's bytes that came during the negotiation
    QByteArray held_;   // wire bytes held while the server has asked for a pause
};

}  // namespace velmora
