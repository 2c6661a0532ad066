// SPDX-License-Identifier: GPL-3.0-or-later
// The live log graph over a log store, offscreen: axes, shading, legend, marker, the visible
// range handed to Qwt and the coalesced redraws.
#include "log_capture.h"
#include "log_graph.h"
#include "rq7_log.h"

#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>

#include <QDateTime>
#include <QImage>
#include <QtTest>

#include <atomic>
#include <thread>

namespace {

constexpr qint64 start_ms = 1700000000000;
constexpr qint64 period_ms = 13;

/// Counts the canvas's paint events: each is one redraw of the plot.
struct paint_counter : QObject
{
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

class test_log_graph : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void left_axis_reads_percent();
    void follows_the_newest_sample_with_only_the_visible_samples();
    void redraws_are_coalesced_but_end_on_the_newest_sample();
    void logged_stretch_is_shaded_full_height_and_inputs_reach_100();
    void legend_clicks_hide_and_show();
    void unknown_names_change_nothing();
    void empty_or_unsorted_logs_and_columns_of_unequal_length();
    void drawing_while_the_worker_appends();

private:
    /// Appends `n` samples 13 ms apart after the newest; `mark` is their logged-to-file flag.
    void append(int n, unsigned mark = 0, quint8 gpi1 = 0);
    void add_curves();
    QImage canvas_image();

