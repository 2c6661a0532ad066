// SPDX-License-Identifier: GPL-3.0-or-later
// What the simulated unit drives its outputs with: the duty tables, looked up on their
// breakpoints, unless an override holds an output.
#include "rq7_engine_model.h"
#include "rq7_protocol.h"
#include "sim_backend.h"

#include <QElapsedTimer>
#include <QThread>
#include <QtTest>

using namespace rq7_protocol;

namespace {

void put16(QByteArray& record, int at, int value)
{
    record[at] = char(value >> 8);
    record[at + 1] = char(value & 0xFF);
}

QByteArray with_check_byte(QByteArray record)
{
    record[639] = char(xor_of(record, 0, 639));
    return record;
}

/// A table record whose every cell holds `counts`.
QByteArray constant_table(int output, int counts)
{
    QByteArray record = rq7_sim_unit::factory_table(output);
    for (int cell = 0; cell < 256; ++cell)
        put16(record, 2 * cell, counts);
    return with_check_byte(record);
}

int u16_at(const QByteArray& bytes, int at)
{
    return quint8(bytes.at(at)) << 8 | quint8(bytes.at(at + 1));
}

} // namespace

class test_sim_outputs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void reset_override_returns_the_output_to_its_table_data();
    void reset_override_returns_the_output_to_its_table();
    void a_reading_on_a_breakpoint_takes_that_row();

private:
    void write(const QByteArray& frame);
    QByteArray read(int count);
    /// Sends a request and checks the unit's acknowledgement.
    void request(quint8 type, const QByteArray& payload);
    /// The first live frame after the stream starts.
    QByteArray first_live_frame();
    void stop_stream();

    std::shared_ptr<sim_backend> sim;
    std::shared_ptr<rq7_sim_unit> unit;
    FT_HANDLE handle = nullptr;
};

void test_sim_outputs::init()
{
    sim = std::make_shared<sim_backend>();
    unit = sim->attach_unit();
    d2xx_install_backend(sim);
    char serial[] = "RQ7SIM01";
    QCOMPARE(FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_STATUS(FT_OK));
    QCOMPARE(FT_SetTimeouts(handle, 1000, 1000), FT_STATUS(FT_OK));
}

void test_sim_outputs::cleanup()
{
    FT_Close(handle);
    d2xx_install_backend(nullptr);
    unit.reset();
    sim.reset();
}

void test_sim_outputs::write(const QByteArray& frame)
{
    QByteArray bytes = frame;
    DWORD written = 0;
    QCOMPARE(FT_Write(handle, bytes.data(), DWORD(bytes.size()), &written), FT_STATUS(FT_OK));
    QCOMPARE(written, DWORD(bytes.size()));
}

QByteArray test_sim_outputs::read(int count)
{
    QByteArray buffer(count, '\0');
    DWORD got = 0;
    FT_Read(handle, buffer.data(), DWORD(count), &got);
    buffer.resize(int(got));
    return buffer;
}

void test_sim_outputs::request(quint8 type, const QByteArray& payload)
{
    write(build_frame(type, payload));
    QCOMPARE(read(3), ack_for(type));
}

QByteArray test_sim_outputs::first_live_frame()
{
    request(msg_live_data, QByteArray(1, '\x55'));
    return read(70);
}

void test_sim_outputs::stop_stream()
{
    write(fixed_frame(frame_stop_live_data));
    QThread::msleep(30); // frames already on their way arrive, then nothing
    QCOMPARE(FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX), FT_STATUS(FT_OK));
}

void test_sim_outputs::reset_override_returns_the_output_to_its_table_data()
{
    QTest::addColumn<int>("set_type");
    QTest::addColumn<int>("reset_code");
    QTest::addColumn<int>("duty_at"); // in the live frame
    QTest::newRow("AUX") << int(msg_set_override_aux) << 2 << 16;
    QTest::newRow("MAIN") << int(msg_set_override_main) << 1 << 18;
    QTest::newRow("GPO1") << int(msg_set_override_gpo1) << 3 << 20;
    QTest::newRow("GPO2") << int(msg_set_override_gpo2) << 4 << 28;
}

void test_sim_outputs::reset_override_returns_the_output_to_its_table()
{
    QFETCH(int, set_type);
    QFETCH(int, reset_code);
    QFETCH(int, duty_at);
    // Every output runs a flat table of its own: its duty is the same at any speed and boost.
    const int table_duty[] = {204, 409, 613, 818};
    for (int n = 0; n < 4; ++n)
        unit->set_table(n, constant_table(n, table_duty[n]));

    request(quint8(set_type), QByteArray::fromHex("0155"));
    QCOMPARE(u16_at(first_live_frame(), duty_at), 0x155);
    stop_stream();

    request(msg_reset_override, QByteArray(1, char(reset_code)));
    const QByteArray frame = first_live_frame();
    for (int n = 0; n < 4; ++n) // all four outputs on their tables again
        QCOMPARE(u16_at(frame, QList<int>{16, 18, 20, 28}[n]), table_duty[n]);
}

void test_sim_outputs::a_reading_on_a_breakpoint_takes_that_row()
{
    // Row r (from the bottom) and column c hold 16 x r + c counts; the vertical breakpoints
    // are 200 + 40 r counts, the engine speed breakpoints 500 c RPM.
    QByteArray record = rq7_sim_unit::factory_table(1);
    for (int r = 0; r < 16; ++r) {
        for (int c = 0; c < 16; ++c)
            put16(record, 2 * (16 * r + c), 16 * r + c);
        put16(record, 512 + 2 * r, 200 + 40 * r);
        put16(record, 544 + 2 * r, 500 * r);
    }
    record = with_check_byte(record);
    for (int r = 1; r < 16; ++r) {
        const int c = 16 - r; // a column of its own for each row
        QCOMPARE(rq7_engine_model::table_duty(record, 500 * c, 200 + 40 * r), quint16(16 * r + c));
        QCOMPARE(rq7_engine_model::table_duty(record, 500 * c - 1, 200 + 40 * r - 1),
                 quint16(16 * (r - 1) + c - 1));
    }
}

QTEST_GUILESS_MAIN(test_sim_outputs)
#include "test_sim_outputs.moc"
