// SPDX-License-Identifier: GPL-3.0-or-later
// The D2XX calls against the simulated bridge and unit, as the worker will make them.
#include "rq7_engine_model.h"
#include "rq7_protocol.h"
#include "sim_backend.h"

#include <QElapsedTimer>
#include <QThread>
#include <QtTest>

#include <vector>

using namespace rq7_protocol;

namespace {

struct opened
{
    std::shared_ptr<sim_backend> sim;
    std::shared_ptr<rq7_sim_unit> unit;
    FT_HANDLE handle = nullptr;
};

opened open_one_unit()
{
    opened o;
    o.sim = std::make_shared<sim_backend>();
    o.unit = o.sim->attach_unit();
    d2xx_install_backend(o.sim);
    char serial[] = "RQ7SIM01";
    if (FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &o.handle) != FT_OK)
        o.handle = nullptr;
    FT_SetTimeouts(o.handle, 1000, 1000);
    return o;
}

FT_STATUS write_all(FT_HANDLE handle, QByteArray bytes)
{
    DWORD written = 0;
    FT_STATUS status = FT_Write(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written);
    return status == FT_OK && written == DWORD(bytes.size()) ? FT_OK : FT_IO_ERROR;
}

/// Waits (up to a second) for `count` bytes and reads them.
QByteArray read_reply(FT_HANDLE handle, int count)
{
    QElapsedTimer timer;
    timer.start();
    DWORD waiting = 0;
    while (FT_GetQueueStatus(handle, &waiting) == FT_OK && waiting < DWORD(count) &&
           timer.elapsed() < 1000)
        QThread::msleep(1);
    QByteArray buffer(count, 0);
    DWORD got = 0;
    FT_Read(handle, buffer.data(), static_cast<DWORD>(count), &got);
    buffer.resize(static_cast<int>(got));
    return buffer;
}

QByteArray request_param(FT_HANDLE handle, quint8 id)
{
    write_all(handle, read_request(id));
    const int size = reply_data_size(id);
    return read_reply(handle, 3 + size);
}

} // namespace

class test_sim_backend : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { d2xx_install_backend(nullptr); }

    void enumeration_lists_attached_devices();
    void enumeration_failure_is_reported();
    void open_by_serial();
    void reply_arrives_after_the_link_delay();
    void parameter_reads_are_answered_byte_exact_data();
    void parameter_reads_are_answered_byte_exact();
    void tables_carry_a_valid_check_byte();
    void typed_write_is_acknowledged_and_kept();
    void read_returns_fewer_bytes_at_the_time_out();
    void purge_empties_the_receive_queue();
    void noise_and_corrupted_frames_get_no_answer();
    void fault_switches();
    void removed_device_fails_every_call();
    void call_faults();
    void bootloader_ignores_application_requests();
    void change_listener_hears_plug_and_unplug();
    void live_stream_runs_between_start_and_stop();
    void live_frames_follow_the_tables_and_overrides();
    void live_stream_faults();
};

void test_sim_backend::enumeration_lists_attached_devices()
{
    auto sim = std::make_shared<sim_backend>();
    d2xx_install_backend(sim);
    DWORD count = 99;
    QCOMPARE(FT_CreateDeviceInfoList(&count), FT_STATUS(FT_OK));
    QCOMPARE(count, DWORD(0));

    sim->attach_foreign_device("FT0001", "USB Serial Converter");
    sim->attach_unit("RQ7A");
    sim->attach_unit("RQ7B");
    QCOMPARE(FT_CreateDeviceInfoList(&count), FT_STATUS(FT_OK));
    QCOMPARE(count, DWORD(3));
    std::vector<FT_DEVICE_LIST_INFO_NODE> list(count);
    QCOMPARE(FT_GetDeviceInfoList(list.data(), &count), FT_STATUS(FT_OK));
    QCOMPARE(QByteArray(list[0].Description), QByteArray("USB Serial Converter"));
    QCOMPARE(QByteArray(list[1].Description), QByteArray("MERIX 3"));
    QCOMPARE(QByteArray(list[1].SerialNumber), QByteArray("RQ7A"));
    QCOMPARE(QByteArray(list[2].SerialNumber), QByteArray("RQ7B"));
    QVERIFY(list[2].ftHandle == nullptr);
    QCOMPARE(list[2].Flags, ULONG(0));
}

