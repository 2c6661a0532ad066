// SPDX-License-Identifier: GPL-3.0-or-later
// Evaluates a table script once per cell. The script is the user's own text, so it may run
// for ever: it runs on a thread of its own with a time limit, and the caller gets back every
// value computed before the end or the first error.
#pragma once

#include <QString>
#include <QVector>

class script_runner
{
public:
    /// One cell to evaluate: its place in the table and its value before the script.
    struct cell
    {
        int row = 0;
        int column = 0;
        int old = 0;
    };

    /// The selected block's top-left cell and size, the same for every cell of a run.
    struct selection
    {
        int first_row = 0;
        int first_column = 0;
        int rows = 0;
        int columns = 0;
    };

    struct outcome
    {
        /// New values of the first cells, in the order given, each already 0..100.
        QVector<int> values;
        /// Set when the script threw (or was stopped) at cell number values.size().
        bool failed = false;
        /// The exception value as the script engine words it.
        QString error;
    };

    /// A script that has not finished after this long is stopped, as if it had thrown.
    static constexpr int default_time_limit_ms = 3000;

    /// Runs `script` for each of `cells` in turn with one fresh engine, so that globals the
    /// script creates last from cell to cell within the run. Blocks until the run ends.
    static outcome run(const QString& script, const QVector<cell>& cells, const selection& block,
                       int time_limit_ms = default_time_limit_ms);

    /// A script result as a duty: ECMAScript ToInteger (NaN is 0), bounded to 0..100.
    static int to_percent(double integer);
};
