// SPDX-License-Identifier: GPL-3.0-or-later
// Plays a stored log back as it was recorded, at 1, 2, 4 or 16 times its pace, or moves
// through it by hand: a position (a sample), play and pause, steps of one sample, the first
// and the last sample. A gap between two recordings in one file lasts one usual sample step,
// not its real length. It only reads the log and tells which sample to show: nothing here
// talks to the unit.
#pragma once

#include "rq7_frame.h"
#include "rq7_log_view.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class log_playback : public QObject
{
    Q_OBJECT

public:
    /// The position moves at the screen's pace.
    static constexpr int tick_ms = 33;

    explicit log_playback(QObject* parent = nullptr);

    /// The log to play; the position goes back to its first sample, paused, not shown until
    /// the user plays or moves.
    void set_log(const rq7_log_view& log);
    /// The log changed (a file opened, the store emptied): as set_log with the same view.
    void reload();

    int position() const { return pos; }
    int size() const { return count; }
    bool is_playing() const { return timer.isActive(); }
    int speed() const { return factor; }
    /// The timestamp of the sample shown; 0 without one.
    qint64 position_time() const;

public slots:
    void play();
    void pause();
    void toggle_play();
    /// 1, 2, 4 or 16; anything else is refused (false).
    bool set_speed(int times);
    /// Shows the sample at `index` (bounded to the log).
    void seek(int index);
    void step_forward();
    void step_back();
    void home();
    void end();

signals:
    /// The sample to show now, and where it stands.
    void frame_shown(int index, rq7_frame frame);
    void playing_changed(bool playing);
    /// The log to play has a new length (set_log, reload).
    void log_changed(int samples);

private slots:
    void tick();

private:
    void show(int index);
    void stop_at_end();

    rq7_log_view log;
    QTimer timer;
    QElapsedTimer clock;
    int count = 0;
    int pos = 0;
    int factor = 1;
    qint64 usual_step = 0;
    double owed_ms = 0; // log time earned by the clock, not yet spent on a step
};
