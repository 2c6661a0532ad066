// SPDX-License-Identifier: GPL-3.0-or-later
// The worker's read, write and settings-file operations and the signals they answer with.
#include "log_capture.h"
#include "rq7_controller.h"
#include "rq7_vars.h"
#include "rq7_worker.h"
#include "sim_fixture.h"
#include "thread_spy.h"

#include <QTemporaryDir>
#include <QtTest>

class test_worker_vars : public QObject
{
    Q_OBJECT

private slots:
    void open_stores_the_variant();
    void read_across_the_thread_boundary();
    void failed_read_sends_empty_lists();
    void compare_read_leaves_the_store_alone();
    void write_reports_its_status();
    void saving_emits_nothing();
    void loading_reports_the_attached_units_variant();
    void loading_a_missing_file_emits_nothing();
};

void test_worker_vars::open_stores_the_variant()
{
    sim_fixture f;
    f.unit->set_variant_byte(0x01);
    rq7_worker worker;
    worker.open();
    QCOMPARE(worker.variable_store()->ints[i_variant], 1u);
    QVERIFY(worker.variable_store()->changed_ints.contains(i_variant));
}

void test_worker_vars::read_across_the_thread_boundary()
{
    sim_fixture f;
    rq7_controller controller;
    rq7_worker* worker = controller.worker();
    thread_spy read(worker, &rq7_worker::read_data);
    worker->open();
    worker->start_read();
    QTRY_VERIFY_WITH_TIMEOUT(!read.isEmpty(), 10000); // recorded on the worker's thread
    QCOMPARE(read.at(0).at(0).value<FT_STATUS>(), FT_STATUS(FT_OK));
    const auto tables = read.at(0).at(1).value<QList<QByteArray>>();
    const auto ints = read.at(0).at(2).value<QList<quint32>>();
    const auto trims = read.at(0).at(3).value<QList<adc_trim>>();
    QCOMPARE(tables.size(), 6);
    QCOMPARE(tables.at(t_gpo2), f.unit->table(3));
    QCOMPARE(ints.size(), 41);
    QCOMPARE(ints.at(i_main_mode), 0xA1u);
    QCOMPARE(ints.at(i_variant), 0u);
    QCOMPARE(trims.size(), 6);
}

void test_worker_vars::failed_read_sends_empty_lists()
{
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    f.unit->fault_no_reply(1);
    thread_spy read(&worker, &rq7_worker::read_data);
    worker.start_read();
    QCOMPARE(read.count(), 1);
    QCOMPARE(read.at(0).at(0).value<FT_STATUS>(), FT_STATUS(FT_OTHER_ERROR));
    QVERIFY(read.at(0).at(1).value<QList<QByteArray>>().isEmpty());
    QVERIFY(read.at(0).at(2).value<QList<quint32>>().isEmpty());
    QVERIFY(read.at(0).at(3).value<QList<adc_trim>>().isEmpty());
}

void test_worker_vars::compare_read_leaves_the_store_alone()
{
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    worker.add_field_to_var(40u, i_rpm_scaler); // an edit waiting to be written
    thread_spy compared(&worker, &rq7_worker::read_compare_data);
    thread_spy read(&worker, &rq7_worker::read_data);
    thread_spy saved(&worker, &rq7_worker::backup_saved);
    worker.start_compare_read();
    QCOMPARE(compared.count(), 1);
    QCOMPARE(compared.at(0).at(0).value<FT_STATUS>(), FT_STATUS(FT_OK));
    QCOMPARE(compared.at(0).at(1).value<QList<QByteArray>>().at(t_main), f.unit->table(1));
    QVERIFY(read.isEmpty() && saved.isEmpty());
    QCOMPARE(worker.variable_store()->ints[i_rpm_scaler], 40u);
    QVERIFY(worker.variable_store()->changed_ints.contains(i_rpm_scaler));

    f.unit->fault_no_reply(1);
    worker.start_compare_read();
    QCOMPARE(compared.at(1).at(0).value<FT_STATUS>(), FT_STATUS(FT_OTHER_ERROR));
    QVERIFY(compared.at(1).at(1).value<QList<QByteArray>>().isEmpty());
}

