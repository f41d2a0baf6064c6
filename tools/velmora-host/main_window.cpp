#include "tools/velmora-host/main_window.h"

#include <QMetaObject>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <chrono>
#include <cstdio>

#include "host/plugin_folders.h"
#include "link/host_components.h"

namespace velmora::host_app {

namespace {

constexpr const char* k_port_key = "port/name";
constexpr const char* k_baud_key = "port/baud";
constexpr const char* k_line_end_key = "terminal/line_end";
// How long a message stays in the status bar.
constexpr std::chrono::milliseconds k_status_time{10000};

}  // namespace

MainWindow::MainWindow(HostRegistry& registry, ComConnector& connector, OutputComponent& output,
                       const HostOptions& options, QWidget* parent)
    : QMainWindow(parent),
      registry_(registry),
      connector_(connector),
      output_(output),
      port_bar_(new PortBar),
      terminal_(new TerminalPane),
      plugin_tabs_(new PluginTabs) {
    setWindowTitle(QStringLiteral("velmora-host"));
    auto* bar = addToolBar(tr("Port"));
    bar->setObjectName(QStringLiteral("port_toolbar"));
    bar->setMovable(false);
    bar->addWidget(port_bar_);
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(plugin_tabs_);
    splitter->addWidget(terminal_);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    // The plug-in's form is the work; the terminal gets a quarter. Sizes are scaled to the window.
    splitter->setSizes({3000, 1000});
    setCentralWidget(splitter);
    resize(1000, 800);

    const QSettings settings;
    port_bar_->set_port_name(options.port.isEmpty() ? settings.value(k_port_key).toString() : options.port);
    port_bar_->set_baud_rate(options.baud > 0 ? options.baud
                                              : settings.value(k_baud_key, PortBar::k_default_baud).toInt());
    terminal_->set_line_end(static_cast<TerminalPane::LineEnd>(
        settings.value(k_line_end_key, static_cast<int>(TerminalPane::LineEnd::cr)).toInt()));

    // The components emit from the connector thread or a plug-in's threads. "output" goes straight
    // into the terminal's bounded backlog, which the pane drains once per frame; the other
    // connections are queued there, so the panes are only touched here.
    terminal_->attach(output_);
    connect(&connector_, &ComConnector::terminal_mode_changed, terminal_, &TerminalPane::set_upgrade_mode);
    connect(&connector_, &ComConnector::port_lost, this, &MainWindow::on_port_lost);
    connect(port_bar_, &PortBar::open_requested, this, [this] { open_port(); });
    connect(port_bar_, &PortBar::close_requested, this, &MainWindow::close_port);
    connect(terminal_, &TerminalPane::line_entered, this, &MainWindow::send_line);

    // Through "output", which outlives the window and hands the text to the terminal's backlog, so
    // a plug-in may register from any thread.
    registry_.set_logger([&output](const std::string& line) {
        output.deliver({k_output_text, static_cast<std::uint32_t>(line.size()), line.data()});
    });
    port_bar_->set_open(connector_.is_open());
    terminal_->set_upgrade_mode(connector_.upgrade_mode());
}

MainWindow::~MainWindow() {
    registry_.set_logger({});
    save_settings();
}

std::vector<PluginTabs::Outcome> MainWindow::load_plugins(const QStringList& folders) {
    std::vector<PluginTabs::Outcome> outcomes = plugin_tabs_->load_all(find_plugins(folders), registry_);
    for (const PluginTabs::Outcome& outcome : outcomes) {
        if (!outcome.loaded) {
            report(outcome.message);
        }
    }
    if (outcomes.empty()) {
        report(tr("No plug-in found in %1").arg(folders.join(QStringLiteral(", "))));
    }
    return outcomes;
}

bool MainWindow::open_port() {
    QString error;
    const QString name = port_bar_->port_name();
    if (!connector_.open(name, port_bar_->baud_rate(), error)) {
        port_bar_->set_open(false);
        report(error);
        return false;
    }
    port_bar_->set_open(true);
    statusBar()->showMessage(tr("%1 open at %2 baud").arg(name).arg(port_bar_->baud_rate()),
                             static_cast<int>(k_status_time.count()));
    save_settings();
    return true;
}

void MainWindow::report(const QString& message) {
    terminal_->append_notice(message);
    statusBar()->showMessage(message, static_cast<int>(k_status_time.count()));
    std::fprintf(stderr, "velmora-host: %s\n", qPrintable(message));
}

void MainWindow::close_port() {
    connector_.close();
    port_bar_->set_open(false);
    statusBar()->showMessage(tr("Port closed"), static_cast<int>(k_status_time.count()));
}

void MainWindow::on_port_lost(const QString& reason) {
    port_bar_->set_open(false);
    report(reason);
}

void MainWindow::send_line(const QByteArray& bytes) {
    if (!connector_.send(bytes)) {
        report(tr("The port is not open; nothing was sent"));
    }
}

void MainWindow::save_settings() const {
    QSettings settings;
    settings.setValue(k_port_key, port_bar_->port_name());
    settings.setValue(k_baud_key, port_bar_->baud_rate());
    settings.setValue(k_line_end_key, static_cast<int>(terminal_->line_end()));
}

}  // namespace velmora::host_app
