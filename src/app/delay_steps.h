// SPDX-License-Identifier: GPL-3.0-or-later
// The unit counts every delay (GPO and GPI activation and deactivation, the pump prime delay)
// in steps of 13 ms; the fields that show them in milliseconds keep to those steps.
#pragma once

class QSpinBox;
class QStatusBar;

namespace delay_steps {

constexpr int step_ms = 13;

/// Raises a delay to the next multiple of the step and says so in the status bar; true when
/// it had to.
bool snap(QSpinBox* delay, QStatusBar* status);

} // namespace delay_steps
