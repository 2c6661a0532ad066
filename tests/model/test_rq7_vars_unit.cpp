// SPDX-License-Identifier: GPL-3.0-or-later
// Reading all settings from the simulated unit and writing changed ones back, through the
// worker's real parameter exchange.
#include "log_capture.h"
#include "rq7_vars.h"
#include "rq7_worker.h"
#include "sim_fixture.h"

#include <QtTest>

using namespace rq7_protocol;

namespace {

QByteArray frame_payload(const QByteArray& frame)
{
    return frame.mid(4, frame.size() - 5);
}

QList<QByteArray> frames_of_type(const sim_fixture& f, quint8 type)
{
    QList<QByteArray> found;
    for (const QByteArray& frame : f.unit->received_frames())
        if (quint8(frame.at(1)) == type)
            found << frame;
    return found;
}

/// Table record `n` of the simulated unit with one more byte flipped and a correct check byte.
QByteArray altered_record(int n)
{
    QByteArray record = rq7_sim_unit::factory_table(n);
    record[100] = static_cast<char>(record.at(100) ^ 0x03);
    record[639] = static_cast<char>(xor_of(record, 0, 639));
    return record;
}

struct connected
{
    sim_fixture f;
    rq7_worker worker;
    rq7_vars vars{&worker};
    connected()
    {
        worker.open();
        f.unit->clear_received_frames();
    }
};

} // namespace

class test_rq7_vars_unit : public QObject
{
    Q_OBJECT

private slots:
    void a_fresh_store();
    void read_puts_every_value_in_its_place();
    void bad_blocks_end_the_read_data();
    void bad_blocks_end_the_read();
    void transport_failure_ends_the_read_at_once();
    void single_value_payloads();
    void io_mode_message_is_the_mode_block_layout();
    void map_cal_messages();
    void incomplete_groups_are_refused_data();
    void incomplete_groups_are_refused();
    void nothing_is_sent_before_initialisation();
    void failures_are_ored_and_sets_emptied();
    void items_that_never_go_to_the_unit();
};

void test_rq7_vars_unit::a_fresh_store()
{
    rq7_vars vars(nullptr);
    QCOMPARE(vars.tables.size(), 6);
    QCOMPARE(vars.ints.size(), 41);
    QCOMPARE(vars.trims.size(), 6);
    QVERIFY(!vars.initialized);
    for (const QByteArray& t : vars.tables)
        QVERIFY(t.isEmpty());
    for (const adc_trim& t : vars.trims)
        QVERIFY(t.pol && t.value == 0);
    vars.add_field_to_var(5u, i_max_boost);
    vars.add_field_to_var(7u, i_max_boost);
    QCOMPARE(vars.changed_ints.size(), 1);
    QCOMPARE(vars.ints[i_max_boost], 7u);
    QVERIFY(vars.initialized);
    QCOMPARE(int_names[40], QString("RQ7-NVS FW Version"));
    QCOMPARE(int_names[41], QString("LAST"));
}

