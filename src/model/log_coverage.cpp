// SPDX-License-Identifier: GPL-3.0-or-later
#include "log_coverage.h"

#include "converter.h"
#include "log_steps.h"
#include "rq7_log_view.h"

#include <algorithm>

namespace {

constexpr unsigned int full_counts = 1023;

/// The breakpoints of one axis, ascending, each value once with the cell it stands for: of
/// equal breakpoints the one lowest on the axis (leftmost column, bottom row).
class breakpoints
{
public:
    breakpoints(const QVector<double>& axis, bool top_first)
    {
        const int n = axis.size();
        QVector<QPair<double, int>> order;
        for (int k = 0; k < n; ++k) {
            const int i = top_first ? n - 1 - k : k;
            order.append({axis[i], i});
        }
        std::stable_sort(order.begin(), order.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& p : order) {
            if (values.isEmpty() || p.first != values.last()) {
                values.append(p.first);
                cells.append(p.second);
            }
        }
    }

    /// The nearest breakpoint's cell; halfway between two, the lower one's.
    int nearest(double v) const
    {
        const auto it = std::lower_bound(values.begin(), values.end(), v);
        if (it == values.begin())
            return cells.first();
        if (it == values.end())
            return cells.last();
        const int k = int(it - values.begin());
        return v - values[k - 1] <= values[k] - v ? cells[k - 1] : cells[k];
    }

private:
    QVector<double> values;
    QVector<int> cells;
};

double duty_percent(unsigned int counts)
{
    return qMin(counts, full_counts) * 100.0 / full_counts;
}

e_data vertical_column(int source)
{
    return source == log_coverage::v_analog_a   ? e_an1_adc
           : source == log_coverage::v_analog_b ? e_an2_adc
                                                : e_map_adc;
}

/// The vertical-axis value of every possible reading, in the axis's unit.
QVector<double> vertical_values(int source, const converter& conv)
{
    QVector<double> values(full_counts + 1);
    for (unsigned int c = 0; c <= full_counts; ++c)
        values[int(c)] = source == log_coverage::v_map ? conv.adc2boost(quint16(c))
                                                       : converter::adc2volt(quint16(c));
    return values;
}

} // namespace

log_coverage log_coverage::compute(const rq7_log_view& log, const axes& table_axes,
                                   const filter& sample_filter, channel shown_channel,
                                   const converter& conv)
{
    log_coverage result;
    result.shown = shown_channel;
    result.min_samples = qMax(1, sample_filter.min_samples);
    const int rows = table_axes.vertical.size();
    const int columns = table_axes.rpm.size();
    if (rows == 0 || columns == 0)
        return result;
    result.row_count = rows;
    result.column_count = columns;
    result.cells.resize(rows * columns);

    // Readings are 10-bit: every row and channel value is looked up, not converted per sample.
    const breakpoints column_of_rpm(table_axes.rpm, false);
    const breakpoints row_of_value(table_axes.vertical, true);
    const QVector<double> vertical_of = vertical_values(table_axes.source, conv);
    QVector<int> row_of(full_counts + 1);
    for (int c = 0; c <= int(full_counts); ++c)
        row_of[c] = row_of_value.nearest(vertical_of[c]);
    const bool with_channel = shown_channel > c_time && shown_channel < c_count;
    QVector<double> value_of(full_counts + 1);
    if (with_channel)
        for (unsigned int c = 0; c <= full_counts; ++c)
            value_of[int(c)] = physical(shown_channel, c, conv);

    // A gap's time is only known once the usual step is: each cell counts its regular steps in
    // milliseconds and its gaps (and the last sample) by number, and adds them up at the end.
    QVector<qint64> regular_ms(rows * columns);
    QVector<int> gaps(rows * columns);
    qint64 all_regular_ms = 0;
    int all_gaps = 0;
    log_steps::step_counter steps;

    // The log is read in pieces into small buffers: no copy of whole columns, and no lock
    // held for long against the worker.
    constexpr int piece = 8192;
    QVector<qint64> times(piece + 1);
    QVector<unsigned int> rpm(piece), vertical(piece), channel_counts(piece), duty(piece);
    const e_data vertical_data = vertical_column(table_axes.source);
    const int n = log.size();
    for (int from = 0; from < n; from += piece) {
        const int to = qMin(n, from + piece);
        // One time more than the piece: the step after its last sample.
        const int got = log.copy_times(from, to + 1, times.data());
        const bool has_next = got > to - from;
        int m = qMin(got, to - from);
        m = qMin(m, log.copy_column(e_rpm, from, to, rpm.data()));
        m = qMin(m, log.copy_column(vertical_data, from, to, vertical.data()));
        if (with_channel)
            m = qMin(m, log.copy_column(column_of(shown_channel), from, to, channel_counts.data()));
        if (sample_filter.only_active)
            m = qMin(m, log.copy_column(sample_filter.duty, from, to, duty.data()));
        for (int i = 0; i < m; ++i) {
            const bool last = i + 1 == m && !has_next;
            const qint64 step = last ? -1 : times[i + 1] - times[i];
            const bool regular = step >= 0 && step <= log_steps::max_step_ms;
            if (regular) {
                steps.add(step);
                all_regular_ms += step;
            } else {
                ++all_gaps;
            }
            ++result.all_samples;
            if (sample_filter.only_active && !(duty_percent(duty[i]) > sample_filter.min_duty))
                continue;
            const int index = row_of[int(qMin(vertical[i], full_counts))] * columns +
                              column_of_rpm.nearest(rpm[i]);
            cell& c = result.cells[index];
            if (regular)
                regular_ms[index] += step;
            else
                ++gaps[index];
            if (with_channel) {
                const double v = value_of[int(qMin(channel_counts[i], full_counts))];
                c.max = c.samples == 0 ? v : qMax(c.max, v);
                c.sum += v;
            }
            ++c.samples;
        }
        if (m < to - from)
            break; // the log was emptied meanwhile
    }

    const qint64 usual = steps.median();
    for (int index = 0; index < result.cells.size(); ++index)
        result.cells[index].seconds = (regular_ms[index] + gaps[index] * usual) / 1000.0;
    result.all_seconds = (all_regular_ms + all_gaps * usual) / 1000.0;
    return result;
}

