// SPDX-License-Identifier: GPL-3.0-or-later
// Labels of the live log graph's left axis: raw 10-bit values shown as percent of full scale.
#pragma once

#include <qwt_scale_draw.h>

class percent_scale_draw : public QwtScaleDraw
{
public:
    explicit percent_scale_draw(double divisor = 1023.0);

    /// The truncated percent of `value`, never above 100.
    QwtText label(double value) const override;

private:
    double divisor;
};
