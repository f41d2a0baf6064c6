// velmora-host's command line, parsed in-process and through the program.
#include <gtest/gtest.h>

#include <QProcess>

#include "tools/velmora-host/host_command_line.h"

namespace velmora::host_app {
namespace {

TEST(HostCommandLineTest, ParsesOptionsAndRefusesWrongOnes) {
    struct Case {
        QStringList arguments;
        bool ok;
        QString port;
        qint32 baud;
        QStringList plugin_dirs;
        QString open_image;
        QString error_part;
    };
    const std::vector<Case> cases = {
        {{}, true, {}, 0, {}, {}, {}},
        {{"--port", "/dev/pts/5", "--baud", "57600"}, true, "/dev/pts/5", 57600, {}, {}, {}},
        {{"--plugin-dir", "a", "--plugin-dir=b", "--open", "in.bin"}, true, {}, 0, {"a", "b"}, "in.bin", {}},
        {{"--baud", "fast"}, false, {}, 0, {}, {}, "--baud wants a positive number, not 'fast'"},
        {{"--baud", "0"}, false, {}, 0, {}, {}, "--baud"},
        {{"--port"}, false, {}, 0, {}, {}, "port"},
        {{"--bogus"}, false, {}, 0, {}, {}, "bogus"},
        {{"image.bin"}, false, {}, 0, {}, {}, "image.bin"},
        {{"--port", "p", "--open", "i.bin", "--connect"}, true, "p", 0, {}, "i.bin", {}},
        {{"--port", "p", "--connect"}, false, {}, 0, {}, {}, "--connect needs --port NAME and --open IMAGE"},
        {{"--open", "i.bin", "--connect"}, false, {}, 0, {}, {}, "--connect needs"},
        {{"--client", "c.bin"}, true, {}, 0, {}, {}, {}},
        {{"--log", "session.log"}, true, {}, 0, {}, {}, {}},
        {{"--log"}, false, {}, 0, {}, {}, "log"},
    };
    for (const Case& c : cases) {
        HostCommandLine command_line;
        const bool ok = command_line.parse(QStringList{QStringLiteral("velmora-host")} + c.arguments);
        const std::string label = c.arguments.join(' ').toStdString();
        ASSERT_EQ(ok, c.ok) << label << ": " << command_line.error().toStdString();
        if (!ok) {
            EXPECT_TRUE(command_line.error().contains(c.error_part)) << command_line.error().toStdString();
            continue;
        }
        EXPECT_EQ(command_line.options().port, c.port) << label;
        EXPECT_EQ(command_line.options().baud, c.baud) << label;
        EXPECT_EQ(command_line.options().plugin_dirs, c.plugin_dirs) << label;
        EXPECT_EQ(command_line.options().open_image, c.open_image) << label;
        EXPECT_EQ(command_line.options().connect, c.arguments.contains(QStringLiteral("--connect"))) << label;
        EXPECT_EQ(command_line.options().log_file,
                  c.arguments.contains(QStringLiteral("--log")) ? QStringLiteral("session.log") : QString())
            << label;
        EXPECT_FALSE(command_line.help_requested());
    }
}

TEST(HostCommandLineTest, HelpNamesTheProgram) {
    // In-process a QApplication exists, whose first argument is the test program's path.
    HostCommandLine command_line;
    ASSERT_TRUE(command_line.parse({QStringLiteral("/some/dir/renamed-binary"), QStringLiteral("--help")}));
    EXPECT_TRUE(command_line.help_requested());
    const QString text = command_line.help_text();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Usage: velmora-host [options]\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("--port <NAME>")));
}

TEST(HostProgramTest, HelpListsTheOptionsAndAWrongOptionFails) {
    QProcess help;
    // No display and no platform: the command line is answered before any window system is needed.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    help.setProcessEnvironment(environment);
    help.start(QStringLiteral(VELMORA_HOST_PROGRAM), {QStringLiteral("--help")});
    ASSERT_TRUE(help.waitForFinished());
    EXPECT_EQ(help.exitCode(), 0);
    const QString text = QString::fromLocal8Bit(help.readAllStandardOutput());
    EXPECT_TRUE(text.startsWith(QStringLiteral("Usage: velmora-host [options]\n"))) << text.toStdString();
    for (const char* option : {"--port <NAME>", "--baud <N>", "--plugin-dir <DIR>", "--open <IMAGE>", "--log <FILE>"}) {
        EXPECT_TRUE(text.contains(QString::fromLatin1(option))) << option << " missing in\n"
                                                                << text.toStdString();
    }

    QProcess wrong;
    wrong.start(QStringLiteral(VELMORA_HOST_PROGRAM), {QStringLiteral("--bogus")});
    ASSERT_TRUE(wrong.waitForFinished());
    EXPECT_NE(wrong.exitCode(), 0);
    EXPECT_TRUE(QString::fromLocal8Bit(wrong.readAllStandardError()).contains(QStringLiteral("bogus")));
}

}  // namespace
}  // namespace velmora::host_app
