// SPDX-License-Identifier: GPL-3.0-or-later
// Built only with the thread sanitizer, and expected to fail: a counter written by a slot on
// the worker's thread and read on the test's thread without a lock. When the sanitizer stops
// reporting this, tests/tsan.supp has been widened to hide races in our own code (a pattern
// naming all of QtCore would do it, since every slot is called from there).
#include "rq7_controller.h"
#include "rq7_worker.h"
#include "sim_fixture.h"

#include <QtTest>

namespace {
int frames_counted = 0; // deliberately unprotected
}

class tsan_sees_races : public QObject
{
    Q_OBJECT

private slots:
    void unlocked_counter_shared_with_the_worker()
    {
        sim_fixture f;
        rq7_controller controller;
        rq7_worker* worker = controller.worker();
        connect(
            worker, &rq7_worker::log_data_ready, worker, [] { ++frames_counted; },
            Qt::DirectConnection);
        worker->open();
        worker->start_live_logging();
        QTRY_VERIFY_WITH_TIMEOUT(frames_counted > 20, 10000);
        worker->stop_live_logging();
    }
};

QTEST_GUILESS_MAIN(tsan_sees_races)
#include "tsan_sees_races.moc"
