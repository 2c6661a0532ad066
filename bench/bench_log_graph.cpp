// SPDX-License-Identifier: GPL-3.0-or-later
// Redrawing the live log graph, offscreen: the real log_graph with all fourteen curves on,
// following the newest sample of a log of 20 seconds, one hour and 1,000,000 samples. For
// comparison, the same curves over a series that hands Qwt the whole log (every sample read
// under its lock on every redraw), as a plain Qwt series over the store would.
//
//     bench_log_graph [samples]      (a number: only that log size, 2000 redraws)
#include "bench_support.h"
#include "log_graph.h"
#include "rq7_log.h"

#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

constexpr qint64 start_ms = 1700000000000;
constexpr double period_ms = 3600000.0 / 273000; // one hour is 273,000 samples

/// Every sample of the log on every redraw, each read under its vector's lock.
class whole_series : public QwtSeriesData<QPointF>
{
public:
    whole_series(const tsafe_qvector<qint64>* times_, const tsafe_qvector<unsigned int>* values_,
                 double scale_)
        : times(times_)
        , values(values_)
        , scale(scale_)
    {}
    size_t size() const override { return size_t(times->size()); }
    QPointF sample(size_t i) const override
    {
        return QPointF(double(times->at(int(i))), values->at(int(i)) * scale);
    }
    QRectF boundingRect() const override
    {
        return QRectF(double(times->at(0)), 0, double(times->last() - times->at(0)), 1023);
    }

private:
    const tsafe_qvector<qint64>* times;
    const tsafe_qvector<unsigned int>* values;
    double scale;
};

/// This thread's CPU time: unlike the wall clock, not inflated by other programs' load.
double thread_cpu_ms()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

struct curve_spec
{
    const char* name;
    const char* colour;
    int column; // -1: the logged-to-file marks
    double scale;
};

const curve_spec curves[] = {
    {"Logged to file", "darkblue", -1, 1280},
    {"MAP", "Blue", e_map_adc, 1},
    {"RPM", "Red", e_rpm, 1},
    {"AN_A", "CadetBlue", e_an1_adc, 1},
    {"AN_B", "Chocolate", e_an2_adc, 1},
    {"AUX Duty", "Green", e_aux_duty, 1},
    {"Main Duty", "DeepPink", e_main_duty, 1},
    {"GPO1 Duty", "LightSeaGreen", e_gpo1_duty, 1},
    {"GPO2 Duty", "DarkBlue", e_gpo2_duty, 1},
    {"AUX Current", "DarkCyan", e_aux_current, 1},
    {"Main Current", "DarkMagenta", e_main_current, 1},
    {"Battery", "Black", e_batt_adc, 1},
    {"GPI1", "DarkMagenta", e_gpi1_state, 1023},
    {"GPI2", "DarkOrange", e_gpi2_state, 1023},
};

void fill(rq7_log& log, tsafe_qvector<unsigned int>& marks, int samples)
{
    QVector<rq7_frame> frames;
    QVector<unsigned int> flags;
    for (int i = 0; i < samples; ++i) {
        frames.append(rq7_frame(bench::live_record(i), start_ms + qint64(i * period_ms)));
        // A stretch recorded to a file within the window, the same in every log size.
        const int from_end = samples - i;
        flags.append(from_end > 300 && from_end <= 1000 ? 1 : 0);
        if (frames.size() == 65536 || i == samples - 1) {
            marks.append(flags);
            log.append(frames);
            frames.clear();
            flags.clear();
        }
    }
}

void add_curves(log_graph& graph, const rq7_log& log, const tsafe_qvector<unsigned int>& marks,
                bool whole)
{
    for (const curve_spec& c : curves) {
        const tsafe_qvector<unsigned int>* values =
            c.column < 0 ? &marks : &log.const_data(e_data(c.column));
        const double scale = c.scale;
        if (c.column < 0)
            graph.add_shade(c.name, QColor(c.colour), &log.timestamps(), values, 0, 1,
                            [scale](double v) { return v * scale; });
        else
            graph.add_curve(c.name, QColor(c.colour), &log.timestamps(), values, 0, 1023,
                            [scale](double v) { return v * scale; });
        if (whole)
            graph.get_curve(c.name)->setData(new whole_series(&log.timestamps(), values, scale));
    }
    graph.get_curve("RPM")->setYAxis(QwtPlot::yRight);
}

/// Median wall and CPU time of `rounds` redraws, and the slowest, in milliseconds.
void measure(const char* label, int samples, bool whole, int rounds)
{
    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    fill(log, marks, samples);
    log_graph graph;
    graph.resize(1200, 500);
    // Redraw at once inside replot(), so that the time covers mapping and painting.
    qobject_cast<QwtPlotCanvas*>(graph.canvas())->setPaintAttribute(QwtPlotCanvas::ImmediatePaint);
    graph.show();
    add_curves(graph, log, marks, whole);
    graph.when_data_updated();
    graph.replot(); // warm up
    QCoreApplication::processEvents();
    QVector<double> wall, cpu;
    QElapsedTimer timer;
    for (int r = 0; r < rounds; ++r) {
        const double cpu_start = thread_cpu_ms();
        timer.start();
        graph.replot();
        wall.append(timer.nsecsElapsed() / 1e6);
        cpu.append(thread_cpu_ms() - cpu_start);
    }
    std::printf("%-34s %8d samples: median %8.3f ms (CPU %8.3f ms), slowest %8.3f ms, %d redraws\n",
                label, samples, median(wall), median(cpu),
                *std::max_element(wall.begin(), wall.end()), rounds);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("log_graph redraw, 1200 x 500 offscreen, 14 curves on, 20 s window\n");
    if (argc > 1) { // one log size only, for profiling
        measure("visible samples only", QString(argv[1]).toInt(), false, 2000);
        return 0;
    }
    measure("visible samples only, 20 s log", 1523, false, 400);
    measure("visible samples only, 1 h log", 273000, false, 400);
    measure("visible samples only, 1M log", 1000000, false, 400);
    measure("whole log handed to Qwt, 20 s log", 1523, true, 100);
    measure("whole log handed to Qwt, 1 h log", 273000, true, 10);
    measure("whole log handed to Qwt, 1M log", 1000000, true, 5);
    return 0;
}
