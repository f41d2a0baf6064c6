// The terminal pane: the text of the "output" component (the serial bytes it is broadcast and the
// plug-ins' messages) and a line to type into the port.
//
// Return sends the typed line followed by the chosen line end, carriage return by default (what the
// Enter key of a serial terminal sends; LF and CR LF can be chosen). Received text is read as UTF-8
// (a character split across two deliveries still decodes); carriage returns and NUL bytes are
// dropped, so both "\n" and "\r\n" end a line. While a plug-in uses the port for an upgrade the
// typing line is disabled, since typed bytes would break the transfer.
//
// Callers may rely on: all slots run on the window's thread (connect to them from other threads with
// queued or automatic connections); the pane keeps the last k_max_lines lines.
#pragma once

#include <QByteArray>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QString>
#include <QStringDecoder>
#include <QWidget>

namespace velmora::host_app {

class TerminalPane : public QWidget {
    Q_OBJECT

public:
    enum class LineEnd { cr, lf, cr_lf };
    static constexpr int k_max_lines = 10000;

    explicit TerminalPane(QWidget* parent = nullptr);

    QString text() const { return view_->toPlainText(); }
    LineEnd line_end() const;
    void set_line_end(LineEnd end);
    bool typing_enabled() const { return input_->isEnabled(); }
    static QByteArray line_bytes(const QString& line, LineEnd end);

public slots:
    void append_bytes(const QByteArray& bytes);
    // A message of the host's own, on a line of its own.
    void append_notice(const QString& text);
    void mark_link_switch();
    void set_upgrade_mode(bool upgrade);

signals:
    void line_entered(const QByteArray& bytes);

private:
    void append_text(const QString& text);
    void on_return();

    QPlainTextEdit* view_;
    QLineEdit* input_;
    QComboBox* line_ends_;
    QStringDecoder decoder_{QStringDecoder::Utf8};
    bool at_line_start_ = true;
};

}  // namespace velmora::host_app
