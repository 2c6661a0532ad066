// SPDX-License-Identifier: GPL-3.0-or-later
// The worker's link and parameter exchange against the simulated bridge and unit. The
// worker runs on the test's own thread here, so every slot runs at once.
#include "log_capture.h"
#include "rq7_worker.h"
#include "sim_fixture.h"
#include "thread_spy.h"

#include <QProcess>
#include <QtTest>

#include <functional>

using namespace rq7_protocol;
using setup = std::function<void(sim_fixture&)>;
using exchange = std::function<FT_STATUS(rq7_worker&)>;
Q_DECLARE_METATYPE(setup)
Q_DECLARE_METATYPE(exchange)

namespace {

FT_STATUS read_fw_version(rq7_worker& worker)
{
    QByteArray request = fixed_frame(frame_read_fw_version);
    QByteArray reply;
    return worker.get_param(request, reply, 2);
}

FT_STATUS write_pump_prime(rq7_worker& worker)
{
    QByteArray payload = QByteArray::fromHex("012322");
    return worker.set_param(msg_write_int1, payload);
}

int frames_of_type(const sim_fixture& f, quint8 type)
{
    int n = 0;
    for (const QByteArray& frame : f.unit->received_frames())
        n += quint8(frame.at(1)) == type ? 1 : 0;
    return n;
}

} // namespace

class test_worker_link : public QObject
{
    Q_OBJECT

private slots:
    void opens_and_identifies_the_unit();
    void no_device_or_no_unit_emits_closed_data();
    void no_device_or_no_unit_emits_closed();
    void the_last_of_two_units_is_opened();
    void listing_asks_only_the_units_bridges();
    void unit_without_variant_answer_opens_as_nv();
    void bootloader_opens_with_version_zero();
    void enumeration_failure_is_fatal();
    void device_notifications();
    void close_and_reset();
    void tracing_shows_every_transfer();
    void failures_data();
    void failures();
    void wrong_acknowledgement_is_retried();
    void missing_acknowledgement_is_not_resent();
    void header_only_reply_and_bad_header();
};

void test_worker_link::opens_and_identifies_the_unit()
{
    sim_fixture f;
    rq7_worker worker;
    thread_spy opened(&worker, &rq7_worker::opened);
    thread_spy closed(&worker, &rq7_worker::closed);
    worker.open();
    QCOMPARE(opened.count(), 1);
    QCOMPARE(closed.count(), 0);
    QCOMPARE(opened.at(0).at(0).toString(), QString("RQ7SIM01"));
    QCOMPARE(opened.at(0).at(1).value<quint16>(), quint16(0x0201));
    QCOMPARE(opened.at(0).at(2).value<rq7_variant>(), variant_nvs);
    QVERIFY(f.sim->is_open());
    QCOMPARE(f.sim->read_timeout_ms(), ULONG(1000));
    QCOMPARE(f.sim->write_timeout_ms(), ULONG(1000));
    QCOMPARE(f.sim->latency_ms(), UCHAR(2));
    // A stop request goes out first, in case the unit still streams from an earlier session.
    const QList<QByteArray> frames = f.unit->received_frames();
    QCOMPARE(frames.size(), 3);
    QCOMPARE(frames.at(0).toHex(), QByteArray("c313000100d1"));
    QCOMPARE(frames.at(1).toHex(), QByteArray("c3050001b671"));
    QCOMPARE(frames.at(2).toHex(), QByteArray("c3050001c106"));

    f.unit->set_variant_byte(0x55);
    worker.open(); // reopening passes through closed without emitting it
    QCOMPARE(opened.count(), 2);
    QCOMPARE(closed.count(), 0);
    QCOMPARE(opened.at(1).at(2).value<rq7_variant>(), variant_nv);
}

