// SPDX-License-Identifier: GPL-3.0-or-later
// Where a logged run went in a duty table: for every cell, the time the engine spent there,
// the samples taken there and the mean and largest value of a chosen channel. A sample counts
// for the cell whose breakpoints are nearest to its engine speed and to its vertical-axis
// value (ties to the lower breakpoint, values beyond an axis to its edge cell), on the axes
// the table shows now.
#pragma once

#include "rq7_log.h"

#include <QString>
#include <QVector>

class converter;
class rq7_log_view;

class log_coverage
{
public:
    /// What a cell shows besides its time: none, or a channel in physical units.
    enum channel {
        c_time = 0,
        c_boost,
        c_analog_a,
        c_analog_b,
        c_main_current,
        c_aux_current,
        c_battery,
        c_main_duty,
        c_aux_duty,
        c_gpo1_duty,
        c_gpo2_duty,
        c_count,
    };
    /// The table's vertical source, as its page numbers it.
    enum vertical_source { v_map = 0, v_analog_a = 1, v_analog_b = 2 };

    struct axes
    {
        QVector<double> rpm;      // column breakpoints, left to right
        QVector<double> vertical; // row breakpoints, top row first
        int source = v_map;       // boost in the display unit, or the input's volts
    };
    struct filter
    {
        int min_samples = 1; // cells with fewer samples are not shown
        /// Only samples where the table's output was driven above its minimum duty.
        bool only_active = false;
        e_data duty = e_main_duty;
        double min_duty = 0; // percent
    };
    struct cell
    {
        double seconds = 0;
        int samples = 0;
        double sum = 0;
        double max = 0;
        double mean() const { return samples > 0 ? sum / samples : 0; }
    };

    log_coverage() = default;
    static log_coverage compute(const rq7_log_view& log, const axes& table_axes,
                                const filter& sample_filter, channel shown, const converter& conv);

    int rows() const { return row_count; }
    int columns() const { return column_count; }
    channel shown_channel() const { return shown; }
    const cell& at(int row, int column) const { return cells[row * column_count + column]; }
    /// Visited, with at least the filter's minimum of samples.
    bool shown_at(int row, int column) const;
    /// Share of all logged time, 0..1.
    double share(int row, int column) const;
    /// What the cell shows: its share in percent, or the channel's mean (or maximum).
    double value(int row, int column, bool maximum) const;
    /// Every logged sample's time, also of those the filter left out.
    double total_seconds() const { return all_seconds; }
    int total_samples() const { return all_samples; }

    /// The grid as copying cells writes it: a tab between cells, a newline after each row;
    /// cells not shown are empty.
    QString to_tsv(bool maximum) const;

    /// A channel's value in physical units for a 10-bit reading (counts above 1023 read as
    /// 1023, as everywhere in the window).
    static double physical(channel which, unsigned int counts, const converter& conv);
    static e_data column_of(channel which);
    static int decimals(channel which);

private:
    int row_count = 0;
    int column_count = 0;
    channel shown = c_time;
    int min_samples = 1;
    QVector<cell> cells;
    double all_seconds = 0;
    int all_samples = 0;
};
