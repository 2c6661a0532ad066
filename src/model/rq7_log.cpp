// SPDX-License-Identifier: GPL-3.0-or-later
#include "rq7_log.h"

#include <QDebug>

#include <algorithm>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// A timestamp's 32 ms bucket (floor of t / 32, also for times before 1970).
qint64 bucket_of(qint64 t)
{
    return t >> 5;
}

int log2_ceil(int n)
{
    int bits = 0;
    while (bits < 31 && (1 << bits) < n)
        ++bits;
    return bits;
}

template <typename T>
bool is_full(const tsafe_qvector<T>& v)
{
    return v.read_locked([](const QVector<T>& d) { return d.size() == d.capacity(); });
}

// A column that outgrows its capacity moves to a block twice the size and frees the old one.
// The worker's allocator keeps freed blocks resident and hands them out again: when the
// columns grow one after another, the next column's new block lands on the blocks the
// previous ones just left, resident in full before it holds anything. With thirty-two columns
// that was about 75 bytes for every stored sample on each doubling. So the free pages go back
// to the system before each column grows, and once more after the last.
void release_freed_pages()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

} // namespace

void rq7_log::append(const rq7_frame& frame)
{
    quint32 values[column_count];
    frame.to_values(values);
    const bool grows = is_full(columns[0]) || is_full(times);
    for (int c = 0; c < column_count; ++c) {
        if (grows)
            release_freed_pages();
        columns[c].append(values[c]);
    }
    if (grows)
        release_freed_pages();
    times.append(frame.timestamp);
    note_position(frame.timestamp, appended++);
    if (grows)
        release_freed_pages();
}

void rq7_log::append(const QVector<rq7_frame>& frames)
{
    if (frames.isEmpty())
        return;
    QVector<quint32> values(frames.size() * column_count);
    QVector<qint64> stamps(frames.size());
    for (int f = 0; f < frames.size(); ++f) {
        frames[f].to_values(values.data() + f * column_count);
        stamps[f] = frames[f].timestamp;
    }
    QVector<unsigned int> column(frames.size());
    for (int c = 0; c < column_count; ++c) {
        for (int f = 0; f < frames.size(); ++f)
            column[f] = values[f * column_count + c];
        columns[c].append(column);
    }
    times.append(stamps);
    for (qint64 stamp : stamps)
        note_position(stamp, appended++);
}

void rq7_log::note_position(qint64 stamp, int position)
{
    if (position == 0 || stamp < last_stamp)
        sorted_starts.append(position);
    last_stamp = stamp;
}

int rq7_log::size() const
{
    return times.size();
}

rq7_frame rq7_log::at(int i) const
{
    const int n = size();
    if (i < 0 || i >= n) {
        qCritical("Index i=%d >= length=%d", i, n);
        return rq7_frame();
    }
    // Each column is read under its own lock; one cleared meanwhile reads as 0, never past its
    // end.
    quint32 values[column_count];
    for (int c = 0; c < column_count; ++c)
        values[c] = columns[c].at(i);
    return rq7_frame::from_values(times.at(i), values);
}

rq7_frame rq7_log::last() const
{
    return at(size() - 1);
}

rq7_frame rq7_log::roughly_at(qint64 t) const
{
    const int position = roughly_index(t);
    return position < 0 ? rq7_frame() : at(position);
}

int rq7_log::roughly_index(qint64 t) const
{
    return times.read_locked(
        [&](const QVector<qint64>& stamps) { return scan_for_nearest(stamps, t); });
}

