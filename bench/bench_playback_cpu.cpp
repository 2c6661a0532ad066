// SPDX-License-Identifier: GPL-3.0-or-later
// The window's thread while a 1-hour log (273,000 samples) plays back at 16 times its pace:
// the real main window offscreen, first with the Live View page showing (read-outs, graph
// marker and window), then a table page (its lines and read-outs). Prints the CPU time the
// GUI thread used as a share of one core and the samples shown per second.
//
//     bench_playback_cpu [seconds]        (default 20)
#include "bench_gui.h"
#include "bench_support.h"
#include "box_answerer.h"
#include "log_playback.h"
#include "mainwindow.h"
#include "sim_backend.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

constexpr int hour_samples = 273000;

bool write_hour_log(const QString& name)
{
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray text = "[rq7_log]\r\n" + rq7_frame::csv_header_bytes();
    qint64 t = 1700000000000;
    for (int i = 0; i < hour_samples; ++i) {
        t += 13;
        rq7_frame(bench::live_record(i), t).append_csv_line(text);
    }
    return file.write(text) == text.size();
}

void measure(QApplication& app, MainWindow& window, log_playback* playback, const char* page,
             int seconds)
{
    window.findChild<QTabWidget*>("main_tab")->setCurrentWidget(window.findChild<QWidget*>(page));
    int shown = 0;
    const auto counting =
        QObject::connect(playback, &log_playback::frame_shown, &window, [&shown] { ++shown; });
    playback->home();
    playback->play();
    bench::run_events_for(app, 500); // settle
    shown = 0;
    const int from = playback->position();
    const double cpu_before = bench::thread_cpu_seconds();
    QElapsedTimer wall;
    wall.start();
    bench::run_events_for(app, seconds * 1000);
    const double cpu = bench::thread_cpu_seconds() - cpu_before;
    const double elapsed = wall.nsecsElapsed() / 1e9;
    const int moved = playback->position() - from;
    playback->pause();
    QObject::disconnect(counting);
    std::printf("%-5s page: %5.1f s, %d positions shown (%.1f/s), %d samples played (%.1f x the "
                "log's pace), GUI thread CPU %.2f s = %.1f %% of a core\n",
                page, elapsed, shown, shown / elapsed, moved, moved * 13.0 / 1000 / elapsed, cpu,
                100.0 * cpu / elapsed);
}

} // namespace

int main(int argc, char* argv[])
{
    bench::prepare_platform();
    QApplication app(argc, argv);
    bench::name_application();
    const int seconds = argc > 1 ? QString(argv[1]).toInt() : 20;
    QTemporaryDir folder;
    const QString log = folder.filePath("hour.vklog");
    if (!write_hour_log(log)) {
        std::printf("could not write %s\n", qPrintable(log));
        return 1;
    }

    const auto sim = bench::attach_simulated_unit();
    {
        MainWindow window;
        window.resize(1280, 900);
        window.show();
        box_answerer boxes;
        window.open_given_file(log);
        auto* playback = window.findChild<log_playback*>();
        QElapsedTimer waited;
        waited.start();
        while (playback->size() < hour_samples && waited.elapsed() < 60000)
            app.processEvents(QEventLoop::AllEvents, 20);
        if (playback->size() < hour_samples) {
            std::printf("the log did not open\n");
            return 1;
        }
        window.findChild<QComboBox*>("playback_speed")->setCurrentIndex(3); // 16x
        measure(app, window, playback, "live", seconds);
        measure(app, window, playback, "main", seconds);
    }
    d2xx_install_backend(nullptr);
    return 0;
}
