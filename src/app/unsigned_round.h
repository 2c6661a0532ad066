// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <cmath>

/// A field's value as the unsigned count the unit stores: negatives become 0.
inline quint32 round_to_u32(double value)
{
    return value <= 0 ? 0u : static_cast<quint32>(std::lround(value));
}
