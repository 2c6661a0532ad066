// SPDX-License-Identifier: GPL-3.0-or-later
// Live logging from the simulated unit for a while, as the window drives it: the worker on its
// own thread streams into a live-log file, then the file is read back and compared with what
// the worker held. Prints the file's growth as it goes.
//
//   live_log_soak [seconds] [file]      (default: 120 s, /tmp/quorvane_soak.vklog)
#include "rq7_controller.h"
#include "rq7_worker.h"
#include "sim_backend.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int seconds = args.value(1, "120").toInt();
    const QString name = args.value(2, "/tmp/quorvane_soak.vklog");
    QFile::remove(name);

    auto sim = std::make_shared<sim_backend>();
    sim->attach_unit();
    d2xx_install_backend(sim);
    rq7_controller controller;
    rq7_worker* worker = controller.worker();

    int frames = 0;
    QObject::connect(worker, &rq7_worker::log_data_ready, &app, [&frames] { ++frames; });
    QObject::connect(worker, &rq7_worker::opened, &app, [&] {
        worker->set_log_file(name);
        worker->enable_log_to_file(true);
        worker->start_live_logging();
    });
    QTimer progress;
    QObject::connect(&progress, &QTimer::timeout, &app, [&] {
        std::printf("%6d frames  %10lld bytes in %s\n", frames,
                    static_cast<long long>(QFileInfo(name).size()), qPrintable(name));
        std::fflush(stdout);
    });
    progress.start(10000);
    QTimer::singleShot(seconds * 1000, &app, [&] {
        worker->stop_live_logging(false);
        worker->enable_log_to_file(false);
        worker->parse_log_file(name);
    });
    QObject::connect(worker, &rq7_worker::parsed_log_file, &app, [&] {
        const int stored = worker->log_times().size();
        std::printf("streamed %d frames, read back %d samples: %s\n", frames, stored,
                    frames == stored ? "same" : "DIFFERENT");
        app.exit(frames == stored ? 0 : 1);
    });
    worker->open();
    return app.exec();
}
