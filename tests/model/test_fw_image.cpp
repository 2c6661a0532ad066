// SPDX-License-Identifier: GPL-3.0-or-later
// The firmware image checker: what it lets through must reach the bootloader unchanged, what
// it refuses names the line and the problem.
#include "fw_image.h"
#include "fw_image_text.h"

#include <QTemporaryDir>
#include <QtTest>

class test_fw_image : public QObject
{
    Q_OBJECT

private slots:
    void check_data();
    void check();
    void limits();
};

void test_fw_image::check_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QString>("problem"); // empty: valid
    const QByteArray end = fw_text::end_record + "\n";
    const QByteArray data = fw_text::data_record(1);

    QTest::newRow("plain") << fw_text::image(3, true) << QString();
    QTest::newRow("CR LF, comments, '|' lines, lower case, no final line feed")
        << "# image\r\n\r\n|opt\r\n" + data.toLower() + "\r\n" + fw_text::end_record << QString();
    QTest::newRow("63 characters and trailing blanks")
        << fw_text::record(0, 0, QByteArray(26, 'x')) + "   \t\n" + end << QString();

    QByteArray checksum = data;
    checksum.chop(1);
    checksum += data.endsWith('0') ? '1' : '0';
    QTest::newRow("checksum") << "\n" + checksum + "\n" + end << "line 2: bad checksum";
    QTest::newRow("not hex") << ":10 0000\n" + end << "line 1: ' ' is not a hexadecimal digit";
    QTest::newRow("wrong count") << fw_text::record(0, 0, "ab").replace(1, 2, "03") + "\n" + end
                                 << "line 1: the record announces 3 data bytes but holds 2";
    QTest::newRow("unknown type") << fw_text::record(6, 0, {}) + "\n" + end
                                  << "line 1: unknown record type 0x06";
    QTest::newRow("65 characters") << fw_text::record(0, 0, QByteArray(27, 'x')) + "\n" + end
                                   << "line 1: the line is 65 characters long";
    QTest::newRow("'|' line cut") << "|" + QByteArray(63, 'o') + "\n" + end
                                  << "line 1: the line is 64 characters long";
    QTest::newRow("indented record")
        << data + "\n  " + data + "\n" + end << "line 2: the record does not start the line";
    QTest::newRow("byte-order mark")
        << "\xEF\xBB\xBF" + data + "\n" + end << "line 1: the record does not start the line";
    QTest::newRow("record after the end") << end + data + "\n"
                                          << "line 2: a line follows the end-of-file record";
    QTest::newRow("no end record")
        << fw_text::image(2).replace(end, "") << "the image has no end-of-file record";
    QTest::newRow("no data record")
        << fw_text::address_record + "\n" + fw_text::record(0, 0, {}) + "\n" + end
        << "the image holds no data record";
    QTest::newRow("empty") << QByteArray() << "the image has no end-of-file record";
    QTest::newRow("binary") << QByteArray::fromHex("7f454c460201010000")
                            << "the image has no end-of-file record";
}

void test_fw_image::check()
{
    QFETCH(QByteArray, image);
    QFETCH(QString, problem);
    const fw_image::check_result result = fw_image::check(image);
    QCOMPARE(result.valid, problem.isEmpty());
    QVERIFY2(fw_image::describe(result).startsWith(problem),
             qPrintable(fw_image::describe(result)));
}

void test_fw_image::limits()
{
    // 1 MiB of data in 16-byte records, in a file of exactly 8 MB: taken.
    const QByteArray full = fw_text::padded(fw_text::image(65536, true), 8 * 1000 * 1000);
    QTemporaryDir dir;
    const QString name = dir.filePath("RQ7_QUIL_full.hex");
    QVERIFY(fw_text::write_file(name, full));
    QCOMPARE(fw_image::too_large(name), QString());
    const fw_image::check_result checked = fw_image::check(full);
    QVERIFY2(checked.valid, qPrintable(fw_image::describe(checked)));

    // One byte more of either: refused.
    QVERIFY(fw_text::write_file(name, "#" + full));
    QCOMPARE(fw_image::too_large(name),
             name + " is larger than 8 MB (8000001 bytes), the limit for a firmware image");
    const QByteArray one_more = fw_text::record(0, 0, "x") + "\n";
    QCOMPARE(fw_image::describe(fw_image::check(one_more + fw_text::image(65536))),
             QString("the records carry more than 1 MiB of data, the limit for a firmware "
                     "image"));
}

QTEST_APPLESS_MAIN(test_fw_image)
#include "test_fw_image.moc"
