// Finding and loading plug-ins: the folders, the four exports, and the window's tabs and reports.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>
#include <thread>

#include "host/com_connector.h"
#include "host/host_registry.h"
#include "host/output_component.h"
#include "host/plugin_folders.h"
#include "host/plugin_library.h"
#include "pseudo_terminal.h"
#include "recording_component.h"
#include "tcp_peer.h"
#include "tools/velmora-host/main_window.h"

namespace velmora {
namespace {

using host_app::HostOptions;
using host_app::MainWindow;

const QString k_plugin_dir = QStringLiteral(VELMORA_TEST_PLUGIN_DIR);
const QString k_good_plugin = k_plugin_dir + QStringLiteral("/libvelmora_test_plugin.so");
const QString k_incomplete_plugin = k_plugin_dir + QStringLiteral("/libvelmora_incomplete_plugin.so");

void touch(const QString& path, const QByteArray& content = {}) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(content);
}

TEST(PluginFoldersTest, CommandLineFoldersFirstThenBesideTheProgramThenInstalled) {
    EXPECT_EQ(plugin_folders(QStringLiteral("/opt/velmora/bin"), {QStringLiteral("/work/plugins")}),
              (QStringList{QStringLiteral("/work/plugins"), QStringLiteral("/opt/velmora/bin/plugins"),
                           QStringLiteral("/opt/velmora/lib/velmora/plugins")}));
}

TEST(PluginFoldersTest, FindsLibSoFilesInNameOrderAndTheFirstOfEachName) {
    QTemporaryDir first;
    QTemporaryDir second;
    for (const char* name : {"libb.so", "liba.so", "notes.txt", "liba.so.1", "plugin.so"}) {
        touch(first.filePath(QString::fromLatin1(name)));
    }
    ASSERT_TRUE(QDir(first.path()).mkdir(QStringLiteral("libfolder.so")));
    touch(second.filePath(QStringLiteral("liba.so")));
    touch(second.filePath(QStringLiteral("libc.so")));

    const QStringList found =
        find_plugins({first.filePath(QStringLiteral("missing")), first.path(), second.path()});
    EXPECT_EQ(found, (QStringList{first.filePath(QStringLiteral("liba.so")),
                                  first.filePath(QStringLiteral("libb.so")),
                                  second.filePath(QStringLiteral("libc.so"))}));
}

TEST(PluginLibraryTest, LoadsOnlyLibrariesWithAllFourExports) {
    QTemporaryDir dir;
    const QString not_a_library = dir.filePath(QStringLiteral("libtext.so"));
    touch(not_a_library, "not an ELF file");
    struct Case {
        QString path;
        bool loads;
        QString message_part;
    };
    const std::vector<Case> cases = {
        {k_good_plugin, true, {}},
        {k_incomplete_plugin, false, QStringLiteral("it does not export dll_is_gui")},
        {dir.filePath(QStringLiteral("libmissing.so")), false, {}},
        {not_a_library, false, {}},
    };
    for (const Case& c : cases) {
        QString error;
        auto plugin = PluginLibrary::load(c.path, error);
        ASSERT_EQ(plugin != nullptr, c.loads) << c.path.toStdString() << ": " << error.toStdString();
        if (c.loads) {
            EXPECT_EQ(plugin->title(), QStringLiteral("Test Plug-in"));
            EXPECT_TRUE(plugin->is_gui());
        } else {
            EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot load plug-in ") + c.path))
                << error.toStdString();
            EXPECT_TRUE(error.contains(c.message_part)) << error.toStdString();
        }
    }
}

// The window with the host's components, its settings kept in a folder of the test's own.
class HostWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(settings_dir.isValid());
        QCoreApplication::setOrganizationName(QStringLiteral("velmora-test"));
        QCoreApplication::setApplicationName(QStringLiteral("velmora-host-test"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir.path());
    }

    std::unique_ptr<MainWindow> make_window(const HostOptions& options = {}) {
        return std::make_unique<MainWindow>(registry, connector, output, options);
    }

