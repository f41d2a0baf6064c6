#include "pages/dialogs/power_wave_plot.h"

#include <QColor>
#include <QPainter>
#include <QPalette>
#include <QPen>
#include <QRectF>
#include <QString>
#include <algorithm>
#include <utility>

namespace velmora {

namespace {

constexpr int k_width = 480;
constexpr int k_height = 110;
constexpr int k_minimum_height = 60;
constexpr qreal k_margin = 6;
constexpr qreal k_dot_radius = 1.8;
constexpr qreal k_gap_mark = 5;  // height of the mark a gap leaves on the base line

// The error colour of the system's palette is not portable; this red reads on light and dark themes.
const QColor k_refused_colour{0xd0, 0x30, 0x30};

}  // namespace

PowerWavePlot::PowerWavePlot(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("power_wave_plot"));
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAccessibleName(QStringLiteral("Power wave plot"));
    setAccessibleDescription(
        QStringLiteral("The power wave values of the text above, drawn from left to right; a gap marks a "
                       "value that is not a number, and values past the 63rd are drawn in red."));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PowerWavePlot::set_points(std::vector<PowerWavePoint> points) {
    points_ = std::move(points);
    update();
}

QSize PowerWavePlot::sizeHint() const {
    return {k_width, k_height};
}

QSize PowerWavePlot::minimumSizeHint() const {
    return {k_width / 4, k_minimum_height};
}

void PowerWavePlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (points_.empty()) {
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF area = QRectF(rect()).adjusted(k_margin, k_margin, -k_margin, -k_margin);
    std::uint16_t highest = 1;  // a flat wave of zeros lies on the base line
    for (const PowerWavePoint& point : points_) {
        if (point) {
            highest = std::max(highest, *point);
        }
    }
    const std::size_t count = points_.size();
    const auto x_of = [&](std::size_t k) {
        return count == 1
                   ? area.center().x()
                   : area.left() + area.width() * static_cast<qreal>(k) / static_cast<qreal>(count - 1);
    };
    const auto y_of = [&](std::uint16_t value) {
        return area.bottom() - area.height() * static_cast<qreal>(value) / static_cast<qreal>(highest);
    };

    // The largest value names the scale, so a spike reads as the number it is.
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(area, Qt::AlignTop | Qt::AlignLeft, QString::number(highest));

    // Where OK stops taking values, when the text holds more.
    if (count > k_power_wave_values) {
        const qreal limit = (x_of(k_power_wave_values - 1) + x_of(k_power_wave_values)) / 2;
        painter.setPen(QPen(k_refused_colour, 1, Qt::DashLine));
        painter.drawLine(QPointF(limit, area.top()), QPointF(limit, area.bottom()));
    }

    const QColor line_colour = palette().color(QPalette::Highlight);
    const auto colour_of = [&](std::size_t k) {
        return k < k_power_wave_values ? line_colour : k_refused_colour;
    };
    for (std::size_t k = 0; k < count; ++k) {
        const PowerWavePoint& point = points_[k];
        if (!point) {
            painter.setPen(QPen(k_refused_colour, 2));
            painter.drawLine(QPointF(x_of(k), area.bottom()), QPointF(x_of(k), area.bottom() - k_gap_mark));
            continue;
        }
        const QPointF here(x_of(k), y_of(*point));
        if (k + 1 < count && points_[k + 1]) {
            painter.setPen(QPen(colour_of(k + 1), 1.5));
            painter.drawLine(here, QPointF(x_of(k + 1), y_of(*points_[k + 1])));
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour_of(k));
        painter.drawEllipse(here, k_dot_radius, k_dot_radius);
    }
}

}  // namespace velmora
