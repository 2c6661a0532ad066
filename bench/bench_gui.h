// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the benchmarks of the window: the CPU time of the calling thread, and running the
// event loop for a while.
#pragma once

#include <QApplication>
#include <QTimer>

#include <ctime>

namespace bench {

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
