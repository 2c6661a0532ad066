// SPDX-License-Identifier: GPL-3.0-or-later
// A read-only look at a log store's columns, for readers outside the worker (the window's
// playback, coverage and export, and the command line's export). It holds references to the
// store's lock-guarded vectors, never the bucket index, so it is safe on any thread.
#pragma once

#include "rq7_log.h"

#include <QVector>

#include <array>
#include <functional>

class rq7_log_view
{
public:
    using column_fn = std::function<const tsafe_qvector<unsigned int>&(e_data)>;

    /// A view of nothing: size 0.
    rq7_log_view() = default;
    explicit rq7_log_view(const rq7_log& log);
    /// The time column and each value column as the owner hands them out.
    rq7_log_view(const tsafe_qvector<qint64>& times, const column_fn& column);

    bool is_null() const { return times == nullptr; }
    /// Samples held (the time column's size; columns are filled before the times).
    int size() const;
    /// The sample at i; a default frame when i is out of range.
    rq7_frame at(int i) const;
    qint64 time_at(int i) const;
    const tsafe_qvector<qint64>* timestamps() const { return times; }
    const tsafe_qvector<unsigned int>* column(e_data which) const { return columns[which]; }

    /// A copy of the first n timestamps (fewer when the log holds fewer).
    QVector<qint64> copy_times(int n) const;
    /// Copies [from, to) of the time column or of a value column into `out`, which has room
    /// for them; returns how many the column held. For long passes in small pieces: no
    /// allocation, and each column's lock held only for its piece.
    int copy_times(int from, int to, qint64* out) const;
    int copy_column(e_data which, int from, int to, unsigned int* out) const;

private:
    const tsafe_qvector<qint64>* times = nullptr;
    std::array<const tsafe_qvector<unsigned int>*, rq7_log::column_count> columns{};
};
