#include "host/network_line.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <span>
#include <utility>

namespace velmora {

namespace {

// Enough of what a server says when it turns a client away ("Port's device already in use").
constexpr qsizetype k_most_said = 100;

// The printable text of `bytes`, blanks run together; empty when there is none.
QString said_text(const QByteArray& bytes) {
    QString text;
    for (const char c : bytes) {
        text += c >= ' ' && c < '\x7f' ? QLatin1Char(c) : QLatin1Char(' ');
    }
    text = text.simplified();
    return text.size() > k_most_said ? text.left(k_most_said) + QStringLiteral("...") : text;
}

QString seconds_text(std::chrono::milliseconds limit) {
    return QString::number(static_cast<double>(limit.count()) / 1000.0);
}

std::span<const std::uint8_t> bytes_of(const QByteArray& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

QByteArray array_of(const netline::Rfc2217Client::Bytes& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())};
}

}  // namespace

NetworkLine::NetworkLine(Handlers handlers)
    : handlers_(std::move(handlers)),
      socket_(new QTcpSocket(this)),
      deadline_(new QTimer(this)) {
    // A serial server sits on the bench's own network: never through a proxy.
    socket_->setProxy(QNetworkProxy::NoProxy);
    deadline_->setSingleShot(true);
    connect(socket_, &QAbstractSocket::stateChanged, this,
            [this](QAbstractSocket::SocketState state) { on_state(state); });
    connect(socket_, &QAbstractSocket::connected, this, [this] { on_connected(); });
    connect(socket_, &QIODevice::readyRead, this, [this] { on_ready_read(); });
    connect(socket_, &QIODevice::bytesWritten, this, [this](qint64 wire) { on_bytes_written(wire); });
    connect(socket_, &QAbstractSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) { on_error(error); });
    connect(socket_, &QAbstractSocket::disconnected, this, [this] { on_disconnected(); });
    connect(deadline_, &QTimer::timeout, this, [this] { on_deadline(); });
}

NetworkLine::~NetworkLine() {
    opened_ = nullptr;
    phase_ = Phase::closed;
    socket_->abort();
}

void NetworkLine::open(const netline::NetworkPort& port, std::uint32_t baud, const Limits& limits,
                       Opened opened) {
    close();
    port_ = port;
    limits_ = limits;
    opened_ = std::move(opened);
    if (port.protocol == netline::NetworkProtocol::rfc2217) {
        telnet_.emplace(baud);
    }
    phase_ = Phase::looking_up;
    deadline_->start(limits_.host_lookup);
    // An address needs no lookup: Qt goes straight to connecting, and on_state moves the limit on.
    socket_->connectToHost(QString::fromStdString(port.host), port.port);
}

void NetworkLine::close() {
    deadline_->stop();
    Opened pending = std::move(opened_);
    opened_ = nullptr;
    forget();
    if (pending) {
        pending(QString::fromLatin1(k_cancelled));
    }
}

void NetworkLine::forget() {
    // Closed first, so the socket's signals during abort() find nothing to do.
    phase_ = Phase::closed;
    socket_->abort();
    telnet_.reset();
    credit_.clear();
    early_.clear();
    held_.clear();
}

bool NetworkLine::write(const QByteArray& payload) {
    if (phase_ != Phase::open) {
        return false;
    }
    if (!telnet_) {
        return send_wire(payload, payload.size());
    }
    netline::Rfc2217Client::Bytes wire;
    telnet_->encode(bytes_of(payload), wire);
    return send_wire(array_of(wire), payload.size());
}

void NetworkLine::on_state(QAbstractSocket::SocketState state) {
    if (state == QAbstractSocket::ConnectingState && phase_ == Phase::looking_up) {
        phase_ = Phase::connecting;
        deadline_->start(limits_.connect);
    }
}

void NetworkLine::on_connected() {
    if (phase_ != Phase::looking_up && phase_ != Phase::connecting) {
        return;
    }
    tune_socket();
    if (!telnet_) {
        finish_open({});
        return;
    }
    phase_ = Phase::negotiating;
    deadline_->start(limits_.negotiation);
    send_wire(array_of(telnet_->start()), 0);
}

void NetworkLine::tune_socket() {
    // Nagle off: each send leaves at once, so the gaps the link leaves between a block's pieces
    // reach the remote line as gaps.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket_->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const auto fd = static_cast<int>(socket_->socketDescriptor());
    const int idle = static_cast<int>(k_keepalive_idle.count());
    const int interval = static_cast<int>(k_keepalive_interval.count());
    const int probes = k_keepalive_probes;
    const auto unacknowledged = static_cast<unsigned>(k_unacknowledged_limit.count());
    // Best effort: without them a dead peer is still noticed, only later.
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &unacknowledged, sizeof unacknowledged);
}

