// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's memory at rest: started against the simulated unit as `quorvane
// --simulate` starts, connected and then left alone, before a single live sample is stored.
// Prints the resident memory and the heap, then the same after each table page has been shown
// once (a page's 3D graph allocates its drawing buffers when it is first shown).
//
//     bench_window_memory [seconds at rest]        (default 5)
#include "bench_gui.h"
#include "bench_support.h"
#include "mainwindow.h"
#include "rq7_worker.h"
#include "sim_backend.h"

#include <QApplication>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

constexpr double goal_mb = 120;

double mb(qint64 kb)
{
    return kb / 1024.0;
}

/// Resident memory (all of it, and the part not backed by files) and the heap: what malloc
/// holds from the system and what of it is in use.
void print_memory(const char* when)
{
    std::printf("%-34s resident %6.1f MB (anonymous %6.1f MB)", when, mb(bench::status_kb("VmRSS")),
                mb(bench::status_kb("RssAnon")));
#ifdef __GLIBC__
    const struct mallinfo2 heap = mallinfo2();
    std::printf(", heap %6.1f MB held, %6.1f MB in use",
                (heap.arena + heap.hblkhd) / (1024.0 * 1024.0),
                (heap.uordblks + heap.hblkhd) / (1024.0 * 1024.0));
#endif
    std::printf("\n");
}

} // namespace

int main(int argc, char* argv[])
{
    bench::prepare_platform();
    QApplication app(argc, argv);
    bench::name_application();
    const int seconds = argc > 1 ? QString(argv[1]).toInt() : 5;

    const auto sim = bench::attach_simulated_unit();
    {
        MainWindow window; // at the size the form gives it, as the program starts
        window.show();
        if (!bench::connect_window(app, window)) {
            std::printf("could not connect to the simulated unit\n");
            return 1;
        }
        bench::run_events_for(app, seconds * 1000);
        const int samples = window.worker()->log_times().size();
        std::printf("at rest for %d s after connecting, %d live samples stored\n", seconds,
                    samples);
        print_memory("at rest:");
        const double at_rest = mb(bench::status_kb("VmRSS"));

        auto* pages = window.findChild<QTabWidget*>("main_tab");
        for (const char* page : {"main", "aux", "gpo1", "gpo2"}) {
            pages->setCurrentWidget(window.findChild<QWidget*>(page));
            bench::run_events_for(app, 500);
            print_memory(qPrintable(QString("after the %1 page was shown:").arg(page)));
        }
        std::printf("at rest %.1f MB resident, goal under %.0f MB: %s\n", at_rest, goal_mb,
                    at_rest < goal_mb ? "met" : "NOT met");
    }
    d2xx_install_backend(nullptr);
    return 0;
}
