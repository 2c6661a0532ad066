// SPDX-License-Identifier: GPL-3.0-or-later
// The live log graph: a strip chart of the logged samples against time. Sensor and output
// values on a percent axis (left), engine speed on the right, a shaded band where samples
// were written to a log file. It reads the log store's columns directly while the worker
// appends to them, follows the newest sample, pans back with the right mouse button and
// picks a point in time with the left one.
#pragma once

#include "time_data.h"

#include <qwt_plot.h>

#include <QColor>
#include <QHash>
#include <QPointF>
#include <QString>
#include <QVariant>

class QTimer;
class QwtLegend;
class QwtPlotCurve;
class QwtPlotMarker;
class QwtPlotPanner;
class plot_picker;

class log_graph : public QwtPlot
{
    Q_OBJECT

public:
    using convert_fn = time_data<unsigned int>::convert_fn;

    /// Samples in the time window that follows the newest sample (one every 13.13 ms).
    static constexpr unsigned window_samples = 1523;
    static constexpr double sample_period_ms = 13.13;
    /// Room after the newest sample, so that the marker label stays readable.
    static constexpr double lead_ms = 100.0;
    /// Redraws are coalesced to the screen's pace: at most one per this many milliseconds.
    static constexpr int replot_interval_ms = 33;

    explicit log_graph(QWidget* parent = nullptr);
    ~log_graph() override;

    /// A line over one log column, shown and registered under `name`.
    void add_curve(const QString& name, const QColor& colour, const tsafe_qvector<qint64>* times,
                   const tsafe_qvector<unsigned int>* values, int y_min, int y_max,
                   convert_fn convert = convert_fn());
    /// A band filled from 0 up to the (converted) values, without an outline.
    void add_shade(const QString& name, const QColor& colour, const tsafe_qvector<qint64>* times,
                   const tsafe_qvector<unsigned int>* values, int y_min, int y_max,
                   convert_fn convert = convert_fn());
    /// The named curve, or null (logged as critical) for a name not registered.
    QwtPlotCurve* get_curve(const QString& name) const;
    void show_curve(const QString& name, bool show);
    void remove_curve(const QString& name);

    /// The time marker (for the window and tests; not attached before the first pick).
    QwtPlotMarker* time_marker() const { return marker; }
    /// Whether a redraw is waiting for the coalescing timer.
    bool replot_pending() const;

signals:
    /// A point in time picked with the left mouse button (x: milliseconds since 1970).
    void point_selected(QPointF point);

public slots:
    /// Moves the time window and the marker to the newest sample; an empty log leaves the
    /// window where it is.
    void when_data_updated();
    /// Puts the time marker at point.x.
    void when_point_selected(QPointF point);
    /// Shows a stored sample as a live one is shown: the time window ends at it and the
    /// marker stands on it (playback of a log).
    void follow_time(double t);
    /// Right axis from 0 to `max` RPM.
    void scale_rpm_axis(int max);
    /// The log was emptied: the marker goes, the window shows the present.
    void when_log_cleared();
    /// Redraws now (also what the coalescing timer runs).
    void replot() override;

private slots:
    void when_legend_checked(const QVariant& item_info, bool enable);

private:
    void register_curve(QwtPlotCurve* curve, const QString& name,
                        const tsafe_qvector<qint64>* times,
                        const tsafe_qvector<unsigned int>* values, int y_min, int y_max,
                        convert_fn convert);
    void set_legend_checked(QwtPlotCurve* curve, bool checked);
    void show_time_window(double right);
    void request_replot();

    QHash<QString, QwtPlotCurve*> curves;
    unsigned window_length = window_samples;
    QwtPlotMarker* marker = nullptr;
    /// The marker moved since its label was written: the label (a local time, which costs
    /// a look at the time zone) is written once per redraw, not once per frame.
    bool marker_label_stale = false;

    QwtLegend* curve_legend = nullptr;
    QwtPlotPanner* panner = nullptr;
    plot_picker* picker = nullptr;
    QTimer* replot_timer = nullptr;
};
