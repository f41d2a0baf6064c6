#include "host/com_connector.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QSerialPortInfo>

#include "host/port_error_text.h"

namespace velmora {

ComConnector::ComConnector(component_registry* registry, QObject* parent)
    : QObject(parent), component(k_com_connector, registry), port_(new QSerialPort) {
    thread_.setObjectName(QString::fromLatin1(k_com_connector));
    port_->moveToThread(&thread_);
    // The port as context: every handler runs in the connector thread.
    connect(port_, &QSerialPort::readyRead, port_, [this] { on_ready_read(); });
    connect(port_, &QSerialPort::bytesWritten, port_, [this](qint64 written) { on_bytes_written(written); });
    connect(port_, &QSerialPort::errorOccurred, port_,
            [this](QSerialPort::SerialPortError error) { on_error(error); });
    // Deleted in its own thread once the loop has ended, as its notifiers require.
    connect(&thread_, &QThread::finished, port_, &QObject::deleteLater);
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
    bool opened = false;
    run_in_thread([&] {
        close_in_thread();
        const QString name = port_name.trimmed();
        if (name.isEmpty()) {
            error = port_error_text(name, QSerialPort::DeviceNotFoundError, QString());
            return;
        }
        if (baud_rate <= 0 || !port_->setBaudRate(baud_rate)) {
            error =
                QStringLiteral("Cannot open serial port %1: %2 is not a baud rate").arg(name).arg(baud_rate);
            return;
        }
        port_->setPortName(name);
        port_->setDataBits(QSerialPort::Data8);
        port_->setParity(QSerialPort::NoParity);
        port_->setStopBits(QSerialPort::OneStop);
        port_->setFlowControl(QSerialPort::NoFlowControl);
        if (!port_->open(QIODevice::ReadWrite)) {
            error = port_error_text(name, port_->error(), port_->errorString());
            port_->clearError();
            return;
        }
        port_name_ = name;
        transmit_.clear();
        baud_.store(static_cast<std::uint32_t>(baud_rate));
        open_.store(true);
        opened = true;
    });
    return opened;
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
    on_bytes_written(0);
}

void ComConnector::on_bytes_written(qint64 written) {
    for (const TransmitQueue::Progress& progress : transmit_.credit(written)) {
        if (!progress.report || registry() == nullptr) {
            continue;
        }
        std::uint32_t sent = progress.sent;
        registry()->broadcast(this, component_msg{k_connector_sent, 0, &sent});
    }
}

void ComConnector::on_ready_read() {
    const QByteArray bytes = port_->readAll();
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
    if (port_->isOpen()) {
        port_->close();
    }
    port_->clearError();
    if (was_open && announce && registry() != nullptr) {
        // A sender waiting for its completion report would wait for ever: the pending bytes are gone.
        registry()->broadcast(this, component_msg{k_connector_closed, 0, nullptr});
    }
}

}  // namespace velmora
