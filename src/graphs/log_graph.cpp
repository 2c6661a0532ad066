// SPDX-License-Identifier: GPL-3.0-or-later
#include "log_graph.h"

#include "percent_scale_draw.h"
#include "plot_curve.h"
#include "plot_picker.h"
#include "plot_shade.h"

#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_picker_machine.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_layout.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_panner.h>
#include <qwt_text.h>

#include <QDateTime>
#include <QDebug>
#include <QLayout>
#include <QPen>
#include <QTimer>

namespace {

constexpr double time_step_ms = 1000.0;
constexpr int max_time_ticks = 40;
constexpr double percent_axis_top = 1028.0; // a little over full scale, so 100 % shows
constexpr double percent_axis_step = 255.75;
constexpr double rpm_axis_top = 10000.0;

} // namespace

log_graph::log_graph(QWidget* parent)
    : QwtPlot(parent)
{
    setAutoReplot(false);
    plotLayout()->setAlignCanvasToScales(true);
    auto* plot_canvas = new QwtPlotCanvas();
    plot_canvas->setStatusTip(
        "Left click to show point values, right click to scroll (when not actively logging)");
    plot_canvas->setFrameStyle(QFrame::Box | QFrame::Plain);
    setCanvas(plot_canvas);
    setCanvasBackground(Qt::white);

    panner = new QwtPlotPanner(canvas());
    panner->setOrientations(Qt::Horizontal);
    panner->setMouseButton(Qt::RightButton, Qt::NoModifier);

    curve_legend = new QwtLegend();
    curve_legend->setDefaultItemMode(QwtLegendData::Checkable);
    curve_legend->setStatusTip("Click to enable/disable plots");
    // Fourteen entries beside the plot: small enough that all of them fit without scrolling.
    QFont small = curve_legend->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    curve_legend->setFont(small);
    if (QLayout* entries = curve_legend->contentsWidget()->layout())
        entries->setSpacing(0);
    insertLegend(curve_legend, QwtPlot::LeftLegend);
    connect(curve_legend, &QwtLegend::checked, this, &log_graph::when_legend_checked);

    enableAxis(xBottom, false);
    const double now = double(QDateTime::currentMSecsSinceEpoch());
    setAxisScale(xBottom, now - window_length * sample_period_ms, now, time_step_ms);
    setAxisMaxMajor(xBottom, max_time_ticks);

    enableAxis(yLeft, true);
    setAxisTitle(yLeft, "Sensor %");
    setAxisScaleDraw(yLeft, new percent_scale_draw(1023.0));
    setAxisScale(yLeft, 0.0, percent_axis_top, percent_axis_step);
    enableAxis(yRight, true);
    setAxisTitle(yRight, "RPM");
    setAxisScale(yRight, 0.0, rpm_axis_top);

    auto* grid = new QwtPlotGrid();
    grid->enableX(true);
    grid->enableY(false);
    grid->enableXMin(false);
    grid->enableYMin(false);
    grid->setMajorPen(QColor(Qt::gray), 0, Qt::DotLine);
    grid->setMinorPen(QColor(Qt::darkGray), 0, Qt::DotLine);
    grid->attach(this);

    picker = new plot_picker(xBottom, yLeft, QwtPicker::CrossRubberBand, QwtPicker::ActiveOnly,
                             canvas());
    picker->setStateMachine(new QwtPickerDragPointMachine());
    picker->setRubberBandPen(QColor(Qt::black));
    // The marker moves only to a sample the log really holds: the window asks the worker for
    // the sample at the picked time and puts the marker on the one it gets back.
    connect(picker, QOverload<const QPointF&>::of(&QwtPlotPicker::moved), this,
            &log_graph::point_selected);
    connect(picker, QOverload<const QPointF&>::of(&QwtPlotPicker::selected), this,
            &log_graph::point_selected);

    marker = new QwtPlotMarker();
    marker->setLineStyle(QwtPlotMarker::VLine);
    marker->setLinePen(QColor(Qt::black), 0, Qt::DashDotLine);
    marker->setLabelAlignment(Qt::AlignLeft | Qt::AlignBottom);
    marker->setLabelOrientation(Qt::Horizontal);

    replot_timer = new QTimer(this);
    replot_timer->setSingleShot(true);
    replot_timer->setInterval(replot_interval_ms);
    connect(replot_timer, &QTimer::timeout, this, &log_graph::replot);
}

log_graph::~log_graph()
{
    // Attached items belong to the plot; the marker waits outside it until the first pick.
    if (marker->plot() != this)
        delete marker;
}

void log_graph::add_curve(const QString& name, const QColor& colour,
                          const tsafe_qvector<qint64>* times,
                          const tsafe_qvector<unsigned int>* values, int y_min, int y_max,
                          convert_fn convert)
{
    auto* curve = new plot_curve(name);
    curve->setPen(colour, 0, Qt::SolidLine);
    register_curve(curve, name, times, values, y_min, y_max, std::move(convert));
}

