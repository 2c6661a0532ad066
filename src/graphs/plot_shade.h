// SPDX-License-Identifier: GPL-3.0-or-later
// A filled band of the live log graph (the stretches logged to a file).
#pragma once

#include <qwt_plot_curve.h>

class plot_shade : public QwtPlotCurve
{
public:
    explicit plot_shade(const QString& title = QString())
        : QwtPlotCurve(title)
    {}
};
