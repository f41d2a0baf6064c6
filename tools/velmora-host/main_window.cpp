#include "tools/velmora-host/main_window.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLayout>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QShowEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTextDocument>
#include <QToolBar>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>

#include "host/plugin_folders.h"
#include "link/host_components.h"
#include "tools/velmora-host/focus_ring.h"
#include "netline/network_port.h"

namespace velmora::host_app {

namespace {

constexpr const char* k_port_key = "port/name";
constexpr const char* k_baud_key = "port/baud";
constexpr const char* k_network_ports_key = "port/network_ports";
constexpr const char* k_line_end_key = "terminal/line_end";
constexpr const char* k_log_form_key = "terminal/log_form";
constexpr const char* k_geometry_key = "window/geometry";
constexpr const char* k_splitter_key = "window/splitter";
// The terminal lines that the first start keeps below the whole form, or below the scrolling form on a
// small screen: the box's last answers and the instruction the user must follow ("Please reset the
// STB!"). The status bar shows only while it has a message, and takes its line back when it hides.
constexpr int k_first_start_terminal_lines = 4;
constexpr int k_least_terminal_lines = 2;
// How long a message stays in the status bar.
constexpr std::chrono::milliseconds k_status_time{10000};

QPlainTextEdit* text_view(const TerminalPane& terminal) {
    return terminal.findChild<QPlainTextEdit*>();
}

// What a text view adds to its lines: its frame and the document's margins.
int text_frame(const QPlainTextEdit& text) {
    return 2 * text.frameWidth() + 2 * static_cast<int>(std::ceil(text.document()->documentMargin()));
}

}  // namespace

MainWindow::MainWindow(HostRegistry& registry, ComConnector& connector, OutputComponent& output,
                       const HostOptions& options, QWidget* parent)
    : QMainWindow(parent),
      registry_(registry),
      connector_(connector),
      output_(output),
      port_bar_(new PortBar),
      terminal_(new TerminalPane),
      plugin_tabs_(new PluginTabs),
      splitter_(new QSplitter(Qt::Vertical)) {
    setWindowTitle(QStringLiteral("velmora-host"));
    auto* bar = addToolBar(tr("Port"));
    bar->setObjectName(QStringLiteral("port_toolbar"));
    bar->setMovable(false);
    bar->addWidget(port_bar_);
    splitter_->setObjectName(QStringLiteral("host_splitter"));
    splitter_->addWidget(plugin_tabs_);
    splitter_->addWidget(terminal_);
    // The form has a fixed height, so a taller window gives its height to the terminal. The terminal
    // may be collapsed to make room for the form on a small screen; the form never is.
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setCollapsible(0, false);
    splitter_->setCollapsible(1, true);
    setCentralWidget(splitter_);
    FocusRing::install();
    // Empty, the status bar would only take the terminal's last line.
    statusBar()->hide();
    connect(statusBar(), &QStatusBar::messageChanged, statusBar(),
            [bar = statusBar()](const QString& message) { bar->setVisible(!message.isEmpty()); });
    // The text view alone would ask for more than the few lines the terminal keeps on a small screen.
    if (QPlainTextEdit* text = text_view(*terminal_); text != nullptr) {
        text->setMinimumHeight(text_frame(*text) +
                               k_least_terminal_lines * QFontMetrics(text->font()).lineSpacing());
    }

    const QSettings settings;
    port_bar_->set_network_ports(settings.value(k_network_ports_key).toStringList());
    port_bar_->set_port_name(options.port.isEmpty() ? settings.value(k_port_key).toString() : options.port);
    remembered_baud_ = settings.value(k_baud_key, PortBar::k_default_baud).toInt();
    port_bar_->set_baud_rate(options.baud > 0 ? options.baud : remembered_baud_);
    // A --baud is for this run; what the user chooses in the bar is the next run's default.
    connect(port_bar_, &PortBar::baud_chosen, this, [this](qint32 baud) {
        if (baud > 0) {
            remembered_baud_ = baud;
        }
    });
    terminal_->set_line_end(static_cast<TerminalPane::LineEnd>(
        settings.value(k_line_end_key, static_cast<int>(TerminalPane::LineEnd::cr)).toInt()));
    terminal_->log_toggle().set_form(static_cast<TerminalLog::Form>(
        settings.value(k_log_form_key, static_cast<int>(TerminalLog::Form::text)).toInt()));

    // The components emit from the connector thread or a plug-in's threads. "output" goes straight
    // into the terminal's bounded backlog, which the pane drains once per frame; the other
    // connections are queued there, so the panes are only touched here.
    terminal_->attach(output_);
    connect(&connector_, &ComConnector::terminal_mode_changed, terminal_, &TerminalPane::set_upgrade_mode);
    connect(&connector_, &ComConnector::open_finished, this, &MainWindow::on_open_finished);
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
    // Before any port opens, so the log has the box's first bytes.
    if (!options.log_file.isEmpty()) {
        if (const std::optional<QString> failure = terminal_->log_toggle().start(options.log_file)) {
            std::fprintf(stderr, "velmora-host: %s\n", qPrintable(*failure));
        }
    }
}

MainWindow::~MainWindow() {
    registry_.set_logger({});
    save_settings();
}

std::vector<PluginTabs::Outcome> MainWindow::load_plugins(const QStringList& folders) {
    std::vector<PluginTabs::Outcome> outcomes = plugin_tabs_->load_all(find_plugins(folders), registry_);
    // With one plug-in its tab bar hides; the title names the plug-in instead.
    setWindowTitle(plugin_tabs_->count() == 1
                       ? QStringLiteral("%1 - velmora-host").arg(plugin_tabs_->tabText(0))
                       : QStringLiteral("velmora-host"));
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

void MainWindow::open_port() {
    opening_ = port_bar_->port_name();
    port_bar_->set_opening();
    statusBar()->showMessage(tr("Opening %1...").arg(opening_), static_cast<int>(k_status_time.count()));
    connector_.open_async(opening_, port_bar_->baud_rate());
}

void MainWindow::on_open_finished(bool opened, const QString& error) {
    // A close (the bar's Cancel) may have come after the connector reported the open.
    if (!opened || !connector_.is_open()) {
        port_bar_->set_open(false);
        if (!opened) {
            report(error);
        }
        return;
    }
    port_bar_->set_open(true);
    if (netline::is_network_port_name(opening_.toStdString())) {
        port_bar_->remember_network_port(opening_);
    }
    statusBar()->showMessage(tr("%1 open at %2 baud").arg(opening_).arg(port_bar_->baud_rate()),
                             static_cast<int>(k_status_time.count()));
    save_settings();
}

void MainWindow::place(const QRect& available, const QList<QRect>& other_screens) {
    placed_ = true;
    // Made now, so that a window system that frames windows before they show tells how (offscreen does).
    create();
    if (restore_layout(QList<QRect>{available} + other_screens)) {
        return;
    }
    const WindowPlacement placement = first_start_placement(sizing_input(available));
    setGeometry(placement.geometry);
    // The splitter takes its sizes as shares of the height it has, so it must have the window's first.
    if (QLayout* window_layout = layout(); window_layout != nullptr) {
        window_layout->activate();
    }
    splitter_->setSizes(placement.splitter_sizes);
}

void MainWindow::place_on_screens() {
    const QScreen* own = screen();
    QList<QRect> others;
    for (const QScreen* other : QGuiApplication::screens()) {
        if (other != own) {
            others << other->availableGeometry();
        }
    }
    place(own != nullptr ? own->availableGeometry() : QRect(), others);
}

QSize MainWindow::form_size_hint() const {
    QSize content;
    QSize pages;
    for (int i = 0; i < plugin_tabs_->count(); ++i) {
        QWidget* page = plugin_tabs_->widget(i);
        pages = pages.expandedTo(page->sizeHint());
        if (const auto* area = qobject_cast<const QScrollArea*>(page);
            area != nullptr && area->widget() != nullptr) {
            const int frame = 2 * area->frameWidth();
            content = content.expandedTo(
                area->widget()->sizeHint().expandedTo(area->widget()->minimumSize()) + QSize(frame, frame));
        }
    }
    if (content.isEmpty()) {
        return plugin_tabs_->sizeHint();
    }
    // The tab bar and the tab widget's own frame: what its size hint adds to its pages' hints, which
    // a scroll area keeps small whatever it holds.
    const QSize tabs = plugin_tabs_->sizeHint() - pages;
    return content + QSize(std::max(tabs.width(), 0), std::max(tabs.height(), 0));
}

WindowSizingInput MainWindow::sizing_input(const QRect& available) const {
    WindowSizingInput input;
    input.available = available;
    const QWindow* window = windowHandle();
    if (window != nullptr && !window->frameMargins().isNull()) {
        input.frame = window->frameMargins();
    } else {
        // Before the window system has framed the window: room for a title bar and borders.
        const int border = style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, this);
        const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
        input.frame = QMargins(border, title + border, border, border);
    }
    const QSize outside = sizeHint() - splitter_->sizeHint();
    input.chrome = QSize(std::max({minimumSizeHint().width(), terminal_->minimumSizeHint().width(),
                                   port_bar_->sizeHint().width()}),
                         std::max(outside.height(), 0));
    input.form = form_size_hint();
    input.scroll_bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    input.splitter_handle = splitter_->handleWidth();
    if (const QPlainTextEdit* text = text_view(*terminal_); text != nullptr) {
        input.terminal_base = terminal_->sizeHint().height() - text->sizeHint().height() + text_frame(*text);
        input.terminal_line = QFontMetrics(text->font()).lineSpacing();
    } else {
        input.terminal_base = terminal_->minimumSizeHint().height();
    }
    input.terminal_min_lines = k_first_start_terminal_lines;
    return input;
}

bool MainWindow::restore_layout(const QList<QRect>& screens) {
    const QSettings settings;
    const QByteArray geometry_state = settings.value(k_geometry_key).toByteArray();
    if (geometry_state.isEmpty() || !restoreGeometry(geometry_state)) {
        return false;
    }
    splitter_->restoreState(settings.value(k_splitter_key).toByteArray());
    if (isMaximized() || isFullScreen()) {
        return true;
    }
    // A screen gone, smaller or at a larger scale factor than last time: the window moves and shrinks
    // into the screen it was left on, or the first.
    setGeometry(remembered_placement(geometry(), sizing_input(screens.front()).frame, screens));
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

std::vector<QWidget*> MainWindow::keyboard_order() const {
    // The window's focus chain holds every control in the order it was made; Qt's own rule for a Tab
    // stop (takes Tab, no focus proxy, shown, enabled) picks them, and the parts of the window order them.
    std::vector<QWidget*> forms;
    std::vector<QWidget*> terminal;
    std::vector<QWidget*> port;
    std::vector<QWidget*> rest;
    for (QWidget* widget = nextInFocusChain(); widget != nullptr && widget != this;
         widget = widget->nextInFocusChain()) {
        const bool stop = (widget->focusPolicy() & Qt::TabFocus) != 0 && widget->focusProxy() == nullptr &&
                          widget->isVisibleTo(this) && widget->isEnabled() && widget->window() == this;
        if (!stop) {
            continue;
        }
        if (plugin_tabs_->isAncestorOf(widget)) {
            forms.push_back(widget);
        } else if (terminal_->isAncestorOf(widget)) {
            terminal.push_back(widget);
        } else if (port_bar_->isAncestorOf(widget)) {
            port.push_back(widget);
        } else {
            rest.push_back(widget);
        }
    }
    // The port bar's Open/Close button, which may close the port under a running transfer, last.
    std::stable_partition(port.begin(), port.end(), [](QWidget* widget) {
        return widget->objectName() != QStringLiteral("open_close");
    });
    std::vector<QWidget*> order = std::move(forms);
    for (auto* part : {&terminal, &port, &rest}) {
        order.insert(order.end(), part->begin(), part->end());
    }
    return order;
}

bool MainWindow::focusNextPrevChild(bool next) {
    const std::vector<QWidget*> order = keyboard_order();
    if (order.empty()) {
        return QMainWindow::focusNextPrevChild(next);
    }
    // The stop that holds the focus, or holds the part of a control that does.
    QWidget* focused = QApplication::focusWidget();
    auto at = std::find_if(order.begin(), order.end(), [focused](QWidget* stop) {
        return stop == focused || (focused != nullptr && stop->isAncestorOf(focused));
    });
    QWidget* target = nullptr;
    if (at == order.end()) {
        target = next ? order.front() : order.back();
    } else {
        const auto index = static_cast<std::ptrdiff_t>(at - order.begin());
        const auto count = static_cast<std::ptrdiff_t>(order.size());
        target = order[static_cast<std::size_t>((index + (next ? 1 : -1) + count) % count)];
    }
    target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_once_) {
        return;
    }
    shown_once_ = true;
    // Qt would start on the first control made, the port bar's; with the port open that is its Close.
    const std::vector<QWidget*> order = keyboard_order();
    if (!order.empty()) {
        order.front()->setFocus(Qt::OtherFocusReason);
    }
}

void MainWindow::save_settings() const {
    QSettings settings;
    settings.setValue(k_port_key, port_bar_->port_name());
    settings.setValue(k_baud_key, remembered_baud_);
    settings.setValue(k_network_ports_key, port_bar_->network_ports());
    settings.setValue(k_line_end_key, static_cast<int>(terminal_->line_end()));
    settings.setValue(k_log_form_key, static_cast<int>(terminal_->log_toggle().form()));
    if (placed_) {
        settings.setValue(k_geometry_key, saveGeometry());
        settings.setValue(k_splitter_key, splitter_->saveState());
    }
}

}  // namespace velmora::host_app
