// velmora-host: the serial terminal that hosts the plug-ins.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "host/com_connector.h"
#include "host/host_registry.h"
#include "host/output_component.h"
#include "host/plugin_folders.h"
#include "host/start_options.h"
#include "tools/velmora-host/host_command_line.h"
#include "tools/velmora-host/main_window.h"

using namespace velmora;
using namespace velmora::host_app;

namespace {

constexpr int k_usage_error = 2;

}  // namespace

int main(int argc, char** argv) {
    // The settings live per user, under the organisation's name (~/.config/Velmora on Linux).
    QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
    QCoreApplication::setApplicationName(QStringLiteral("velmora-host"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));

    // Parsed before the QApplication exists, so --help needs no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    HostCommandLine command_line;
    if (!command_line.parse(arguments)) {
        std::fprintf(stderr, "velmora-host: %s\nTry 'velmora-host --help'.\n",
                     qPrintable(command_line.error()));
        return k_usage_error;
    }
    if (command_line.help_requested()) {
        std::fputs(qPrintable(command_line.help_text()), stdout);
        return 0;
    }
    if (command_line.version_requested()) {
        std::printf("velmora-host %s\n", VELMORA_VERSION);
        return 0;
    }
    const HostOptions& options = command_line.options();
    // What the plug-ins act on, asked of the "host options" component.
    const auto absolute = [](const QString& path) {
        return path.isEmpty() ? std::string()
                              : QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString();
    };
    StartOptions start_options{absolute(options.open_image), options.connect, absolute(options.client_file)};

    QApplication app(argc, argv);
    // The components outlive the window, and the plug-ins' own components (never destroyed) outlive
    // both: at the end the host's components leave the registry first, so a plug-in thread that
    // still looks them up gets the null component.
    HostRegistry registry;
    OutputComponent output(&registry);
    ComConnector connector(&registry);
    StartOptionsComponent start_options_component(&registry, std::move(start_options));
    int result = 0;
    {
        MainWindow window(registry, connector, output, options);
        QStringList plugin_dirs;
        for (const QString& dir : options.plugin_dirs) {
            plugin_dirs << QDir(dir).absolutePath();
        }
        window.load_plugins(plugin_folders(QCoreApplication::applicationDirPath(), plugin_dirs));
        // The first-start size depends on the plug-ins' forms, so they are loaded first.
        window.place_on_screens();
        window.show();
        if (!options.port.isEmpty()) {
            window.open_port();
        }
        result = QApplication::exec();
    }
    registry.set_broadcasting(false);
    registry.unregister_component(&connector);
    registry.unregister_component(&output);
    registry.unregister_component(&start_options_component);
    return result;
}
