// SPDX-License-Identifier: GPL-3.0-or-later
// The ranges and rules the window keeps every editable value within (its fields' ranges, the
// 13 ms, 500 RPM and 0.5 steps, the MAIN/AUX interlock, a positive MAP slope, the modes the
// unit knows), stated on the raw values that settings files hold and the unit receives. A file
// edited by hand or by a script is checked with them before anything of it is sent.
#pragma once

#include "rq7_catalogue.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace value_rules {

/// The highest overcurrent limit the window offers for each model, in amps.
constexpr double overcurrent_limit_nvs = 20;
constexpr double overcurrent_limit_nv = 10;

struct violation
{
    QString field;   // "RPM scaler", "MAIN duty table: overcurrent limit"
    QString value;   // as found, with its unit
    QString allowed; // the range or the values allowed
};

/// Every value among `checked` and the four output tables (AUX, MAIN, GPO1, GPO2) that the
/// window would not send to a unit whose overcurrent limit goes up to `max_overcurrent_amps`;
/// empty when all are fine.
QList<violation> check(const QList<QByteArray>& tables, const QList<quint32>& ints,
                       const QList<int_index>& checked, double max_overcurrent_amps);

/// "RPM scaler = 300 (allowed: 1 to 128, ...)".
QString describe(const violation& v);

} // namespace value_rules
