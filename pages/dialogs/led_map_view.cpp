#include "pages/dialogs/led_map_view.h"

#include <QColor>
#include <QEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QPalette>
#include <QPen>
#include <QRectF>
#include <QToolTip>
#include <algorithm>

namespace velmora {

namespace {

constexpr int k_side = 16;        // bytes per row, and rows
constexpr int k_font_pixels = 9;  // small enough for the grid beside the page's buttons
constexpr int k_margin = 4;
constexpr int k_cell_gap = 4;    // between two bytes of a row
constexpr int k_digits_gap = 6;  // between the grid and the digits
constexpr int k_glyph_rows = 2;  // a glyph is this many text rows high
constexpr qreal k_min_stroke = 2.0;
constexpr qreal k_stroke_part = 5.0;  // a segment is a fifth of the glyph's width thick
constexpr qreal k_strike_width = 1.5;
constexpr qreal k_outline_width = 0.8;

// The error colour of the system's palette is not portable; this red reads on light and dark themes.
const QColor k_missing_colour{0xd0, 0x30, 0x30};

QString hex_byte(int value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0'));
}

QString hex_digit(int value) {
    return QString::number(value, 16);
}

// The seven bars a..g of a glyph in `box`, then the dot right of its foot.
std::array<QRectF, k_led_segment_count> segment_rects(const QRectF& box, qreal stroke) {
    const qreal x = box.x();
    const qreal y = box.y();
    const qreal w = box.width();
    const qreal h = box.height();
    const qreal t = stroke;
    const qreal upright = h / 2 - 1.5 * t;
    return {{
        {x + t, y, w - 2 * t, t},                    // a: top
        {x + w - t, y + t, t, upright},              // b: upper right
        {x + w - t, y + h / 2 + t / 2, t, upright},  // c: lower right
        {x + t, y + h - t, w - 2 * t, t},            // d: bottom
        {x, y + h / 2 + t / 2, t, upright},          // e: lower left
        {x, y + t, t, upright},                      // f: upper left
        {x + t, y + h / 2 - t / 2, w - 2 * t, t},    // g: middle
        {x + w + t / 2, y + h - t, t, t},            // the dot
    }};
}

}  // namespace

LedMapView::LedMapView(QWidget* parent)
    : QWidget(parent), font_(QFontDatabase::systemFont(QFontDatabase::FixedFont)) {
    setObjectName(QStringLiteral("led_map_view"));
    font_.setPixelSize(k_font_pixels);
    setFont(font_);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(QStringLiteral("LED map"));
    setAccessibleDescription(text(map_));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LedMapView::set_map(const Map& map) {
    if (map == map_) {
        return;
    }
    map_ = map;
    setAccessibleDescription(text(map_));
    update();
}

QStringList LedMapView::grid_lines(const Map& map) {
    QStringList lines;
    QString header(QStringLiteral("  "));
    for (int column = 0; column < k_side; ++column) {
        header += QStringLiteral("  ") + hex_digit(column);
    }
    lines.push_back(header);
    for (int row = 0; row < k_side; ++row) {
        QString line = hex_byte(row * k_side);
        for (int column = 0; column < k_side; ++column) {
            line += QLatin1Char(' ') + hex_byte(map[static_cast<std::size_t>(row * k_side + column)]);
        }
        lines.push_back(line);
    }
    return lines;
}

QString LedMapView::digits_line(const Map& map) {
    QStringList parts;
    for (const LedDigit& digit : led_digits(map)) {
        parts.push_back(QString(QLatin1Char(digit.character)) + QLatin1Char(' ') +
                        (digit.segments ? hex_byte(*digit.segments) : QStringLiteral("missing")));
    }
    return QStringLiteral("Digits: ") + parts.join(QStringLiteral(", "));
}

QString LedMapView::text(const Map& map) {
    return grid_lines(map).join(QLatin1Char('\n')) + QLatin1Char('\n') + digits_line(map);
}

int LedMapView::cell_width() const {
    return 2 * QFontMetrics(font_).horizontalAdvance(QLatin1Char('0')) + k_cell_gap;
}

int LedMapView::row_height() const {
    return QFontMetrics(font_).height();
}

QRect LedMapView::cell_rect(int row, int column) const {
    return {k_margin + (column + 1) * cell_width(), k_margin + (row + 1) * row_height(), cell_width(),
            row_height()};
}

QRect LedMapView::digits_area() const {
    const int grid_width = (k_side + 1) * cell_width();
    const int top = k_margin + (k_side + 1) * row_height() + k_digits_gap;
    return {k_margin, top, grid_width, (k_glyph_rows + 1) * row_height()};
}

QRect LedMapView::digit_rect(int digit) const {
    const QRect area = digits_area();
    const int slot = area.width() / k_led_digit_count;
    // The slots share what is left over, so the row is centred under the grid.
    const int left = area.x() + (area.width() - k_led_digit_count * slot) / 2;
    return {left + digit * slot, area.y(), slot, area.height()};
}

QSize LedMapView::sizeHint() const {
    const QRect digits = digits_area();
    return {digits.right() + 1 + k_margin, digits.bottom() + 1 + k_margin};
}

QSize LedMapView::minimumSizeHint() const {
    return sizeHint();
}

std::optional<int> LedMapView::byte_at(const QPoint& pos) const {
    for (int row = 0; row < k_side; ++row) {
        for (int column = 0; column < k_side; ++column) {
            if (cell_rect(row, column).contains(pos)) {
                return row * k_side + column;
            }
        }
    }
    return std::nullopt;
}

std::optional<int> LedMapView::digit_at(const QPoint& pos) const {
    for (int digit = 0; digit < k_led_digit_count; ++digit) {
        if (digit_rect(digit).contains(pos)) {
            return digit;
        }
    }
    return std::nullopt;
}

QString LedMapView::tool_tip_at(const QPoint& pos) const {
    if (const auto index = byte_at(pos)) {
        return QStringLiteral("Map byte 0x%1: 0x%2")
            .arg(hex_byte(*index), hex_byte(map_[static_cast<std::size_t>(*index)]));
    }
    if (const auto digit = digit_at(pos)) {
        const LedDigit shown = led_digits(map_)[static_cast<std::size_t>(*digit)];
        return shown.segments
                   ? QStringLiteral("Digit %1: segment byte 0x%2").arg(*digit).arg(hex_byte(*shown.segments))
                   : QStringLiteral("Digit %1: not in the map").arg(*digit);
    }
    return {};
}

bool LedMapView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = tool_tip_at(help->pos());
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), tip, this);
        }
        return true;
    }
    return QWidget::event(event);
}