void test_sim_backend::enumeration_failure_is_reported()
{
    auto sim = std::make_shared<sim_backend>();
    sim->attach_unit();
    d2xx_install_backend(sim);
    sim->fail_enumeration(FT_OTHER_ERROR);
    DWORD count = 0;
    QCOMPARE(FT_CreateDeviceInfoList(&count), FT_STATUS(FT_OTHER_ERROR));
    sim->fail_enumeration(FT_OK);
    QCOMPARE(FT_CreateDeviceInfoList(&count), FT_STATUS(FT_OK));
    QCOMPARE(count, DWORD(1));
}

void test_sim_backend::open_by_serial()
{
    auto sim = std::make_shared<sim_backend>();
    sim->attach_unit("RQ7A");
    d2xx_install_backend(sim);
    FT_HANDLE handle = nullptr;
    char wrong[] = "NOPE";
    QCOMPARE(FT_OpenEx(wrong, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_STATUS(FT_DEVICE_NOT_FOUND));
    char serial[] = "RQ7A";
    QCOMPARE(FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_STATUS(FT_OK));
    QVERIFY(handle);
    FT_HANDLE second = nullptr;
    QVERIFY(FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &second) != FT_OK);
    QCOMPARE(FT_SetTimeouts(handle, 1000, 1000), FT_STATUS(FT_OK));
    QCOMPARE(FT_SetLatencyTimer(handle, 2), FT_STATUS(FT_OK));
    QCOMPARE(sim->read_timeout_ms("RQ7A"), ULONG(1000));
    QCOMPARE(sim->latency_ms("RQ7A"), UCHAR(2));

    DWORD count = 1;
    FT_DEVICE_LIST_INFO_NODE node;
    QCOMPARE(FT_GetDeviceInfoList(&node, &count), FT_STATUS(FT_OK));
    QCOMPARE(node.Flags, ULONG(FT_FLAGS_OPENED));
    QCOMPARE(FT_Close(handle), FT_STATUS(FT_OK));
    DWORD rx = 0;
    QCOMPARE(FT_GetQueueStatus(handle, &rx), FT_STATUS(FT_INVALID_HANDLE));
    QCOMPARE(FT_GetQueueStatus(nullptr, &rx), FT_STATUS(FT_INVALID_HANDLE));
}

void test_sim_backend::reply_arrives_after_the_link_delay()
{
    opened o = open_one_unit();
    o.unit->set_link_delay(std::chrono::milliseconds(30));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(write_all(o.handle, fixed_frame(frame_read_fw_version)), FT_STATUS(FT_OK));
    DWORD waiting = 0;
    QCOMPARE(FT_GetQueueStatus(o.handle, &waiting), FT_STATUS(FT_OK));
    QCOMPARE(waiting, DWORD(0));
    const QByteArray reply = read_reply(o.handle, 5);
    QVERIFY(timer.elapsed() >= 29);
    QCOMPARE(reply.toHex(), QByteArray("3c05fa0201"));
}

void test_sim_backend::parameter_reads_are_answered_byte_exact_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("fw version") << 0xB6 << QByteArray::fromHex("3C05FA0201");
    QTest::newRow("variant") << 0xC1 << QByteArray::fromHex("3C05FAAA");
    QTest::newRow("gpi1") << 0xB3 << QByteArray::fromHex("3C05FA00");
    QTest::newRow("rpm scaler") << 0xB8 << QByteArray::fromHex("3C05FA010000");
    QTest::newRow("pump prime") << 0xBB << QByteArray::fromHex("3C05FA0000");
    QTest::newRow("map sensor") << 0xA2 << QByteArray::fromHex("3C05FA00DF");
    QTest::newRow("reset") << 0xB7 << QByteArray::fromHex("3C05FA");
    QTest::newRow("mode block") << 0xBD
                                << QByteArray::fromHex("3C05FA" + QByteArray(36, '0') +
                                                       "ABBAA1B1D0E0500000500000FFFFFFFFFFFFFFFF");
    QTest::newRow("map cal") << 0xBF
                             << QByteArray::fromHex("3C05FA00003EFA00036468"
                                                    "00DF00003EFA0003646800DF0030ABBA00000000");
}

void test_sim_backend::parameter_reads_are_answered_byte_exact()
{
    QFETCH(int, id);
    QFETCH(QByteArray, reply);
    opened o = open_one_unit();
    QCOMPARE(request_param(o.handle, static_cast<quint8>(id)).toHex(), reply.toHex());
    QCOMPARE(o.unit->received_frames(), QList<QByteArray>{read_request(static_cast<quint8>(id))});
}

