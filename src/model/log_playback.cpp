// SPDX-License-Identifier: GPL-3.0-or-later
#include "log_playback.h"

#include "log_steps.h"

#include <algorithm>
#include <iterator>

namespace {

const int speeds[] = {1, 2, 4, 16};

} // namespace

log_playback::log_playback(QObject* parent)
    : QObject(parent)
{
    timer.setInterval(tick_ms);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &log_playback::tick);
}

void log_playback::set_log(const rq7_log_view& view)
{
    log = view;
    reload();
}

void log_playback::reload()
{
    pause();
    count = log.size();
    pos = 0;
    owed_ms = 0;
    // A log is not played while it grows, so its usual step is taken once.
    usual_step = log_steps::usual_step_ms(log.copy_times(count));
    // Nothing is shown yet: the window keeps what it shows (the newest sample of a file just
    // opened, say) until the user plays or moves.
    emit log_changed(count);
}

qint64 log_playback::position_time() const
{
    return count > 0 ? log.time_at(pos) : 0;
}

void log_playback::play()
{
    if (count == 0 || timer.isActive())
        return;
    // Play at the end starts again from the beginning, as a player does.
    show(pos >= count - 1 ? 0 : pos);
    owed_ms = 0;
    clock.start();
    timer.start();
    emit playing_changed(true);
}

void log_playback::pause()
{
    if (!timer.isActive())
        return;
    timer.stop();
    emit playing_changed(false);
}

void log_playback::toggle_play()
{
    if (timer.isActive())
        pause();
    else
        play();
}

bool log_playback::set_speed(int times)
{
    if (std::find(std::begin(speeds), std::end(speeds), times) == std::end(speeds))
        return false;
    factor = times;
    return true;
}

void log_playback::seek(int index)
{
    if (count == 0)
        return;
    owed_ms = 0;
    show(qBound(0, index, count - 1));
}

void log_playback::step_forward()
{
    pause();
    seek(pos + 1);
}

void log_playback::step_back()
{
    pause();
    seek(pos - 1);
}

void log_playback::home()
{
    seek(0);
}

void log_playback::end()
{
    pause();
    seek(count - 1);
}

// The wall clock, not the number of ticks, drives the position: a late tick catches up
// instead of slowing the run down.
void log_playback::tick()
{
    owed_ms += double(clock.restart()) * factor;
    int next = pos;
    while (next + 1 < count) {
        const qint64 step =
            log_steps::counted_step(log.time_at(next + 1) - log.time_at(next), usual_step);
        if (step > owed_ms)
            break;
        owed_ms -= step;
        ++next;
    }
    if (next != pos)
        show(next);
    if (pos >= count - 1)
        stop_at_end();
}

void log_playback::stop_at_end()
{
    owed_ms = 0;
    pause();
}

void log_playback::show(int index)
{
    pos = index;
    emit frame_shown(index, log.at(index));
}