void test_worker_link::no_device_or_no_unit_emits_closed_data()
{
    QTest::addColumn<setup>("attach");
    QTest::newRow("nothing attached") << setup([](sim_fixture&) {});
    QTest::newRow("other FTDI devices") << setup([](sim_fixture& f) {
        f.sim->attach_foreign_device("FT1", "USB Serial Converter");
        f.sim->attach_foreign_device("FT2", "MERIX 3 ");
        f.sim->attach_foreign_device("FT3", "merix 3");
    });
}

void test_worker_link::no_device_or_no_unit_emits_closed()
{
    QFETCH(setup, attach);
    sim_fixture f(false);
    attach(f);
    rq7_worker worker;
    thread_spy opened(&worker, &rq7_worker::opened);
    thread_spy closed(&worker, &rq7_worker::closed);
    worker.open();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(opened.count(), 0);
}

void test_worker_link::the_last_of_two_units_is_opened()
{
    sim_fixture f(false);
    f.sim->attach_unit("RQ7A");
    f.sim->attach_foreign_device("FT9", "USB Serial Converter");
    f.sim->attach_unit("RQ7B");
    log_capture log;
    rq7_worker worker;
    thread_spy opened(&worker, &rq7_worker::opened);
    worker.open();
    QCOMPARE(opened.count(), 1);
    QCOMPARE(opened.at(0).at(0).toString(), QString("RQ7B"));
    QVERIFY(f.sim->is_open("RQ7B"));
    QVERIFY(!f.sim->is_open("RQ7A"));
    QVERIFY(log.contains("Velkaro RQ7-NVS detected:  Dev 0  Serial RQ7A"));
    QVERIFY(log.contains("Velkaro RQ7-NVS detected:  Dev 2  Serial RQ7B"));
}

void test_worker_link::listing_asks_only_the_units_bridges()
{
    sim_fixture f(false);
    f.sim->attach_foreign_device("FT1", "USB Serial Converter");
    f.sim->attach_unit("RQ7A");
    f.sim->attach_foreign_device("FT2", "MERIX 3 "); // another product, however alike
    rq7_worker worker;
    thread_spy listed(&worker, &rq7_worker::bridges_listed);
    worker.list_bridges();
    QCOMPARE(listed.count(), 1);
    const auto bridges = listed.at(0).at(0).value<QList<rq7_bridge_info>>();
    QCOMPARE(bridges.size(), 3);
    QVERIFY(bridges[1].is_unit);
    QVERIFY(!bridges[0].is_unit && !bridges[2].is_unit);
    // Other equipment is never opened, switched or written to.
    QCOMPARE(f.sim->open_count("FT1"), 0);
    QCOMPARE(f.sim->open_count("FT2"), 0);
    QCOMPARE(f.sim->open_count("RQ7A"), 1);
    QVERIFY(!f.sim->is_open("RQ7A"));
}

void test_worker_link::unit_without_variant_answer_opens_as_nv()
{
    sim_fixture f;
    f.unit->set_firmware_version(0x0167);
    f.unit->fault_ignore_param(param_variant);
    rq7_worker worker;
    thread_spy opened(&worker, &rq7_worker::opened);
    worker.open();
    QCOMPARE(opened.count(), 1);
    QCOMPARE(opened.at(0).at(1).value<quint16>(), quint16(0x0167));
    QCOMPARE(opened.at(0).at(2).value<rq7_variant>(), variant_nv);
}

void test_worker_link::bootloader_opens_with_version_zero()
{
    sim_fixture f;
    f.unit->set_bootloader(true);
    log_capture log;
    rq7_worker worker;
    thread_spy opened(&worker, &rq7_worker::opened);
    worker.open();
    QCOMPARE(opened.count(), 1);
    QCOMPARE(opened.at(0).at(1).value<quint16>(), quint16(0));
    QCOMPARE(opened.at(0).at(2).value<rq7_variant>(), variant_nv);
    QVERIFY(log.contains("Timed out waiting for FW to respond: exp_bytes=5, bytes available=0",
                         QtWarningMsg));
}