void test_sim_backend::tables_carry_a_valid_check_byte()
{
    opened o = open_one_unit();
    for (int n = 0; n < 4; ++n) {
        const QByteArray reply = request_param(o.handle, static_cast<quint8>(param_aux_table + n));
        QCOMPARE(reply.size(), 643);
        QVERIFY(is_read_reply(reply));
        const QByteArray record = reply.mid(3);
        QCOMPARE(xor_of(record, 0, 639), quint8(record.at(639)));
        QCOMPARE(quint8(record.at(608)), quint8(0xCC));
        QCOMPARE(quint8(record.at(638)), quint8(0xA1));
    }
}

void test_sim_backend::typed_write_is_acknowledged_and_kept()
{
    opened o = open_one_unit();
    write_all(o.handle, build_frame(msg_write_int0, QByteArray::fromHex("AA0CA60000")));
    QCOMPARE(read_reply(o.handle, 3).toHex(), QByteArray("3c0ef1"));
    QCOMPARE(o.unit->rpm_scaler(), quint8(12));

    write_all(o.handle, build_frame(msg_write_int1, QByteArray::fromHex("012322")));
    QCOMPARE(read_reply(o.handle, 3).toHex(), QByteArray("3c07f8"));
    QCOMPARE(request_param(o.handle, param_pump_prime_delay).toHex(), QByteArray("3c05fa0123"));

    QByteArray table = rq7_sim_unit::factory_table(3);
    table[0] = '\x03';
    write_all(o.handle, build_frame(msg_write_gpo2_table, table));
    QCOMPARE(read_reply(o.handle, 3).toHex(), QByteArray("3c0df2"));
    QCOMPARE(request_param(o.handle, param_gpo2_table).mid(3), table);

    // The stop request is not acknowledged.
    write_all(o.handle, fixed_frame(frame_stop_live_data));
    QThread::msleep(10);
    DWORD waiting = 1;
    FT_GetQueueStatus(o.handle, &waiting);
    QCOMPARE(waiting, DWORD(0));
}

void test_sim_backend::read_returns_fewer_bytes_at_the_time_out()
{
    opened o = open_one_unit();
    FT_SetTimeouts(o.handle, 50, 50);
    write_all(o.handle, fixed_frame(frame_read_fw_version));
    QByteArray buffer(10, 0);
    DWORD got = 0;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(FT_Read(o.handle, buffer.data(), 10, &got), FT_STATUS(FT_OK));
    QVERIFY(timer.elapsed() >= 45);
    QCOMPARE(got, DWORD(5));
}

void test_sim_backend::purge_empties_the_receive_queue()
{
    opened o = open_one_unit();
    write_all(o.handle, fixed_frame(frame_read_fw_version));
    QThread::msleep(10);
    DWORD rx = 0, tx = 1, events = 1;
    QCOMPARE(FT_GetStatus(o.handle, &rx, &tx, &events), FT_STATUS(FT_OK));
    QCOMPARE(rx, DWORD(5));
    QCOMPARE(tx, DWORD(0));
    QCOMPARE(FT_Purge(o.handle, FT_PURGE_RX | FT_PURGE_TX), FT_STATUS(FT_OK));
    QCOMPARE(FT_GetQueueStatus(o.handle, &rx), FT_STATUS(FT_OK));
    QCOMPARE(rx, DWORD(0));
    QCOMPARE(o.sim->purge_count(), 1);
}

void test_sim_backend::noise_and_corrupted_frames_get_no_answer()
{
    opened o = open_one_unit();
    QByteArray corrupted = fixed_frame(frame_read_fw_version);
    corrupted[5] = static_cast<char>(corrupted.at(5) ^ 0x40);
    write_all(o.handle, QByteArray::fromHex("0011FF") + corrupted);
    QThread::msleep(10);
    DWORD waiting = 1;
    FT_GetQueueStatus(o.handle, &waiting);
    QCOMPARE(waiting, DWORD(0));
    // The unit still understands the next good request, split over two writes.
    const QByteArray good = fixed_frame(frame_read_variant);
    write_all(o.handle, good.left(2));
    write_all(o.handle, good.mid(2));
    QCOMPARE(read_reply(o.handle, 4).toHex(), QByteArray("3c05faaa"));
}

