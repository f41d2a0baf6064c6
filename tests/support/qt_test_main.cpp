// Test main for widget tests: one QApplication on the offscreen platform for the whole program, so
// the tests drive real widgets without a display. The user's settings are never touched: every
// QSettings of the program lives in a temporary folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const QTemporaryDir settings_dir;
    for (const auto scope : {QSettings::UserScope, QSettings::SystemScope}) {
        QSettings::setPath(QSettings::NativeFormat, scope, settings_dir.path());
        QSettings::setPath(QSettings::IniFormat, scope, settings_dir.path());
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