void log_graph::add_shade(const QString& name, const QColor& colour,
                          const tsafe_qvector<qint64>* times,
                          const tsafe_qvector<unsigned int>* values, int y_min, int y_max,
                          convert_fn convert)
{
    auto* shade = new plot_shade(name);
    shade->setPen(QPen(Qt::NoPen));
    QColor fill(colour);
    fill.setAlpha(20);
    shade->setBrush(fill);
    shade->setBaseline(0.0);
    register_curve(shade, name, times, values, y_min, y_max, std::move(convert));
}

void log_graph::register_curve(QwtPlotCurve* curve, const QString& name,
                               const tsafe_qvector<qint64>* times,
                               const tsafe_qvector<unsigned int>* values, int y_min, int y_max,
                               convert_fn convert)
{
    // A second curve under a name would be drawn but unreachable.
    if (QwtPlotCurve* old = curves.take(name)) {
        old->detach();
        delete old;
    }
    curve->setRenderHint(QwtPlotItem::RenderAntialiased, true);
    curve->setLegendAttribute(QwtPlotCurve::LegendShowLine, true);
    curve->setData(new time_data<unsigned int>(times, values, y_min, y_max, std::move(convert)));
    curve->attach(this);
    curves.insert(name, curve);
    curve->setVisible(true);
    set_legend_checked(curve, true);
    replot();
}

QwtPlotCurve* log_graph::get_curve(const QString& name) const
{
    QwtPlotCurve* curve = curves.value(name, nullptr);
    if (!curve)
        qCritical().noquote() << "No curve '" + name + "' known.";
    return curve;
}

void log_graph::show_curve(const QString& name, bool show)
{
    QwtPlotCurve* curve = curves.value(name, nullptr);
    if (!curve) {
        qWarning().noquote() << "No curve '" + name + "' known.";
        return;
    }
    curve->setVisible(show);
    set_legend_checked(curve, show);
    replot();
}

void log_graph::remove_curve(const QString& name)
{
    QwtPlotCurve* curve = curves.take(name);
    if (!curve) {
        qWarning().noquote() << "Curve '" + name + "' does not exist, not removing";
        return;
    }
    curve->detach();
    delete curve;
    replot();
}

void log_graph::set_legend_checked(QwtPlotCurve* curve, bool checked)
{
    if (auto* label =
            qobject_cast<QwtLegendLabel*>(curve_legend->legendWidget(itemToInfo(curve)))) {
        label->setMargin(1);
        label->setChecked(checked);
    }
}

void log_graph::when_legend_checked(const QVariant& item_info, bool enable)
{
    if (QwtPlotItem* item = infoToItem(item_info)) {
        item->setVisible(enable);
        replot();
    }
}

bool log_graph::replot_pending() const
{
    return replot_timer->isActive();
}

void log_graph::when_data_updated()
{
    if (curves.isEmpty())
        return;
    // All curves share the log's time column; its newest sample is the right edge.
    const QRectF all = curves.constBegin().value()->boundingRect();
    if (all.width() < 0) { // an empty log: stay where we are, but show that it is empty
        request_replot();
        return;
    }
    show_time_window(all.right());
    when_point_selected(QPointF(all.right(), 0.0));
}

void log_graph::follow_time(double t)
{
    show_time_window(t);
    when_point_selected(QPointF(t, 0.0));
}

void log_graph::show_time_window(double right)
{
    setAxisScale(xBottom, right - window_length * sample_period_ms, right + lead_ms, time_step_ms);
}

void log_graph::when_point_selected(QPointF point)
{
    marker->setXValue(point.x());
    marker_label_stale = true;
    if (marker->plot() != this)
        marker->attach(this);
    marker->setVisible(true);
    request_replot();
}

void log_graph::scale_rpm_axis(int max)
{
    setAxisScale(yRight, 0.0, double(max));
    replot();
}

void log_graph::when_log_cleared()
{
    marker->detach();
    const double now = double(QDateTime::currentMSecsSinceEpoch());
    show_time_window(now);
    request_replot();
}

// Frames come 76 times a second, and a panel of the window that is redrawn more often than
// the screen shows it only costs time: one redraw per timer period takes them all in.
void log_graph::request_replot()
{
    if (!replot_timer->isActive())
        replot_timer->start();
}

void log_graph::replot()
{
    if (marker_label_stale) {
        // Milliseconds since 1970 over the same instant as local time of day.
        const qint64 ms = qint64(marker->xValue());
        QwtText label(QString::number(ms) + "\n" +
                      QDateTime::fromMSecsSinceEpoch(ms).toString("hh:mm:ss.zzz"));
        label.setBackgroundBrush(QColor(255, 255, 255, 200));
        marker->setLabel(label);
        marker_label_stale = false;
    }
    QwtPlot::replot();
}