void test_sim_backend::fault_switches()
{
    opened o = open_one_unit();
    o.unit->fault_no_reply(1);
    write_all(o.handle, fixed_frame(frame_read_fw_version));
    QThread::msleep(10);
    DWORD waiting = 1;
    FT_GetQueueStatus(o.handle, &waiting);
    QCOMPARE(waiting, DWORD(0));
    QCOMPARE(request_param(o.handle, param_fw_version).toHex(), QByteArray("3c05fa0201"));

    o.unit->fault_wrong_ack(2);
    for (int attempt = 0; attempt < 3; ++attempt) {
        write_all(o.handle, build_frame(msg_reset_override, QByteArray(1, 1)));
        const QByteArray ack = read_reply(o.handle, 3);
        QCOMPARE(is_ack(ack, msg_reset_override), attempt == 2);
    }

    o.unit->fault_wrong_read_header(1);
    QCOMPARE(request_param(o.handle, param_fw_version).toHex(), QByteArray("3c05fb0201"));

    o.unit->fault_bad_table_check(1);
    QByteArray record = request_param(o.handle, param_main_table).mid(3);
    QVERIFY(xor_of(record, 0, 639) != quint8(record.at(639)));
    record = request_param(o.handle, param_main_table).mid(3);
    QCOMPARE(xor_of(record, 0, 639), quint8(record.at(639)));

    o.unit->fault_bad_mode_marker(1);
    QVERIFY(request_param(o.handle, param_mode_block).mid(3 + 18, 2) != QByteArray("\xAB\xBA"));
    o.unit->fault_bad_map_cal_marker(1);
    QVERIFY(request_param(o.handle, param_map_cal_block).mid(3 + 22, 2) != QByteArray("\xAB\xBA"));

    o.sim->short_next_reads(1);
    write_all(o.handle, fixed_frame(frame_read_fw_version));
    QCOMPARE(read_reply(o.handle, 5).size(), 4);
    FT_Purge(o.handle, FT_PURGE_RX | FT_PURGE_TX);

    o.sim->short_next_writes(1);
    QByteArray frame = fixed_frame(frame_read_fw_version);
    DWORD written = 0;
    QCOMPARE(FT_Write(o.handle, frame.data(), 6, &written), FT_STATUS(FT_OK));
    QCOMPARE(written, DWORD(5));
}

void test_sim_backend::removed_device_fails_every_call()
{
    opened o = open_one_unit();
    o.sim->attach_foreign_device("OTHER", "USB Serial Converter");
    o.sim->detach("OTHER");
    DWORD rx = 0, tx = 0, events = 0;
    QCOMPARE(FT_GetStatus(o.handle, &rx, &tx, &events), FT_STATUS(FT_OK));

    o.sim->detach("RQ7SIM01");
    QVERIFY(FT_GetStatus(o.handle, &rx, &tx, &events) != FT_OK);
    QVERIFY(FT_GetQueueStatus(o.handle, &rx) != FT_OK);
    QVERIFY(FT_Purge(o.handle, 3) != FT_OK);
    DWORD count = 5;
    QCOMPARE(FT_CreateDeviceInfoList(&count), FT_STATUS(FT_OK));
    QCOMPARE(count, DWORD(0));
    QCOMPARE(FT_Close(o.handle), FT_STATUS(FT_OK));
}

void test_sim_backend::call_faults()
{
    opened o = open_one_unit();
    o.sim->fail_next(sim_backend::call::purge, FT_IO_ERROR);
    QCOMPARE(FT_Purge(o.handle, 3), FT_STATUS(FT_IO_ERROR));
    QCOMPARE(FT_Purge(o.handle, 3), FT_STATUS(FT_OK));

    o.sim->fail_next(sim_backend::call::get_queue_status, FT_IO_ERROR, -1);
    DWORD rx = 0;
    QCOMPARE(FT_GetQueueStatus(o.handle, &rx), FT_STATUS(FT_IO_ERROR));
    QCOMPARE(FT_GetQueueStatus(o.handle, &rx), FT_STATUS(FT_IO_ERROR));
    o.sim->clear_faults();
    QCOMPARE(FT_GetQueueStatus(o.handle, &rx), FT_STATUS(FT_OK));
}

void test_sim_backend::bootloader_ignores_application_requests()
{
    opened o = open_one_unit();
    o.unit->set_bootloader(true);
    write_all(o.handle, fixed_frame(frame_read_fw_version));
    QThread::msleep(10);
    DWORD waiting = 1;
    FT_GetQueueStatus(o.handle, &waiting);
    QCOMPARE(waiting, DWORD(0));
}

