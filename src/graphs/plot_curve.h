// SPDX-License-Identifier: GPL-3.0-or-later
// A line of the live log graph.
#pragma once

#include <qwt_plot_curve.h>

class plot_curve : public QwtPlotCurve
{
public:
    explicit plot_curve(const QString& title = QString())
        : QwtPlotCurve(title)
    {}
};