void test_rq7_vars_unit::read_puts_every_value_in_its_place()
{
    connected c;
    c.f.unit->set_gpi_states(0xFF, 0x05);
    c.f.unit->set_rpm_scaler(0xFF);
    c.f.unit->set_pump_prime_delay(0x0123);
    QByteArray modes = rq7_sim_unit::factory_mode_block();
    modes.replace(20, 18, QByteArray::fromHex("A2B3D4E55103FF52000AFFFF0010FFFE0000"));
    c.f.unit->set_mode_block(modes);
    QByteArray cal = QByteArray::fromHex("0000400100036000") + QByteArray::fromHex("00E1") +
                     QByteArray::fromHex("0000400200036001") + QByteArray::fromHex("00E2") +
                     QByteArray::fromHex("0031") + QByteArray::fromHex("ABBA01020304");
    c.f.unit->set_map_cal_block(cal);
    c.f.unit->set_table(2, altered_record(2));

    QCOMPARE(c.vars.rq7_to_vars(), FT_STATUS(FT_OK));
    QVERIFY(c.vars.initialized);
    const QList<quint32>& ints = c.vars.ints;
    QCOMPARE(ints[i_gpi1_state], 0xFFFFFFFFu);
    QCOMPARE(ints[i_gpi2_state], 5u);
    QCOMPARE(ints[i_rpm_scaler], 255u);
    QCOMPARE(ints[i_pump_prime_delay], 0x0123u);
    QCOMPARE(ints[i_main_mode], 0xA2u);
    QCOMPARE(ints[i_aux_mode], 0xB3u);
    QCOMPARE(ints[i_gpo1_mode], 0xD4u);
    QCOMPARE(ints[i_gpo2_mode], 0xE5u);
    QCOMPARE(ints[i_gpi1_mode], 0x51u);
    QCOMPARE(ints[i_gpi1_request], 0x03FFu);
    QCOMPARE(ints[i_gpi2_mode], 0x52u);
    QCOMPARE(ints[i_gpi2_request], 0x000Au);
    QCOMPARE(ints[i_gpi1_act_delay], 0u); // FFFF: never set
    QCOMPARE(ints[i_gpi1_deact_delay], 0x0010u);
    QCOMPARE(ints[i_gpi2_act_delay], 0xFFFEu);
    QCOMPARE(ints[i_gpi2_deact_delay], 0u);
    QCOMPARE(ints[i_base_slope], 0x4001u);
    QCOMPARE(ints[i_base_intercept], 0x36000u);
    QCOMPARE(ints[i_base_atmospheric], 0xE1u);
    QCOMPARE(ints[i_active_slope], 0x4002u);
    QCOMPARE(ints[i_active_intercept], 0x36001u);
    QCOMPARE(ints[i_active_atmospheric], 0xE2u);
    QCOMPARE(ints[i_active_deadband], 0x31u);
    for (int n = 0; n < 4; ++n)
        QCOMPARE(c.vars.tables[n], c.f.unit->table(n));
    QVERIFY(c.vars.tables[t_wide_band].isEmpty());
    QVERIFY(c.vars.changed_ints.isEmpty());
    QVERIFY(c.vars.changed_tables.isEmpty());

    QStringList requested;
    for (const QByteArray& frame : c.f.unit->received_frames())
        requested << frame.toHex();
    QCOMPARE(requested, (QStringList{"c3050001b374", "c3050001b473", "c3050001b87f", "c3050001bb7c",
                                     "c3050001bd7a", "c3050001bf78", "c3050001a86f", "c3050001a96e",
                                     "c3050001aa6d", "c3050001ab6c"}));
}

void test_rq7_vars_unit::bad_blocks_end_the_read_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("tables_kept");
    QTest::newRow("mode block marker")
        << 0 << "Mode data from RQ7-NVS incorrect, try reading again!" << 0;
    QTest::newRow("MAP cal marker")
        << 1 << "MAP cal data from RQ7-NVS incorrect, try reading again!" << 0;
    QTest::newRow("table check byte")
        << 2
        << "GPO1 duty table table read error from RQ7-NVS, try to read again! calc checksum=" << 2;
}

void test_rq7_vars_unit::bad_blocks_end_the_read()
{
    QFETCH(int, fault);
    QFETCH(QString, message);
    QFETCH(int, tables_kept);
    connected c;
    c.f.unit->set_gpi_states(0x07, 0x00);
    if (fault == 0)
        c.f.unit->fault_bad_mode_marker(1);
    else if (fault == 1)
        c.f.unit->fault_bad_map_cal_marker(1);
    else {
        QByteArray bad = c.f.unit->table(2);
        bad[639] = static_cast<char>(bad.at(639) ^ 0x10);
        c.f.unit->set_table(2, bad);
    }
    rq7_vars vars(&c.worker);
    log_capture log;
    QCOMPARE(vars.rq7_to_vars(), FT_STATUS(FT_IO_ERROR));
    QVERIFY2(log.contains(message), qPrintable(log.dump()));
    QVERIFY(!vars.initialized);
    QCOMPARE(vars.ints[i_gpi1_state], 7u); // read before the bad block: kept
    QCOMPARE(vars.ints[i_main_mode], fault == 0 ? 0u : 0xA1u);
    for (int n = 0; n < 4; ++n)
        QCOMPARE(vars.tables[n].isEmpty(), n >= tables_kept);
}

void test_rq7_vars_unit::transport_failure_ends_the_read_at_once()
{
    connected c;
    c.f.unit->fault_ignore_param(param_map_cal_block);
    QCOMPARE(c.vars.rq7_to_vars(), FT_STATUS(FT_OTHER_ERROR));
    QCOMPARE(c.f.unit->received_frames().size(), 6); // nothing after the unanswered request
    QCOMPARE(c.vars.ints[i_main_mode], 0xA1u);
    QVERIFY(!c.vars.initialized);
}

