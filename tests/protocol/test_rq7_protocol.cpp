// SPDX-License-Identifier: GPL-3.0-or-later
#include "rq7_protocol.h"

#include <QtTest>

using namespace rq7_protocol;

class test_rq7_protocol : public QObject
{
    Q_OBJECT

private slots:
    void build_frame_data();
    void build_frame();
    void fixed_frames_are_well_formed_data();
    void fixed_frames_are_well_formed();
    void long_payload_uses_high_length_byte();
    void acknowledgements_data();
    void acknowledgements();
    void read_reply_header();
    void reply_sizes();
};

void test_rq7_protocol::build_frame_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("read firmware version")
        << int(msg_read_param) << QByteArray::fromHex("B6") << QByteArray::fromHex("C3050001B671");
    QTest::newRow("stop live data")
        << int(msg_live_data) << QByteArray(1, '\0') << QByteArray::fromHex("C313000100D1");
    QTest::newRow("start live data")
        << int(msg_live_data) << QByteArray::fromHex("55") << QByteArray::fromHex("C31300015584");
    QTest::newRow("empty payload") << 0x08 << QByteArray() << QByteArray::fromHex("C3080000CB");
}

void test_rq7_protocol::build_frame()
{
    QFETCH(int, type);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, frame);
    QCOMPARE(rq7_protocol::build_frame(static_cast<quint8>(type), payload).toHex(), frame.toHex());
}

void test_rq7_protocol::fixed_frames_are_well_formed_data()
{
    QTest::addColumn<QByteArray>("hex");
    QTest::addColumn<int>("id");
    QTest::newRow("fw version") << QByteArray(frame_read_fw_version) << 0xB6;
    QTest::newRow("variant") << QByteArray(frame_read_variant) << 0xC1;
    QTest::newRow("reset") << QByteArray(frame_reset) << 0xB7;
    QTest::newRow("bootloader") << QByteArray(frame_reset_to_bootloader) << 0xC0;
    QTest::newRow("map sensor") << QByteArray(frame_read_map_sensor) << 0xA2;
    QTest::newRow("gpi1") << QByteArray(frame_read_gpi1_state) << 0xB3;
    QTest::newRow("gpi2") << QByteArray(frame_read_gpi2_state) << 0xB4;
    QTest::newRow("rpm scaler") << QByteArray(frame_read_rpm_scaler) << 0xB8;
    QTest::newRow("pump prime") << QByteArray(frame_read_pump_prime_delay) << 0xBB;
    QTest::newRow("mode block") << QByteArray(frame_read_mode_block) << 0xBD;
    QTest::newRow("map cal") << QByteArray(frame_read_map_cal_block) << 0xBF;
    QTest::newRow("aux table") << QByteArray(frame_read_aux_table) << 0xA8;
}

void test_rq7_protocol::fixed_frames_are_well_formed()
{
    QFETCH(QByteArray, hex);
    QFETCH(int, id);
    QCOMPARE(fixed_frame(hex.constData()).toHex(), read_request(static_cast<quint8>(id)).toHex());
}

void test_rq7_protocol::long_payload_uses_high_length_byte()
{
    const QByteArray payload(640, '\x11');
    const QByteArray frame = rq7_protocol::build_frame(msg_write_main_table, payload);
    QCOMPARE(frame.size(), 645);
    QCOMPARE(frame.mid(2, 2).toHex(), QByteArray("0280"));
    QCOMPARE(quint8(frame.back()), xor_of(frame, 0, frame.size() - 1));
}

void test_rq7_protocol::acknowledgements_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("right") << QByteArray::fromHex("3C15EA") << true;
    QTest::newRow("right with more bytes behind") << QByteArray::fromHex("3C15EA00") << true;
    QTest::newRow("other type") << QByteArray::fromHex("3C16E9") << false;
    QTest::newRow("wrong complement") << QByteArray::fromHex("3C1515") << false;
    QTest::newRow("wrong lead byte") << QByteArray::fromHex("3D15EA") << false;
    QTest::newRow("too short") << QByteArray::fromHex("3C15") << false;
}

void test_rq7_protocol::acknowledgements()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, accepted);
    QCOMPARE(is_ack(reply, msg_write_io_modes), accepted);
    QCOMPARE(ack_for(msg_write_io_modes).toHex(), QByteArray("3c15ea"));
}

void test_rq7_protocol::read_reply_header()
{
    QVERIFY(is_read_reply(QByteArray::fromHex("3C05FA0201")));
    QVERIFY(!is_read_reply(QByteArray::fromHex("3C05FB0201")));
    QVERIFY(!is_read_reply(QByteArray::fromHex("3C06F9")));
}

void test_rq7_protocol::reply_sizes()
{
    QCOMPARE(reply_data_size(param_fw_version), 2);
    QCOMPARE(reply_data_size(param_gpo2_table), 640);
    QCOMPARE(reply_data_size(param_mode_block), 38);
    QCOMPARE(reply_data_size(param_map_cal_block), 28);
    QCOMPARE(reply_data_size(param_reset), 0);
    QCOMPARE(reply_data_size(0x00), -1);
}

QTEST_APPLESS_MAIN(test_rq7_protocol)
#include "test_rq7_protocol.moc"