// Among the samples of t's bucket: the nearest one, and of equally near ones the most recent
// (highest position), which is what walking the bucket from the newest sample backwards,
// replacing the best only on a strictly smaller distance, gives.
int rq7_log::scan_for_nearest(const QVector<qint64>& stamps, qint64 t) const
{
    const qint64 bucket = bucket_of(t);
    const int n = stamps.size();
    int best = -1;
    qint64 best_distance = 0;
    auto consider = [&](int p) {
        const qint64 distance = qAbs(stamps[p] - t); // same bucket: less than 32
        if (best < 0 || distance < best_distance || (distance == best_distance && p > best)) {
            best = p;
            best_distance = distance;
        }
    };

    const int stretches = sorted_starts.size();
    if (!search_each_stretch(n)) {
        for (int p = 0; p < n; ++p)
            if (bucket_of(stamps[p]) == bucket)
                consider(p);
        return best;
    }
    for (int s = 0; s < stretches; ++s) {
        const int from = qMin(sorted_starts[s], n);
        const int to = s + 1 < stretches ? qMin(sorted_starts[s + 1], n) : n;
        const auto begin = stamps.constBegin();
        auto it = std::partition_point(begin + from, begin + to,
                                       [bucket](qint64 x) { return bucket_of(x) < bucket; });
        for (int p = int(it - begin); p < to && bucket_of(stamps[p]) == bucket; ++p)
            consider(p);
    }
    return best;
}

// Timestamps out of order in a file can cut the log into many sorted stretches; when
// searching each would cost more than looking at every sample, look at every sample.
bool rq7_log::search_each_stretch(int n) const
{
    return qint64(sorted_starts.size()) * (log2_ceil(n) + 1) < n;
}

int rq7_log::recall_index(qint64 t) const
{
    return times.read_locked([&](const QVector<qint64>& stamps) {
        const int found = scan_for_nearest(stamps, t);
        return found >= 0 ? found : nearest_in_time(stamps, t);
    });
}

// An empty bucket must not answer with a sample that was never there: the nearest real one
// stands in. Of two equally near, the earlier in time; of equal timestamps, the first stored.
int rq7_log::nearest_in_time(const QVector<qint64>& stamps, qint64 t) const
{
    const int n = stamps.size();
    int best = -1;
    quint64 best_distance = 0;
    auto consider = [&](int p) {
        // Unsigned: extreme timestamps from a file must not overflow the difference.
        const quint64 distance =
            stamps[p] < t ? quint64(t) - quint64(stamps[p]) : quint64(stamps[p]) - quint64(t);
        const bool better = best < 0 || distance < best_distance ||
                            (distance == best_distance &&
                             (stamps[p] < stamps[best] || (stamps[p] == stamps[best] && p < best)));
        if (better) {
            best = p;
            best_distance = distance;
        }
    };
    if (!search_each_stretch(n)) {
        for (int p = 0; p < n; ++p)
            consider(p);
        return best;
    }
    const int stretches = sorted_starts.size();
    const auto begin = stamps.constBegin();
    for (int s = 0; s < stretches; ++s) {
        const auto from = begin + qMin(sorted_starts[s], n);
        const auto to = begin + (s + 1 < stretches ? qMin(sorted_starts[s + 1], n) : n);
        // The first sample at or after t, and the first of those just before it.
        const auto after = std::lower_bound(from, to, t);
        if (after != to)
            consider(int(after - begin));
        if (after != from)
            consider(int(std::lower_bound(from, after, *(after - 1)) - begin));
    }
    return best;
}

void rq7_log::clear()
{
    times.clear();
    for (auto& column : columns)
        column.clear();
    QVector<int>().swap(sorted_starts);
    last_stamp = 0;
    appended = 0;
    release_freed_pages();
}

const tsafe_qvector<unsigned int>& rq7_log::const_data(e_data which) const
{
    if (int(which) < 0 || int(which) >= column_count)
        qFatal("Unknown e_data %d", int(which));
    return columns[which];
}

int rq7_log::copy_range(e_data which, int from, int to, QVector<qint64>& stamps,
                        QVector<unsigned int>& values) const
{
    const tsafe_qvector<unsigned int>& column = const_data(which);
    stamps = times.copy(from, to);
    values = column.copy(from, to);
    const int n = qMin(stamps.size(), values.size());
    stamps.resize(n);
    values.resize(n);
    return n;
}
