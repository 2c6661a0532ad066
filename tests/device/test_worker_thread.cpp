// SPDX-License-Identifier: GPL-3.0-or-later
#include "log_capture.h"
#include "rq7_controller.h"
#include "rq7_worker.h"
#include "thread_spy.h"

#include <QPointer>
#include <QtTest>

#include <atomic>
#include <functional>

using request = std::function<void(rq7_worker*)>;
Q_DECLARE_METATYPE(request)

class test_worker_thread : public QObject
{
    Q_OBJECT

private slots:
    void every_request_reaches_the_worker_thread_data();
    void every_request_reaches_the_worker_thread();
    void requests_run_one_at_a_time_in_order();
    void a_call_on_the_worker_thread_runs_at_once();
    void deleting_the_controller_ends_the_thread_and_the_worker();
};

void test_worker_thread::every_request_reaches_the_worker_thread_data()
{
    QTest::addColumn<request>("call");
    QTest::addColumn<QString>("operation");
    QTest::newRow("open") << request([](rq7_worker* w) { w->open(); }) << "open";
    QTest::newRow("close") << request([](rq7_worker* w) { w->close(); }) << "close";
    QTest::newRow("reset") << request([](rq7_worker* w) { w->reset(); }) << "reset";
    QTest::newRow("smart_reconnect")
        << request([](rq7_worker* w) { w->smart_reconnect(0x8000); }) << "smart_reconnect";
    QTest::newRow("start_read") << request([](rq7_worker* w) { w->start_read(); }) << "start_read";
    QTest::newRow("add table") << request([](rq7_worker* w) {
        w->add_field_to_var(QByteArray(640, 0), t_main);
    }) << "add_field_to_var(table)";
    QTest::newRow("add int") << request([](rq7_worker* w) {
        w->add_field_to_var(12u, i_rpm_scaler);
    }) << "add_field_to_var(int)";
    QTest::newRow("add trim") << request([](rq7_worker* w) {
        w->add_field_to_var(adc_trim{false, 3}, a_map);
    }) << "add_field_to_var(trim)";
    QTest::newRow("remove_all_sets")
        << request([](rq7_worker* w) { w->remove_all_sets(); }) << "remove_all_sets";
    QTest::newRow("vars_to_file") << request([](rq7_worker* w) { w->vars_to_file("x.vkini"); })
                                  << "vars_to_file";
    QTest::newRow("file_to_vars_to_field")
        << request([](rq7_worker* w) { w->file_to_vars_to_field("x.vkini"); })
        << "file_to_vars_to_field";
    QTest::newRow("start_write") << request([](rq7_worker* w) { w->start_write(); })
                                 << "start_write";
    QTest::newRow("start_fw_program")
        << request([](rq7_worker* w) { w->start_fw_program("QUIL.hex"); }) << "start_fw_program";
    QTest::newRow("set_log_file") << request([](rq7_worker* w) { w->set_log_file("x.vklog"); })
                                  << "set_log_file";
    QTest::newRow("enable_log_to_file")
        << request([](rq7_worker* w) { w->enable_log_to_file(true); }) << "enable_log_to_file";
    QTest::newRow("start_live_logging")
        << request([](rq7_worker* w) { w->start_live_logging(); }) << "start_live_logging";
    QTest::newRow("stop_live_logging(bool)")
        << request([](rq7_worker* w) { w->stop_live_logging(true); }) << "stop_live_logging";
    QTest::newRow("stop_live_logging()")
        << request([](rq7_worker* w) { w->stop_live_logging(); }) << "stop_live_logging";
    QTest::newRow("clear_live_logs")
        << request([](rq7_worker* w) { w->clear_live_logs(); }) << "clear_live_logs";
    QTest::newRow("parse_log_file")
        << request([](rq7_worker* w) { w->parse_log_file("x.vklog"); }) << "parse_log_file";
    QTest::newRow("recall_frame_at")
        << request([](rq7_worker* w) { w->recall_frame_at(QPointF(1234.9, 2)); })
        << "recall_frame_at";
    QTest::newRow("start_map_cal")
        << request([](rq7_worker* w) { w->start_map_cal(); }) << "start_map_cal";
    QTest::newRow("set_override") << request([](rq7_worker* w) { w->set_override(t_gpo1, 70000u); })
                                  << "set_override";
    QTest::newRow("reset_override")
        << request([](rq7_worker* w) { w->reset_override(t_gpo2); }) << "reset_override";
}

// Each request crosses to the worker thread with its arguments: a missing meta-type or a
// queued type name that does not match the slot would make the post fail.
void test_worker_thread::every_request_reaches_the_worker_thread()
{
    QFETCH(request, call);
    QFETCH(QString, operation);
    log_capture log;
    // Set before the worker's thread starts: Qt hands the functor over under its own lock,
    // which the thread sanitizer does not see.
    std::atomic<bool> ran_after{false};
    rq7_controller controller;
    rq7_worker* worker = controller.worker();
    call(worker);
    QMetaObject::invokeMethod(
        worker, [&ran_after] { ran_after = true; }, Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(ran_after, 10000);
    QVERIFY2(!log.contains("Could not queue"), qPrintable(log.dump()));
    for (const auto& e : log.entries())
        QCOMPARE(e.thread, worker->thread());
    Q_UNUSED(operation);
}

void test_worker_thread::requests_run_one_at_a_time_in_order()
{
    log_capture log;
    rq7_controller controller;
    rq7_worker* worker = controller.worker();
    thread_spy read(worker, &rq7_worker::read_data);
    thread_spy wrote(worker, &rq7_worker::wrote_data);
    QStringList expected;
    for (int i = 0; i < 20; ++i) {
        worker->start_read();
        worker->start_write();
        expected << "Start read"
                 << "Start write";
    }
    worker->start_map_cal();
    QVERIFY(log.wait_for("Device not open..."));

    QStringList order;
    for (const auto& e : log.entries()) {
        QCOMPARE(e.thread, worker->thread());
        if (e.text.startsWith("Start "))
            order << e.text;
    }
    QCOMPARE(order, expected);
    QTRY_COMPARE(read.count(), 20);
    QTRY_COMPARE(wrote.count(), 20);
}

void test_worker_thread::a_call_on_the_worker_thread_runs_at_once()
{
    std::atomic<bool> closed_before_return{false}; // before the thread starts, as above
    rq7_controller controller;
    rq7_worker* worker = controller.worker();
    QMetaObject::invokeMethod(
        worker,
        [worker, &closed_before_return] {
            bool closed = false;
            auto c = connect(worker, &rq7_worker::closed, [&closed] { closed = true; });
            worker->close();
            closed_before_return = closed;
            disconnect(c);
        },
        Qt::BlockingQueuedConnection);
    QVERIFY(closed_before_return);
}

void test_worker_thread::deleting_the_controller_ends_the_thread_and_the_worker()
{
    auto* controller = new rq7_controller;
    QPointer<rq7_worker> worker = controller->worker();
    QThread* thread = worker->thread();
    QVERIFY(thread->isRunning());
    QVERIFY(thread != QThread::currentThread());
    delete controller;
    QVERIFY(worker.isNull());
}

QTEST_MAIN(test_worker_thread)
#include "test_worker_thread.moc"
