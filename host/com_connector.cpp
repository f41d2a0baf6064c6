#include "host/com_connector.h"

#include <sys/ioctl.h>
#include <termios.h>

#include <QFileInfo>
#include <QMetaObject>
#include <QSerialPortInfo>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "host/port_error_text.h"
#include "netline/network_port.h"

namespace velmora {

namespace {

// How long past their time on the line bytes may stay in the output queue before they are given up
// without a report; a sender's own time limit has failed its send by then.
constexpr std::chrono::milliseconds k_drain_margin{2000};
// How often a send's progress is looked at while its bytes are on the line.
constexpr std::chrono::milliseconds k_drain_look{50};
constexpr std::chrono::milliseconds k_drain_min_look{1};

}  // namespace

ComConnector::ComConnector(component_registry* registry, QObject* parent)
    : QObject(parent),
      component(k_com_connector, registry),
      port_(new QSerialPort),
      network_(new NetworkLine({[this](const QByteArray& bytes) { broadcast_received(bytes); },
                                [this](qint64 written) { on_bytes_written(written); },
                                [this](const QString& reason) {
                                    close_in_thread();
                                    emit port_lost(
                                        QStringLiteral("Network port %1 closed: %2").arg(port_name_, reason));
                                }})) {
    thread_.setObjectName(QString::fromLatin1(k_com_connector));
    port_->moveToThread(&thread_);
    network_->moveToThread(&thread_);
    // The port as context: every handler runs in the connector thread.
    connect(port_, &QSerialPort::readyRead, port_, [this] { on_ready_read(); });
    connect(port_, &QSerialPort::bytesWritten, port_, [this](qint64 written) { on_bytes_written(written); });
    connect(port_, &QSerialPort::errorOccurred, port_,
            [this](QSerialPort::SerialPortError error) { on_error(error); });
    // Deleted in its own thread once the loop has ended, as its notifiers require.
    connect(&thread_, &QThread::finished, port_, &QObject::deleteLater);
    connect(&thread_, &QThread::finished, network_, &QObject::deleteLater);
    thread_.start();
}

ComConnector::~ComConnector() {
    // Nobody is told: the components that would hear it may already be gone.
    run_in_thread([this] { close_in_thread(false); });
    thread_.quit();
    thread_.wait();
}

std::uint32_t ComConnector::request(const component_msg& msg) {
    switch (msg.code) {
        case k_connector_is_open:
            return open_.load() ? 1 : 0;
        case k_connector_baud:
            return open_.load() ? baud_.load() : 0;
        case k_connector_upgrade_mode: {
            const bool upgrade = msg.param1 != 0;
            upgrade_mode_.store(upgrade);
            emit terminal_mode_changed(upgrade);
            return 1;
        }
        case k_connector_send: {
            if (msg.param1 > 0 && msg.param2 == nullptr) {
                return 0;
            }
            QByteArray bytes(static_cast<const char*>(msg.param2), static_cast<qsizetype>(msg.param1));
            return queue(std::move(bytes), true) ? 1 : 0;
        }
        default:
            return 0;
    }
}

bool ComConnector::open(const QString& port_name, qint32 baud_rate, QString& error) {
    struct Outcome {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        bool opened = false;
        QString error;
    };
    // Shared with the connector thread, which may report after a caller has stopped waiting.
    auto outcome = std::make_shared<Outcome>();
    run_in_thread([&] {
        begin_open(port_name, baud_rate, [outcome](bool opened, const QString& reason) {
            {
                std::lock_guard lock(outcome->mutex);
                outcome->done = true;
                outcome->opened = opened;
                outcome->error = reason;
            }
            outcome->ended.notify_all();
        });
    });
    // A device is done by now; a network port ends within its limits, or when it is cancelled.
    std::unique_lock lock(outcome->mutex);
    outcome->ended.wait(lock, [&] { return outcome->done; });
    error = outcome->error;
    return outcome->opened;
}

void ComConnector::open_async(const QString& port_name, qint32 baud_rate) {
    QMetaObject::invokeMethod(
        port_,
        [this, port_name, baud_rate] {
            begin_open(port_name, baud_rate,
                       [this](bool opened, const QString& error) { emit open_finished(opened, error); });
        },
        Qt::QueuedConnection);
}

void ComConnector::cancel_open() {
    run_in_thread([this] {
        if (network_->is_opening()) {
            network_->close();
        }
    });
}

void ComConnector::set_network_limits(const NetworkLine::Limits& limits) {
    run_in_thread([&] { network_limits_ = limits; });
}

void ComConnector::begin_open(const QString& port_name, qint32 baud_rate, Opened opened) {
    close_in_thread();
    const QString name = port_name.trimmed();
    if (netline::is_network_port_name(name.toStdString())) {
        open_network(name, baud_rate, std::move(opened));
        return;
    }
    QString error;
    const bool done = open_serial(name, baud_rate, error);
    opened(done, error);
}

bool ComConnector::open_serial(const QString& name, qint32 baud_rate, QString& error) {
    if (name.isEmpty()) {
        error = port_error_text(name, QSerialPort::DeviceNotFoundError, QString());
        return false;
    }
    if (baud_rate <= 0 || !port_->setBaudRate(baud_rate)) {
        error = QStringLiteral("Cannot open serial port %1: %2 is not a baud rate").arg(name).arg(baud_rate);
        return false;
    }
    port_->setPortName(name);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    if (!port_->open(QIODevice::ReadWrite)) {
        error = port_error_text(name, port_->error(), port_->errorString());
        port_->clearError();
        return false;
    }
    mark_open(name, baud_rate);
    return true;
}

void ComConnector::open_network(const QString& name, qint32 baud_rate, Opened opened) {
    const auto refuse = [&](const QString& reason) {
        opened(false, QStringLiteral("Cannot open network port %1: %2").arg(name, reason));
    };
    std::string why;
    const std::optional<netline::NetworkPort> port = netline::parse_network_port(name.toStdString(), why);
    if (!port) {
        refuse(QString::fromStdString(why));
        return;
    }
    if (baud_rate <= 0) {
        refuse(QStringLiteral("%1 is not a baud rate").arg(baud_rate));
        return;
    }
    network_->open(*port, static_cast<std::uint32_t>(baud_rate), network_limits_,
                   [this, name, baud_rate, opened = std::move(opened)](const QString& error) {
                       if (!error.isEmpty()) {
                           opened(false, QStringLiteral("Cannot open network port %1: %2").arg(name, error));
                           return;
                       }
                       mark_open(name, baud_rate);
                       opened(true, {});
                   });
}

void ComConnector::mark_open(const QString& name, qint32 baud_rate) {
    port_name_ = name;
    transmit_.clear();
    drain_.clear(static_cast<std::uint32_t>(baud_rate));
    credited_ = 0;
    baud_.store(static_cast<std::uint32_t>(baud_rate));
    open_.store(true);
    if (registry() != nullptr) {
        registry()->broadcast(this, component_msg{k_connector_opened, 0, nullptr});
    }
}

void ComConnector::close() {
    run_in_thread([this] { close_in_thread(); });
}

bool ComConnector::send(const QByteArray& bytes) {
    return queue(bytes, false);
}

void ComConnector::run_in_thread(const std::function<void()>& work) {
    if (QThread::currentThread() == &thread_) {
        work();
        return;
    }
    QMetaObject::invokeMethod(port_, work, Qt::BlockingQueuedConnection);
}

bool ComConnector::queue(QByteArray bytes, bool report_progress) {
    if (!open_.load()) {
        return false;
    }
    // Taken in request order under the queue's lock; the thread writes whatever is queued, so one
    // wake-up per request is enough even when several arrive together.
    transmit_.push(std::move(bytes), report_progress);
    QMetaObject::invokeMethod(
        port_, [this] { write_unsent(); }, Qt::QueuedConnection);
    return true;
}

void ComConnector::write_unsent() {
    if (network_->is_open()) {
        const QByteArray bytes = transmit_.take_unsent();
        // A write that fails has dropped the connection, and the line has reported it.
        if (!bytes.isEmpty() && !network_->write(bytes)) {
            return;
        }
        look_at_line();
        return;
    }
    if (!port_->isOpen()) {
        transmit_.clear();
        return;
    }
    const QByteArray bytes = transmit_.take_unsent();
    if (!bytes.isEmpty() && port_->write(bytes) != bytes.size()) {
        const QString reason = lost_text(port_->error());
        close_in_thread();
        emit port_lost(reason);
        return;
    }
    // Empty transmissions are complete as soon as they reach the head.
    look_at_line();
}

void ComConnector::on_bytes_written(qint64 written) {
    drain_.written(static_cast<std::uint64_t>(std::max<qint64>(written, 0)), LineDrain::Clock::now());
    look_at_line();
}

// What the serial driver still holds; a network line's bytes are counted once the socket took them.
std::uint64_t ComConnector::output_queue() const {
    int queued = 0;
    const auto fd = port_->handle();
    if (port_->isOpen() && fd >= 0 && ::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0) {
        return static_cast<std::uint64_t>(queued);
    }
    return 0;
}

void ComConnector::look_at_line() {
    const LineDrain::Clock::time_point now = LineDrain::Clock::now();
    const std::uint64_t queued = output_queue();
    const std::uint64_t left = drain_.left(now, queued);
    // Bytes given up below are credited already. A credit of nothing still completes the empty
    // transmissions that reached the head.
    const std::uint64_t fresh = left > credited_ ? left - credited_ : 0;
    const std::vector<TransmitQueue::Progress> reports = transmit_.credit(static_cast<std::int64_t>(fresh));
    credited_ += fresh;
    for (const TransmitQueue::Progress& progress : reports) {
        if (!progress.report || registry() == nullptr) {
            continue;
        }
        std::uint32_t sent = progress.sent;
        registry()->broadcast(this, component_msg{k_connector_sent, 0, &sent});
    }
    if (credited_ == drain_.written_total()) {
        return;
    }
    if (drain_.overdue(now, k_drain_margin)) {
        // Stuck in the queue: given up without a report.
        transmit_.credit(static_cast<std::int64_t>(drain_.written_total() - credited_));
        credited_ = drain_.written_total();
        return;
    }
    if (look_scheduled_) {
        return;
    }
    // Next when the line should have carried the rest, or sooner to show progress.
    auto wait = std::chrono::ceil<std::chrono::milliseconds>(
        now < drain_.line_free_at() ? drain_.line_free_at() - now
                                    : drain_.byte_time() * static_cast<std::int64_t>(queued));
    wait = std::clamp(wait, k_drain_min_look, k_drain_look);
    look_scheduled_ = true;
    QTimer::singleShot(wait, Qt::PreciseTimer, port_, [this] {
        look_scheduled_ = false;
        look_at_line();
    });
}

void ComConnector::on_ready_read() {
    broadcast_received(port_->readAll());
}

void ComConnector::broadcast_received(const QByteArray& bytes) {
    if (bytes.isEmpty() || registry() == nullptr) {
        return;
    }
    registry()->broadcast(this, component_msg{k_connector_received, static_cast<std::uint32_t>(bytes.size()),
                                              bytes.constData()});
}

void ComConnector::on_error(QSerialPort::SerialPortError error) {
    if (!open_.load() || error == QSerialPort::NoError || error == QSerialPort::TimeoutError) {
        return;
    }
    const QString reason = lost_text(error);
    close_in_thread();
    emit port_lost(reason);
}

QString ComConnector::lost_text(QSerialPort::SerialPortError error) const {
    const bool exists = QFileInfo::exists(QSerialPortInfo(*port_).systemLocation());
    return port_lost_text(port_name_, exists, error, port_->errorString());
}

void ComConnector::close_in_thread(bool announce) {
    const bool was_open = open_.exchange(false);
    transmit_.clear();
    drain_.clear(0);
    credited_ = 0;
    if (port_->isOpen()) {
        port_->close();
    }
    port_->clearError();
    // Also ends an open on the network under way.
    network_->close();
    if (was_open && announce && registry() != nullptr) {
        // A sender waiting for its completion report would wait for ever: the pending bytes are gone.
        registry()->broadcast(this, component_msg{k_connector_closed, 0, nullptr});
    }
}

}  // namespace velmora
