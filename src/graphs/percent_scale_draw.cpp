// SPDX-License-Identifier: GPL-3.0-or-later
#include "percent_scale_draw.h"

#include <qwt_text.h>

#include <QString>

#include <cmath>

percent_scale_draw::percent_scale_draw(double divisor_)
    : divisor(divisor_)
{}

QwtText percent_scale_draw::label(double value) const
{
    // The axis runs a little past full scale (1028) so that the top line stays visible.
    const double percent = std::min(100.0, std::trunc(value * 100.0 / divisor));
    return QwtText(QString::number(qint64(percent)));
}
