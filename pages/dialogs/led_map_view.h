// The LED map page's read-only view of its 256-byte map: a 16 x 16 hex grid of the bytes (rows
// 00..f0, columns 0..f), and under it the digits 0-9 as the map makes the box's display draw them,
// each a small seven-segment glyph (led_digits.h); a digit the map does not name is an empty
// outline, struck through.
//
// Callers may rely on this: the view shows exactly the map last given to set_map (all zero at
// first) and changes nothing itself. It takes no focus and no input; its accessible name is
// "LED map", and its accessible description holds the same as text: the grid's lines, then the
// digits' segment bytes (text()). Each byte and each digit has a tooltip. Its size follows its
// fixed-pitch font alone, so it never stretches the page beyond that.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>

#include "pages/models/led_digits.h"

class QEvent;
class QPaintEvent;
class QPainter;

namespace velmora {

class LedMapView : public QWidget {
public:
    using Map = std::array<std::uint8_t, k_led_map_bytes>;

    explicit LedMapView(QWidget* parent = nullptr);

    void set_map(const Map& map);
    const Map& map() const { return map_; }

    // The header line of column labels, then one line per row: "00 fc 30 ...".
    static QStringList grid_lines(const Map& map);
    // "Digits: 0 fc, 1 60, 2 missing, ..." with each digit's segment byte.
    static QString digits_line(const Map& map);
    // The grid's lines and the digits' line, one per line: the accessible description.
    static QString text(const Map& map);

    // What the tooltip at `pos` says; empty where there is nothing to tell.
    QString tool_tip_at(const QPoint& pos) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int cell_width() const;
    int row_height() const;
    // A byte's cell (row 0..15, column 0..15), or a label's with -1 for the label row or column.
    QRect cell_rect(int row, int column) const;
    QRect digits_area() const;
    QRect digit_rect(int digit) const;  // the glyph and its label below
    std::optional<int> byte_at(const QPoint& pos) const;
    std::optional<int> digit_at(const QPoint& pos) const;
    void paint_grid(QPainter& painter) const;
    void paint_digit(QPainter& painter, const LedDigit& digit, const QRect& slot) const;

    QFont font_;
    Map map_{};
};

}  // namespace velmora
