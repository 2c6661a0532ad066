// SPDX-License-Identifier: GPL-3.0-or-later
// The window's thread while live updates stream from the simulated unit (about 76 frames a
// second): the real main window offscreen, the Live View page showing, its read-outs and
// the live log graph following every frame. Prints the CPU time the GUI thread used as a
// share of one core, and the frames it received.
//
//     bench_live_gui_cpu [seconds]        (default 20)
#include "bench_gui.h"
#include "mainwindow.h"
#include "rq7_worker.h"
#include "sim_backend.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTabWidget>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

/// Streams for `seconds` with `page` showing; prints the GUI thread's share of a core.
void measure(QApplication& app, MainWindow& window, const char* page, int seconds)
{
    window.findChild<QTabWidget*>("main_tab")->setCurrentWidget(window.findChild<QWidget*>(page));
    int frames = 0;
    const auto counting = QObject::connect(window.worker(), &rq7_worker::log_data_ready, &window,
                                           [&frames] { ++frames; });
    bench::run_events_for(app, 1000); // settle
    frames = 0;
    const double cpu_before = bench::thread_cpu_seconds();
    QElapsedTimer wall;
    wall.start();
    bench::run_events_for(app, seconds * 1000);
    const double cpu = bench::thread_cpu_seconds() - cpu_before;
    const double elapsed = wall.nsecsElapsed() / 1e9;
    QObject::disconnect(counting);
    std::printf("%-12s page: %5.1f s, %d frames (%.1f/s), GUI thread CPU %.2f s = %.1f %% of a "
                "core\n",
                page, elapsed, frames, frames / elapsed, cpu, 100.0 * cpu / elapsed);
}

} // namespace

int main(int argc, char* argv[])
{
    bench::prepare_platform();
    QApplication app(argc, argv);
    bench::name_application();
    const int seconds = argc > 1 ? QString(argv[1]).toInt() : 20;

    const auto sim = bench::attach_simulated_unit();
    {
        MainWindow window;
        window.resize(1280, 900);
        window.show();
        if (!bench::connect_window(app, window)) {
            std::printf("could not connect to the simulated unit\n");
            return 1;
        }
        window.findChild<QAction*>("act_logging")->trigger();
        measure(app, window, "live", seconds);
        measure(app, window, "main", seconds);
        window.findChild<QAction*>("act_logging")->trigger();
        bench::run_events_for(app, 500);
    }
    d2xx_install_backend(nullptr);
    return 0;
}
