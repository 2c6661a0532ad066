// SPDX-License-Identifier: GPL-3.0-or-later
#include "rq7_log_view.h"

#include <algorithm>

rq7_log_view::rq7_log_view(const rq7_log& log)
    : rq7_log_view(log.timestamps(), [&log](e_data which) -> const tsafe_qvector<unsigned int>& {
        return log.const_data(which);
    })
{}

rq7_log_view::rq7_log_view(const tsafe_qvector<qint64>& times_, const column_fn& column)
    : times(&times_)
{
    for (int c = 0; c < rq7_log::column_count; ++c)
        columns[c] = &column(e_data(c));
}

int rq7_log_view::size() const
{
    return times ? times->size() : 0;
}

rq7_frame rq7_log_view::at(int i) const
{
    if (!times || i < 0 || i >= times->size())
        return rq7_frame();
    quint32 values[rq7_log::column_count];
    for (int c = 0; c < rq7_log::column_count; ++c)
        values[c] = columns[c]->at(i);
    return rq7_frame::from_values(times->at(i), values);
}

qint64 rq7_log_view::time_at(int i) const
{
    return times ? times->at(i) : 0;
}

QVector<qint64> rq7_log_view::copy_times(int n) const
{
    return times ? times->copy(0, n) : QVector<qint64>();
}

namespace {

template <typename T>
int copy_piece(const tsafe_qvector<T>* column, int from, int to, T* out)
{
    if (!column)
        return 0;
    return column->read_locked([&](const QVector<T>& data) {
        const int end = qMin(to, data.size());
        if (from >= end)
            return 0;
        std::copy(data.constBegin() + from, data.constBegin() + end, out);
        return end - from;
    });
}

} // namespace

int rq7_log_view::copy_times(int from, int to, qint64* out) const
{
    return copy_piece(times, from, to, out);
}

int rq7_log_view::copy_column(e_data which, int from, int to, unsigned int* out) const
{
    return copy_piece(times ? columns[which] : nullptr, from, to, out);
}