bool log_coverage::shown_at(int row, int column) const
{
    return at(row, column).samples >= min_samples;
}

double log_coverage::share(int row, int column) const
{
    return all_seconds > 0 ? at(row, column).seconds / all_seconds : 0;
}

double log_coverage::value(int row, int column, bool maximum) const
{
    if (shown == c_time)
        return share(row, column) * 100;
    return maximum ? at(row, column).max : at(row, column).mean();
}

QString log_coverage::to_tsv(bool maximum) const
{
    QString text;
    for (int row = 0; row < row_count; ++row) {
        for (int column = 0; column < column_count; ++column) {
            if (column > 0)
                text += '\t';
            if (shown_at(row, column))
                text += QString::number(value(row, column, maximum), 'f', decimals(shown));
        }
        text += '\n';
    }
    return text;
}

double log_coverage::physical(channel which, unsigned int counts, const converter& conv)
{
    const quint16 c = quint16(qMin(counts, full_counts));
    switch (which) {
    case c_boost:
        return conv.adc2boost(c);
    case c_analog_a:
        return conv.adc2cust_ana(c);
    case c_analog_b:
        return conv.adc2cust_anb(c);
    case c_main_current:
    case c_aux_current:
        return converter::adc2current(c);
    case c_battery:
        return converter::adc2batt(c);
    case c_main_duty:
    case c_aux_duty:
    case c_gpo1_duty:
    case c_gpo2_duty:
        return duty_percent(c);
    default:
        return 0;
    }
}

e_data log_coverage::column_of(channel which)
{
    switch (which) {
    case c_boost:
        return e_map_adc;
    case c_analog_a:
        return e_an1_adc;
    case c_analog_b:
        return e_an2_adc;
    case c_main_current:
        return e_main_current;
    case c_aux_current:
        return e_aux_current;
    case c_battery:
        return e_batt_adc;
    case c_main_duty:
        return e_main_duty;
    case c_aux_duty:
        return e_aux_duty;
    case c_gpo1_duty:
        return e_gpo1_duty;
    case c_gpo2_duty:
        return e_gpo2_duty;
    default:
        return e_rpm;
    }
}

int log_coverage::decimals(channel which)
{
    return which == c_time ? 1 : 2;
}
