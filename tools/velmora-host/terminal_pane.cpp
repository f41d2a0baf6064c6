#include "tools/velmora-host/terminal_pane.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QScrollBar>
#include <QTextCursor>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

namespace velmora::host_app {

namespace {

constexpr const char* k_link_switch_mark = "---- link switched ----";

}  // namespace

TerminalPane::TerminalPane(QWidget* parent)
    : QWidget(parent),
      view_(new QPlainTextEdit(this)),
      input_(new QLineEdit(this)),
      line_ends_(new QComboBox(this)),
      hex_(new QCheckBox(tr("Hex"), this)),
      backlog_(std::make_shared<TerminalBacklog>()),
      log_(std::make_shared<TerminalLog>()),
      log_toggle_(new LogToggle(log_, this)) {
    view_->setObjectName(QStringLiteral("terminal_text"));
    input_->setObjectName(QStringLiteral("terminal_input"));
    line_ends_->setObjectName(QStringLiteral("line_end"));
    hex_->setObjectName(QStringLiteral("hex_view"));
    hex_->setToolTip(tr("Show the received bytes as hex rows"));
    view_->setReadOnly(true);
    view_->setMaximumBlockCount(k_max_lines);
    // No fallback to other fonts for characters the fixed font lacks: random bytes (a wrong baud
    // rate) decode to characters of dozens of scripts, and loading a font for each held the window
    // for seconds. Such characters show as the font's missing-glyph box.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleStrategy(QFont::NoFontMerging);
    view_->setFont(font);
    input_->setPlaceholderText(tr("Type a line and press Return to send it"));
    line_ends_->addItem(tr("CR"), static_cast<int>(LineEnd::cr));
    line_ends_->addItem(tr("LF"), static_cast<int>(LineEnd::lf));
    line_ends_->addItem(tr("CR LF"), static_cast<int>(LineEnd::cr_lf));

    auto* typing = new QHBoxLayout;
    typing->addWidget(input_, 1);
    typing->addWidget(new QLabel(tr("Line end:"), this));
    typing->addWidget(line_ends_);
    typing->addWidget(hex_);
    typing->addWidget(log_toggle_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_, 1);
    layout->addLayout(typing);

    frame_timer_.setSingleShot(true);
    frame_timer_.setInterval(k_frame_interval);
    connect(&frame_timer_, &QTimer::timeout, this, [this] { drain_frame(); });
    // A delivery on the pane's own thread (a plug-in's message, a host notice) is handled at once;
    // one from another thread posts the wake. Clearing the waker in the destructor waits for a call in
    // progress, so the pane is alive while the wake is posted, and Qt discards it once the pane is gone.
    backlog_->set_waker([this] {
        if (QThread::currentThread() == thread()) {
            wake();
        } else {
            QMetaObject::invokeMethod(this, &TerminalPane::wake, Qt::QueuedConnection);
        }
    });
    connect(input_, &QLineEdit::returnPressed, this, &TerminalPane::on_return);
    // The pane follows the newest line until the user scrolls back, and again once they scroll to the
    // end. Its range grows later than the text does (the view lays lines out when it is shown or
    // resized), so each new range is followed too.
    QScrollBar* bar = view_->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) {
        if (!scrolling_) {
            following_ = value >= bar->maximum();
        }
    });
    connect(bar, &QScrollBar::rangeChanged, this, [this] { follow_newest(); });
    connect(log_toggle_, &LogToggle::notice, this, &TerminalPane::append_notice);
    connect(hex_, &QCheckBox::toggled, this, [this](bool hex) {
        QString out;
        decoder_.set_view(hex ? TerminalDecoder::View::hex : TerminalDecoder::View::text, out);
        insert(out);
    });
}

TerminalPane::~TerminalPane() {
    detach();
    backlog_->set_waker({});
}

void TerminalPane::attach(OutputComponent& output) {
    detach();
    // The lambdas run on the delivering thread and own the backlog and the log with the pane, so a
    // delivery that races the pane's end still has both to push into. The log comes first: it takes
    // what the backlog may have to drop.
    const std::shared_ptr<TerminalBacklog> backlog = backlog_;
    const std::shared_ptr<TerminalLog> log = log_;
    text_connection_ = connect(
        &output, &OutputComponent::text_arrived, &output,
        [backlog, log](const QByteArray& bytes) {
            log->push_bytes(bytes);
            backlog->push_bytes(bytes);
        },
        Qt::DirectConnection);
    switch_connection_ = connect(
        &output, &OutputComponent::link_switched, &output,
        [backlog, log] {
            log->push_notice(QString::fromLatin1(k_link_switch_mark));
            backlog->push_notice(QString::fromLatin1(k_link_switch_mark));
        },
        Qt::DirectConnection);
}

void TerminalPane::detach() {
    disconnect(text_connection_);
    disconnect(switch_connection_);
}

