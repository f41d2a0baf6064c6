// The host's window: the port bar, the plug-in tabs above and the terminal pane below. It drives the
// host's components (the registry, "com connector" and "output") that main() owns, and remembers
// the port, baud rate and line end between runs (QSettings).
//
// Callers may rely on: the window reports every plug-in it could not load, and every port it could
// not open, in the terminal pane and on standard error; its destructor detaches from the components
// (the registry's logger, the components' signals), which outlive it.
#pragma once

#include <QMainWindow>
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

namespace velmora::host_app {

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    MainWindow(HostRegistry& registry, ComConnector& connector, OutputComponent& output,
               const HostOptions& options, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Loads the plug-ins of `folders` (see plugin_folders.h for the order) into tabs.
    std::vector<PluginTabs::Outcome> load_plugins(const QStringList& folders);
    // Opens the port shown in the port bar; false (and the reason reported) when it cannot.
    bool open_port();

    PortBar& port_bar() { return *port_bar_; }
    TerminalPane& terminal() { return *terminal_; }
    PluginTabs& plugin_tabs() { return *plugin_tabs_; }

private:
    void report(const QString& message);
    void close_port();
    void on_port_lost(const QString& reason);
    void send_line(const QByteArray& bytes);
    void save_settings() const;

    HostRegistry& registry_;
    ComConnector& connector_;
    OutputComponent& output_;
    PortBar* port_bar_;
    TerminalPane* terminal_;
    PluginTabs* plugin_tabs_;
};

}  // namespace velmora::host_app
