// SPDX-License-Identifier: GPL-3.0-or-later
// A duty table's coverage of a 1-hour log (273,000 samples): time, samples and the mean and
// largest value of analog A per cell, on the MAIN table's axes, counting only samples where
// the output was driven. What the user waits for when coverage is switched on or the axes
// change.
//
//     bench_log_coverage [samples]
#include "bench_support.h"
#include "converter.h"
#include "log_coverage.h"
#include "rq7_log.h"
#include "rq7_log_view.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

constexpr qint64 start_ms = 1700000000000;
constexpr double period_ms = 3600000.0 / 273000;

double thread_cpu_ms()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

log_coverage::axes main_axes(int max_rpm_step)
{
    log_coverage::axes a;
    a.rpm.append(0);
    for (int i = 1; i < 16; ++i)
        a.rpm.append(1000 + (i - 1) * max_rpm_step);
    for (int r = 0; r < 16; ++r)
        a.vertical.append(30 - 2 * r);
    a.source = log_coverage::v_map;
    return a;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int samples = argc > 1 ? QByteArray(argv[1]).toInt() : 273000;
    rq7_log log;
    QVector<rq7_frame> batch;
    for (int i = 0; i < samples; ++i) {
        // Two recordings with a ten-minute pause between them.
        const qint64 t = start_ms + qint64(i * period_ms) + (i >= samples / 2 ? 600000 : 0);
        batch.append(rq7_frame(bench::live_record(i), t));
        if (batch.size() == 10000) {
            log.append(batch);
            batch.clear();
        }
    }
    log.append(batch);

    converter conv;
    log_coverage::filter f;
    f.only_active = true;
    f.duty = e_main_duty;
    f.min_duty = 5;
    const rq7_log_view view(log);
    QVector<double> wall, cpu;
    int visited = 0;
    for (int run = 0; run < 40; ++run) {
        QElapsedTimer clock;
        clock.start();
        const double cpu_start = thread_cpu_ms();
        // The axes change on every other run, as when the user edits the range.
        const log_coverage c = log_coverage::compute(view, main_axes(run % 2 ? 500 : 250), f,
                                                     log_coverage::c_analog_a, conv);
        cpu.append(thread_cpu_ms() - cpu_start);
        wall.append(clock.nsecsElapsed() / 1e6);
        visited = 0;
        for (int r = 0; r < c.rows(); ++r)
            for (int col = 0; col < c.columns(); ++col)
                visited += c.shown_at(r, col);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("coverage of %d samples (one table, analog A, output active only): %d cells "
                "visited\n",
                log.size(), visited);
    std::printf("  wall: median %.2f ms, slowest %.2f ms\n", wall[wall.size() / 2], wall.last());
    std::printf("  cpu:  median %.2f ms, slowest %.2f ms (target: under 30 ms)\n",
                cpu[cpu.size() / 2], cpu.last());
    return 0;
}