void test_worker_vars::write_reports_its_status()
{
    sim_fixture f;
    rq7_worker worker;
    thread_spy wrote(&worker, &rq7_worker::wrote_data);
    worker.start_write(); // nothing read or set yet
    QCOMPARE(wrote.takeFirst().at(0).value<FT_STATUS>(), FT_STATUS(FT_OTHER_ERROR));

    worker.open();
    worker.add_field_to_var(40u, i_rpm_scaler);
    worker.start_write();
    QCOMPARE(wrote.takeFirst().at(0).value<FT_STATUS>(), FT_STATUS(FT_OK));
    QCOMPARE(f.unit->rpm_scaler(), quint8(40));

    worker.add_field_to_var(41u, i_rpm_scaler);
    f.unit->fault_no_reply(1);
    worker.start_write();
    QCOMPARE(wrote.takeFirst().at(0).value<FT_STATUS>(), FT_STATUS(FT_OTHER_ERROR));
}

void test_worker_vars::saving_emits_nothing()
{
    QTemporaryDir dir;
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    thread_spy read_file(&worker, &rq7_worker::read_file);
    thread_spy read(&worker, &rq7_worker::read_data);
    thread_spy wrote(&worker, &rq7_worker::wrote_data);
    thread_spy saved(&worker, &rq7_worker::settings_saved);
    log_capture log;
    worker.vars_to_file(dir.filePath("saved.vkini"));
    worker.vars_to_file("/proc/not/writable.vkini");
    QVERIFY(QFile::exists(dir.filePath("saved.vkini")));
    QVERIFY(log.contains("is not writable", QtCriticalMsg) ||
            log.contains("Could not write to", QtCriticalMsg));
    QVERIFY(read_file.isEmpty() && read.isEmpty() && wrote.isEmpty());

    // The window's values go to the file; what waits to be written stays as it was.
    worker.add_field_to_var(41u, i_rpm_scaler);
    const QList<QByteArray> tables{{}, f.unit->table(t_main)}; // the rest from the variables
    QList<quint32> ints;
    for (int i = 0; i < i_last; ++i)
        ints << quint32(i == i_pump_prime_delay ? 7 : 0);
    worker.settings_to_file(dir.filePath("window.vkini"), tables, ints);
    worker.settings_to_file("/proc/not/writable.vkini", tables, ints);
    QCOMPARE(saved.count(), 2);
    QCOMPARE(saved.at(0).at(1).toString(), QString());
    QVERIFY(saved.at(1).at(1).toString().contains("/proc/not"));
    rq7_vars file(nullptr);
    QList<QString> warnings;
    QVERIFY(file.file_to_vars(dir.filePath("window.vkini"), warnings));
    QCOMPARE(file.ints.at(i_pump_prime_delay), 7u);
    QCOMPARE(file.tables.at(t_main), tables.at(t_main));
    f.unit->clear_received_frames();
    worker.start_write();
    QCOMPARE(wrote.count(), 1);
    for (const QByteArray& frame : f.unit->received_frames())
        QVERIFY2(quint8(frame.at(1)) < msg_write_aux_table ||
                     (quint8(frame.at(1)) > msg_write_gpo2_table &&
                      quint8(frame.at(1)) != msg_write_base_map_cal),
                 frame.toHex().constData());
}

void test_worker_vars::loading_reports_the_attached_units_variant()
{
    QTemporaryDir dir;
    const QString name = dir.filePath("nvs.vkini");
    rq7_vars saved(nullptr);
    saved.add_field_to_var(0u, i_variant);
    saved.add_field_to_var(14u, i_rpm_scaler);
    QVERIFY(saved.vars_to_file(name));

    sim_fixture f;
    f.unit->set_variant_byte(0x55);
    rq7_worker worker;
    thread_spy loaded(&worker, &rq7_worker::read_file);
    worker.file_to_vars_to_field(name); // no unit attached yet: the file's variant stands
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(loaded.at(0).at(2).value<QList<quint32>>().at(i_variant), 0u);

    worker.open();
    worker.file_to_vars_to_field(name);
    QCOMPARE(loaded.count(), 2);
    const QList<QVariant> args = loaded.at(1);
    QCOMPARE(args.at(0).value<FT_STATUS>(), FT_STATUS(FT_OK));
    QCOMPARE(args.at(2).value<QList<quint32>>().at(i_variant), 1u);
    QCOMPARE(args.at(2).value<QList<quint32>>().at(i_rpm_scaler), 14u);
    QVERIFY(args.at(4).value<QList<QString>>().contains(
        "Table AUX duty table does not exist in settings file, keeping the current settings."));
}

void test_worker_vars::loading_a_missing_file_emits_nothing()
{
    sim_fixture f;
    rq7_worker worker;
    thread_spy loaded(&worker, &rq7_worker::read_file);
    worker.file_to_vars_to_field("/nonexistent/x.vkini");
    QVERIFY(loaded.isEmpty());
}

QTEST_GUILESS_MAIN(test_worker_vars)
#include "test_worker_vars.moc"