// A fatal message ends the program, so the failing enumeration runs in a child process.
void test_worker_link::enumeration_failure_is_fatal()
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--enumeration-failure-child"});
    QVERIFY(child.waitForFinished(20000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QVERIFY2(child.readAllStandardError().contains(
                 "Cannot create device info list, FTDI drivers are probably locked up"),
             "no fatal message");
}

void test_worker_link::device_notifications()
{
    sim_fixture f(false);
    rq7_worker worker;
    thread_spy opened(&worker, &rq7_worker::opened);
    thread_spy closed(&worker, &rq7_worker::closed);

    worker.smart_reconnect(0x8004); // removal while closed: the null handle fails
    QCOMPARE(closed.count(), 1);

    f.sim->attach_unit();
    worker.smart_reconnect(0x8000);
    QCOMPARE(opened.count(), 1);
    worker.smart_reconnect(0x8000); // already open: nothing
    QCOMPARE(opened.count(), 1);

    f.sim->attach_foreign_device("FT1", "USB Serial Converter");
    f.sim->detach("FT1");
    worker.smart_reconnect(0x8004); // another device went away
    QCOMPARE(closed.count(), 1);
    QVERIFY(f.sim->is_open());

    worker.smart_reconnect(0x0007); // any other code: nothing
    QCOMPARE(closed.count(), 1);

    f.sim->detach("RQ7SIM01");
    worker.smart_reconnect(0x8004);
    QCOMPARE(closed.count(), 2);
    QCOMPARE(read_fw_version(worker), FT_STATUS(FT_DEVICE_NOT_OPENED));
}

void test_worker_link::close_and_reset()
{
    sim_fixture f;
    rq7_worker worker;
    thread_spy closed(&worker, &rq7_worker::closed);
    log_capture log;

    worker.reset(); // link closed: only the first message
    QVERIFY(log.contains("Start reset"));
    QVERIFY(!log.contains("Resetting RQ7-NVS"));

    worker.open();
    worker.reset();
    QCOMPARE(f.unit->reset_count(), 1);
    QVERIFY(log.contains("Resetting FTDI"));
    QVERIFY(f.sim->is_open());
    QCOMPARE(read_fw_version(worker), FT_STATUS(FT_OK)); // the link stays open

    f.sim->fail_next(sim_backend::call::reset_device, FT_IO_ERROR);
    f.unit->fault_no_reply(1);
    worker.reset();
    QVERIFY(log.contains("Could not reset device, suggest you power-cycle the unit", QtWarningMsg));
    QVERIFY(log.contains("Could not reset the comms device, suggest you power-cycle the unit",
                         QtWarningMsg));

    f.sim->fail_next(sim_backend::call::close, FT_IO_ERROR);
    worker.close();
    QCOMPARE(closed.count(), 1);
    QVERIFY(log.contains("Cannot disconnect from device handle", QtWarningMsg));
    QCOMPARE(read_fw_version(worker), FT_STATUS(FT_DEVICE_NOT_OPENED));
}

void test_worker_link::tracing_shows_every_transfer()
{
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    worker.set_rw_debug(true);
    log_capture log;
    QCOMPARE(read_fw_version(worker), FT_STATUS(FT_OK));
    QVERIFY(log.contains("write 0xc3050001b671"));
    QVERIFY(log.contains("read  0x3c05fa0201"));

    // A read that delivers nothing is still traced, with empty hex.
    f.sim->fail_next(sim_backend::call::read, FT_IO_ERROR);
    log.clear();
    QCOMPARE(read_fw_version(worker), FT_STATUS(FT_IO_ERROR));
    QCOMPARE(log.count("read  0x"), 1);
    bool empty_hex = false;
    for (const auto& e : log.entries())
        empty_hex |= e.text == "read  0x";
    QVERIFY(empty_hex);
}

void test_worker_link::failures_data()
{
    QTest::addColumn<setup>("fault");
    QTest::addColumn<exchange>("call");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("stays_open");
    using call = sim_backend::call;

    QTest::newRow("queue status fails")
        << setup([](sim_fixture& f) { f.sim->fail_next(call::get_queue_status, FT_IO_ERROR); })
        << exchange(read_fw_version) << int(FT_IO_ERROR) << int(QtCriticalMsg)
        << "Cannot get queue status, disconnecting" << false;
    QTest::newRow("no answer")
        << setup([](sim_fixture& f) { f.unit->fault_no_reply(1); }) << exchange(read_fw_version)
        << int(FT_OTHER_ERROR) << int(QtWarningMsg)
        << "Timed out waiting for FW to respond: exp_bytes=5, bytes available=0" << true;
    QTest::newRow("read fails") << setup([](sim_fixture& f) {
        f.sim->fail_next(call::read, FT_IO_ERROR);
    }) << exchange(read_fw_version)
                                << int(FT_IO_ERROR) << int(QtCriticalMsg)
                                << "Could not read from device" << false;
    QTest::newRow("short read")
        << setup([](sim_fixture& f) { f.sim->short_next_reads(1); }) << exchange(read_fw_version)
        << int(FT_IO_ERROR) << int(QtCriticalMsg)
        << "Did not read out the expected number of bytes: exp_bytes=5, read bytes=4" << true;
    QTest::newRow("purge fails, read")
        << setup([](sim_fixture& f) { f.sim->fail_next(call::purge, FT_IO_ERROR); })
        << exchange(read_fw_version) << int(FT_IO_ERROR) << int(QtCriticalMsg)
        << "Cannot purge Rx/Tx buffers, disconnecting" << false;
    QTest::newRow("purge fails, typed")
        << setup([](sim_fixture& f) { f.sim->fail_next(call::purge, FT_IO_ERROR); })
        << exchange(write_pump_prime) << int(FT_IO_ERROR) << int(QtCriticalMsg)
        << "Cannot purge Rx/Tx buffers, disconnecting" << false;
    QTest::newRow("write fails, read")
        << setup([](sim_fixture& f) { f.sim->fail_next(call::write, FT_IO_ERROR); })
        << exchange(read_fw_version) << int(FT_IO_ERROR) << int(QtCriticalMsg)
        << "Cannot write command to device. msg=c3050001b671" << true;
    QTest::newRow("write fails, typed")
        << setup([](sim_fixture& f) { f.sim->fail_next(call::write, FT_IO_ERROR); })
        << exchange(write_pump_prime) << int(FT_IO_ERROR) << int(QtCriticalMsg)
        << "Cannot write msg c307000301" << false;
    QTest::newRow("short write, read")
        << setup([](sim_fixture& f) { f.sim->short_next_writes(1); }) << exchange(read_fw_version)
        << int(FT_IO_ERROR) << int(QtCriticalMsg) << "Could not write all data to device" << true;
    QTest::newRow("short write, typed")
        << setup([](sim_fixture& f) { f.sim->short_next_writes(1); }) << exchange(write_pump_prime)
        << int(FT_IO_ERROR) << int(QtCriticalMsg)
        << "Could not write all data to device. msg length=3  bytes sent=7" << true;
    QTest::newRow("bad read header")
        << setup([](sim_fixture& f) { f.unit->fault_wrong_read_header(1); })
        << exchange(read_fw_version) << int(FT_OTHER_ERROR) << int(QtCriticalMsg)
        << "get_param: Did not receive valid return msg header: 0x3c05fb" << true;
    QTest::newRow("bad acknowledgement five times")
        << setup([](sim_fixture& f) { f.unit->fault_wrong_ack(5); }) << exchange(write_pump_prime)
        << int(FT_IO_ERROR) << int(QtCriticalMsg)
        << "Could not write message to device, there seems to be a problem with your USB cable. "
           "Suggest you replace your USB cable with one that has a ferrite bead on the device-end "
           "(google 'ferrite bead')"
        << true;
    QTest::newRow("link closed") << setup([](sim_fixture& f) { f.sim->detach("RQ7SIM01"); })
                                 << exchange([](rq7_worker& w) {
                                        w.smart_reconnect(0x8004);
                                        return write_pump_prime(w);
                                    })
                                 << int(FT_DEVICE_NOT_OPENED) << -1 << QString() << false;
}

void test_worker_link::failures()
{
    QFETCH(setup, fault);
    QFETCH(exchange, call);
    QFETCH(int, status);
    QFETCH(int, level);
    QFETCH(QString, message);
    QFETCH(bool, stays_open);

    sim_fixture f;
    rq7_worker worker;
    worker.open();
    thread_spy closed(&worker, &rq7_worker::closed);
    fault(f);
    log_capture log;
    QCOMPARE(call(worker), FT_STATUS(status));
    if (!message.isEmpty())
        QVERIFY2(log.count(message, level) == 1, qPrintable(log.dump()));
    QCOMPARE(closed.isEmpty(), stays_open);
    QCOMPARE(f.sim->is_open(), stays_open);
    if (stays_open) {
        f.sim->clear_faults();
        f.unit->clear_faults();
        QCOMPARE(read_fw_version(worker), FT_STATUS(FT_OK));
    }
}

void test_worker_link::wrong_acknowledgement_is_retried()
{
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    f.unit->clear_received_frames();
    f.unit->fault_wrong_ack(2);
    log_capture log;
    QCOMPARE(write_pump_prime(worker), FT_STATUS(FT_OK));
    QCOMPARE(log.count("Retry successful!", QtWarningMsg), 1);
    QCOMPARE(log.count("Did not receive valid return msg header. ret=0x3c0707 exp=0x3c07f8. "
                       "Will retry...",
                       QtWarningMsg),
             2);
    QCOMPARE(frames_of_type(f, msg_write_int1), 3);
    QCOMPARE(f.unit->pump_prime_delay(), quint16(0x0123));

    f.unit->clear_received_frames();
    f.unit->fault_wrong_ack(5);
    QCOMPARE(write_pump_prime(worker), FT_STATUS(FT_IO_ERROR));
    QCOMPARE(frames_of_type(f, msg_write_int1), 5);
}

void test_worker_link::missing_acknowledgement_is_not_resent()
{
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    f.unit->clear_received_frames();
    f.unit->fault_no_reply(1);
    log_capture log;
    QByteArray payload = QByteArray::fromHex("00112233445566");
    QCOMPARE(worker.set_param(msg_write_io_modes, payload), FT_STATUS(FT_OTHER_ERROR));
    QCOMPARE(frames_of_type(f, msg_write_io_modes), 1);
    QVERIFY(log.contains("Could not get return code for msg 0011223344", QtWarningMsg));
    QVERIFY(!log.contains("0011223344556"));
}

void test_worker_link::header_only_reply_and_bad_header()
{
    sim_fixture f;
    rq7_worker worker;
    worker.open();
    QByteArray request = fixed_frame(frame_reset);
    QByteArray reply("junk");
    QCOMPARE(worker.get_param(request, reply, 0), FT_STATUS(FT_OK));
    QVERIFY(reply.isEmpty());

    f.unit->fault_wrong_read_header(1);
    request = fixed_frame(frame_read_fw_version);
    QCOMPARE(worker.get_param(request, reply, 2), FT_STATUS(FT_OTHER_ERROR));
    QVERIFY(reply.isEmpty());

    // The hex in "Could not read msg" never covers more than five bytes.
    f.unit->fault_no_reply(1);
    log_capture log;
    QCOMPARE(worker.get_param(request, reply, 2), FT_STATUS(FT_OTHER_ERROR));
    QVERIFY(log.contains("Could not read msg c3050001b6... (exp 2)", QtWarningMsg));
    QVERIFY(reply.isEmpty());
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (app.arguments().contains("--enumeration-failure-child")) {
        sim_fixture f;
        f.sim->fail_enumeration(FT_OTHER_ERROR);
        rq7_worker worker;
        worker.open();
        return 0; // not reached: the fatal message ends the process
    }
    test_worker_link test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_worker_link.moc"
