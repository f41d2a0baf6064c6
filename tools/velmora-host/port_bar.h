// The port bar: which serial port, at which baud rate, and the Open/Close button.
//
// Callers may rely on: the port entry lists the ports Qt finds, then the network ports remembered
// (set_network_ports, remember_network_port: most recent first, each line once in the spelling last
// used for it), and also takes any typed name or path (a pseudo-terminal such as /dev/pts/5,
// tcp://HOST:PORT, rfc2217://HOST:PORT); the bar only asks (open_requested, close_requested) and
// shows what it is told with set_opening() and set_open(), so a failed open leaves it closed. While
// an open is under way the button reads "Cancel" and asks for a close. baud_chosen tells of a baud
// rate the user picked or typed, never of one set by the program.
#pragma once

#include <QComboBox>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace velmora::host_app {

class PortBar : public QWidget {
    Q_OBJECT

public:
    static constexpr qint32 k_default_baud = 115200;
    static constexpr int k_remembered_network_ports = 8;

    explicit PortBar(QWidget* parent = nullptr);

    QString port_name() const;
    // 0 when the entry is not a positive number.
    qint32 baud_rate() const;
    void set_port_name(const QString& name);
    void set_baud_rate(qint32 baud);
    void refresh_ports();
    void set_network_ports(const QStringList& names);
    void remember_network_port(const QString& name);
    const QStringList& network_ports() const { return network_ports_; }
    void set_opening();
    void set_open(bool open);
    bool shows_open() const { return open_; }
    bool shows_opening() const { return opening_; }

signals:
    void open_requested(const QString& port_name, qint32 baud_rate);
    void close_requested();
    void baud_chosen(qint32 baud_rate);

private:
    void on_button();
    void show_state();

    QComboBox* ports_;
    QComboBox* bauds_;
    QPushButton* refresh_;
    QPushButton* button_;
    QStringList network_ports_;
    bool open_ = false;
    bool opening_ = false;
};

}  // namespace velmora::host_app
