// SPDX-License-Identifier: GPL-3.0-or-later
// The worker's live-data stream and live logs against the simulated unit.
#include "log_capture.h"
#include "rq7_engine_model.h"
#include "rq7_log_file.h"
#include "rq7_vars.h"
#include "rq7_worker.h"
#include "sim_fixture.h"
#include "thread_spy.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace rq7_protocol;

namespace {

QByteArray live_frame(quint16 rpm)
{
    rq7_engine_state state;
    state.rpm = rpm;
    state.batt_adc = 0x3FF;
    return rq7_engine_model::frame(state, 7);
}

void poll_once(rq7_worker& worker)
{
    QMetaObject::invokeMethod(&worker, "check_log_data_for_period", Q_ARG(uint, 0));
}

int frames_of_type(const sim_fixture& f, quint8 type, QByteArray payload = QByteArray())
{
    int n = 0;
    for (const QByteArray& frame : f.unit->received_frames())
        if (quint8(frame.at(1)) == type && (payload.isNull() || frame.mid(4, 1) == payload))
            ++n;
    return n;
}

QByteArray file_text(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

class test_worker_live : public QObject
{
    Q_OBJECT

private slots:
    void a_frame_is_taken_only_when_whole();
    void a_backlog_is_worked_off_one_frame_per_poll();
    void short_reads_keep_the_stream_in_step();
    void stream_runs_and_stops_cleanly();
    void bad_end_marker_stops_logging();
    void stop_without_logging_still_sends_the_stop_request();
    void operations_pause_and_resume_the_stream();
    void file_logging_writes_header_once_and_reads_back();
    void log_settings_and_a_file_that_cannot_be_opened();
    void runs_apart_in_one_file_are_marked_apart();
    void parse_refused_while_logging_and_recall();
    void pre_trigger_seconds_begin_the_file();
};

void test_worker_live::a_frame_is_taken_only_when_whole()
{
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    thread_spy data(&worker, &rq7_worker::log_data_ready);
    const QByteArray frame = live_frame(4321);
    f.unit->send_raw(frame.left(69));
    QThread::msleep(10);
    poll_once(worker);
    QCOMPARE(data.count(), 0);
    f.unit->send_raw(frame.mid(69));
    QThread::msleep(10);
    poll_once(worker);
    QCOMPARE(data.count(), 1);
    const auto received = data.at(0).at(0).value<rq7_frame>();
    QCOMPARE(received.rpm, quint16(4321));
    QCOMPARE(received.batt_adc, quint16(1023));
    QCOMPARE(worker.log_times().size(), 1);
    QCOMPARE(worker.logged_to_file_marks().at(0), 0u);
}

void test_worker_live::a_backlog_is_worked_off_one_frame_per_poll()
{
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    thread_spy data(&worker, &rq7_worker::log_data_ready);
    f.unit->send_raw(live_frame(1000) + live_frame(2000) + live_frame(3000));
    QThread::msleep(10);
    log_capture log;
    poll_once(worker);
    QCOMPARE(data.count(), 1);
    QVERIFY(log.contains("Enqueued mesages: 3"));
    poll_once(worker);
    poll_once(worker);
    QCOMPARE(data.count(), 3);
    QCOMPARE(data.at(2).at(0).value<rq7_frame>().rpm, quint16(3000));
    QCOMPARE(log.count("Enqueued mesages:"), 2); // 3, then 2 waiting; not for the last one
}

void test_worker_live::short_reads_keep_the_stream_in_step()
{
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    thread_spy stopped(&worker, &rq7_worker::log_stopped);
    thread_spy data(&worker, &rq7_worker::log_data_ready);
    log_capture log;
    worker.start_live_logging();
    QTRY_VERIFY_WITH_TIMEOUT(data.count() >= 5, 5000);
    f.sim->short_next_reads(3); // a frame cut after 69 bytes, then two reads that bring none
    const int before = data.count();
    QTRY_VERIFY_WITH_TIMEOUT(data.count() >= before + 20, 5000);
    worker.stop_live_logging(true);
    QCOMPARE(stopped.count(), 1); // only the stop asked for
    QVERIFY(!log.contains("Log message not valid, stopping logging"));
    QVERIFY(log.contains("Did not read out the expected number of bytes", QtCriticalMsg));
    // The unit numbers its frames: every one arrived, whole and in order.
    const auto& numbers = worker.log_column(e_result);
    for (int i = 1; i < numbers.size(); ++i)
        QCOMPARE(numbers.at(i), numbers.at(i - 1) + 1);
    QCOMPARE(worker.log_column(e_batt_adc).at(numbers.size() - 1),
             uint(data.last().at(0).value<rq7_frame>().batt_adc));
}

void test_worker_live::stream_runs_and_stops_cleanly()
{
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    thread_spy started(&worker, &rq7_worker::log_started);
    thread_spy stopped(&worker, &rq7_worker::log_stopped);
    thread_spy data(&worker, &rq7_worker::log_data_ready);
    f.unit->clear_received_frames();
    worker.start_live_logging();
    QCOMPARE(started.count(), 1);
    QCOMPARE(frames_of_type(f, msg_live_data, QByteArray(1, '\x55')), 1);
    QTRY_VERIFY_WITH_TIMEOUT(data.count() >= 30, 5000);
    worker.start_live_logging(); // already running
    QCOMPARE(started.count(), 1);

    const int before = data.count();
    worker.stop_live_logging(false); // one more frame at most, then the stop request
    QVERIFY(data.count() - before <= 1);
    QCOMPARE(stopped.count(), 1);
    QVERIFY(!f.unit->streaming());
    const int after = data.count();
    QTest::qWait(100);
    QCOMPARE(data.count(), after);
    QCOMPARE(worker.log_times().size(), after);

    // Every stored sample is a frame the window was given, in order.
    const auto& times = worker.log_times();
    for (int i = 1; i < times.size(); ++i)
        QVERIFY(times.at(i) >= times.at(i - 1));
}

void test_worker_live::bad_end_marker_stops_logging()
{
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    thread_spy stopped(&worker, &rq7_worker::log_stopped);
    const int purges = f.sim->purge_count();
    log_capture log;
    f.unit->fault_bad_stream_marker(1);
    worker.start_live_logging();
    QTRY_COMPARE_WITH_TIMEOUT(stopped.count(), 1, 5000);
    QVERIFY(log.contains("Log message not valid, stopping logging", QtWarningMsg));
    QVERIFY(f.sim->purge_count() > purges + 1); // the start request's and the final one
    QVERIFY(!f.unit->streaming());
    QTest::qWait(50);
    QCOMPARE(worker.log_times().size(), 0);
}

void test_worker_live::stop_without_logging_still_sends_the_stop_request()
{
    sim_fixture f;
    rq7_worker worker;
    worker.stop_live_logging(true); // closed: stops and says so
    worker.open();
    f.unit->clear_received_frames();
    thread_spy stopped(&worker, &rq7_worker::log_stopped);
    thread_spy data(&worker, &rq7_worker::log_data_ready);
    f.unit->send_raw(live_frame(1234)); // a stray frame waiting in the bridge
    QThread::msleep(10);
    worker.stop_live_logging();
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(f.unit->received_frames(), QList<QByteArray>{fixed_frame(frame_stop_live_data)});
    QCOMPARE(data.count(), 0); // not taken into the log: purged
    QCOMPARE(worker.log_times().size(), 0);
    QCOMPARE(worker.logged_to_file_marks().size(), 0);
}

void test_worker_live::operations_pause_and_resume_the_stream()
{
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    thread_spy started(&worker, &rq7_worker::log_started);
    thread_spy paused(&worker, &rq7_worker::log_paused);
    thread_spy stopped(&worker, &rq7_worker::log_stopped);
    thread_spy read(&worker, &rq7_worker::read_data);
    thread_spy data(&worker, &rq7_worker::log_data_ready);
    worker.start_live_logging();
    QTRY_VERIFY_WITH_TIMEOUT(data.count() >= 5, 5000);
    worker.start_read();
    QCOMPARE(read.count(), 1);
    QCOMPARE(read.at(0).at(0).value<FT_STATUS>(), FT_STATUS(FT_OK));
    QCOMPARE(paused.count(), 1); // the window tells this stop from the user's
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(started.count(), 2);
    QVERIFY(f.unit->streaming());
    const int before = data.count();
    QTRY_VERIFY_WITH_TIMEOUT(data.count() > before + 5, 5000);
    worker.close();
    QVERIFY(!f.unit->streaming());
}

void test_worker_live::file_logging_writes_header_once_and_reads_back()
{
    QTemporaryDir dir;
    const QString name = dir.filePath("run.vklog");
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    worker.add_field_to_var(14u, i_rpm_scaler);
    worker.set_log_file(name);
    worker.enable_log_to_file(true);
    worker.enable_log_to_file(true); // already open: nothing more
    const QByteArray before_frames = file_text(name);
    QVERIFY(before_frames.startsWith("[rq7_vars]"));
    QVERIFY(before_frames.endsWith(rq7_log_file::log_header(name)));
    QCOMPARE(before_frames.count("[rq7_log]"), 1);

    thread_spy data(&worker, &rq7_worker::log_data_ready);
    worker.start_live_logging();
    QTRY_VERIFY_WITH_TIMEOUT(data.count() >= 20, 5000);
    worker.stop_live_logging(true);
    worker.enable_log_to_file(false);
    const QByteArray text = file_text(name);
    QVERIFY(text.startsWith(before_frames + "\r\n" + rq7_frame::csv_header().toLatin1()));
    QCOMPARE(text.count("timestamp,"), 1);
    QCOMPARE(text.mid(before_frames.size() + 2).count("\r\n"), data.count() + 1);

    // Reading the file back gives the same samples, all marked as logged to file.
    const int samples = data.count();
    QList<rq7_frame> live;
    for (int i = 0; i < samples; ++i)
        live << data.at(i).at(0).value<rq7_frame>();
    thread_spy loaded(&worker, &rq7_worker::read_file);
    thread_spy parsed(&worker, &rq7_worker::parsed_log_file);
    worker.parse_log_file(name);
    QCOMPARE(parsed.count(), 1);
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(loaded.at(0).at(2).value<QList<quint32>>().at(i_rpm_scaler), 14u);
    QCOMPARE(worker.log_times().size(), samples);
    for (int i = 0; i < samples; ++i) {
        QCOMPARE(worker.log_times().at(i), live.at(i).timestamp);
        QCOMPARE(worker.log_column(e_rpm).at(i), uint(live.at(i).rpm));
        QCOMPARE(worker.log_column(e_result).at(i), live.at(i).result);
        QCOMPARE(worker.logged_to_file_marks().at(i), 1u);
    }
}

void test_worker_live::log_settings_and_a_file_that_cannot_be_opened()
{
    QTemporaryDir dir;
    const QString name = dir.filePath("run.vklog");
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    // The section shows the values given for it; what waits to be written stays as it was.
    worker.add_field_to_var(14u, i_rpm_scaler);
    const QSet<int_index> pending = worker.variable_store()->changed_ints;
    QList<quint32> shown;
    for (int i = 0; i < i_last; ++i)
        shown << 0u;
    shown[i_rpm_scaler] = 6;
    worker.set_log_settings({}, shown);
    worker.set_log_file(name);
    worker.enable_log_to_file(true);
    worker.enable_log_to_file(false);
    QVERIFY(file_text(name).contains("ints\\1\\RPM%20scaler=6"));
    QCOMPARE(worker.variable_store()->changed_ints, pending);
    QVERIFY(pending.contains(i_rpm_scaler));
    QCOMPARE(worker.variable_store()->ints.at(i_rpm_scaler), 14u);

    // A folder below a plain file: told with the system's reason, the stream goes on.
    QFile plain(dir.filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString unwritable = plain.fileName() + "/run.vklog";
    thread_spy failed(&worker, &rq7_worker::log_file_failed);
    thread_spy data(&worker, &rq7_worker::log_data_ready);
    worker.set_log_file(unwritable);
    worker.start_live_logging();
    worker.enable_log_to_file(true);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).toString(), unwritable);
    QCOMPARE(failed.at(0).at(1).toString(), QString("Not a directory"));
    QTRY_VERIFY_WITH_TIMEOUT(data.count() >= 5, 5000);
    QCOMPARE(worker.logged_to_file_marks().at(data.count() - 1), 0u);
    worker.stop_live_logging(true);
}

void test_worker_live::runs_apart_in_one_file_are_marked_apart()
{
    QTemporaryDir dir;
    const QString name = dir.filePath("two_runs.vklog");
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    thread_spy data(&worker, &rq7_worker::log_data_ready);
    worker.set_log_file(name);
    int first_run = 0;
    for (int run = 0; run < 2; ++run) {
        worker.enable_log_to_file(true);
        worker.start_live_logging();
        QTRY_VERIFY_WITH_TIMEOUT(data.count() >= first_run + 10, 5000);
        worker.stop_live_logging(true);
        worker.enable_log_to_file(false);
        if (run == 0)
            first_run = data.count();
    }
    QCOMPARE(file_text(name).count("[rq7_vars]"), 2);
    worker.parse_log_file(name);
    const auto& marks = worker.logged_to_file_marks();
    QCOMPARE(marks.size(), data.count());
    for (int i = 0; i < marks.size(); ++i) {
        const bool at_gap = i == first_run - 1 || i == first_run;
        QCOMPARE(marks.at(i), at_gap ? 0u : 1u);
    }
}

void test_worker_live::parse_refused_while_logging_and_recall()
{
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    thread_spy data(&worker, &rq7_worker::log_data_ready);
    worker.start_live_logging();
    QTRY_VERIFY_WITH_TIMEOUT(data.count() >= 3, 5000);
    log_capture log;
    worker.parse_log_file("/nonexistent.vklog");
    QVERIFY(
        log.contains("Cannot open log file while actively logging from the unit", QtCriticalMsg));
    worker.stop_live_logging(true);
    const int stored = worker.log_times().size();
    QVERIFY(stored >= 3);

    thread_spy recalled(&worker, &rq7_worker::recall_data_ready);
    const rq7_frame second = data.at(1).at(0).value<rq7_frame>();
    worker.recall_frame_at(QPointF(second.timestamp + 0.9, 50));
    QCOMPARE(recalled.count(), 1);
    QCOMPARE(recalled.at(0).at(0).value<rq7_frame>().timestamp, second.timestamp);

    // A time whose 32 ms bucket holds nothing recalls the nearest real sample, not zeros.
    const rq7_frame first = data.at(0).at(0).value<rq7_frame>();
    worker.recall_frame_at(QPointF(first.timestamp - 5000, 0));
    QCOMPARE(recalled.count(), 2);
    QCOMPARE(recalled.at(1).at(0).value<rq7_frame>(), first);

    worker.clear_live_logs();
    QCOMPARE(worker.log_times().size(), 0);
    QCOMPARE(worker.logged_to_file_marks().size(), 0);
    worker.recall_frame_at(QPointF(second.timestamp, 0));
    QCOMPARE(recalled.count(), 2); // an empty log recalls nothing
}

void test_worker_live::pre_trigger_seconds_begin_the_file()
{
    QTemporaryDir dir;
    const QString name = dir.filePath("pre.vklog");
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    thread_spy data(&worker, &rq7_worker::log_data_ready);
    worker.set_log_pre_trigger(1);
    worker.set_log_file(name);
    worker.start_live_logging();
    QTRY_VERIFY_WITH_TIMEOUT(data.count() >= 120, 5000); // about 1.6 s
    worker.enable_log_to_file(true);                     // the start condition
    const auto& times = worker.log_times();
    const auto& marks = worker.logged_to_file_marks();
    const int at_start = times.size();
    const qint64 newest = times.at(at_start - 1);
    int before_start = 0;
    for (int i = 0; i < at_start; ++i) {
        const bool kept = times.at(i) >= newest - 1000;
        QCOMPARE(marks.at(i), kept ? 1u : 0u);
        before_start += kept;
    }
    QVERIFY(before_start >= 60 && before_start < at_start);
    QTRY_VERIFY_WITH_TIMEOUT(times.size() >= at_start + 10, 5000);
    worker.stop_live_logging(true);
    worker.enable_log_to_file(false);
    const int total = times.size();
    const QVector<qint64> written = times.copy(at_start - before_start, total);

    // The file holds the kept samples and everything after them, as one logged stretch: only
    // a stall of the stream itself (a loaded machine) may split it as a reader must.
    worker.parse_log_file(name);
    QCOMPARE(times.size(), before_start + (total - at_start));
    QCOMPARE(times.at(0), data.at(at_start - before_start).at(0).value<rq7_frame>().timestamp);
    const auto stalled = [&written](int i) {
        return i > 0 && i < written.size() && written.at(i) - written.at(i - 1) > 50;
    };
    for (int i = 0; i < marks.size(); ++i)
        QCOMPARE(marks.at(i), stalled(i) || stalled(i + 1) ? 0u : 1u);
}

QTEST_GUILESS_MAIN(test_worker_live)
#include "test_worker_live.moc"
