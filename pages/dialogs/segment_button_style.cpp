#include "pages/dialogs/segment_button_style.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QRectF>
#include <QStyleOptionButton>
#include <QWidget>
#include <algorithm>

namespace velmora {

namespace {

// A bar is a bar when its long side is at least this many times its short one.
constexpr qreal k_bar_ratio = 2.0;
constexpr qreal k_inset = 1.5;        // keeps the outline's pen inside the button
constexpr qreal k_focus_inset = 3.0;  // the focus mark runs inside the outline
constexpr qreal k_pen_width = 1.0;
constexpr qreal k_focus_pen_width = 1.0;
constexpr int k_hover_lighter = 115;  // percent

// A horizontal bar with pointed ends: half its height to each point.
QPolygonF horizontal_bar(const QRectF& r) {
    const qreal point = std::min(r.height() / 2, r.width() / 2);
    const qreal mid = r.center().y();
    return QPolygonF({{r.left(), mid},
                      {r.left() + point, r.top()},
                      {r.right() - point, r.top()},
                      {r.right(), mid},
                      {r.right() - point, r.bottom()},
                      {r.left() + point, r.bottom()}});
}

QPolygonF vertical_bar(const QRectF& r) {
    const qreal point = std::min(r.width() / 2, r.height() / 2);
    const qreal mid = r.center().x();
    return QPolygonF({{mid, r.top()},
                      {r.right(), r.top() + point},
                      {r.right(), r.bottom() - point},
                      {mid, r.bottom()},
                      {r.left(), r.bottom() - point},
                      {r.left(), r.top() + point}});
}

}  // namespace

SegmentButtonStyle::SegmentButtonStyle() {
    setObjectName(QStringLiteral("segment_button_style"));
}

SegmentButtonStyle::Shape SegmentButtonStyle::shape_for(const QSize& size) {
    if (size.width() >= k_bar_ratio * size.height()) {
        return Shape::horizontal_bar;
    }
    if (size.height() >= k_bar_ratio * size.width()) {
        return Shape::vertical_bar;
    }
    return Shape::dot;
}

QPainterPath SegmentButtonStyle::outline(Shape shape, const QRectF& rect) {
    QPainterPath path;
    switch (shape) {
        case Shape::horizontal_bar:
            path.addPolygon(horizontal_bar(rect));
            path.closeSubpath();
            break;
        case Shape::vertical_bar:
            path.addPolygon(vertical_bar(rect));
            path.closeSubpath();
            break;
        case Shape::dot: {
            const qreal diameter = std::min(rect.width(), rect.height());
            QRectF circle(0, 0, diameter, diameter);
            circle.moveCenter(rect.center());
            path.addEllipse(circle);
            break;
        }
    }
    return path;
}

void SegmentButtonStyle::polish(QWidget* widget) {
    QProxyStyle::polish(widget);
    // Without it the button never hears that the mouse is over it.
    widget->setAttribute(Qt::WA_Hover);
}

void SegmentButtonStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                     const QWidget* widget) const {
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (element != CE_PushButton || button == nullptr) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    const QPalette& palette = button->palette;
    const bool enabled = (button->state & State_Enabled) != 0;
    const bool pressed = (button->state & (State_Sunken | State_On)) != 0;
    const bool hovered = enabled && (button->state & State_MouseOver) != 0;
    const bool focused = (button->state & State_HasFocus) != 0;

    QColor fill = palette.color(QPalette::Button);
    QColor edge = palette.color(QPalette::Dark);
    QPalette::ColorRole text_role = QPalette::ButtonText;
    if (!enabled) {
        fill = palette.color(QPalette::Disabled, QPalette::Button);
        edge = palette.color(QPalette::Disabled, QPalette::Mid);
    } else if (pressed) {
        fill = palette.color(QPalette::Highlight);
        edge = palette.color(QPalette::Highlight).darker();
        text_role = QPalette::HighlightedText;
    } else if (hovered) {
        fill = palette.color(QPalette::Button).lighter(k_hover_lighter);
        edge = palette.color(QPalette::Highlight);
    }

    const QRectF area = QRectF(button->rect).adjusted(k_inset, k_inset, -k_inset, -k_inset);
    const Shape shape = shape_for(button->rect.size());
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(edge, k_pen_width));
    painter->setBrush(fill);
    painter->drawPath(outline(shape, area));
    if (focused) {
        QPen focus_pen(palette.color(QPalette::Highlight), k_focus_pen_width, Qt::DotLine);
        painter->setPen(focus_pen);
        painter->setBrush(Qt::NoBrush);
        const qreal inset = k_focus_inset - k_inset;
        painter->drawPath(outline(shape, area.adjusted(inset, inset, -inset, -inset)));
    }
    painter->restore();
    proxy()->drawItemText(painter, button->rect, Qt::AlignCenter | Qt::TextShowMnemonic, palette, enabled,
                          button->text, text_role);
}

}  // namespace velmora
