// SPDX-License-Identifier: GPL-3.0-or-later
// One curve's data for the live log graph: a zero-copy view of a time column and a value
// column of the log store, which the worker keeps appending to while the graph draws.
//
// Qwt asks for every sample of a series on every replot; with hours of log that is hundreds
// of thousands of points mapped for a 20-second window. So the series hands Qwt only the
// samples in the visible time range (plus one on each side, so the lines run to the edges),
// found by a binary search on the timestamps when Qwt tells it the visible rectangle. The
// slice is copied under each vector's read lock, once per replot, and cut to the length the
// two copies share: the worker may have appended to one vector and not yet to the other.
#pragma once

#include "tsafe_qvector.h"

#include <qwt_series_data.h>

#include <QPointF>
#include <QRectF>
#include <QVector>

#include <algorithm>
#include <functional>

template <typename T>
class time_data : public QwtSeriesData<QPointF>
{
public:
    /// Raw value to plotted value; empty: the raw value is plotted.
    using convert_fn = std::function<double(double)>;

    time_data(const tsafe_qvector<qint64>* times_, const tsafe_qvector<T>* values_, int y_min_,
              int y_max_, convert_fn convert_ = convert_fn())
        : times(times_)
        , values(values_)
        , y_min(y_min_)
        , y_max(y_max_)
        , convert(std::move(convert_))
    {}

    /// The samples handed to Qwt: those of the last visible range.
    size_t size() const override { return size_t(view_times.size()); }

    QPointF sample(size_t i) const override
    {
        const double raw = double(view_values.at(int(i)));
        return QPointF(double(view_times.at(int(i))), convert ? convert(raw) : raw);
    }

    /// From the oldest to the newest timestamp of the whole log, between the y limits; an
    /// invalid rectangle while the log is empty.
    QRectF boundingRect() const override
    {
        qint64 first = 0, last = 0;
        const bool any = times->read_locked([&](const QVector<qint64>& t) {
            if (t.isEmpty())
                return false;
            first = t.first();
            last = t.last();
            return true;
        });
        if (!any)
            return QRectF(1.0, 1.0, -2.0, -2.0);
        d_boundingRect =
            QRectF(double(first), double(y_min), double(last - first), double(y_max - y_min));
        return d_boundingRect;
    }

    /// Qwt calls this before each replot with the visible area: take the samples in view.
    void setRectOfInterest(const QRectF& rect) override
    {
        int from = 0, to = 0;
        times->read_locked([&](const QVector<qint64>& t) {
            find_range(t, rect.left(), rect.right(), from, to);
            view_times = slice(t, from, to);
        });
        values->read_locked(
            [&](const QVector<T>& v) { view_values = slice(v, from, qMin(to, v.size())); });
        const int n = qMin(view_times.size(), view_values.size());
        view_times.resize(n);
        view_values.resize(n);
    }

private:
    template <typename V>
    static QVector<V> slice(const QVector<V>& v, int from, int to)
    {
        return from < to ? QVector<V>(v.constBegin() + from, v.constBegin() + to) : QVector<V>();
    }

    /// [from, to) of the samples between left and right, with one more on each side. A log
    /// whose timestamps go back somewhere (the PC clock was set back, or a hand-edited file)
    /// cannot be searched: then every sample is handed over, as drawing it whole is correct.
    void find_range(const QVector<qint64>& t, double left, double right, int& from, int& to)
    {
        const int n = t.size();
        if (!is_sorted(t) || !(left <= right)) {
            from = 0;
            to = n;
            return;
        }
        const auto begin = t.constBegin();
        const auto first = std::lower_bound(begin, begin + n, left,
                                            [](qint64 a, double b) { return double(a) < b; });
        const auto last = std::upper_bound(begin, begin + n, right,
                                           [](double a, qint64 b) { return a < double(b); });
        from = qMax(int(first - begin) - 1, 0);
        to = qMin(int(last - begin) + 1, n);
    }

    /// Whether the timestamps never go back. Only what was appended since the last call is
    /// looked at; a log cleared and refilled meanwhile is noticed by its first and last
    /// checked timestamps changing, and checked again from the start.
    bool is_sorted(const QVector<qint64>& t)
    {
        const int n = t.size();
        if (n < checked ||
            (checked > 0 && (t[0] != checked_first || t[checked - 1] != checked_last))) {
            checked = 0;
            sorted = true;
        }
        for (int i = qMax(checked, 1); i < n && sorted; ++i)
            sorted = t[i - 1] <= t[i];
        checked = n;
        if (n > 0) {
            checked_first = t[0];
            checked_last = t[n - 1];
        }
        return sorted;
    }

    const tsafe_qvector<qint64>* times;
    const tsafe_qvector<T>* values;
    int y_min;
    int y_max;
    convert_fn convert;

    QVector<qint64> view_times;
    QVector<T> view_values;

    int checked = 0;
    bool sorted = true;
    qint64 checked_first = 0;
    qint64 checked_last = 0;
};
