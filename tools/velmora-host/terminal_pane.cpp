#include "tools/velmora-host/terminal_pane.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

namespace velmora::host_app {

TerminalPane::TerminalPane(QWidget* parent)
    : QWidget(parent),
      view_(new QPlainTextEdit(this)),
      input_(new QLineEdit(this)),
      line_ends_(new QComboBox(this)) {
    view_->setObjectName(QStringLiteral("terminal_text"));
    input_->setObjectName(QStringLiteral("terminal_input"));
    line_ends_->setObjectName(QStringLiteral("line_end"));
    view_->setReadOnly(true);
    view_->setMaximumBlockCount(k_max_lines);
    view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    input_->setPlaceholderText(tr("Type a line and press Return to send it"));
    line_ends_->addItem(tr("CR"), static_cast<int>(LineEnd::cr));
    line_ends_->addItem(tr("LF"), static_cast<int>(LineEnd::lf));
    line_ends_->addItem(tr("CR LF"), static_cast<int>(LineEnd::cr_lf));

    auto* typing = new QHBoxLayout;
    typing->addWidget(input_, 1);
    typing->addWidget(new QLabel(tr("Line end:"), this));
    typing->addWidget(line_ends_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_, 1);
    layout->addLayout(typing);

    connect(input_, &QLineEdit::returnPressed, this, &TerminalPane::on_return);
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

void TerminalPane::append_bytes(const QByteArray& bytes) {
    QString text = decoder_.decode(bytes);
    text.remove(QChar(u'\r'));
    text.remove(QChar(u'\0'));
    append_text(text);
}

void TerminalPane::append_notice(const QString& text) {
    QString line = text;
    if (!at_line_start_) {
        line.prepend(u'\n');
    }
    if (!line.endsWith(u'\n')) {
        line.append(u'\n');
    }
    append_text(line);
}

void TerminalPane::mark_link_switch() {
    append_notice(QStringLiteral("---- link switched ----"));
}

void TerminalPane::set_upgrade_mode(bool upgrade) {
    input_->setEnabled(!upgrade);
    input_->setPlaceholderText(upgrade ? tr("A plug-in is using the port")
                                       : tr("Type a line and press Return to send it"));
}

void TerminalPane::append_text(const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    QScrollBar* bar = view_->verticalScrollBar();
    const bool follow = bar->value() == bar->maximum();
    QTextCursor cursor(view_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    at_line_start_ = text.endsWith(u'\n');
    if (follow) {
        bar->setValue(bar->maximum());
    }
}

void TerminalPane::on_return() {
    emit line_entered(line_bytes(input_->text(), line_end()));
    input_->clear();
}

}  // namespace velmora::host_app
