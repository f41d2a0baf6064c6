// The command line of velmora-host.
//
//   --port NAME       open this serial port at start: a name such as ttyUSB0, a path such as /dev/pts/5,
//                     or a serial line on the network, tcp://HOST:PORT (raw) or rfc2217://HOST:PORT
//   --baud N          baud rate for it (else the one remembered from the last run)
//   --plugin-dir DIR  look for plug-ins in DIR first; may be given more than once
//   --open IMAGE      a flash image for the plug-in to start with; the host only passes it on, as an
//                     absolute path, through its "host options" component
//   --connect         with --port and --open: the plug-in parses IMAGE and goes online at start,
//                     ready for the box's reset
//   --client FILE     the client program to send the box instead of velmora.bin beside the host
//                     (passed on as an absolute path, as IMAGE is)
//   --log FILE        log what the terminal receives to FILE from the start, appended, in the form
//                     last chosen in the window
//
// Callers may rely on: parse() never exits the program and needs no QApplication, so `--help`
// works without a display; `help_text()` is the full usage text under the program's own name.
#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

namespace velmora::host_app {

struct HostOptions {
    QString port;
    qint32 baud = 0;  // 0: not given
    QStringList plugin_dirs;
    QString open_image;
    bool connect = false;
    QString client_file;
    QString log_file;
};

class HostCommandLine {
public:
    HostCommandLine();

    // False with `error()` set when the arguments (program name first) are wrong.
    bool parse(const QStringList& arguments);
    bool help_requested() const { return help_requested_; }
    bool version_requested() const { return version_requested_; }
    const HostOptions& options() const { return options_; }
    const QString& error() const { return error_; }
    // Starts "Usage: velmora-host [options]", whatever the program file is called.
    QString help_text() const;

private:
    QCommandLineParser parser_;
    QCommandLineOption port_;
    QCommandLineOption baud_;
    QCommandLineOption plugin_dir_;
    QCommandLineOption open_;
    QCommandLineOption connect_;
    QCommandLineOption client_;
    QCommandLineOption log_;
    QCommandLineOption help_;
    QCommandLineOption version_;
    HostOptions options_;
    QString error_;
    bool help_requested_ = false;
    bool version_requested_ = false;
};

}  // namespace velmora::host_app
