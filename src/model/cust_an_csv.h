// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a custom analog conversion table: a CSV file of 1024 lines "count, value" after a
// header line that names the quantity. Comment lines start with '#'.
#pragma once

#include <QString>
#include <QVector>

/// Parses the conversion table in `path`. True when the file follows the format; then `name`
/// is the quantity's name and `table` its 1024 values. On false the first problem has been
/// logged at critical level and the outputs must not be used.
bool parse_cust_an_csv(QString path, QString& name, QVector<double>& table);
