// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the benchmarks of the window: starting it offscreen against the simulated unit,
// the CPU time of the calling thread, and running the event loop for a while.
#pragma once

#include "d2xx_backend.h"
#include "mainwindow.h"
#include "sim_backend.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>

#include <ctime>
#include <memory>

namespace bench {

/// Before the QApplication is made: offscreen unless a platform is asked for, at scale 1.
inline void prepare_platform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
}

/// The names the window keeps its preferences under, apart from the program's own.
inline void name_application()
{
    QCoreApplication::setOrganizationName("Velkaro");
    QCoreApplication::setApplicationName("Quorvane bench");
}

/// A simulated unit behind the bridge layer, as --simulate gives the program.
inline std::shared_ptr<sim_backend> attach_simulated_unit()
{
    auto sim = std::make_shared<sim_backend>();
    sim->attach_unit();
    d2xx_install_backend(sim);
    return sim;
}

/// Asks the window to connect and waits up to five seconds for it.
inline bool connect_window(QApplication& app, MainWindow& window)
{
    window.connect_attempt();
    auto* status = window.findChild<QLabel*>("connection_status");
    QElapsedTimer waited;
    waited.start();
    while (!status->text().startsWith("Connected fw") && waited.elapsed() < 5000)
        app.processEvents(QEventLoop::AllEvents, 10);
    return status->text().startsWith("Connected fw");
}

inline double thread_cpu_seconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

inline void run_events_for(QApplication& app, int ms)
{
    QTimer::singleShot(ms, &app, &QApplication::quit);
    app.exec();
}

} // namespace bench