    // Waits until the terminal shows `text`; whether it does.
    static bool terminal_shows(MainWindow& window, const QString& text) {
        const auto deadline = std::chrono::steady_clock::now() + test::k_wait;
        while (!window.terminal().text().contains(text) && std::chrono::steady_clock::now() < deadline) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return window.terminal().text().contains(text);
    }

    // Opens from the bar and waits until the open has ended; whether the bar shows the port open.
    static bool open_from_bar(MainWindow& window) {
        window.open_port();
        const auto deadline = std::chrono::steady_clock::now() + test::k_wait;
        while (window.port_bar().shows_opening() && std::chrono::steady_clock::now() < deadline) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return window.port_bar().shows_open();
    }

    QTemporaryDir settings_dir;
    HostRegistry registry;
    OutputComponent output{&registry};
    ComConnector connector{&registry};
};

TEST_F(HostWindowTest, GoodPluginGetsATabWithItsTitleAndABadOneIsReportedAndSkipped) {
    auto window = make_window();
    testing::internal::CaptureStderr();
    const auto outcomes = window->load_plugins({k_plugin_dir});
    const std::string errors = testing::internal::GetCapturedStderr();

    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_FALSE(outcomes[0].loaded);
    EXPECT_EQ(outcomes[0].path, k_incomplete_plugin);
    EXPECT_TRUE(outcomes[1].loaded);
    EXPECT_EQ(outcomes[1].title, QStringLiteral("Test Plug-in"));

    auto& tabs = window->plugin_tabs();
    ASSERT_EQ(tabs.count(), 1);
    EXPECT_EQ(tabs.tabText(0), QStringLiteral("Test Plug-in"));
    auto* scroll = qobject_cast<QScrollArea*>(tabs.widget(0));
    ASSERT_NE(scroll, nullptr);
    auto* label = scroll->widget()->findChild<QLabel*>(QStringLiteral("test_plugin_label"));
    ASSERT_NE(label, nullptr);
    EXPECT_GE(scroll->widget()->layout()->indexOf(label), 0) << "the plug-in's widget follows the tab's size";

    const QString report = outcomes[0].message;
    EXPECT_TRUE(report.contains(QStringLiteral("dll_is_gui")));
    EXPECT_TRUE(window->terminal().text().contains(report));
    EXPECT_NE(errors.find(report.toStdString()), std::string::npos) << errors;
    // The good plug-in reached "output" through the registry it was given.
    EXPECT_TRUE(window->terminal().text().contains(QStringLiteral("test plug-in says hello\n")));
}

TEST_F(HostWindowTest, EmptyPluginFolderIsReported) {
    QTemporaryDir empty;
    auto window = make_window();
    testing::internal::CaptureStderr();
    EXPECT_TRUE(window->load_plugins({empty.path()}).empty());
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(window->plugin_tabs().count(), 0);
    EXPECT_TRUE(window->terminal().text().contains(QStringLiteral("No plug-in found in ") + empty.path()));
}

TEST_F(HostWindowTest, RegistrationsFromAnyThreadAreLoggedInTheTerminal) {
    auto window = make_window();
    std::unique_ptr<test::RecordingComponent> agent;
    std::thread plugin_thread(
        [this, &agent] { agent = std::make_unique<test::RecordingComponent>("velmora", &registry); });
    plugin_thread.join();
    EXPECT_FALSE(window->terminal().text().contains(QStringLiteral("velmora")))
        << "touched from the other thread";
    QApplication::processEvents();
    EXPECT_TRUE(window->terminal().text().contains(QStringLiteral("component <velmora> registered\n")));
}

TEST_F(HostWindowTest, OpensThePortFromTheBarAndShowsWhatTheBoxSends) {
    test::PseudoTerminal pty;
    HostOptions options;
    options.port = QString::fromStdString(pty.slave_path());
    options.baud = 57600;
    auto window = make_window(options);
    EXPECT_EQ(window->port_bar().port_name(), options.port);
    EXPECT_EQ(window->port_bar().baud_rate(), 57600);
    ASSERT_TRUE(open_from_bar(*window));

    pty.write_master("U-Boot 2010.06\r\n");
    EXPECT_TRUE(terminal_shows(*window, QStringLiteral("U-Boot 2010.06\n")));

    // The settings remember the port for the next run; the baud rate given for this run is not the
    // next run's default (only one chosen in the bar is).
    window.reset();
    EXPECT_EQ(QSettings().value(QStringLiteral("port/name")).toString(), options.port);
    EXPECT_EQ(QSettings().value(QStringLiteral("port/baud")).toInt(), host_app::PortBar::k_default_baud);
}

