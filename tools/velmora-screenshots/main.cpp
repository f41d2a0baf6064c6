// velmora-screenshots: renders velmora-host with the plug-in to PNG files, offscreen, in the states a
// new user meets: Initial, Parsed with each page shown, after "Connect with Panel", and a message box. It
// runs on the offscreen platform with one screen of the given size (1600x900 unless --screen says otherwise;
// QT_SCALE_FACTOR applies), where the window takes its first-start size as velmora-host does, and it reads
// and writes no settings of the user's.
//
//   velmora-screenshots --plugin-dir DIR --image IMAGE --out DIR [--screen WIDTHxHEIGHT]
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <cstdio>
#include <thread>

#include "host/com_connector.h"
#include "host/host_registry.h"
#include "host/output_component.h"
#include "host/plugin_folders.h"
#include "host/start_options.h"
#include "link/link_values.h"
#include "tools/velmora-host/host_command_line.h"
#include "tools/velmora-host/main_window.h"

using namespace velmora;
using namespace velmora::host_app;

namespace {

// The smallest screen on which the whole form shows at the first start.
constexpr QSize k_default_screen{1600, 900};
constexpr int k_settle_rounds = 20;
constexpr int k_usage_error = 2;
// How long the link's first text may take to reach the terminal, and one wait for events.
constexpr std::chrono::milliseconds k_text_limit{5000};
constexpr int k_event_slice_ms = 10;

void settle() {
    for (int i = 0; i < k_settle_rounds; ++i) {
        QApplication::processEvents();
    }
}

bool save(QWidget& widget, const QDir& out, const QString& name) {
    settle();
    const QString path = out.filePath(name + QStringLiteral(".png"));
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    return saved;
}

// The view's controls carry the names of their members in the main form's template (Ui::MainForm).
template <class T>
T* find_control(QWidget& root, const char* name) {
    return root.findChild<T*>(QString::fromLatin1(name));
}

// The offscreen platform with one screen of `size`, so the window is placed on it as velmora-host
// places itself on a real screen. The file must outlive the QApplication.
bool use_offscreen_screen(const QSize& size, const QTemporaryDir& dir) {
    QFile config(dir.filePath(QStringLiteral("screen.json")));
    if (!dir.isValid() || !config.open(QIODevice::WriteOnly)) {
        return false;
    }
    config.write(QStringLiteral("{\"screens\": [{\"name\": \"screen\", \"x\": 0, \"y\": 0, \"width\": %1, "
                                "\"height\": %2, \"logicalDpi\": 96, \"dpr\": 1}]}\n")
                     .arg(size.width())
                     .arg(size.height())
                     .toUtf8());
    config.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QString plugin_dir, image, out_dir;
    QSize screen = k_default_screen;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString option = QString::fromLocal8Bit(argv[i]);
        const QString value = QString::fromLocal8Bit(argv[i + 1]);
        if (option == QStringLiteral("--plugin-dir")) {
            plugin_dir = QDir(value).absolutePath();
        } else if (option == QStringLiteral("--image")) {
            image = QFileInfo(value).absoluteFilePath();
        } else if (option == QStringLiteral("--out")) {
            out_dir = value;
        } else if (option == QStringLiteral("--screen")) {
            const auto match = QRegularExpression(QStringLiteral("^(\\d+)x(\\d+)$")).match(value);
            screen = match.hasMatch() ? QSize(match.captured(1).toInt(), match.captured(2).toInt()) : QSize();
        }
    }
    if (plugin_dir.isEmpty() || image.isEmpty() || out_dir.isEmpty() || screen.isEmpty()) {
        std::fprintf(
            stderr,
            "usage: velmora-screenshots --plugin-dir DIR --image IMAGE --out DIR [--screen WIDTHxHEIGHT]\n");
        return k_usage_error;
    }
    const QTemporaryDir platform_dir;
    if (!use_offscreen_screen(screen, platform_dir)) {
        std::fprintf(stderr, "velmora-screenshots: cannot write the screen's configuration\n");
        return 1;
    }
    QApplication app(argc, argv);
    // A first start: the remembered window of the user's own velmora-host must not show here.
    const QTemporaryDir settings_dir;
    QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir.path());
    QDir out(QFileInfo(out_dir).absoluteFilePath());
    out.mkpath(QStringLiteral("."));
    // The input edit shows the image's file name alone, so the pictures carry no folder of the machine
    // that made them.
    QDir::setCurrent(QFileInfo(image).absolutePath());
    HostRegistry registry;
    OutputComponent output(&registry);
    ComConnector connector(&registry);
    StartOptionsComponent start_options(
        &registry, {QFile::encodeName(QFileInfo(image).fileName()).toStdString(), false, {}});
    bool ok = true;
    {
        MainWindow window(registry, connector, output, HostOptions{});
        window.load_plugins(plugin_folders(QCoreApplication::applicationDirPath(), {plugin_dir}));
        window.place_on_screens();
        window.show();
        ok &= save(window, out, QStringLiteral("1-initial"));

        auto* parse = find_control<QAbstractButton>(window, "parse_button");
        auto* tree = find_control<QTreeWidget>(window, "page_tree");
        if (parse == nullptr || tree == nullptr) {
            std::fprintf(stderr, "velmora-screenshots: the plug-in's form was not found\n");
            return 1;
        }
        parse->click();
        ok &= save(window, out, QStringLiteral("2-parsed-front-panel"));
        const char* pages[] = {"HW Info", "Key Map", "LED Map"};
        int shot = 3;
        for (const char* page : pages) {
            const auto items = tree->findItems(QString::fromUtf8(page), Qt::MatchExactly);
            if (!items.isEmpty()) {
                tree->setCurrentItem(items.first());
            }
            ok &= save(window, out,
                       QStringLiteral("%1-parsed-%2")
                           .arg(shot++)
                           .arg(QString::fromUtf8(page).toLower().replace(' ', '-')));
        }
        // "Connect with Panel" on the front panel page: the terminal's newest line tells the user to
        // reset the box. The text reaches the pane through its backlog, a frame later.
        if (const auto items = tree->findItems(QStringLiteral("Front Panel"), Qt::MatchExactly);
            !items.isEmpty()) {
            tree->setCurrentItem(items.first());
        }
        if (auto* connect = find_control<QAbstractButton>(window, "connect_button")) {
            connect->click();
        }
        QElapsedTimer waited;
        waited.start();
        while (!window.terminal().text().contains(
                   QString::fromUtf8(k_reset_prompt.data(), static_cast<qsizetype>(k_reset_prompt.size()))) &&
               waited.elapsed() < k_text_limit.count()) {
            QApplication::processEvents(QEventLoop::AllEvents, k_event_slice_ms);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ok &= save(window, out, QStringLiteral("6-connected"));
        // Generate without an output file: the view answers with a message box.
        QTimer::singleShot(200, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                ok &= save(*box, out, QStringLiteral("7-message-box"));
                box->close();
            }
        });
        if (auto* generate = find_control<QAbstractButton>(window, "generate_button")) {
            generate->click();
        }
        settle();
    }
    registry.set_broadcasting(false);
    registry.unregister_component(&connector);
    registry.unregister_component(&output);
    registry.unregister_component(&start_options);
    return ok ? 0 : 1;
}
