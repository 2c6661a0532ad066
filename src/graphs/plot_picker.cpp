// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot_picker.h"

#include <qwt_text.h>

plot_picker::plot_picker(int x_axis, int y_axis, RubberBand rubber_band, DisplayMode tracker_mode,
                         QWidget* canvas)
    : QwtPlotPicker(x_axis, y_axis, rubber_band, tracker_mode, canvas)
{}

QwtText plot_picker::trackerTextF(const QPointF&) const
{
    // The cursor's raw coordinates are milliseconds since 1970 and raw counts: meaningless
    // to read, and not a sample of the log.
    return QwtText();
}
