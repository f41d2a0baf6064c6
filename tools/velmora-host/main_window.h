// The host's window: the port bar, the plug-in tabs above and the terminal pane below. It drives the
// host's components (the registry, "com connector" and "output") that main() owns, and remembers
// the port, baud rate, the network ports used and the line end between runs (QSettings, per user).
// The baud rate remembered is the one last chosen in the port bar: a --baud given for one run shows
// in the bar but is not kept.
//
// Callers may rely on: the window reports every plug-in it could not load, and every port it could
// not open, in the terminal pane and on standard error; opening a port never blocks the window (a
// network port may take its connect time: the bar shows it under way and can cancel it); its
// destructor detaches from the components (the registry's logger, the components' signals), which
// outlive it. Once place() has run, the window's geometry and splitter are remembered too, and the
// next place() restores them (within the screen) instead of the first-start size of window_sizing.h.
//
// The keyboard reads the window as a user works in it: Tab goes through the plug-ins' forms first,
// then the terminal, then the port bar, whose Open/Close button comes last; the window opens with the
// focus on the plug-ins' side, so no key press right after start (or after the form's last control)
// lands on a button that closes the port. Every control the keyboard reaches shows a focus ring
// (focus_ring.h).
#pragma once

#include <QMainWindow>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <vector>

#include "host/com_connector.h"
#include "host/host_registry.h"
#include "host/output_component.h"
#include "tools/velmora-host/host_command_line.h"
#include "tools/velmora-host/plugin_tabs.h"
#include "tools/velmora-host/port_bar.h"
#include "tools/velmora-host/terminal_pane.h"
#include "tools/velmora-host/window_sizing.h"

class QSplitter;

namespace velmora::host_app {

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    MainWindow(HostRegistry& registry, ComConnector& connector, OutputComponent& output,
               const HostOptions& options, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Loads the plug-ins of `folders` (see plugin_folders.h for the order) into tabs.
    std::vector<PluginTabs::Outcome> load_plugins(const QStringList& folders);
    // Starts opening the port shown in the port bar; the bar shows the outcome, and a failure is
    // reported with its reason.
    void open_port();

    // Sizes and places the window: as the user left it last time when the settings hold that (on the
    // screen of `available` and `other_screens`, the screens' available areas, that it was left on),
    // else at the first-start size for the plug-ins loaded by then, on `available`. Call it after
    // load_plugins and before show.
    void place(const QRect& available, const QList<QRect>& other_screens = {});
    // place() on the screens the window system has, a new window's own screen first.
    void place_on_screens();
    // What first_start_placement is given for `available`, measured on the window's parts.
    WindowSizingInput sizing_input(const QRect& available) const;
    // The plug-in pane's size that shows the largest plug-in form whole, without scrolling.
    QSize form_size_hint() const;

    PortBar& port_bar() { return *port_bar_; }
    TerminalPane& terminal() { return *terminal_; }
    PluginTabs& plugin_tabs() { return *plugin_tabs_; }
    QSplitter& splitter() { return *splitter_; }

    // The controls Tab stops at now (shown and enabled), in the order Tab takes them.
    std::vector<QWidget*> keyboard_order() const;

protected:
    bool focusNextPrevChild(bool next) override;
    void showEvent(QShowEvent* event) override;

private:
    void report(const QString& message);
    void close_port();
    void on_open_finished(bool opened, const QString& error);
    void on_port_lost(const QString& reason);
    void send_line(const QByteArray& bytes);
    void save_settings() const;
    bool restore_layout(const QList<QRect>& screens);

    HostRegistry& registry_;
    ComConnector& connector_;
    OutputComponent& output_;
    PortBar* port_bar_;
    TerminalPane* terminal_;
    PluginTabs* plugin_tabs_;
    QSplitter* splitter_;
    QString opening_;  // the port being opened
    // Set by place(): only a window placed on a screen has a layout worth remembering.
    bool placed_ = false;
    qint32 remembered_baud_ = 0;
    bool shown_once_ = false;
};

}  // namespace velmora::host_app
