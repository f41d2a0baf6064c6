// The terminal pane's "Log..." toggle and the choice of the log's form ("Text + time" or "Raw").
//
// Checking "Log..." asks for a file (the framework's save dialog, opening in the folder last used for
// logs) and starts the log there, appended; unchecking stops it. start() does the same without a
// dialog (velmora-host --log FILE). Every start, stop and failure is said in the pane through
// notice(): a file that cannot be opened, and a write that fails while logging, which unchecks the
// toggle. The form cannot change while a log runs; the window keeps the choice in its settings.
//
// Callers may rely on: the toggle shows whether the log runs; the log's failure handler, set here,
// reaches this widget only on its own thread and never after its end.
#pragma once

#include <QComboBox>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tools/velmora-host/terminal_log.h"

namespace velmora::host_app {

class LogToggle : public QWidget {
    Q_OBJECT

public:
    LogToggle(std::shared_ptr<TerminalLog> log, QWidget* parent = nullptr);
    ~LogToggle() override;

    TerminalLog::Form form() const;
    void set_form(TerminalLog::Form form);
    // Starts logging to `path` in the chosen form; the message said in the pane when it cannot.
    std::optional<QString> start(const QString& path);
    void stop();

signals:
    void notice(const QString& text);

private:
    void on_toggled(bool checked);
    // Takes the failures the log's writer left in failures_.
    void take_failures();
    void show_running(bool running);

    std::shared_ptr<TerminalLog> log_;
    // Handed over from the writer thread under the lock; the posted call carries no data of its own.
    std::mutex failures_mutex_;
    std::vector<std::string> failures_;
    QPushButton* button_;
    QComboBox* form_;
};

}  // namespace velmora::host_app
