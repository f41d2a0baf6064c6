// The terminal pane: the text of the "output" component (the serial bytes it is broadcast and the
// plug-ins' messages) and a line to type into the port.
//
// Return sends the typed line followed by the chosen line end, carriage return by default (what the
// Enter key of a serial terminal sends; LF and CR LF can be chosen). While a plug-in uses the port for
// an upgrade the typing line is disabled, since typed bytes would break the transfer.
//
// Received bytes go through a bounded backlog (terminal_backlog.h) that the pane drains once per
// frame, one frame's share at a time (k_frame_bytes, k_frame_lines, k_frame_chars), and are shown as
// TerminalDecoder turns them into lines (text or, with "Hex" checked, hex rows). So any input keeps the
// window responsive: a fast line costs one bounded batch per frame, a 100 KB line is cut into lines of at
// most TerminalDecoder::k_max_line_length characters, and what the backlog had to drop is shown in its place
// as "[... N bytes dropped ...]".
//
// What the pane receives also goes to its log (terminal_log.h, started with the "Log..." toggle)
// before the backlog's bound applies, so a flood the pane cannot show is still logged whole. A
// backlog that holds more than k_max_lag_frames frames' share is cut down to that, oldest first (the
// cut shown as dropped), so the pane is never more than a fraction of a second behind what arrived and
// is idle soon after a flood ends.
//
// Callers may rely on: append_bytes, append_notice and mark_link_switch keep their order; bytes show
// within a frame, notices at once (drain_frame or flush show everything); attach() takes "output" on the
// delivering thread straight into the backlog, so no Qt event queue grows with the traffic; the
// widgets are touched only on the pane's thread; the pane keeps the last k_max_lines lines. The pane
// shows the newest line as it comes, whatever its size, until the user scrolls back; scrolled back to
// the end, it follows again (following()).
#pragma once

#include <QByteArray>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <memory>

#include "host/output_component.h"
#include "tools/velmora-host/log_toggle.h"
#include "tools/velmora-host/terminal_backlog.h"
#include "tools/velmora-host/terminal_decoder.h"
#include "tools/velmora-host/terminal_log.h"

namespace velmora::host_app {

class TerminalPane : public QWidget {
    Q_OBJECT

public:
    enum class LineEnd { cr, lf, cr_lf };
    static constexpr int k_max_lines = 10000;
    // One frame's share of the backlog: a frame ends once it took k_frame_bytes received bytes, or
    // made k_frame_lines lines or k_frame_chars characters, whichever comes first (so it may pass the
    // last two by what one step of k_take_step bytes makes).
    static constexpr qsizetype k_frame_bytes = 64 * 1024;
    static constexpr qsizetype k_frame_lines = 256;
    static constexpr qsizetype k_frame_chars = 64 * 1024;
    static constexpr qsizetype k_take_step = 512;
    static constexpr std::chrono::milliseconds k_frame_interval{16};
    // How many frames' share of the backlog the pane keeps when it falls behind.
    static constexpr qsizetype k_max_lag_frames = 10;

    explicit TerminalPane(QWidget* parent = nullptr);
    ~TerminalPane() override;

    // Takes "output"'s texts and link switch marks on the thread that delivers them; until detach()
    // or the pane's end. One component at a time.
    void attach(OutputComponent& output);
    void detach();

    QString text() const { return view_->toPlainText(); }
    int line_count() const { return view_->blockCount(); }
    LineEnd line_end() const;
    void set_line_end(LineEnd end);
    bool typing_enabled() const { return input_->isEnabled(); }
    bool hex_view() const { return hex_->isChecked(); }
    void set_hex_view(bool hex);
    static QByteArray line_bytes(const QString& line, LineEnd end);
    const TerminalBacklog& backlog() const { return *backlog_; }
    bool following() const { return following_; }
    TerminalLog& log() { return *log_; }
    LogToggle& log_toggle() { return *log_toggle_; }

    // Shows one frame's share of what waits; returns the received bytes it took. The frame timer calls it;
    // tests call it to step frames.
    qsizetype drain_frame();
    // Shows everything that waits now.
    void flush();

public slots:
    void append_bytes(const QByteArray& bytes);
    // A message of the host's own, on a line of its own.
    void append_notice(const QString& text);
    void mark_link_switch();
    void set_upgrade_mode(bool upgrade);

signals:
    void line_entered(const QByteArray& bytes);

private:
    void wake();
    void insert(const QString& text);
    void follow_newest();
    void on_return();

    QPlainTextEdit* view_;
    QLineEdit* input_;
    QComboBox* line_ends_;
    QCheckBox* hex_;
    QTimer frame_timer_;
    std::chrono::steady_clock::time_point last_drain_{};
    std::shared_ptr<TerminalBacklog> backlog_;
    std::shared_ptr<TerminalLog> log_;
    LogToggle* log_toggle_;
    TerminalDecoder decoder_;
    QMetaObject::Connection text_connection_;
    QMetaObject::Connection switch_connection_;
    bool following_ = true;
    bool scrolling_ = false;  // the pane itself moves the scroll bar
};

}  // namespace velmora::host_app
