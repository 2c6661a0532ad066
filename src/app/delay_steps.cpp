// SPDX-License-Identifier: GPL-3.0-or-later
#include "delay_steps.h"

#include <QSpinBox>
#include <QStatusBar>

namespace delay_steps {

bool snap(QSpinBox* delay, QStatusBar* status)
{
    const int value = delay->value();
    if (value % step_ms == 0)
        return false;
    delay->setValue(value + step_ms - value % step_ms);
    status->showMessage(
        QString("Can only set delay in increments of %1").arg(double(step_ms), 0, 'f', 1));
    return true;
}

} // namespace delay_steps
