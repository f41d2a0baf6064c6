// The look of the LED map page's segment buttons: together they draw one seven-segment digit with its
// dot, each button the segment it picks.
//
// Callers may rely on this: the style changes only how a push button is painted, never its size,
// place, text or behaviour. A button wider than twice its height is a horizontal bar with pointed
// ends, one taller than twice its width a vertical bar, any other a round dot; the button's text
// (the segment number) stays centred on it. Colours come from the button's palette; pressed, hovered,
// disabled and focused buttons look so. Everything else is painted by the application's style.
// Set it on the buttons with QWidget::setStyle; it must outlive them.
#pragma once

#include <QProxyStyle>

class QPainter;
class QPainterPath;
class QRectF;
class QStyleOption;
class QWidget;

namespace velmora {

class SegmentButtonStyle : public QProxyStyle {
public:
    enum class Shape { horizontal_bar, vertical_bar, dot };

    SegmentButtonStyle();

    // The shape of a button of this size.
    static Shape shape_for(const QSize& size);
    // The outline a button of this shape draws inside `rect`.
    static QPainterPath outline(Shape shape, const QRectF& rect);

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void polish(QWidget* widget) override;
    using QProxyStyle::polish;
};

}  // namespace velmora
