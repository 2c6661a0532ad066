// SPDX-License-Identifier: GPL-3.0-or-later
// How much time one logged sample stands for: the step to the next sample. A recording paused
// for a Read, or two recordings in one file, leave a gap that is no time the engine spent
// anywhere; such a step (longer than a second, or a clock that went back) counts as the log's
// usual step instead.
#pragma once

#include <QVector>
#include <QtGlobal>

namespace log_steps {

/// A step longer than this is a gap between recordings.
constexpr qint64 max_step_ms = 1000;
/// The unit's live stream period, for a log too short to tell its own.
constexpr qint64 nominal_step_ms = 13;

/// The median of the steps between consecutive samples that are no gap; the nominal period
/// when there is none.
qint64 usual_step_ms(const QVector<qint64>& stamps);

/// Counts steps by their length in whole milliseconds, for a median taken in one pass.
class step_counter
{
public:
    step_counter();
    /// Counts a step that is no gap (0 < step <= max_step_ms); others are left out.
    void add(qint64 step)
    {
        if (step > 0 && step <= max_step_ms) {
            ++count_of[int(step)];
            ++counted;
        }
    }
    /// The median of the steps counted, or the nominal period without any.
    qint64 median() const;

private:
    QVector<int> count_of;
    int counted = 0;
};

/// The time the sample before a step of `step` ms stands for.
inline qint64 counted_step(qint64 step, qint64 usual)
{
    return step >= 0 && step <= max_step_ms ? step : usual;
}

} // namespace log_steps
