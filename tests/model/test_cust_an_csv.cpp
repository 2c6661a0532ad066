// SPDX-License-Identifier: GPL-3.0-or-later
#include "cust_an_csv.h"
#include "log_capture.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

class test_cust_an_csv : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void valid_file_with_comments();
    void names_in_other_encodings_data();
    void names_in_other_encodings();
    void format_errors_data();
    void format_errors();
    void missing_file();
    void binary_junk();
    void long_lines();
    void huge_file();
    void files_over_1_mb_are_not_read();
    void many_lines_still_counted();

private:
    QString write(const QByteArray& content);
    static QByteArray data_lines(int from, int to);

    QTemporaryDir dir;
    int files = 0;
};

QString test_cust_an_csv::write(const QByteArray& content)
{
    const QString path = dir.filePath(QString("table%1.csv").arg(++files));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Lines "i, i/10" for counts from..to (inclusive).
QByteArray test_cust_an_csv::data_lines(int from, int to)
{
    QByteArray out;
    for (int i = from; i <= to; ++i)
        out += QByteArray::number(i) + ", " + QByteArray::number(i / 10.0) + "\n";
    return out;
}

void test_cust_an_csv::init()
{
    QVERIFY(dir.isValid());
}

void test_cust_an_csv::valid_file_with_comments()
{
    QByteArray content = "# made by hand\n  Oil   temp ,degC, ignored\r\n# counts, value\n";
    content += data_lines(0, 500);
    content += "#halfway\n";
    for (int i = 501; i <= 1023; ++i)
        content += QByteArray::number(i) + " ,\t" + QByteArray::number(i * 2.5) + " \r\n";
    content += "# end";
    QString name;
    QVector<double> table;
    log_capture log;
    QVERIFY2(parse_cust_an_csv(write(content), name, table), qPrintable(log.dump()));
    QCOMPARE(name, QString("Oil temp"));
    QCOMPARE(table.size(), 1024);
    QCOMPARE(table[0], 0.0);
    QCOMPARE(table[500], 50.0);
    QCOMPARE(table[501], 1252.5);
    QCOMPARE(table[1023], 2557.5);
    QCOMPARE(log.entries().size(), 0);
}

void test_cust_an_csv::names_in_other_encodings_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QString>("name");
    QTest::newRow("utf-8 with byte order mark") << QByteArray("\xEF\xBB\xBFTemp \xC2\xB0"
                                                              "C\n")
                                                << QString("Temp \u00B0C");
    QTest::newRow("latin-1") << QByteArray("Temp \xB0"
                                           "C\n")
                             << QString("Temp \u00B0C");
}

void test_cust_an_csv::names_in_other_encodings()
{
    QFETCH(QByteArray, header);
    QFETCH(QString, name);
    QString parsed;
    QVector<double> table;
    QVERIFY(parse_cust_an_csv(write(header + data_lines(0, 1023)), parsed, table));
    QCOMPARE(parsed, name);
}

void test_cust_an_csv::format_errors_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    const QByteArray header = "# comment\nVolts\n";
    QTest::newRow("header missing")
        << data_lines(0, 1023) << "ADC on line 2 not the expected value of 1";
    QTest::newRow("three fields") << header + data_lines(0, 3) + "4, 0.4, 1\n" + data_lines(5, 1023)
                                  << "Value on line 7 needs two values separated by a comma";
    QTest::newRow("1023 lines") << header + data_lines(0, 1022)
                                << "Missing 1 values, must have 1024";
    QTest::newRow("1025 lines") << header + data_lines(0, 1024)
                                << "Missing -1 values, must have 1024";
    QTest::newRow("empty file") << QByteArray() << "Missing 1024 values, must have 1024";
    QTest::newRow("word as value") << header + data_lines(0, 3) + "4, abc\n"
                                   << "Error converting value on line 7: ' abc\n'";
    QTest::newRow("infinite value") << header + data_lines(0, 3) + "4,inf\r\n"
                                    << "Error converting value on line 7: 'inf\r\n'";
    QTest::newRow("word as count") << header + data_lines(0, 3) + " four ,0.4\n"
                                   << "Error converting ADC on line 7: ' four '";
    QTest::newRow("count out of order") << header + data_lines(0, 3) + "5, 0.5\n"
                                        << "ADC on line 7 not the expected value of 5";
    QTest::newRow("blank line") << header + data_lines(0, 3) + "\n" + data_lines(4, 1023)
                                << "Value on line 7 needs two values separated by a comma";
}

