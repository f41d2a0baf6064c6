#include "tools/velmora-host/log_toggle.h"

#include <QHBoxLayout>
#include <QMetaObject>
#include <optional>
#include <string>

#include "framework/file_dialog.h"

namespace velmora::host_app {

namespace {

// The folder the log dialog opens in, remembered across runs with the other dialogs' folders.
constexpr const char* k_log_folder_kind = "terminal_log";
constexpr const char* k_log_filter = "Log files (*.log)|*.log|All Files (*.*)|*.*||";
constexpr const char* k_log_extension = "log";

QString idle_tip() {
    return LogToggle::tr("Append what the terminal receives to a file");
}

}  // namespace

LogToggle::LogToggle(std::shared_ptr<TerminalLog> log, QWidget* parent)
    : QWidget(parent),
      log_(std::move(log)),
      button_(new QPushButton(tr("Log..."), this)),
      form_(new QComboBox(this)) {
    button_->setObjectName(QStringLiteral("terminal_log"));
    button_->setCheckable(true);
    button_->setToolTip(idle_tip());
    form_->setObjectName(QStringLiteral("log_form"));
    form_->addItem(tr("Text + time"), static_cast<int>(TerminalLog::Form::text));
    form_->addItem(tr("Raw"), static_cast<int>(TerminalLog::Form::raw));
    form_->setToolTip(tr("Log text lines with a timestamp each, or the raw bytes"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(button_);
    layout->addWidget(form_);
    // A user's click, not start() or a failure, opens the dialog.
    connect(button_, &QPushButton::clicked, this, &LogToggle::on_toggled);

    // The log's writer thread reports a failed write; the widget hears it on its own thread. The
    // widget is alive while the handler runs: its destructor clears the handler, which waits for a
    // call in progress, and Qt drops the posted call once the widget is gone.
    log_->set_failure_handler([this](const std::string& message) {
        {
            const std::lock_guard lock(failures_mutex_);
            failures_.push_back(message);
        }
        QMetaObject::invokeMethod(this, &LogToggle::take_failures, Qt::QueuedConnection);
    });
}

LogToggle::~LogToggle() {
    log_->set_failure_handler({});
}

TerminalLog::Form LogToggle::form() const {
    return static_cast<TerminalLog::Form>(form_->currentData().toInt());
}

void LogToggle::set_form(TerminalLog::Form form) {
    const int index = form_->findData(static_cast<int>(form));
    if (index >= 0) {
        form_->setCurrentIndex(index);
    }
}

std::optional<QString> LogToggle::start(const QString& path) {
    std::string error;
    if (!log_->start(path.toStdString(), form(), error)) {
        show_running(false);
        const QString message = tr("Cannot log to %1: %2").arg(path, QString::fromStdString(error));
        emit notice(message);
        return message;
    }
    show_running(true);
    emit notice(tr("Logging to %1").arg(path));
    return std::nullopt;
}

void LogToggle::stop() {
    if (!log_->active()) {
        log_->stop();  // a log that failed has a writer left to join
        show_running(false);
        return;
    }
    const QString path = QString::fromStdString(log_->path());
    log_->stop();
    show_running(false);
    emit notice(tr("Log closed: %1").arg(path));
}

void LogToggle::on_toggled(bool checked) {
    if (!checked) {
        stop();
        return;
    }
    FileDialogOptions options;
    options.filter = k_log_filter;
    options.default_extension = k_log_extension;
    options.folder_kind = k_log_folder_kind;
    const std::optional<std::string> chosen = save_file_dialog(window(), options);
    if (!chosen) {
        show_running(false);
        return;
    }
    start(QString::fromStdString(*chosen));
}

void LogToggle::take_failures() {
    std::vector<std::string> failures;
    {
        const std::lock_guard lock(failures_mutex_);
        failures.swap(failures_);
    }
    for (const std::string& message : failures) {
        emit notice(QString::fromStdString(message));
    }
    if (failures.empty() || log_->active()) {
        return;  // a new log was started since that one failed
    }
    log_->stop();
    show_running(false);
}

void LogToggle::show_running(bool running) {
    button_->setChecked(running);
    form_->setEnabled(!running);
    button_->setToolTip(running ? tr("Logging to %1; click to stop").arg(QString::fromStdString(log_->path()))
                                : idle_tip());
}

}  // namespace velmora::host_app
