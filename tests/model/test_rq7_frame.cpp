// SPDX-License-Identifier: GPL-3.0-or-later
#include "log_capture.h"
#include "rq7_frame.h"

#include <QtTest>

namespace {

// A record whose every value is distinct and uses its field's full width.
QByteArray sample_record()
{
    QByteArray record(70, '\0');
    for (int i = 0; i < 68; ++i)
        record[i] = char(0x80 + i);
    record[68] = char(0xAA);
    record[69] = char(0xBB);
    return record;
}

// `count` copies of `value` joined by commas.
QString repeated(const QString& value, int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << value;
    return list.join(',');
}

QString zeros_line(int parts)
{
    return repeated("0", parts);
}

} // namespace

class test_rq7_frame : public QObject
{
    Q_OBJECT

private slots:
    void default_frame_is_zero();
    void record_decoding_data();
    void record_decoding();
    void record_gets_current_time();
    void short_record_reads_missing_bytes_as_zero();
    void csv_line_of_default_frame();
    void csv_line_is_unsigned_and_signed();
    void csv_round_trip();
    void csv_header();
    void bad_lines_data();
    void bad_lines();
    void parse_csv_on_bytes_matches_string_constructor();
};

void test_rq7_frame::default_frame_is_zero()
{
    const rq7_frame frame;
    quint32 values[rq7_frame::value_count];
    frame.to_values(values);
    QCOMPARE(frame.timestamp, 0);
    for (quint32 v : values)
        QCOMPARE(v, 0u);
}

void test_rq7_frame::record_decoding_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("column");
    QTest::addColumn<quint32>("expected");
    QTest::newRow("batt_adc 03 FF") << 0 << QByteArray::fromHex("03FF") << 0 << 1023u;
    QTest::newRow("error FF FF FF FE")
        << 41 << QByteArray::fromHex("FFFFFFFE") << 23 << 4294967294u;
    QTest::newRow("gpi1_state is one byte") << 30 << QByteArray::fromHex("01") << 15 << 1u;
    QTest::newRow("inj_pulse_width at 33") << 33 << QByteArray::fromHex("1234") << 18 << 0x1234u;
    QTest::newRow("result at 64") << 64 << QByteArray::fromHex("01020304") << 30 << 0x01020304u;
    QTest::newRow("istate_lu at 62") << 62 << QByteArray::fromHex("BEEF") << 29 << 0xBEEFu;
}

void test_rq7_frame::record_decoding()
{
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    QFETCH(int, column);
    QFETCH(quint32, expected);
    QByteArray record(70, '\0');
    record.replace(offset, bytes.size(), bytes);
    const rq7_frame frame(record, 5);
    quint32 values[rq7_frame::value_count];
    frame.to_values(values);
    QCOMPARE(values[column], expected);
    QCOMPARE(frame.timestamp, 5);
    for (int c = 0; c < rq7_frame::value_count; ++c)
        if (c != column)
            QCOMPARE(values[c], 0u);
}

void test_rq7_frame::record_gets_current_time()
{
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    const rq7_frame frame(sample_record());
    QVERIFY(frame.timestamp >= before);
    QVERIFY(frame.timestamp <= QDateTime::currentMSecsSinceEpoch());
    QCOMPARE(frame.batt_adc, quint16(0x8081));
    QCOMPARE(frame.result, 0xC0C1C2C3u);
}

void test_rq7_frame::short_record_reads_missing_bytes_as_zero()
{
    log_capture capture;
    const rq7_frame frame(QByteArray::fromHex("03FF01"), 1);
    QCOMPARE(frame.batt_adc, quint16(1023));
    QCOMPARE(frame.map_adc, quint16(0x0100));
    QCOMPARE(frame.result, 0u);
    QCOMPARE(capture.count("too short", QtCriticalMsg), 1);
}

void test_rq7_frame::csv_line_of_default_frame()
{
    QCOMPARE(rq7_frame().to_csv_line(), zeros_line(32) + "\r\n");
}

void test_rq7_frame::csv_line_is_unsigned_and_signed()
{
    QByteArray record(70, '\0');
    record.replace(41, 4, QByteArray::fromHex("FFFFFFFE"));
    const QString line = rq7_frame(record, -1234567890123).to_csv_line();
    QVERIFY(line.startsWith("-1234567890123,0,"));
    QCOMPARE(line.split(',').at(24), QStringLiteral("4294967294"));
}