void test_rq7_vars_unit::single_value_payloads()
{
    connected c;
    QCOMPARE(c.vars.rq7_to_vars(), FT_STATUS(FT_OK));
    c.vars.add_field_to_var(12u, i_rpm_scaler);
    c.vars.add_field_to_var(0x0123u, i_pump_prime_delay);
    c.vars.add_field_to_var(altered_record(1), t_main);
    c.f.unit->clear_received_frames();
    QCOMPARE(c.vars.vars_to_rq7(), FT_STATUS(FT_OK));
    QCOMPARE(frames_of_type(c.f, msg_write_int0).size(), 1);
    QCOMPARE(frame_payload(frames_of_type(c.f, msg_write_int0).at(0)).toHex(),
             QByteArray("aa0ca60000"));
    QCOMPARE(frame_payload(frames_of_type(c.f, msg_write_int1).at(0)).toHex(),
             QByteArray("012322"));
    QCOMPARE(frame_payload(frames_of_type(c.f, msg_write_main_table).at(0)), altered_record(1));
    QCOMPARE(c.f.unit->received_frames().size(), 3);
    QCOMPARE(c.f.unit->rpm_scaler(), quint8(12));
    QCOMPARE(c.f.unit->table(1), altered_record(1));
}

void test_rq7_vars_unit::io_mode_message_is_the_mode_block_layout()
{
    connected c;
    QByteArray modes = rq7_sim_unit::factory_mode_block();
    modes.replace(20, 18, QByteArray::fromHex("A2B3D4E55103FF52000A00100011001200130014"));
    c.f.unit->set_mode_block(modes.left(38));
    QCOMPARE(c.vars.rq7_to_vars(), FT_STATUS(FT_OK));
    for (int_index i : {i_main_mode, i_aux_mode, i_gpo1_mode, i_gpo2_mode, i_gpi1_mode,
                        i_gpi1_request, i_gpi2_mode, i_gpi2_request, i_gpi1_act_delay,
                        i_gpi1_deact_delay, i_gpi2_act_delay, i_gpi2_deact_delay})
        c.vars.add_field_to_var(c.vars.ints[i], i);
    c.f.unit->set_mode_block(rq7_sim_unit::factory_mode_block());
    c.f.unit->clear_received_frames();
    QCOMPARE(c.vars.vars_to_rq7(), FT_STATUS(FT_OK));
    const QList<QByteArray> sent = frames_of_type(c.f, msg_write_io_modes);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(frame_payload(sent.at(0)).toHex(), modes.mid(20, 18).toHex());
    QCOMPARE(c.f.unit->received_frames().size(), 1);
    QCOMPARE(c.f.unit->mode_block().mid(20).toHex(), modes.mid(20, 18).toHex());
}

void test_rq7_vars_unit::map_cal_messages()
{
    connected c;
    QCOMPARE(c.vars.rq7_to_vars(), FT_STATUS(FT_OK));
    c.vars.add_field_to_var(16500u, i_base_slope);
    c.vars.add_field_to_var(222000u, i_base_intercept);
    c.vars.add_field_to_var(224u, i_base_atmospheric);
    c.vars.add_field_to_var(16400u, i_active_slope);
    c.vars.add_field_to_var(229312u, i_active_intercept);
    c.vars.add_field_to_var(230u, i_active_atmospheric);
    c.vars.add_field_to_var(49u, i_active_deadband);
    QCOMPARE(c.vars.vars_to_rq7(), FT_STATUS(FT_OK));
    QCOMPARE(frame_payload(frames_of_type(c.f, msg_write_base_map_cal).at(0)).toHex(),
             QByteArray("00004074000363300"
                        "0e0"));
    QCOMPARE(frame_payload(frames_of_type(c.f, msg_write_active_map_cal).at(0)).toHex(),
             QByteArray("0000401000037fc000e60031"));
}

void test_rq7_vars_unit::incomplete_groups_are_refused_data()
{
    QTest::addColumn<QList<int>>("queued");
    QTest::addColumn<QString>("message");
    QTest::newRow("IO modes without GPI2 deact delay")
        << QList<int>{13, 14, 15, 16, 17, 18, 19, 20, 35, 36, 37}
        << "Do not have all the values needed when setting the IO modes";
    QTest::newRow("base MAP cal without intercept")
        << QList<int>{21, 23} << "Do not have all the values needed when setting the base MAP cal";
    QTest::newRow("active MAP cal without atmospheric")
        << QList<int>{24, 25, 27}
        << "Do not have all the values needed when setting the active MAP cal";
}