void LedMapView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setFont(font_);
    paint_grid(painter);
    const auto digits = led_digits(map_);
    for (int digit = 0; digit < k_led_digit_count; ++digit) {
        paint_digit(painter, digits[static_cast<std::size_t>(digit)], digit_rect(digit));
    }
}

void LedMapView::paint_grid(QPainter& painter) const {
    const QColor label = palette().color(QPalette::PlaceholderText);
    const QColor text = palette().color(QPalette::Text);
    painter.setPen(label);
    for (int i = 0; i < k_side; ++i) {
        painter.drawText(cell_rect(-1, i), Qt::AlignCenter, hex_digit(i));
        painter.drawText(cell_rect(i, -1), Qt::AlignCenter, hex_byte(i * k_side));
    }
    for (int row = 0; row < k_side; ++row) {
        for (int column = 0; column < k_side; ++column) {
            const int value = map_[static_cast<std::size_t>(row * k_side + column)];
            // Zero bytes recede, so the entries that are set stand out.
            painter.setPen(value == 0 ? label : text);
            painter.drawText(cell_rect(row, column), Qt::AlignCenter, hex_byte(value));
        }
    }
}

void LedMapView::paint_digit(QPainter& painter, const LedDigit& digit, const QRect& slot) const {
    const int label_height = row_height();
    const qreal height = slot.height() - label_height - 2;
    const qreal width = height / 2;
    const qreal stroke = std::max(k_min_stroke, width / k_stroke_part);
    const qreal box_width = width + 1.5 * stroke;  // the digit and its dot
    const QRectF box(slot.x() + (slot.width() - box_width) / 2, slot.y(), width, height);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const auto rects = segment_rects(box, stroke);
    for (int segment = 0; segment < k_led_segment_count; ++segment) {
        const bool lit = digit.segments && led_segment_lit(*digit.segments, segment);
        // Unlit segments are faint, as on the box's display; a missing digit's outline shows plainly.
        const QPalette::ColorRole outline = digit.segments ? QPalette::Midlight : QPalette::Mid;
        painter.setPen(lit ? Qt::NoPen : QPen(palette().color(outline), k_outline_width));
        painter.setBrush(lit ? palette().color(QPalette::Text) : Qt::transparent);
        const QRectF& r = rects[static_cast<std::size_t>(segment)];
        if (segment == k_led_dot_segment) {
            painter.drawEllipse(r);
        } else {
            painter.drawRect(r);
        }
    }
    if (!digit.segments) {
        painter.setPen(QPen(k_missing_colour, k_strike_width));
        painter.drawLine(QPointF(box.left(), box.bottom()), QPointF(box.left() + box_width, box.top()));
    }
    painter.restore();

    painter.setPen(digit.segments ? palette().color(QPalette::Text) : k_missing_colour);
    const QRect label(slot.x(), slot.bottom() + 1 - label_height, slot.width(), label_height);
    painter.drawText(label, Qt::AlignCenter, QString(QLatin1Char(digit.character)));
}

}  // namespace velmora