void test_sim_backend::change_listener_hears_plug_and_unplug()
{
    sim_backend sim;
    QList<unsigned int> codes;
    sim.set_change_listener([&codes](unsigned int code) { codes << code; });
    sim.attach_unit();
    sim.detach("RQ7SIM01");
    QCOMPARE(codes, (QList<unsigned int>{0x8000, 0x8004}));
}

void test_sim_backend::live_stream_runs_between_start_and_stop()
{
    opened o = open_one_unit();
    write_all(o.handle, build_frame(msg_live_data, QByteArray(1, '\x55')));
    QCOMPARE(read_reply(o.handle, 3).toHex(), QByteArray("3c13ec"));
    QVERIFY(o.unit->streaming());
    QElapsedTimer timer;
    timer.start();
    const QByteArray frames = read_reply(o.handle, 70 * 20);
    const qint64 elapsed = timer.elapsed();
    QCOMPARE(frames.size(), 70 * 20);
    for (int n = 0; n < 20; ++n)
        QCOMPARE(frames.mid(70 * n + 68, 2).toHex(), QByteArray("aabb"));
    QVERIFY2(elapsed >= 240 && elapsed < 1000, qPrintable(QString::number(elapsed))); // ~263 ms

    write_all(o.handle, fixed_frame(frame_stop_live_data));
    QThread::msleep(30);
    FT_Purge(o.handle, FT_PURGE_RX | FT_PURGE_TX);
    QVERIFY(!o.unit->streaming());
    QThread::msleep(40);
    DWORD waiting = 1;
    FT_GetQueueStatus(o.handle, &waiting);
    QCOMPARE(waiting, DWORD(0));
}

void test_sim_backend::live_frames_follow_the_tables_and_overrides()
{
    QByteArray full = rq7_sim_unit::factory_table(2);
    for (int cell = 0; cell < 256; ++cell) {
        full[2 * cell] = 0x03;
        full[2 * cell + 1] = static_cast<char>(0xFF);
    }
    full[639] = static_cast<char>(xor_of(full, 0, 639));
    QCOMPARE(rq7_engine_model::table_duty(full, 3000, 300), quint16(1023));
    QCOMPARE(rq7_engine_model::table_duty(rq7_sim_unit::factory_table(3), 3000, 300), quint16(0));

    opened o = open_one_unit();
    o.unit->set_table(2, full);
    write_all(o.handle, build_frame(msg_set_override_gpo2, QByteArray::fromHex("0200")));
    QCOMPARE(read_reply(o.handle, 3).toHex(), QByteArray("3c06f9"));
    write_all(o.handle, build_frame(msg_live_data, QByteArray(1, '\x55')));
    read_reply(o.handle, 3);
    const QByteArray frame = read_reply(o.handle, 70);
    QCOMPARE(quint8(frame.at(20)) << 8 | quint8(frame.at(21)), 1023); // GPO1 from its table
    QCOMPARE(quint8(frame.at(28)) << 8 | quint8(frame.at(29)), 512);  // GPO2 overridden
    const int rpm = quint8(frame.at(14)) << 8 | quint8(frame.at(15));
    QVERIFY(rpm >= 800 && rpm <= 7300);
}

void test_sim_backend::live_stream_faults()
{
    opened o = open_one_unit();
    o.unit->fault_bad_stream_marker(1);
    write_all(o.handle, build_frame(msg_live_data, QByteArray(1, '\x55')));
    read_reply(o.handle, 3);
    const QByteArray two = read_reply(o.handle, 140);
    QCOMPARE(two.mid(68, 2).toHex(), QByteArray("aaba"));
    QCOMPARE(two.mid(138, 2).toHex(), QByteArray("aabb"));

    o.unit->fault_stream_burst(4);
    DWORD waiting = 0;
    QElapsedTimer timer;
    timer.start();
    // Frames already on their way may still come in; then four arrive at once.
    QByteArray seen;
    while (timer.elapsed() < 1000) {
        FT_GetQueueStatus(o.handle, &waiting);
        if (waiting >= 70 * 3)
            break;
        if (waiting >= 70) {
            QByteArray one(70, 0);
            DWORD got = 0;
            FT_Read(o.handle, one.data(), 70, &got);
        }
        QThread::msleep(1);
    }
    QVERIFY(waiting >= 70 * 3);
}

QTEST_GUILESS_MAIN(test_sim_backend)
#include "test_sim_backend.moc"
