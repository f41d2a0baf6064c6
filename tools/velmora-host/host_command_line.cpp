#include "tools/velmora-host/host_command_line.h"

namespace velmora::host_app {

namespace {

constexpr const char* k_program_name = "velmora-host";

}  // namespace

HostCommandLine::HostCommandLine()
    : port_(
          QStringLiteral("port"),
          QStringLiteral("Open serial port NAME at start: a device (ttyUSB0, /dev/pts/5) or a serial line on "
                         "the network, tcp://HOST:PORT (raw) or rfc2217://HOST:PORT (Telnet COM-PORT option, "
                         "which sets the remote line's baud rate)."),
          QStringLiteral("NAME")),
      baud_(QStringLiteral("baud"), QStringLiteral("Baud rate N for the port (default: the last one used)."),
            QStringLiteral("N")),
      plugin_dir_(
          QStringLiteral("plugin-dir"),
          QStringLiteral("Look for plug-ins (lib*.so) in DIR before the built-in folders; repeatable."),
          QStringLiteral("DIR")),
      open_(QStringLiteral("open"),
            QStringLiteral("Flash image for the plug-in to start with; it shows it ready to parse."),
            QStringLiteral("IMAGE")),
      connect_(QStringLiteral("connect"),
               QStringLiteral("With --port and --open: parse IMAGE and go online at start, as Parse and "
                              "\"Connect with Panel\" do, ready for the box's reset.")),
      client_(
          QStringLiteral("client"),
          QStringLiteral("Client program FILE to send the box (default: velmora.bin beside velmora-host)."),
          QStringLiteral("FILE")),
      log_(QStringLiteral("log"),
           QStringLiteral("Log what the terminal receives to FILE from the start, appended, in the form last "
                          "chosen beside the terminal's \"Log...\" (text lines with a timestamp each, or the "
                          "raw bytes)."),
           QStringLiteral("FILE")),
      help_({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit.")),
      version_({QStringLiteral("v"), QStringLiteral("version")},
               QStringLiteral("Show the version and exit.")) {
    parser_.setApplicationDescription(QStringLiteral(
        "Serial terminal for the set-top box, with a tab for each plug-in found in its plug-in "
        "folders: <program dir>/plugins and <program dir>/../lib/velmora/plugins."));
    parser_.addOptions({port_, baud_, plugin_dir_, open_, connect_, client_, log_, help_, version_});
}

bool HostCommandLine::parse(const QStringList& arguments) {
    options_ = HostOptions{};
    error_.clear();
    if (!parser_.parse(arguments)) {
        error_ = parser_.errorText();
        return false;
    }
    if (!parser_.positionalArguments().isEmpty()) {
        error_ = QStringLiteral("Unexpected argument '%1'.").arg(parser_.positionalArguments().first());
        return false;
    }
    help_requested_ = parser_.isSet(help_);
    version_requested_ = parser_.isSet(version_);
    options_.port = parser_.value(port_);
    options_.plugin_dirs = parser_.values(plugin_dir_);
    options_.open_image = parser_.value(open_);
    options_.connect = parser_.isSet(connect_);
    options_.client_file = parser_.value(client_);
    options_.log_file = parser_.value(log_);
    if (options_.connect && (options_.port.isEmpty() || options_.open_image.isEmpty())) {
        // Online without an image would send the box an empty block; without a port, nothing hears it.
        error_ = QStringLiteral("--connect needs --port NAME and --open IMAGE.");
        return false;
    }
    if (parser_.isSet(baud_)) {
        bool number = false;
        const int baud = parser_.value(baud_).toInt(&number);
        if (!number || baud <= 0) {
            error_ = QStringLiteral("--baud wants a positive number, not '%1'.").arg(parser_.value(baud_));
            return false;
        }
        options_.baud = baud;
    }
    return true;
}

QString HostCommandLine::help_text() const {
    QString text = parser_.helpText();
    // Qt names the program from the running application's first argument, or "<executable_name>"
    // when none exists yet, as when --help is answered before any window system is touched.
    static const QString usage = QStringLiteral("Usage: ");
    if (text.startsWith(usage)) {
        const qsizetype name_end = text.indexOf(QStringLiteral(" [options]"), usage.size());
        if (name_end > 0) {
            text.replace(usage.size(), name_end - usage.size(), QString::fromLatin1(k_program_name));
        }
    }
    return text;
}

}  // namespace velmora::host_app
