// SPDX-License-Identifier: GPL-3.0-or-later
// How the comparison shows the other side's values: the field of a parameter on the window's
// form, and a duty in counts as the percentage the window shows.
#pragma once

#include <QtGlobal>

namespace compare_fields {

/// The form's field of a parameter (an int_index), or null for one the window does not show.
const char* parameter_field(int parameter);
/// A duty of 0..1023 counts (more counts as 1023) in whole percent.
int percent_of(quint32 counts);

} // namespace compare_fields