void test_cust_an_csv::format_errors()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QString name;
    QVector<double> table;
    log_capture log;
    QVERIFY(!parse_cust_an_csv(write(content), name, table));
    QCOMPARE(log.entries().size(), 1);
    QCOMPARE(log.entries().first().type, QtCriticalMsg);
    QCOMPARE(log.entries().first().text, message);
}

void test_cust_an_csv::missing_file()
{
    QString name;
    QVector<double> table;
    log_capture log;
    QVERIFY(!parse_cust_an_csv(dir.filePath("nothing.csv"), name, table));
    QCOMPARE(log.count("No such file", QtCriticalMsg), 1);
    QVERIFY(!parse_cust_an_csv(dir.path(), name, table));
    QCOMPARE(log.entries().size(), 2);
}

void test_cust_an_csv::binary_junk()
{
    QRandomGenerator random(7);
    for (int round = 0; round < 20; ++round) {
        QByteArray junk(64 * 1024, '\0');
        for (char& c : junk)
            c = char(random.bounded(256));
        QString name;
        QVector<double> table;
        log_capture log;
        QVERIFY(!parse_cust_an_csv(write(junk), name, table));
        QCOMPARE(log.count("", QtCriticalMsg), 1);
    }
}

void test_cust_an_csv::long_lines()
{
    QString name;
    QVector<double> table;
    {
        // A long comment is still only a comment.
        const QByteArray comment = "#" + QByteArray(200000, 'x') + "\n";
        log_capture log;
        QVERIFY2(
            parse_cust_an_csv(write(comment + "V\n" + comment + data_lines(0, 1023)), name, table),
            qPrintable(log.dump()));
    }
    log_capture log;
    const QByteArray long_value = "7, " + QByteArray(200000, '1') + "\n";
    QVERIFY(!parse_cust_an_csv(write("V\n" + data_lines(0, 6) + long_value), name, table));
    QCOMPARE(log.entries().size(), 1);
    QCOMPARE(log.entries().first().text, QString("Line 9 is longer than 4096 characters"));
}

void test_cust_an_csv::huge_file()
{
    // 20 MiB without a single line end: refused by its size, before reading.
    QString name;
    QVector<double> table;
    log_capture log;
    const QString path = write(QByteArray(20 * 1024 * 1024, 'a'));
    QVERIFY(!parse_cust_an_csv(path, name, table));
    QCOMPARE(log.entries().size(), 1);
    QCOMPARE(log.entries().first().text,
             path + " is larger than 1 MB (20971520 bytes), the limit for a conversion table");
}

void test_cust_an_csv::files_over_1_mb_are_not_read()
{
    // A real table after comments that make the file exactly 1 MB long.
    const QByteArray table_text = "Oil temp\n" + data_lines(0, 1023);
    QByteArray comments;
    while (comments.size() + table_text.size() < 1000 * 1000 - 100)
        comments += "#" + QByteArray(98, 'c') + "\n";
    comments += "#" + QByteArray(1000 * 1000 - comments.size() - table_text.size() - 2, 'c') + "\n";
    const QString at_limit = write(comments + table_text);
    QCOMPARE(QFileInfo(at_limit).size(), 1000 * 1000);
    QString name;
    QVector<double> table;
    {
        log_capture log;
        QVERIFY2(parse_cust_an_csv(at_limit, name, table), qPrintable(log.dump()));
        QCOMPARE(table.size(), 1024);
    }
    const QString over = write("#" + comments + table_text);
    log_capture log;
    QVERIFY(!parse_cust_an_csv(over, name, table));
    QCOMPARE(log.entries().size(), 1);
    QCOMPARE(log.entries().first().text,
             over + " is larger than 1 MB (1000001 bytes), the limit for a conversion table");
}

void test_cust_an_csv::many_lines_still_counted()
{
    QString name;
    QVector<double> table;
    log_capture log;
    QVERIFY(!parse_cust_an_csv(write("V\n" + data_lines(0, 49999)), name, table));
    QCOMPARE(log.entries().size(), 1);
    QCOMPARE(log.entries().first().text, QString("Missing -48976 values, must have 1024"));
    QCOMPARE(table.size(), 1024);
}

QTEST_GUILESS_MAIN(test_cust_an_csv)
#include "test_cust_an_csv.moc"