void test_rq7_frame::csv_round_trip()
{
    log_capture capture;
    const rq7_frame original(sample_record(), 1700000000123);
    const rq7_frame parsed(original.to_csv_line());
    QCOMPARE(parsed, original);
    QVERIFY(!(parsed != original));
    QCOMPARE(capture.entries().size(), 0);

    const rq7_frame extreme(sample_record(), std::numeric_limits<qint64>::min());
    QCOMPARE(rq7_frame(extreme.to_csv_line()), extreme);
}

void test_rq7_frame::csv_header()
{
    const QString header = rq7_frame::csv_header();
    QVERIFY(header.startsWith("timestamp,batt adc,map adc,an1 adc,afr,an2 adc,aux current,"));
    QVERIFY(header.endsWith(",pterm,iterm,dterm,istate,istate lu,result\r\n"));
    QCOMPARE(header.count(','), 31);
    QVERIFY(header.contains("pot boost target,gpo2 duty,gpi1 state"));
    QVERIFY(header.contains("coarse mode,command,current pos"));
}

void test_rq7_frame::bad_lines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("reported");
    QTest::addColumn<qint64>("timestamp");
    QTest::addColumn<QVector<quint32>>("values"); // leading values; the rest must be 0

    QString letters = "1,2,x," + zeros_line(29);
    QTest::newRow("letter in part three") << letters << true << qint64(1) << QVector<quint32>{2, 0};

    QTest::newRow("31 parts keep what they have, result 0")
        << "7," + repeated("9", 30) << true << qint64(7) << QVector<quint32>(30, 9);

    // gpo2_duty is the last 16-bit field before the three 8-bit ones.
    QString wide = "5,70000,65541," + zeros_line(13) + ",257,258,259," + zeros_line(13);
    QTest::newRow("too large for 16 and 8 bits keeps low bits")
        << wide << false << qint64(5)
        << (QVector<quint32>{70000 & 0xFFFF, 5} + QVector<quint32>(13, 0) +
            QVector<quint32>{1, 2, 3});

    QTest::newRow("parts beyond 32 are ignored")
        << "3," + repeated("4", 31) + ",x,99" << false << qint64(3) << QVector<quint32>(31, 4);

    QTest::newRow("32-bit overflow is not a number")
        << "3,4294967296," + zeros_line(30) << true << qint64(3) << QVector<quint32>{};
    QTest::newRow("negative unsigned part")
        << "3,-1," + zeros_line(30) << true << qint64(3) << QVector<quint32>{};
    QTest::newRow("empty part") << "3,,1," + zeros_line(29) << true << qint64(3)
                                << QVector<quint32>{};
    QTest::newRow("empty line") << "" << true << qint64(0) << QVector<quint32>{};
    QTest::newRow("blanks around parts are allowed") << " 8 , 1," + zeros_line(30) + "\r\n"
                                                     << false << qint64(8) << QVector<quint32>{1};
    QTest::newRow("header line") << rq7_frame::csv_header() << true << qint64(0)
                                 << QVector<quint32>{};
}

void test_rq7_frame::bad_lines()
{
    QFETCH(QString, line);
    QFETCH(bool, reported);
    QFETCH(qint64, timestamp);
    QFETCH(QVector<quint32>, values);

    log_capture capture;
    const rq7_frame frame(line);
    QCOMPARE(capture.count("Could not parse line in log:", QtCriticalMsg), reported ? 1 : 0);
    if (reported)
        QVERIFY(capture.contains(line.left(100)));
    QCOMPARE(frame.timestamp, timestamp);
    quint32 got[rq7_frame::value_count];
    frame.to_values(got);
    for (int c = 0; c < rq7_frame::value_count; ++c)
        QCOMPARE(got[c], c < values.size() ? values[c] : 0u);
}

void test_rq7_frame::parse_csv_on_bytes_matches_string_constructor()
{
    log_capture capture;
    const QByteArray line = rq7_frame(sample_record(), 42).to_csv_line().toLatin1();
    rq7_frame from_bytes;
    QVERIFY(rq7_frame::parse_csv(line.constData(), line.constData() + line.size(), from_bytes));
    QCOMPARE(from_bytes, rq7_frame(QString::fromLatin1(line)));

    // Without logging: the caller decides how to report.
    QVERIFY(!rq7_frame::parse_csv(line.constData(), line.constData() + 10, from_bytes));
    QCOMPARE(capture.entries().size(), 0);
}

QTEST_GUILESS_MAIN(test_rq7_frame)
#include "test_rq7_frame.moc"
