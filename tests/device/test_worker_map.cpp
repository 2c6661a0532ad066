// The worker's MAP samples and output overrides against the simulated unit: what goes over the
// wire, what comes back, and what happens to a running live stream.
#include "log_capture.h"
#include "rq7_worker.h"
#include "sim_fixture.h"

#include <QSignalSpy>
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

quint16 last_gpo1_duty(const QSignalSpy& data)
{
    return data.last().at(0).value<rq7_frame>().gpo1_duty;
}

} // namespace

class test_worker_map : public QObject
{
    Q_OBJECT

private slots:
    void five_samples_around_the_atmospheric_reading();
    void failed_sample_ends_without_result_and_logging_stays_stopped();
    void override_requests_on_the_wire();
    void unknown_output_sends_nothing();
    void override_pauses_the_stream_and_shows_in_its_frames();
};

void test_worker_map::five_samples_around_the_atmospheric_reading()
{
    sim_fixture f;
    f.unit->set_map_sensor(300);
    rq7_worker worker;
    worker.open();
    f.unit->clear_received_frames();
    QSignalSpy ready(&worker, &rq7_worker::map_cal_data_ready);
    worker.start_map_cal();
    QCOMPARE(ready.count(), 1);
    const auto samples = ready.at(0).at(0).value<QList<quint16>>();
    QCOMPARE(samples.size(), 5);
    bool wandered = false;
    for (quint16 sample : samples) {
        QVERIFY2(sample >= 298 && sample <= 302, qPrintable(QString::number(sample)));
        wandered |= sample != samples.first();
    }
    QVERIFY(wandered);
    QCOMPARE(sent(f), (QStringList{"05:a2", "05:a2", "05:a2", "05:a2", "05:a2"}));

    worker.close();
    log_capture log;
    worker.start_map_cal();
    QCOMPARE(ready.count(), 1);
    QVERIFY(log.contains("Device not open...", QtCriticalMsg));
}

void test_worker_map::failed_sample_ends_without_result_and_logging_stays_stopped()
{
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    QSignalSpy ready(&worker, &rq7_worker::map_cal_data_ready);
    QSignalSpy started(&worker, &rq7_worker::log_started);
    QSignalSpy stopped(&worker, &rq7_worker::log_stopped);
    worker.start_live_logging();
    f.unit->fault_ignore_param(param_map_sensor);
    log_capture log;
    worker.start_map_cal();
    QVERIFY(log.contains("Cannot read from device...", QtCriticalMsg));
    QCOMPARE(ready.count(), 0);
    QCOMPARE(started.count(), 1);
    QCOMPARE(stopped.count(), 1);
    QVERIFY(!f.unit->streaming());
}

void test_worker_map::override_requests_on_the_wire()
{
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    f.unit->clear_received_frames();
    log_capture log;
    worker.set_override(t_main, 1023);
    worker.set_override(t_aux, 0);
    worker.set_override(t_gpo1, 0x12345); // only the low 16 bits travel
    worker.set_override(t_gpo2, 512);
    for (table_index output : {t_main, t_aux, t_gpo1, t_gpo2})
        worker.reset_override(output);
    QCOMPARE(sent(f), (QStringList{"02:03ff", "01:0000", "04:2345", "06:0200", "08:01", "08:02",
                                   "08:03", "08:04"}));
    QVERIFY(log.contains("Override MAIN duty table to 1023", QtWarningMsg));
    QVERIFY(log.contains("Reset override on GPO2 duty table", QtWarningMsg));

    f.unit->fault_ignore_type(msg_set_override_main);
    f.unit->fault_ignore_type(msg_reset_override);
    worker.set_override(t_main, 5);
    worker.reset_override(t_gpo1);
    QVERIFY(log.contains("Cannot set override for MAIN duty table", QtCriticalMsg));
    QVERIFY(log.contains("Cannot reset override for GPO1 duty table", QtCriticalMsg));
}

void test_worker_map::unknown_output_sends_nothing()
{
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    QSignalSpy started(&worker, &rq7_worker::log_started);
    worker.start_live_logging();
    log_capture log;
    worker.set_override(t_wide_band, 100);
    worker.reset_override(t_afr);
    QCOMPARE(log.count("Case 4 Not handled", QtCriticalMsg), 1);
    QCOMPARE(log.count("Case 5 Not handled", QtCriticalMsg), 1);
    for (const QString& frame : sent(f))
        QVERIFY2(!frame.startsWith("08") && !frame.startsWith("02"), qPrintable(frame));
    QCOMPARE(started.count(), 1); // stopped for the override, not resumed
    QVERIFY(!f.unit->streaming());
}

void test_worker_map::override_pauses_the_stream_and_shows_in_its_frames()
{
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    QSignalSpy started(&worker, &rq7_worker::log_started);
    QSignalSpy stopped(&worker, &rq7_worker::log_stopped);
    QSignalSpy data(&worker, &rq7_worker::log_data_ready);
    worker.start_live_logging();
    QTRY_VERIFY_WITH_TIMEOUT(data.count() >= 5, 5000);
    QCOMPARE(last_gpo1_duty(data), quint16(0)); // the GPO1 table is all 0 %
    f.unit->clear_received_frames();

    worker.set_override(t_gpo1, 512);
    QCOMPARE(sent(f), (QStringList{"13:00", "04:0200", "13:55"}));
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(started.count(), 2);
    QVERIFY(f.unit->streaming());
    int before = data.count();
    QTRY_VERIFY_WITH_TIMEOUT(data.count() > before + 3, 5000);
    QCOMPARE(last_gpo1_duty(data), quint16(512));

    worker.reset_override(t_gpo1);
    QCOMPARE(started.count(), 3);
    before = data.count();
    QTRY_VERIFY_WITH_TIMEOUT(data.count() > before + 3, 5000);
    QCOMPARE(last_gpo1_duty(data), quint16(0));
    worker.close();
}

QTEST_GUILESS_MAIN(test_worker_map)
#include "test_worker_map.moc"