TEST_F(HostWindowTest, PortThatCannotBeOpenedIsReportedByName) {
    QTemporaryDir dir;
    HostOptions options;
    options.port = dir.filePath(QStringLiteral("ttyGone"));
    auto window = make_window(options);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(open_from_bar(*window));
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(window->port_bar().shows_opening());
    const QString expected = QStringLiteral("Cannot open serial port ") + options.port + QStringLiteral(": ");
    EXPECT_TRUE(window->terminal().text().contains(expected)) << window->terminal().text().toStdString();
    EXPECT_NE(errors.find(expected.toStdString()), std::string::npos) << errors;
}

TEST_F(HostWindowTest, ANetworkPortOpensFromTheBarAndIsRememberedOnce) {
    test::TcpPeer peer;
    ASSERT_TRUE(peer.ok());
    HostOptions options;
    options.port = QString::fromStdString(peer.url("SOCKET"));
    auto window = make_window(options);
    ASSERT_TRUE(open_from_bar(*window)) << window->terminal().text().toStdString();
    EXPECT_EQ(window->port_bar().port_name(), options.port) << "what the user typed stays";
    EXPECT_EQ(window->port_bar().network_ports(), QStringList{options.port});

    ASSERT_TRUE(peer.send("U-Boot 2010.06\r\n"));
    EXPECT_TRUE(terminal_shows(*window, QStringLiteral("U-Boot 2010.06\n")));

    // The same line in another spelling takes the old one's place in the list.
    const test::TcpPeer elsewhere;
    const QString other = QString::fromStdString(elsewhere.url("tcp"));
    const QString other_spelling = QString::fromStdString(peer.url("tcp"));
    window->port_bar().remember_network_port(other);
    window->port_bar().set_port_name(other_spelling);
    // The system takes the connection on the peer's port, though the peer serves only its first.
    ASSERT_TRUE(open_from_bar(*window));
    EXPECT_EQ(window->port_bar().network_ports(), (QStringList{other_spelling, other}));

    // The next run offers them beside the devices.
    window.reset();
    EXPECT_EQ(QSettings().value(QStringLiteral("port/name")).toString(), other_spelling);
    auto next = make_window();
    const auto* ports = next->port_bar().findChild<QComboBox*>(QStringLiteral("port_name"));
    ASSERT_NE(ports, nullptr);
    EXPECT_GE(ports->findText(other_spelling), 0);
    EXPECT_GE(ports->findText(other), 0);
    EXPECT_EQ(ports->findText(options.port), -1);
}

TEST_F(HostWindowTest, ANetworkPortThatDoesNotAnswerCanBeCancelledFromTheBar) {
    test::SilentPort silent;
    ASSERT_TRUE(silent.ok());
    HostOptions options;
    options.port = QStringLiteral("tcp://127.0.0.1:%1").arg(silent.port());
    auto window = make_window(options);
    window->open_port();
    EXPECT_TRUE(window->port_bar().shows_opening());
    auto* button = window->port_bar().findChild<QPushButton*>(QStringLiteral("open_close"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QStringLiteral("Cancel"));

    testing::internal::CaptureStderr();
    button->click();
    const QString cancelled = QStringLiteral("Cannot open network port %1: %2")
                                  .arg(options.port, QString::fromLatin1(NetworkLine::k_cancelled));
    const bool reported = terminal_shows(*window, cancelled);
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(reported) << window->terminal().text().toStdString();
    EXPECT_FALSE(window->port_bar().shows_opening());
    EXPECT_FALSE(window->port_bar().shows_open());
    EXPECT_EQ(button->text(), QStringLiteral("Open"));
    EXPECT_FALSE(connector.is_open());
}

}  // namespace
}  // namespace velmora
