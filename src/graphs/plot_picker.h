// SPDX-License-Identifier: GPL-3.0-or-later
// Picks a point in time on the live log graph with the left mouse button.
#pragma once

#include <qwt_plot_picker.h>

class plot_picker : public QwtPlotPicker
{
public:
    plot_picker(int x_axis, int y_axis, RubberBand rubber_band, DisplayMode tracker_mode,
                QWidget* canvas);

protected:
    /// No coordinates under the cursor: the time marker shows the sample that was picked.
    QwtText trackerTextF(const QPointF& position) const override;
};
