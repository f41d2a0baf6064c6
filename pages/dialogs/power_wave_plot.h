// The power wave dialog's plot: the values its text holds, drawn left to right under the text, so a
// value typed wrong ("5000" among "500"s, "5o0") stands out before OK.
//
// Callers may rely on this: the plot shows exactly the points it was last given (power_wave_points
// of the text); a gap marks a value that is not a number, and values past the 63rd, which OK
// refuses, are drawn in the colour of an error. It takes no focus and no input; assistive tools know
// it by its accessible name and description.
#pragma once

#include <QSize>
#include <QWidget>
#include <vector>

#include "pages/models/power_wave_model.h"

class QPaintEvent;

namespace velmora {

class PowerWavePlot : public QWidget {
public:
    explicit PowerWavePlot(QWidget* parent = nullptr);

    void set_points(std::vector<PowerWavePoint> points);
    const std::vector<PowerWavePoint>& points() const { return points_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<PowerWavePoint> points_;
};

}  // namespace velmora
