// "com connector": the host's serial link, a component on QSerialPort whose port lives in a thread
// of its own.
//
// Requests, from any thread:
//   13: 1 when the port is open, else 0.
//   16: the open port's baud rate, else 0.
//   14: param1 1 switches the terminal to raw upgrade use, 0 back to text; recorded and announced
//       through terminal_mode_changed (the window then stops typing into the port).
//   15: param1 bytes at param2 are copied during the call and written in the order of the requests;
//       while they go out, the registry is sent code 18 with param2 pointing at the running count of
//       this request's bytes written, the last one carrying the full count. Bytes queued while the
//       port is closed are dropped, and so is whatever is pending when the port closes.
// Received bytes are broadcast as code 26 (param1 bytes at param2) from the connector thread, as they
// arrive, and code 28 when an open port closes (closed by the user or lost with an error), dropping
// what was pending. The broadcasts come from the connector thread and skip
// the connector itself.
//
// Callers may rely on: open and close return when done, from any thread; port_lost comes from the
// connector thread and terminal_mode_changed from the thread that made the request, so receivers in
// the window connect with queued (or automatic) connections. Destruction closes the port and joins
// the thread.
#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

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

    // Opens `port_name` (a name such as ttyUSB0 or a path such as /dev/pts/5) at `baud_rate`, 8 data
    // bits, no parity, one stop bit, no flow control; closes a port already open first. On failure
    // `error` names the port and the reason.
    bool open(const QString& port_name, qint32 baud_rate, QString& error);
    void close();
    bool is_open() const { return open_.load(); }
    bool upgrade_mode() const { return upgrade_mode_.load(); }
    // Bytes typed in the terminal: written like a code-15 request but without progress broadcasts,
    // so nobody waiting for its own transmission's count is misled. False when the port is closed.
    bool send(const QByteArray& bytes);

signals:
    void terminal_mode_changed(bool upgrade);
    // The port closed by itself (device gone, read or write failed); `reason` says why.
    void port_lost(const QString& reason);

private:
    void run_in_thread(const std::function<void()>& work);
    bool queue(QByteArray bytes, bool report_progress);
    void write_unsent();
    void on_bytes_written(qint64 written);
    void on_ready_read();
    void on_error(QSerialPort::SerialPortError error);
    // Why the open port is lost, read before it is closed.
    QString lost_text(QSerialPort::SerialPortError error) const;
    void close_in_thread(bool announce = true);

    QThread thread_;
    QSerialPort* port_;  // lives in thread_, deleted there
    TransmitQueue transmit_;
    std::atomic<bool> open_{false};
    std::atomic<bool> upgrade_mode_{false};
    std::atomic<std::uint32_t> baud_{0};
    QString port_name_;  // touched only in thread_
};

}  // namespace velmora