void NetworkLine::on_ready_read() {
    const QByteArray wire = socket_->readAll();
    if (wire.isEmpty() || phase_ == Phase::closed) {
        return;
    }
    if (!telnet_) {
        handlers_.received(wire);
        return;
    }
    netline::Rfc2217Client::Bytes data;
    netline::Rfc2217Client::Bytes reply;
    telnet_->receive(bytes_of(wire), data, reply);
    if (!reply.empty() && !send_wire(array_of(reply), 0)) {
        return;
    }
    if (phase_ == Phase::negotiating) {
        early_.append(array_of(data));
        if (telnet_->state() == netline::Rfc2217Client::State::failed) {
            finish_open(QString::fromStdString(telnet_->failure()));
        } else if (telnet_->state() == netline::Rfc2217Client::State::ready) {
            finish_open({});
        }
        return;
    }
    if (!data.empty()) {
        handlers_.received(array_of(data));
    }
    if (phase_ == Phase::open && !held_.isEmpty() && !telnet_->suspended()) {
        const QByteArray held = std::exchange(held_, {});
        put(held);
    }
}

void NetworkLine::on_bytes_written(qint64 wire) {
    const std::uint64_t payload = credit_.credit(static_cast<std::uint64_t>(wire));
    if (payload > 0 && phase_ == Phase::open) {
        handlers_.written(static_cast<qint64>(payload));
    }
}

void NetworkLine::on_error(QAbstractSocket::SocketError error) {
    take_last_words();
    if (phase_ == Phase::closed) {
        return;
    }
    if (phase_ != Phase::open) {
        finish_open(reason_of(error));
        return;
    }
    drop(reason_of(error));
}

void NetworkLine::on_disconnected() {
    take_last_words();
    if (phase_ == Phase::open) {
        drop(reason_of(QAbstractSocket::RemoteHostClosedError));
    } else if (phase_ != Phase::closed) {
        finish_open(reason_of(QAbstractSocket::RemoteHostClosedError));
    }
}

void NetworkLine::on_deadline() {
    const QString host = QString::fromStdString(port_.host);
    switch (phase_) {
        case Phase::looking_up:
            finish_open(QStringLiteral("the host name %1 did not resolve within %2 s")
                            .arg(host, seconds_text(limits_.host_lookup)));
            return;
        case Phase::connecting:
            finish_open(QStringLiteral("no answer from %1 port %2 within %3 s")
                            .arg(host)
                            .arg(port_.port)
                            .arg(seconds_text(limits_.connect)));
            return;
        case Phase::negotiating:
            finish_open(
                QStringLiteral("no answer to %1 within %2 s (is it a Telnet port with the COM-PORT "
                               "option? For a raw port write tcp://)")
                    .arg(QString::fromStdString(telnet_->awaited()), seconds_text(limits_.negotiation)));
            return;
        case Phase::closed:
        case Phase::open:
            return;
    }
}

void NetworkLine::finish_open(const QString& error) {
    deadline_->stop();
    Opened opened = std::move(opened_);
    opened_ = nullptr;
    if (!error.isEmpty()) {
        forget();
    } else {
        phase_ = Phase::open;
    }
    if (opened) {
        opened(error);
    }
    if (phase_ == Phase::open && !early_.isEmpty()) {
        handlers_.received(std::exchange(early_, {}));
    }
}

void NetworkLine::take_last_words() {
    // What arrived before the end is the line's too, or says why a server turned the client away.
    if (phase_ != Phase::closed && socket_->bytesAvailable() > 0) {
        on_ready_read();
    }
}

void NetworkLine::drop(const QString& reason) {
    take_last_words();
    if (phase_ != Phase::open) {
        return;
    }
    phase_ = Phase::closed;
    deadline_->stop();
    socket_->abort();
    handlers_.lost(reason);
}

bool NetworkLine::send_wire(const QByteArray& wire, qint64 payload) {
    credit_.add(static_cast<std::uint64_t>(wire.size()), static_cast<std::uint64_t>(payload));
    if (telnet_ && telnet_->suspended()) {
        held_.append(wire);
        return true;
    }
    return put(wire);
}

bool NetworkLine::put(const QByteArray& wire) {
    if (socket_->write(wire) == wire.size()) {
        return true;
    }
    if (phase_ == Phase::open) {
        drop(socket_->errorString());
    } else if (phase_ != Phase::closed) {
        finish_open(socket_->errorString());
    }
    return false;
}

QString NetworkLine::reason_of(QAbstractSocket::SocketError error) const {
    switch (error) {
        case QAbstractSocket::HostNotFoundError:
            return QStringLiteral("host %1 not found").arg(QString::fromStdString(port_.host));
        case QAbstractSocket::ConnectionRefusedError:
            return QStringLiteral("the connection was refused (nothing listens on port %1 of %2)")
                .arg(port_.port)
                .arg(QString::fromStdString(port_.host));
        case QAbstractSocket::RemoteHostClosedError: {
            QString reason = QStringLiteral("the server closed the connection");
            // ser2net, for one, says why it turns a client away before it closes.
            if (const QString said = phase_ == Phase::negotiating ? said_text(early_) : QString();
                !said.isEmpty()) {
                reason += QStringLiteral(" (it said \"%1\")").arg(said);
            }
            return reason;
        }
        default:
            return socket_->errorString();
    }
}

}  // namespace velmora
