// "com connector": the host's serial link, a component whose line lives in a thread of its own: a
// serial port (QSerialPort), or a serial line on the network (network_line.h): tcp://HOST:PORT raw,
// or rfc2217://HOST:PORT through Telnet with the COM-PORT option. Either way the contract below is
// the same.
//
// Requests, from any thread:
//   13: 1 when the port is open, else 0.
//   16: the open port's baud rate, else 0. For tcp:// it is the rate the port was opened with, as
//       the remote line's own rate is the server's.
//   14: param1 1 switches the terminal to raw upgrade use, 0 back to text; recorded and announced
//       through terminal_mode_changed (the window then stops typing into the port).
//   15: param1 bytes at param2 are copied during the call and written in the order of the requests;
//       while they go out, the registry is sent code 18 with param2 pointing at the running count of
//       this request's bytes that have left the line, the last one carrying the full count once the
//       port's output queue is empty and the bytes had their time on the line at the baud rate
//       (LineDrain). Bytes that do not leave within their line time and k_drain_margin are given up
//       without that report. On the network each request leaves at once (Nagle off), and its bytes
//       count as left once the socket took them and the line behind the server can have sent them.
//       Bytes queued while the port is closed are dropped, and so is whatever is pending when the
//       port closes.
// Received bytes are broadcast as code 26 (param1 bytes at param2) from the connector thread, as they
// arrive, code 28 when an open port closes (closed by the user, lost with an error, or its connection
// dropped), dropping what was pending, and code 29 when a port opens. The broadcasts come from the
// connector thread and skip the connector itself.
//
// Callers may rely on: open and close return when done, from any thread but the connector's; an
// open on the network ends within its limits (NetworkLine::Limits). open_async starts the same open
// and reports it by open_finished, so a window need not wait. close and cancel_open end an open
// under way. port_lost comes from the connector thread and terminal_mode_changed from the thread
// that made the request, so receivers in the window connect with queued (or automatic)
// connections. Destruction closes the port and joins the thread.
#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "host/line_drain.h"
#include "host/network_line.h"
#include "host/transmit_queue.h"
#include "link/component.h"
#include "link/host_components.h"

namespace velmora {

class ComConnector : public QObject, public component {
    Q_OBJECT

public:
    explicit ComConnector(component_registry* registry, QObject* parent = nullptr);
    ~ComConnector() override;

    bool is_shareable() const override { return true; }
    std::string type_name() const override { return "connector"; }
    std::uint32_t request(const component_msg& msg) override;

    // Opens `port_name` (a name such as ttyUSB0, a path such as /dev/pts/5, or a network port) at
    // `baud_rate`, 8 data bits, no parity, one stop bit, no flow control; closes a port already open
    // first. On failure `error` names the port and the reason.
    bool open(const QString& port_name, qint32 baud_rate, QString& error);
    // The same open without waiting: open_finished reports it.
    void open_async(const QString& port_name, qint32 baud_rate);
    // Ends an open under way (it fails with NetworkLine::k_cancelled); an open port stays open.
    void cancel_open();
    void close();
    // The limits of an open on the network; tests shorten them.
    void set_network_limits(const NetworkLine::Limits& limits);
    bool is_open() const { return open_.load(); }
    bool upgrade_mode() const { return upgrade_mode_.load(); }
    // Bytes typed in the terminal: written like a code-15 request but without progress broadcasts,
    // so nobody waiting for its own transmission's count is misled. False when the port is closed.
    bool send(const QByteArray& bytes);

signals:
    void open_finished(bool opened, const QString& error);
    void terminal_mode_changed(bool upgrade);
    // The port closed by itself (device gone, read or write failed, connection dropped); `reason`
    // says why.
    void port_lost(const QString& reason);

private:
    using Opened = std::function<void(bool opened, const QString& error)>;

    void run_in_thread(const std::function<void()>& work);
    void begin_open(const QString& port_name, qint32 baud_rate, Opened opened);
    bool open_serial(const QString& name, qint32 baud_rate, QString& error);
    void open_network(const QString& name, qint32 baud_rate, Opened opened);
    // The line is open: counts start afresh, and the listeners hear of it.
    void mark_open(const QString& name, qint32 baud_rate);
    void broadcast_received(const QByteArray& bytes);
    bool queue(QByteArray bytes, bool report_progress);
    void write_unsent();
    // The driver or the socket took `written` more bytes.
    void on_bytes_written(qint64 written);
    // Reports what has left the line since the last look, and looks again while bytes are on their way.
    void look_at_line();
    std::uint64_t output_queue() const;
    void on_ready_read();
    void on_error(QSerialPort::SerialPortError error);
    // Why the open port is lost, read before it is closed.
    QString lost_text(QSerialPort::SerialPortError error) const;
    void close_in_thread(bool announce = true);

    QThread thread_;
    QSerialPort* port_;     // lives in thread_, deleted there
    NetworkLine* network_;  // likewise
    TransmitQueue transmit_;
    LineDrain drain_;              // touched only in thread_
    std::uint64_t credited_ = 0;   // bytes of drain_ credited to transmit_
    bool look_scheduled_ = false;  // touched only in thread_
    std::atomic<bool> open_{false};
    std::atomic<bool> upgrade_mode_{false};
    std::atomic<std::uint32_t> baud_{0};
    QString port_name_;                   // touched only in thread_
    NetworkLine::Limits network_limits_;  // likewise
};

}  // namespace velmora