TerminalPane::LineEnd TerminalPane::line_end() const {
    return static_cast<LineEnd>(line_ends_->currentData().toInt());
}

void TerminalPane::set_line_end(LineEnd end) {
    const int index = line_ends_->findData(static_cast<int>(end));
    if (index >= 0) {
        line_ends_->setCurrentIndex(index);
    }
}

QByteArray TerminalPane::line_bytes(const QString& line, LineEnd end) {
    QByteArray bytes = line.toUtf8();
    switch (end) {
        case LineEnd::cr:
            return bytes + '\r';
        case LineEnd::lf:
            return bytes + '\n';
        case LineEnd::cr_lf:
            return bytes + "\r\n";
    }
    return bytes;
}

void TerminalPane::set_hex_view(bool hex) {
    if (hex_->isChecked() != hex) {
        hex_->setChecked(hex);  // toggled switches the decoder
    }
}

qsizetype TerminalPane::drain_frame() {
    last_drain_ = std::chrono::steady_clock::now();
    bool more = true;
    QString out;
    qsizetype taken = 0;
    qsizetype lines = 0;
    const auto put_notice = [this, &out](const QString& notice) {
        decoder_.end_pause(out);
        if (!decoder_.at_line_start()) {
            out.append(u'\n');
        }
        out.append(notice);
        if (!notice.endsWith(u'\n')) {
            out.append(u'\n');
        }
        decoder_.line_started();
    };
    // Laying out lines is what costs, and a byte may become one character, a four-character escape
    // or a sixteenth of a hex row: the frame takes small steps until any of its budgets is spent.
    while (more && taken < k_frame_bytes && lines < k_frame_lines && out.size() < k_frame_chars) {
        const qsizetype counted = out.size();
        const std::vector<TerminalBacklog::Entry> entries =
            backlog_->take(std::min(k_take_step, k_frame_bytes - taken), more);
        for (const TerminalBacklog::Entry& entry : entries) {
            switch (entry.kind) {
                case TerminalBacklog::Entry::Kind::bytes:
                    decoder_.decode(entry.bytes, out);
                    taken += entry.bytes.size();
                    break;
                case TerminalBacklog::Entry::Kind::notice:
                    put_notice(entry.notice);
                    break;
                case TerminalBacklog::Entry::Kind::dropped:
                    put_notice(QStringLiteral("[... %1 bytes dropped ...]").arg(entry.dropped));
                    break;
            }
        }
        lines += QStringView(out).sliced(counted).count(u'\n');
    }
    if (!more) {
        decoder_.end_pause(out);
    } else if (taken > 0) {
        // Behind by more than the pane shows in k_max_lag_frames frames like this one: what lies
        // further back would only scroll past, so it goes (shown as dropped) and the pane catches up.
        backlog_->drop_oldest(taken * k_max_lag_frames);
    }
    insert(out);
    if (more) {
        frame_timer_.start();
    }
    return taken;
}

void TerminalPane::flush() {
    do {
        drain_frame();
    } while (backlog_->held() > 0);
}

void TerminalPane::append_bytes(const QByteArray& bytes) {
    log_->push_bytes(bytes);
    backlog_->push_bytes(bytes);
}

void TerminalPane::append_notice(const QString& text) {
    // Host messages show at once (after what waits before them, one frame's share at most).
    log_->push_notice(text);
    backlog_->push_notice(text);
    drain_frame();
}

void TerminalPane::mark_link_switch() {
    append_notice(QString::fromLatin1(k_link_switch_mark));
}

void TerminalPane::set_upgrade_mode(bool upgrade) {
    input_->setEnabled(!upgrade);
    input_->setPlaceholderText(upgrade ? tr("A plug-in is using the port")
                                       : tr("Type a line and press Return to send it"));
}

void TerminalPane::wake() {
    if (frame_timer_.isActive()) {
        return;
    }
    // The first delivery after a quiet frame shows at once; what follows within the frame waits for
    // the frame's end and goes in one batch.
    const auto since = std::chrono::steady_clock::now() - last_drain_;
    if (since >= k_frame_interval) {
        drain_frame();
    } else {
        frame_timer_.start(std::chrono::ceil<std::chrono::milliseconds>(k_frame_interval - since));
    }
}

void TerminalPane::insert(const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    // The text view moves its scroll bar as it lays the new lines out (and drops the oldest); none of
    // that is the user scrolling back.
    scrolling_ = true;
    QTextCursor cursor(view_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    scrolling_ = false;
    follow_newest();
}

void TerminalPane::follow_newest() {
    if (!following_) {
        return;
    }
    QScrollBar* bar = view_->verticalScrollBar();
    scrolling_ = true;
    bar->setValue(bar->maximum());
    scrolling_ = false;
}

void TerminalPane::on_return() {
    emit line_entered(line_bytes(input_->text(), line_end()));
    input_->clear();
}

}  // namespace velmora::host_app
