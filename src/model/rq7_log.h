// SPDX-License-Identifier: GPL-3.0-or-later
// Every live sample, column by column. The worker appends and clears; the live graph reads
// the columns from the GUI thread at the same time, each column under its own lock.
#pragma once

#include "rq7_frame.h"
#include "tsafe_qvector.h"

#include <QVector>

/// The value columns of the log, in the order of the frame's fields.
enum e_data {
    e_batt_adc = 0,
    e_map_adc,
    e_an1_adc,
    e_afr,
    e_an2_adc,
    e_aux_current,
    e_main_current,
    e_rpm,
    e_aux_duty,
    e_main_duty,
    e_gpo1_duty,
    e_boost_target_low,
    e_boost_target_high,
    e_pot_boost_target,
    e_gpo2_duty,
    e_gpi1_state,
    e_gpi2_state,
    e_aux_master,
    e_inj_pulse_width,
    e_error_pol,
    e_coarse_mode,
    e_command,
    e_current_pos,
    e_error,
    e_previous_pid,
    e_pterm,
    e_iterm,
    e_dterm,
    e_istate,
    e_istate_lu,
    e_result,
};

class rq7_log
{
public:
    static constexpr int column_count = rq7_frame::value_count;

    rq7_log() = default;
    rq7_log(const rq7_log&) = delete;
    rq7_log& operator=(const rq7_log&) = delete;

    /// Adds one sample (worker thread).
    void append(const rq7_frame& frame);
    /// Adds several samples, taking each column's lock once (worker thread).
    void append(const QVector<rq7_frame>& frames);
    /// Number of samples (the size of the time column).
    int size() const;
    /// The sample at position i; out of range logs "Index i=%d >= length=%d" and gives a
    /// default frame.
    rq7_frame at(int i) const;
    rq7_frame last() const;
    /// The sample nearest to t among those in t's 32 ms bucket; a default frame, without a
    /// message, when that bucket holds none (worker thread).
    rq7_frame roughly_at(qint64 t) const;
    /// Position of the sample `roughly_at` returns, or -1 (worker thread).
    int roughly_index(qint64 t) const;
    /// Position of the sample to show for a time picked on the graph: the one `roughly_at`
    /// finds, or, when t's bucket is empty, the sample nearest in time (of two equally near,
    /// the earlier). -1 only for an empty log (worker thread).
    int recall_index(qint64 t) const;
    /// Removes every sample and gives the memory back (worker thread).
    void clear();

    /// A value column, for readers in other threads; "Unknown e_data %d" is fatal.
    const tsafe_qvector<unsigned int>& const_data(e_data which) const;
    const tsafe_qvector<qint64>& timestamps() const { return times; }

    /// Copies [from, to) of the time column and of one value column into `stamps` and
    /// `values`, both cut to the length they share; returns that length. For readers that
    /// want a stretch of samples at once rather than one locked call per element.
    int copy_range(e_data which, int from, int to, QVector<qint64>& stamps,
                   QVector<unsigned int>& values) const;

private:
    void note_position(qint64 stamp, int position);
    int scan_for_nearest(const QVector<qint64>& stamps, qint64 t) const;
    int nearest_in_time(const QVector<qint64>& stamps, qint64 t) const;
    bool search_each_stretch(int n) const;

    // The bucket index: positions where the timestamps stop rising. Between two of them the
    // timestamps are sorted, so the samples of one 32 ms bucket are a run found by binary
    // search. A live log has one such stretch (more only when the PC clock steps back), so
    // the index costs next to nothing per sample. Worker thread only, like the bucket
    // look-up itself.
    QVector<int> sorted_starts;
    qint64 last_stamp = 0;
    int appended = 0; // the worker's own count, saves a locked size() per append

    // Columns are appended before the time column and the time column is cleared first: a
    // reader that bounds its index by the number of timestamps finds every column holding
    // that index.
    tsafe_qvector<qint64> times;
    tsafe_qvector<unsigned int> columns[column_count];
};