    std::unique_ptr<rq7_log> log;
    std::unique_ptr<tsafe_qvector<unsigned int>> marks;
    std::unique_ptr<log_graph> graph;
    qint64 next_ms = start_ms;
};

void test_log_graph::init()
{
    log = std::make_unique<rq7_log>();
    marks = std::make_unique<tsafe_qvector<unsigned int>>();
    graph = std::make_unique<log_graph>();
    graph->resize(1000, 400);
    graph->show();
    next_ms = start_ms;
}

void test_log_graph::cleanup()
{
    graph.reset();
}

void test_log_graph::append(int n, unsigned mark, quint8 gpi1)
{
    for (int i = 0; i < n; ++i, next_ms += period_ms) {
        rq7_frame frame;
        frame.timestamp = next_ms;
        frame.map_adc = quint16(200 + i % 500);
        frame.rpm = quint16(1000 + i % 5000);
        frame.gpi1_state = gpi1;
        marks->append(mark);
        log->append(frame);
    }
}

void test_log_graph::add_curves()
{
    const auto* times = &log->timestamps();
    graph->add_shade("Logged to file", QColor(Qt::darkBlue), times, marks.get(), 0, 1,
                     [](double flag) { return flag * 1280.0; });
    graph->add_curve("MAP", QColor("Blue"), times, &log->const_data(e_map_adc), 0, 1023);
    graph->add_curve("RPM", QColor("Red"), times, &log->const_data(e_rpm), 0, 10000);
    graph->get_curve("RPM")->setYAxis(QwtPlot::yRight);
    graph->add_curve("GPI1", QColor("DarkMagenta"), times, &log->const_data(e_gpi1_state), 0, 1,
                     [](double state) { return state * 1023.0; });
}

QImage test_log_graph::canvas_image()
{
    graph->replot();
    return graph->canvas()->grab().toImage();
}

void test_log_graph::left_axis_reads_percent()
{
    graph->replot();
    const QwtScaleDraw* draw = graph->axisScaleDraw(QwtPlot::yLeft);
    QStringList labels;
    for (double tick : graph->axisScaleDiv(QwtPlot::yLeft).ticks(QwtScaleDiv::MajorTick))
        labels << draw->label(tick).text();
    QCOMPARE(labels, (QStringList{"0", "25", "50", "75", "100"}));
    QCOMPARE(draw->label(1028).text(), QString("100")); // the top of the axis, not 100.4
    QCOMPARE(graph->axisScaleDiv(QwtPlot::yRight).upperBound(), 10000.0);
    graph->scale_rpm_axis(8000);
    QCOMPARE(graph->axisScaleDiv(QwtPlot::yRight).upperBound(), 8000.0);
}

void test_log_graph::follows_the_newest_sample_with_only_the_visible_samples()
{
    add_curves();
    append(100000); // about 22 minutes
    const qint64 newest = next_ms - period_ms;
    graph->when_data_updated();
    graph->replot();
    const QwtScaleDiv& time = graph->axisScaleDiv(QwtPlot::xBottom);
    QCOMPARE(time.upperBound(), newest + 100.0);
    QCOMPARE(time.lowerBound(), newest - 1523 * 13.13);

    // Qwt gets the 20 s in view and the sample before them, not the whole log.
    const QwtSeriesData<QPointF>* series = graph->get_curve("MAP")->data();
    const qint64 in_view = qint64((time.upperBound() - 100 - time.lowerBound()) / period_ms) + 1;
    QCOMPARE(qint64(series->size()), in_view + 1);
    QVERIFY(series->sample(0).x() < time.lowerBound());
    QVERIFY(series->sample(1).x() >= time.lowerBound());
    QCOMPARE(series->sample(series->size() - 1).x(), double(newest));
    QCOMPARE(series->sample(series->size() - 1).y(), double(log->last().map_adc));

    // The marker sits on the newest sample: its milliseconds over its local time of day.
    const QwtPlotMarker* marker = graph->time_marker();
    QCOMPARE(marker->plot(), graph.get());
    QCOMPARE(marker->xValue(), double(newest));
    QCOMPARE(marker->label().text(),
             QString::number(newest) + "\n" +
                 QDateTime::fromMSecsSinceEpoch(newest).toString("hh:mm:ss.zzz"));

    // Panned back an hour, the window shows the samples of that time.
    const double back = newest - 3600000.0 / 3;
    graph->setAxisScale(QwtPlot::xBottom, back - 20000, back, 1000);
    graph->replot();
    QVERIFY(qAbs(qint64(series->size()) - (20000 / period_ms + 2)) <= 1);
    QVERIFY(qAbs(series->sample(series->size() - 1).x() - back) <= period_ms);
    append(1); // a new frame snaps back to the newest sample
    graph->when_data_updated();
    QTRY_VERIFY(!graph->replot_pending());
    QCOMPARE(graph->axisScaleDiv(QwtPlot::xBottom).upperBound(), double(newest + period_ms + 100));
}

void test_log_graph::redraws_are_coalesced_but_end_on_the_newest_sample()
{
    add_curves();
    append(10);
    graph->replot();
    QCoreApplication::processEvents();
    paint_counter counter;
    graph->canvas()->installEventFilter(&counter);
    QElapsedTimer elapsed;
    elapsed.start();
    for (int frame = 0; frame < 76; ++frame) { // one second of frames, as fast as they come
        append(1);
        graph->when_data_updated();
        QCoreApplication::processEvents();
    }
    QVERIFY(graph->replot_pending() || counter.paints > 0);
    QTRY_VERIFY(!graph->replot_pending());
    QCoreApplication::processEvents();
    // At most one redraw per 33 ms of the loop, and at least the last one.
    QVERIFY(counter.paints >= 1);
    QVERIFY2(counter.paints <= elapsed.elapsed() / log_graph::replot_interval_ms + 2,
             qPrintable(QString("%1 redraws in %2 ms").arg(counter.paints).arg(elapsed.elapsed())));
    const QwtSeriesData<QPointF>* series = graph->get_curve("MAP")->data();
    QCOMPARE(series->sample(series->size() - 1).x(), double(next_ms - period_ms));
    QCOMPARE(graph->time_marker()->xValue(), double(next_ms - period_ms));
}

void test_log_graph::logged_stretch_is_shaded_full_height_and_inputs_reach_100()
{
    add_curves();
    graph->show_curve("MAP", false);
    graph->show_curve("RPM", false);
    append(400, 0);
    append(400, 1, 1);
    append(400, 0);
    graph->when_data_updated();
    const QImage image = canvas_image();
    auto x_of = [&](qint64 ms) { return graph->transform(QwtPlot::xBottom, double(ms)); };
    // Both 200 ms away from the grid's lines at whole seconds.
    const int logged = int(x_of(start_ms + 600 * period_ms));
    const int not_logged = int(x_of(start_ms + 200 * period_ms));
    const QColor white(Qt::white);
    // Shaded from the bottom to the very top of the canvas where the samples went to a file.
    for (int y : {3, image.height() / 2, image.height() - 10}) {
        QVERIFY(image.pixelColor(logged, y) != white);
        QCOMPARE(image.pixelColor(not_logged, y), white);
    }
    // GPI1 high is drawn on the 100 % line.
    const QwtSeriesData<QPointF>* gpi = graph->get_curve("GPI1")->data();
    bool high_seen = false;
    for (size_t i = 0; i < gpi->size(); ++i) {
        const QPointF p = gpi->sample(i);
        if (p.x() >= start_ms + 400 * period_ms && p.x() < start_ms + 800 * period_ms) {
            QCOMPARE(p.y(), 1023.0);
            high_seen = true;
        }
    }
    QVERIFY(high_seen);
    QCOMPARE(graph->axisScaleDraw(QwtPlot::yLeft)->label(1023).text(), QString("100"));
}

void test_log_graph::legend_clicks_hide_and_show()
{
    add_curves();
    auto* legend = qobject_cast<QwtLegend*>(graph->legend());
    auto* label = qobject_cast<QwtLegendLabel*>(
        legend->legendWidget(graph->itemToInfo(graph->get_curve("MAP"))));
    QVERIFY(label);
    QVERIFY(label->isChecked());
    QTest::mouseClick(label, Qt::LeftButton);
    QVERIFY(!graph->get_curve("MAP")->isVisible());
    QVERIFY(!label->isChecked());
    QTest::mouseClick(label, Qt::LeftButton);
    QVERIFY(graph->get_curve("MAP")->isVisible());
    graph->show_curve("MAP", false); // the legend follows show_curve
    QVERIFY(!label->isChecked());
}

void test_log_graph::unknown_names_change_nothing()
{
    add_curves();
    graph->show_curve("RPM", false);
    const int items = graph->itemList().size();
    log_capture capture;
    graph->show_curve("Boost", true);
    graph->remove_curve("Boost");
    QVERIFY(!graph->get_curve("Boost"));
    QVERIFY(capture.contains("No curve 'Boost' known.", QtWarningMsg));
    QVERIFY(capture.contains("Curve 'Boost' does not exist, not removing", QtWarningMsg));
    QVERIFY(capture.contains("No curve 'Boost' known.", QtCriticalMsg));
    QCOMPARE(graph->itemList().size(), items);
    QVERIFY(!graph->get_curve("RPM")->isVisible());
    QVERIFY(graph->get_curve("MAP")->isVisible());
    graph->remove_curve("MAP");
    QCOMPARE(graph->itemList().size(), items - 1);
}

void test_log_graph::empty_or_unsorted_logs_and_columns_of_unequal_length()
{
    add_curves();
    const double left = graph->axisScaleDiv(QwtPlot::xBottom).lowerBound();
    graph->when_data_updated(); // nothing logged: the window stays
    graph->replot();
    QCOMPARE(graph->axisScaleDiv(QwtPlot::xBottom).lowerBound(), left);
    QCOMPARE(graph->get_curve("MAP")->data()->size(), size_t(0));

    // Times going back (the clock was set back): every sample is drawn, none is lost.
    tsafe_qvector<qint64> times;
    tsafe_qvector<unsigned int> values;
    for (qint64 t : {5000, 6000, 7000, 1000, 2000, 3000, 4000})
        times.append(start_ms + t);
    for (unsigned v = 0; v < 5; ++v) // the worker has not appended the last two values yet
        values.append(v);
    graph->add_curve("Odd", QColor("Black"), &times, &values, 0, 1023);
    graph->setAxisScale(QwtPlot::xBottom, start_ms + 1500, start_ms + 2500);
    graph->replot();
    const QwtSeriesData<QPointF>* odd = graph->get_curve("Odd")->data();
    QCOMPARE(odd->size(), size_t(5)); // bounded by the shorter column
    QCOMPARE(odd->sample(4), QPointF(start_ms + 2000, 4));
}

void test_log_graph::drawing_while_the_worker_appends()
{
    add_curves();
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int round = 0; round < 40; ++round) {
            append(500, unsigned(round % 2));
            if (round % 10 == 9) {
                log->clear();
                marks->clear();
            }
        }
        done = true;
    });
    int redraws = 0;
    while (!done || redraws < 5) {
        graph->when_data_updated();
        graph->replot();
        QCoreApplication::processEvents();
        ++redraws;
    }
    worker.join();
    graph->replot();
    QCOMPARE(graph->get_curve("MAP")->data()->size(), size_t(log->size())); // emptied last
}

QTEST_MAIN(test_log_graph)
#include "test_log_graph.moc"
