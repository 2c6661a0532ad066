// SPDX-License-Identifier: GPL-3.0-or-later
// The worker's MAP samples and output overrides against the simulated unit: what goes over the
// wire, what comes back, and what happens to a running live stream.
#include "log_capture.h"
#include "rq7_worker.h"
#include "sim_fixture.h"
#include "thread_spy.h"

#include <QtTest>

using namespace rq7_protocol;

namespace {

/// Type and payload of every frame the unit received, as hex ("02:03ff").
QStringList sent(const sim_fixture& f)
{
    QStringList frames;
    for (const QByteArray& frame : f.unit->received_frames())
        frames << QString("%1:%2")
                      .arg(quint8(frame.at(1)), 2, 16, QChar('0'))
                      .arg(QString(frame.mid(4, frame.size() - 5).toHex()));
    return frames;
}

} // namespace

class test_worker_map : public QObject
{
    Q_OBJECT

private slots:
    void samples_and_a_failed_sample();
    void override_requests_on_the_wire();
};

void test_worker_map::samples_and_a_failed_sample()
{
    sim_fixture f;
    f.unit->set_map_sensor(300);
    rq7_worker worker;
    worker.open();
    f.unit->clear_received_frames();
    thread_spy ready(&worker, &rq7_worker::map_cal_data_ready);
    worker.start_map_cal();
    QCOMPARE(sent(f), (QStringList{"05:a2", "05:a2", "05:a2", "05:a2", "05:a2"}));
    const auto samples = ready.at(0).at(0).value<QList<quint16>>();
    QCOMPARE(samples.size(), 5);
    QVERIFY(*std::min_element(samples.begin(), samples.end()) >= 298);
    QVERIFY(*std::max_element(samples.begin(), samples.end()) <= 302);
    QVERIFY(samples.count(samples.first()) < 5); // the reading wanders

    // A failed read ends the measurement without a result: the failure is told and the
    // stream it paused runs again.
    thread_spy started(&worker, &rq7_worker::log_started);
    thread_spy failed(&worker, &rq7_worker::map_cal_failed);
    worker.start_live_logging();
    f.unit->fault_ignore_param(param_map_sensor);
    log_capture log;
    worker.start_map_cal();
    QVERIFY(log.contains("Cannot read from device...", QtCriticalMsg));
    QCOMPARE(ready.count(), 1);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(started.count(), 2);
    QVERIFY(f.unit->streaming());
    worker.stop_live_logging(true);
}

void test_worker_map::override_requests_on_the_wire()
{
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    f.unit->clear_received_frames();
    log_capture log;
    worker.set_override(t_gpo1, 0x12345); // only the low 16 bits travel
    worker.reset_override(t_aux);
    worker.reset_override(t_gpo1);
    QVERIFY(log.contains("Override GPO1 duty table to 74565", QtWarningMsg));

    // An output the unit lacks sends nothing, is told as a failure, and the stream resumes;
    // so does a request the unit does not acknowledge.
    thread_spy started(&worker, &rq7_worker::log_started);
    thread_spy failed(&worker, &rq7_worker::override_failed);
    worker.start_live_logging();
    worker.set_override(t_wide_band, 100);
    worker.reset_override(t_afr);
    QCOMPARE(log.count("Case 4 Not handled", QtCriticalMsg), 1);
    QCOMPARE(log.count("Case 5 Not handled", QtCriticalMsg), 1);
    QCOMPARE(sent(f), (QStringList{"04:2345", "08:02", "08:03", "13:55", "13:00", "13:55", "13:00",
                                   "13:55"}));
    QCOMPARE(started.count(), 3);
    f.unit->fault_wrong_ack(5);
    worker.reset_override(t_main);
    QVERIFY(log.contains("Cannot reset override for", QtCriticalMsg));
    QCOMPARE(failed.count(), 3);
    QCOMPARE(failed.at(0).at(1).value<table_index>(), t_wide_band);
    QCOMPARE(failed.at(0).at(2).toBool(), false);
    QCOMPARE(failed.at(2).at(1).value<table_index>(), t_main);
    QCOMPARE(failed.at(2).at(2).toBool(), true);
    QCOMPARE(started.count(), 4);
    QVERIFY(f.unit->streaming());
    worker.stop_live_logging(true);
}

QTEST_GUILESS_MAIN(test_worker_map)
#include "test_worker_map.moc"