void test_rq7_vars_unit::incomplete_groups_are_refused()
{
    QFETCH(QList<int>, queued);
    QFETCH(QString, message);
    connected c;
    QCOMPARE(c.vars.rq7_to_vars(), FT_STATUS(FT_OK));
    for (int i : queued)
        c.vars.add_field_to_var(c.vars.ints[i], int_index(i));
    c.f.unit->clear_received_frames();
    log_capture log;
    QCOMPARE(c.vars.vars_to_rq7(), FT_STATUS(FT_OK));
    QCOMPARE(log.count(message, QtCriticalMsg), 1);
    QVERIFY(c.f.unit->received_frames().isEmpty());
    QVERIFY(c.vars.changed_ints.isEmpty());
}

void test_rq7_vars_unit::nothing_is_sent_before_initialisation()
{
    connected c;
    rq7_vars vars(&c.worker);
    vars.changed_ints.insert(i_rpm_scaler);
    log_capture log;
    QCOMPARE(vars.vars_to_rq7(), FT_STATUS(FT_OTHER_ERROR));
    QVERIFY(log.contains("Internal error: vars were not initialized prior to trying to write to "
                         "the device",
                         QtCriticalMsg));
    QVERIFY(c.f.unit->received_frames().isEmpty());
    QCOMPARE(vars.changed_ints.size(), 1);
}

void test_rq7_vars_unit::failures_are_ored_and_sets_emptied()
{
    connected c;
    QCOMPARE(c.vars.rq7_to_vars(), FT_STATUS(FT_OK));
    c.vars.add_field_to_var(altered_record(0), t_aux);
    c.vars.add_field_to_var(3u, i_rpm_scaler);
    c.vars.add_field_to_var(26u, i_pump_prime_delay);
    c.f.unit->fault_wrong_ack(5);                // tables go first: refused five times, 4
    c.f.unit->fault_ignore_type(msg_write_int0); // times out: 18
    log_capture log;
    QCOMPARE(c.vars.vars_to_rq7(), FT_STATUS(FT_OTHER_ERROR | FT_IO_ERROR));
    QVERIFY(log.contains("Could not set AUX duty table 0", QtWarningMsg));
    QVERIFY(log.contains("Could not set RPM scaler 0", QtWarningMsg));
    QCOMPARE(log.count("Could not set"), 2);
    QCOMPARE(c.f.unit->pump_prime_delay(), quint16(26)); // the rest still went out
    QVERIFY(c.vars.changed_tables.isEmpty());
    QVERIFY(c.vars.changed_ints.isEmpty());

    // Emptied sets mean a repeated write sends nothing.
    c.f.unit->clear_faults();
    c.f.unit->clear_received_frames();
    QCOMPARE(c.vars.vars_to_rq7(), FT_STATUS(FT_OK));
    QVERIFY(c.f.unit->received_frames().isEmpty());
}

void test_rq7_vars_unit::items_that_never_go_to_the_unit()
{
    connected c;
    QCOMPARE(c.vars.rq7_to_vars(), FT_STATUS(FT_OK));
    c.vars.add_field_to_var(QByteArray(640, 0), t_afr);
    c.vars.add_field_to_var(9u, i_boost_step);
    c.vars.add_field_to_var(1u, i_variant);
    c.vars.add_field_to_var(2u, i_min_boost);
    c.vars.add_field_to_var(adc_trim{false, 9}, a_map);
    c.f.unit->clear_received_frames();
    log_capture log;
    QCOMPARE(c.vars.vars_to_rq7(), FT_STATUS(FT_OK));
    QVERIFY(c.f.unit->received_frames().isEmpty());
    QVERIFY(log.contains("Tables set not implemented for Air Fuel Ratio table 5", QtWarningMsg));
    QVERIFY(log.contains("Ints set not implemented for boost step 2", QtWarningMsg));
    QVERIFY(log.contains("ADC trims set not implemented for MAP trim 1", QtWarningMsg));
    QCOMPARE(log.count("not implemented"), 3);
    QVERIFY(c.vars.changed_trims.isEmpty());
}

QTEST_GUILESS_MAIN(test_rq7_vars_unit)
#include "test_rq7_vars_unit.moc"
