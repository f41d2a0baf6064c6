#include "tools/velmora-host/port_bar.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QSerialPortInfo>
#include <array>
#include <limits>
#include <string>

#include "netline/network_port.h"

namespace velmora::host_app {

namespace {

constexpr std::array k_common_bauds{9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

}  // namespace

PortBar::PortBar(QWidget* parent)
    : QWidget(parent),
      ports_(new QComboBox(this)),
      bauds_(new QComboBox(this)),
      refresh_(new QPushButton(tr("Refresh"), this)),
      button_(new QPushButton(tr("Open"), this)) {
    ports_->setObjectName(QStringLiteral("port_name"));
    bauds_->setObjectName(QStringLiteral("baud_rate"));
    button_->setObjectName(QStringLiteral("open_close"));
    ports_->setEditable(true);
    ports_->setInsertPolicy(QComboBox::NoInsert);
    ports_->setMinimumContentsLength(16);
    ports_->lineEdit()->setPlaceholderText(tr("ttyUSB0, /dev/pts/5 or rfc2217://host:port"));
    bauds_->setEditable(true);
    bauds_->setInsertPolicy(QComboBox::NoInsert);
    bauds_->lineEdit()->setValidator(new QIntValidator(1, std::numeric_limits<int>::max(), bauds_));
    for (int baud : k_common_bauds) {
        bauds_->addItem(QString::number(baud));
    }
    set_baud_rate(k_default_baud);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("Port:"), this));
    layout->addWidget(ports_, 1);
    layout->addWidget(refresh_);
    layout->addWidget(new QLabel(tr("Baud:"), this));
    layout->addWidget(bauds_);
    layout->addWidget(button_);

    connect(refresh_, &QPushButton::clicked, this, &PortBar::refresh_ports);
    connect(button_, &QPushButton::clicked, this, &PortBar::on_button);
    connect(bauds_, &QComboBox::activated, this, [this] { emit baud_chosen(baud_rate()); });
    connect(bauds_->lineEdit(), &QLineEdit::textEdited, this, [this] { emit baud_chosen(baud_rate()); });
    refresh_ports();
}

QString PortBar::port_name() const {
    return ports_->currentText().trimmed();
}

qint32 PortBar::baud_rate() const {
    bool number = false;
    const int baud = bauds_->currentText().trimmed().toInt(&number);
    return number && baud > 0 ? baud : 0;
}

void PortBar::set_port_name(const QString& name) {
    ports_->setEditText(name);
}

void PortBar::set_baud_rate(qint32 baud) {
    bauds_->setEditText(QString::number(baud));
}

void PortBar::refresh_ports() {
    // Keep what the user typed: it may be a device Qt does not list, such as a pseudo-terminal.
    const QString typed = ports_->currentText();
    ports_->clear();
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        ports_->addItem(info.systemLocation());
        ports_->setItemData(ports_->count() - 1, info.description(), Qt::ToolTipRole);
    }
    for (const QString& name : network_ports_) {
        ports_->addItem(name);
        ports_->setItemData(ports_->count() - 1, tr("Serial line on the network"), Qt::ToolTipRole);
    }
    ports_->setEditText(typed);
}

void PortBar::set_network_ports(const QStringList& names) {
    network_ports_ = names.mid(0, k_remembered_network_ports);
    refresh_ports();
}

void PortBar::remember_network_port(const QString& name) {
    // One line is listed once, in the spelling last used for it.
    const auto line_of = [](const QString& port) {
        std::string unused;
        const auto network = netline::parse_network_port(port.toStdString(), unused);
        return network ? QString::fromStdString(network->name()) : port;
    };
    const QString line = line_of(name);
    QStringList names = network_ports_;
    names.removeIf([&](const QString& listed) { return line_of(listed) == line; });
    names.prepend(name);
    set_network_ports(names);
}

void PortBar::set_opening() {
    opening_ = true;
    open_ = false;
    show_state();
}

void PortBar::set_open(bool open) {
    opening_ = false;
    open_ = open;
    show_state();
}

void PortBar::show_state() {
    const bool idle = !open_ && !opening_;
    button_->setText(opening_ ? tr("Cancel") : open_ ? tr("Close") : tr("Open"));
    ports_->setEnabled(idle);
    bauds_->setEnabled(idle);
    refresh_->setEnabled(idle);
}

void PortBar::on_button() {
    if (open_ || opening_) {
        emit close_requested();
    } else {
        emit open_requested(port_name(), baud_rate());
    }
}

}  // namespace velmora::host_app
