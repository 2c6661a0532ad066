// SPDX-License-Identifier: GPL-3.0-or-later
#include "log_steps.h"

namespace log_steps {

qint64 usual_step_ms(const QVector<qint64>& stamps)
{
    step_counter steps;
    for (int i = 1; i < stamps.size(); ++i)
        steps.add(stamps[i] - stamps[i - 1]);
    return steps.median();
}

step_counter::step_counter()
    : count_of(int(max_step_ms) + 1)
{}

// Steps are whole milliseconds up to a second: the median is found by walking the counts.
qint64 step_counter::median() const
{
    int seen = 0;
    for (int step = 1; step <= int(max_step_ms) && counted > 0; ++step) {
        seen += count_of[step];
        if (seen > counted / 2)
            return step;
    }
    return nominal_step_ms;
}

} // namespace log_steps
