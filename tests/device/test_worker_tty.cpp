// SPDX-License-Identifier: GPL-3.0-or-later
// The worker over the real tty path: the simulated unit sits behind a pseudo-terminal and the
// worker reaches it through the tty backend, as it would reach /dev/ttyUSB0.
#include "rq7_vars.h"
#include "rq7_worker.h"
#include "sim_pty.h"
#include "thread_spy.h"
#include "tty_backend.h"

#include <QtTest>

using namespace rq7_protocol;

class test_worker_tty : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void opens_reads_and_writes_through_the_tty();
    void unplugging_closes_the_link();

private:
    std::shared_ptr<rq7_sim_unit> unit;
    std::unique_ptr<sim_pty> pty;
};

void test_worker_tty::init()
{
    unit = std::make_shared<rq7_sim_unit>();
    pty = std::make_unique<sim_pty>(unit);
    QVERIFY(pty->start());
    d2xx_install_backend(
        std::make_shared<tty_backend>("/nonexistent-sys", "/dev", pty->slave_path()));
}

void test_worker_tty::cleanup()
{
    d2xx_install_backend(nullptr);
    pty.reset();
}

void test_worker_tty::opens_reads_and_writes_through_the_tty()
{
    rq7_worker worker;
    thread_spy opened(&worker, &rq7_worker::opened);
    worker.open();
    QCOMPARE(opened.count(), 1);
    QCOMPARE(opened.at(0).at(1).value<quint16>(), quint16(0x0201));
    QCOMPARE(opened.at(0).at(2).value<rq7_variant>(), variant_nvs);

    unit->clear_received_frames();
    QByteArray request = fixed_frame(frame_read_fw_version);
    QByteArray reply;
    QCOMPARE(worker.get_param(request, reply, 2), FT_STATUS(FT_OK));
    QCOMPARE(reply.toHex(), QByteArray("0201"));

    QByteArray payload = QByteArray::fromHex("012322");
    QCOMPARE(worker.set_param(msg_write_int1, payload), FT_STATUS(FT_OK));
    QCOMPARE(unit->received_frames().last().toHex(), QByteArray("c3070003012322c7"));
    QCOMPARE(unit->pump_prime_delay(), quint16(0x0123));

    // A whole read of the unit's settings, tables with 0x11 and 0x13 in them included.
    QByteArray table = rq7_sim_unit::factory_table(1);
    table[0] = 0x11;
    table[1] = 0x13;
    table[639] = static_cast<char>(xor_of(table, 0, 639));
    unit->set_table(1, table);
    rq7_vars vars(&worker);
    QCOMPARE(vars.rq7_to_vars(), FT_STATUS(FT_OK));
    QCOMPARE(vars.tables[t_main], table);
}

void test_worker_tty::unplugging_closes_the_link()
{
    rq7_worker worker;
    worker.open();
    thread_spy closed(&worker, &rq7_worker::closed);
    pty->stop();
    worker.smart_reconnect(0x8004);
    QCOMPARE(closed.count(), 1);
}

QTEST_GUILESS_MAIN(test_worker_tty)
#include "test_worker_tty.moc"
