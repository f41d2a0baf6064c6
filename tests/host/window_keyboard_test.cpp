// The host window as a keyboard user meets it: Tab takes the plug-in's form first, then the terminal,
// then the port bar with its Open/Close button last, and the window opens on the form's side; every
// control Tab reaches shows a focus ring, whatever the style draws, and a mouse press takes it away.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "host/com_connector.h"
#include "host/host_registry.h"
#include "host/output_component.h"
#include "tools/velmora-host/focus_ring.h"
#include "tools/velmora-host/main_window.h"

namespace velmora::host_app {
namespace {

const QString k_test_plugin_dir = QStringLiteral(VELMORA_TEST_PLUGIN_DIR);
constexpr int k_settle_rounds = 10;

void settle() {
    for (int i = 0; i < k_settle_rounds; ++i) {
        QApplication::processEvents();
    }
}

std::string name_of(const QWidget* widget) {
    return widget == nullptr
               ? "nothing"
               : std::string(widget->metaObject()->className()) + " " + widget->objectName().toStdString();
}

class WindowKeyboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(settings_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir.path());
        window = std::make_unique<MainWindow>(registry, connector, output, HostOptions{});
        testing::internal::CaptureStderr();
        window->load_plugins({k_test_plugin_dir});
        testing::internal::GetCapturedStderr();
        // As after a start on a port: the bar's fields are locked and its button reads "Close".
        window->port_bar().set_open(true);
        window->resize(800, 600);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(wait_active());
        settle();
    }

    bool wait_active() {
        for (int i = 0; i < 100 && !window->isActiveWindow(); ++i) {
            settle();
        }
        return window->isActiveWindow();
    }

    static void tab() {
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(focused, &press);
        settle();
    }

    // A press on the window's edge, where no control is.
    void press_mouse() const {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(window->mapToGlobal(QPoint(1, 1))),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &press);
        settle();
    }

    QWidget* plugin_button() const {
        return window->findChild<QWidget*>(QStringLiteral("test_plugin_button"));
    }
    QWidget* open_close() const { return window->findChild<QWidget*>(QStringLiteral("open_close")); }

    // Pixels of the highlight colour in the band just outside `widget`, where only a ring draws.
    int ring_pixels(QWidget* widget) const {
        const int out = FocusRing::k_gap + FocusRing::k_width;
        const QRect inner(widget->mapTo(window.get(), QPoint(0, 0)), widget->size());
        const QRect outer = inner.adjusted(-out, -out, out, out);
        const QImage image = window->grab(outer).toImage();
        const QRgb highlight = window->palette().color(QPalette::Active, QPalette::Highlight).rgb();
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const bool in_band = !inner.contains(outer.topLeft() + QPoint(x, y));
                count += in_band && image.pixel(x, y) == highlight ? 1 : 0;
            }
        }
        return count;
    }

    QTemporaryDir settings_dir;
    HostRegistry registry;
    OutputComponent output{&registry};
    ComConnector connector{&registry};
    std::unique_ptr<MainWindow> window;
};

// The port could be closed by the first key a user pressed: the window opened on the port bar's first
// control that took the focus, its Close while the port was open, and Tab after the form's last
// control wrapped to it too.
TEST_F(WindowKeyboardTest, TabTakesTheFormThenTheTerminalThenThePortBarWithItsCloseLast) {
    ASSERT_NE(plugin_button(), nullptr);
    ASSERT_NE(open_close(), nullptr);
    EXPECT_TRUE(window->plugin_tabs().isAncestorOf(QApplication::focusWidget()))
        << "the window opened on " << name_of(QApplication::focusWidget());

    plugin_button()->setFocus(Qt::TabFocusReason);
    settle();
    tab();
    EXPECT_TRUE(window->terminal().isAncestorOf(QApplication::focusWidget()))
        << "after the form's last control Tab went to " << name_of(QApplication::focusWidget());

    // One round from the form's first control: the form, the terminal, the port bar, Close last.
    const std::vector<QWidget*> order = window->keyboard_order();
    ASSERT_FALSE(order.empty());
    EXPECT_EQ(order.back(), open_close());
    order.front()->setFocus(Qt::TabFocusReason);
    settle();
    std::vector<QWidget*> seen{QApplication::focusWidget()};
    for (std::size_t i = 1; i < order.size(); ++i) {
        tab();
        seen.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(seen, order);
    tab();
    EXPECT_EQ(QApplication::focusWidget(), order.front()) << "Tab after Close goes back to the form";
    // Nothing that a style leaves unmarked and that Tab has no use for, such as the form's scroll area.
    for (QWidget* stop : order) {
        EXPECT_FALSE(stop->inherits("QScrollArea")) << name_of(stop);
    }
}

// The terminal's text, the tab bar and a check box showed no focus, or hardly any, in the window's style.
TEST_F(WindowKeyboardTest, EveryControlTabReachesShowsItsFocusRingUntilAMousePress) {
    const std::vector<QWidget*> order = window->keyboard_order();
    ASSERT_GE(order.size(), 5u);
    // Moved by the program, the focus shows no ring: only the Tab key begins keyboard use.
    press_mouse();
    order.back()->setFocus(Qt::TabFocusReason);
    settle();
    EXPECT_EQ(FocusRing::install().ringed(), nullptr);
    for (std::size_t i = 0; i < order.size(); ++i) {
        tab();
        QWidget* focused = QApplication::focusWidget();
        SCOPED_TRACE(name_of(focused));
        EXPECT_EQ(FocusRing::install().ringed(), focused);
        EXPECT_GT(ring_pixels(focused), 0);
    }
    // A mouse press ends keyboard use: the ring goes, the focus stays.
    QWidget* focused = QApplication::focusWidget();
    press_mouse();
    EXPECT_EQ(QApplication::focusWidget(), focused);
    EXPECT_EQ(FocusRing::install().ringed(), nullptr);
    EXPECT_EQ(ring_pixels(focused), 0);
}

}  // namespace
}  // namespace velmora::host_app
