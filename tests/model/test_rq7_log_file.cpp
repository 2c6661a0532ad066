// SPDX-License-Identifier: GPL-3.0-or-later
#include "log_capture.h"
#include "rq7_log.h"
#include "rq7_log_file.h"
#include "rq7_log_reader.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray comment_line =
    "# Add comments in this log by starting it with a '#' character, like this line";

rq7_frame frame_at(qint64 timestamp, quint32 seed)
{
    quint32 values[rq7_frame::value_count];
    for (int c = 0; c < rq7_frame::value_count; ++c)
        values[c] = (seed * 2654435761u) >> (c % 24);
    return rq7_frame::from_values(timestamp, values);
}

QByteArray read_all(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void write_bytes(const QString& name, const QByteArray& bytes, bool append = false)
{
    QFile file(name);
    QVERIFY(file.open(append ? QIODevice::Append : QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray csv(const rq7_frame& frame)
{
    QByteArray line;
    frame.append_csv_line(line);
    return line;
}

QVector<unsigned int> all_marks(const tsafe_qvector<unsigned int>& marks)
{
    return marks.copy(0, marks.size());
}

} // namespace

class test_rq7_log_file : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void header_layout_is_exact();
    void header_written_once_while_open();
    void lines_reach_the_file_at_once();
    void open_failures();
    void record_live_frame_marks();
    void written_file_reads_back_data();
    void written_file_reads_back();
    void settings_sections_are_handed_over();
    void file_without_settings();
    void comments_blank_lines_and_headers_anywhere();
    void lines_across_chunks();
    void huge_line_costs_one_message();
    void overlong_line_with_good_start_is_a_sample();
    void binary_junk_does_not_crash();
    void damaged_lines_are_not_samples();
    void junk_between_samples_is_counted();
    void missing_file_leaves_store();
    void no_log_leaves_store_data();
    void no_log_leaves_store();
    void tempfile_failure_is_reported();

private:
    QString path(const QString& name) const { return dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> dir;
};

void test_rq7_log_file::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void test_rq7_log_file::header_layout_is_exact()
{
    const QString name = path("a.vklog");
    write_bytes(name, "[rq7_vars]\r\nints\\size=0\r\n");
    rq7_log_file file;
    file.set_file_name(name);
    QVERIFY(file.open_for_append());
    QVERIFY(file.header_pending());
    const QByteArray header =
        "[rq7_log]\r\n# Velkaro Quorvane RQ7-NVS log " + name.toLocal8Bit() + "\r\n" + comment_line;
    // Enabled, no sample yet: the file ends with the comment text and no line end.
    QCOMPARE(read_all(name), "[rq7_vars]\r\nints\\size=0\r\n" + header);

    const rq7_frame a = frame_at(1700000000000, 1);
    const rq7_frame b = frame_at(1700000000013, 2);
    QVERIFY(file.write_frame(a));
    QVERIFY(!file.header_pending());
    QVERIFY(file.write_frame(b));
    file.close();
    QCOMPARE(read_all(name), "[rq7_vars]\r\nints\\size=0\r\n" + header + "\r\n" +
                                 rq7_frame::csv_header().toLatin1() + csv(a) + csv(b));
    QVERIFY(!file.write_frame(a)); // closed
}

void test_rq7_log_file::header_written_once_while_open()
{
    const QString name = path("b.vklog");
    rq7_log_file file;
    file.set_file_name(name);
    QVERIFY(file.open_for_append());
    QVERIFY(file.open_for_append());
    QCOMPARE(read_all(name).count("[rq7_log]"), 1);
    // Closed and enabled again: a second header follows.
    file.close();
    QVERIFY(file.open_for_append());
    QCOMPARE(read_all(name).count("[rq7_log]"), 2);
    // Renaming closes the open file.
    file.set_file_name(path("c.vklog"));
    QVERIFY(!file.is_open());
}

void test_rq7_log_file::lines_reach_the_file_at_once()
{
    const QString name = path("d.vklog");
    rq7_log_file file;
    file.set_file_name(name);
    QVERIFY(file.open_for_append());
    for (int i = 0; i < 3; ++i) {
        const rq7_frame f = frame_at(1000 + i, quint32(i));
        QVERIFY(file.write_frame(f));
        // Read through another handle while the file stays open: nothing waits in a buffer.
        QVERIFY(read_all(name).endsWith(csv(f)));
    }
}

void test_rq7_log_file::open_failures()
{
    rq7_log_file file;
    file.set_file_name(path("no/such/folder/e.vklog"));
    QVERIFY(!file.open_for_append());
    QVERIFY(!file.is_open());
    QVERIFY(!file.error_string().isEmpty());
    if (QFile::exists("/dev/full")) { // opens, but no byte can be written
        log_capture capture;          // Qt remarks that the device cannot seek
        file.set_file_name("/dev/full");
        QVERIFY(!file.open_for_append());
        QVERIFY(!file.is_open());
    }
}

void test_rq7_log_file::record_live_frame_marks()
{
    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    rq7_log_file file;
    file.set_file_name(path("f.vklog"));
    QCOMPARE(record_live_frame(frame_at(1, 1), log, marks, file, true), 0u); // not open
    QVERIFY(file.open_for_append());
    QCOMPARE(record_live_frame(frame_at(2, 2), log, marks, file, true), 1u);
    QCOMPARE(record_live_frame(frame_at(3, 3), log, marks, file, false), 0u);
    QCOMPARE(all_marks(marks), (QVector<unsigned int>{0, 1, 0}));
    QCOMPARE(log.size(), 3);
    QCOMPARE(log.last(), frame_at(3, 3));
    // two header lines, the end of the comment, the column names, one sample
    QCOMPARE(read_all(path("f.vklog")).count("\r\n"), 5);
}

void test_rq7_log_file::written_file_reads_back_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("gap");
    QTest::addColumn<QVector<unsigned int>>("marks");
    QTest::newRow("gap of 51 ms") << 10 << 51 << QVector<unsigned int>{1, 1, 0, 0, 1, 1};
    QTest::newRow("gap of exactly 50 ms") << 10 << 50 << QVector<unsigned int>{1, 1, 1, 1, 1, 1};
    QTest::newRow("samples 50 ms apart") << 50 << 50 << QVector<unsigned int>{1, 1, 1, 1, 1, 1};
    QTest::newRow("two runs a minute apart")
        << 13 << 60000 << QVector<unsigned int>{1, 1, 0, 0, 1, 1};
}

// Two recording runs into one file, as the worker writes them when file logging is switched
// off and on again, read back into the store.
void test_rq7_log_file::written_file_reads_back()
{
    QFETCH(int, step);
    QFETCH(int, gap);
    QFETCH(QVector<unsigned int>, marks);

    const QString name = path("g.vklog");
    rq7_log recorded;
    tsafe_qvector<unsigned int> recorded_marks;
    rq7_log_file file;
    file.set_file_name(name);
    qint64 t = 1700000000000;
    for (int run = 0; run < 2; ++run) {
        write_bytes(name, "[rq7_vars]\r\nints\\1\\RPM%20scaler=" + QByteArray::number(run) + "\r\n",
                    true);
        QVERIFY(file.open_for_append());
        for (int i = 0; i < 3; ++i, t += step)
            record_live_frame(frame_at(t, quint32(run * 10 + i)), recorded, recorded_marks, file,
                              true);
        file.close();
        t += gap - step;
    }

    log_capture capture;
    rq7_log log;
    tsafe_qvector<unsigned int> read_marks;
    QStringList sections;
    rq7_log_reader reader(log, read_marks, [&](const QString& temp) {
        sections << QString::fromLatin1(read_all(temp));
    });
    QCOMPARE(reader.parse(name), rq7_log_reader::p_parsed);
    QCOMPARE(log.size(), recorded.size());
    for (int i = 0; i < log.size(); ++i)
        QCOMPARE(log.at(i), recorded.at(i));
    QCOMPARE(all_marks(read_marks), marks);
    QCOMPARE(sections, (QStringList{"[rq7_vars]\r\nints\\1\\RPM%20scaler=0\r\n",
                                    "[rq7_vars]\r\nints\\1\\RPM%20scaler=1\r\n"}));
    QCOMPARE(reader.bad_lines(), 0);
    QCOMPARE(capture.entries().size(), 0);
}

void test_rq7_log_file::settings_sections_are_handed_over()
{
    const QString name = path("h.vklog");
    write_bytes(name, "  [rq7_vars]  \n"
                      "tables\\size=4\r\n"
                      "\r\n"
                      "   # kept: inside the section\t\n"
                      "timestamp,kept too\n"
                      "[rq7_log] the rest of this line is not looked at\n"
                      "1000," +
                          QByteArray(30 * 2, '0').replace("00", "0,") + "5\r\n");
    QStringList sections;
    QStringList names;
    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    rq7_log_reader reader(log, marks, [&](const QString& temp) {
        names << temp;
        sections << QString::fromLatin1(read_all(temp));
    });
    QCOMPARE(reader.parse(name), rq7_log_reader::p_parsed);
    QCOMPARE(sections, QStringList{"[rq7_vars]\r\ntables\\size=4\r\n\r\n# kept: inside the "
                                   "section\r\ntimestamp,kept too\r\n"});
    QVERIFY(!QFile::exists(names.first())); // removed once handed over
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.at(0).result, 5u);
    QCOMPARE(all_marks(marks), QVector<unsigned int>{1});
}

void test_rq7_log_file::file_without_settings()
{
    const QString name = path("i.vklog");
    write_bytes(name, "[rq7_log]\r\n" + rq7_frame::csv_header().toLatin1() + csv(frame_at(5, 5)) +
                          csv(frame_at(6, 6)));
    int calls = 0;
    log_capture capture;
    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    rq7_log_reader reader(log, marks, [&](const QString&) { ++calls; });
    QCOMPARE(reader.parse(name), rq7_log_reader::p_parsed);
    QCOMPARE(calls, 0);
    QCOMPARE(log.size(), 2);
    QCOMPARE(log.at(1), frame_at(6, 6));
    // The "[rq7_log]" line without a settings section before it is no sample either.
    QCOMPARE(reader.bad_lines(), 0);
    QCOMPARE(capture.entries().size(), 0);
}

void test_rq7_log_file::comments_blank_lines_and_headers_anywhere()
{
    QBuffer buffer;
    buffer.setData("# first\r\n" + csv(frame_at(10, 1)) + "   \r\n\t# indented comment\r\n" +
                   rq7_frame::csv_header().toLatin1() + csv(frame_at(20, 2)) + "#\n\n" +
                   csv(frame_at(30, 3)) + "# last, without a line end");
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    log_capture capture;
    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    rq7_log_reader reader(log, marks);
    QCOMPARE(reader.parse(buffer), rq7_log_reader::p_parsed);
    QCOMPARE(log.size(), 3);
    QCOMPARE(log.at(2), frame_at(30, 3));
    QCOMPARE(capture.entries().size(), 0);
}

void test_rq7_log_file::lines_across_chunks()
{
    // More than one read chunk, lines of changing length, "\r" and "\n" split apart too.
    QByteArray bytes;
    QVector<rq7_frame> frames;
    for (int i = 0; bytes.size() < 3 * 1024 * 1024; ++i) {
        frames.append(frame_at(1700000000000 + i * 13, quint32(i)));
        bytes += csv(frames.last());
    }
    const QString name = path("j.vklog");
    write_bytes(name, bytes);
    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    rq7_log_reader reader(log, marks);
    QCOMPARE(reader.parse(name), rq7_log_reader::p_parsed);
    QCOMPARE(log.size(), frames.size());
    for (int i = 0; i < frames.size(); i += 997)
        QCOMPARE(log.at(i), frames[i]);
    QCOMPARE(log.last(), frames.last());
    QCOMPARE(reader.bad_lines(), 0);
}

void test_rq7_log_file::huge_line_costs_one_message()
{
    const QString name = path("k.vklog");
    QByteArray huge(10 * 1024 * 1024, '7');
    for (int i = 5; i < huge.size(); i += 4096)
        huge[i] = ',';
    write_bytes(name, csv(frame_at(100, 1)) + huge + "\r\n" + csv(frame_at(110, 2)));
    log_capture capture;
    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    rq7_log_reader reader(log, marks);
    QCOMPARE(reader.parse(name), rq7_log_reader::p_parsed);
    QCOMPARE(reader.bad_lines(), 1);
    QCOMPARE(capture.count("Could not parse line in log:", QtCriticalMsg), 1);
    QVERIFY(capture.contains(QString::number(huge.size() + 1) + " bytes)")); // "\r" counted
    QVERIFY(capture.entries().first().text.size() < 1000);
    QCOMPARE(log.size(), 2); // the bad line is no sample
    QCOMPARE(log.at(0), frame_at(100, 1));
    QCOMPARE(log.at(1), frame_at(110, 2));
}

void test_rq7_log_file::overlong_line_with_good_start_is_a_sample()
{
    // The first 32 parts make a sample; whatever follows them does not count, however long.
    QByteArray line = csv(frame_at(100, 3));
    line.chop(2);
    line += "," + QByteArray(200 * 1024, 'x') + "\n";
    QBuffer buffer(&line);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    log_capture capture;
    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    rq7_log_reader reader(log, marks);
    QCOMPARE(reader.parse(buffer), rq7_log_reader::p_parsed);
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.at(0), frame_at(100, 3));
    QCOMPARE(capture.entries().size(), 0);
}

void test_rq7_log_file::binary_junk_does_not_crash()
{
    QByteArray junk(4 * 1024 * 1024, '\0');
    QRandomGenerator random(99);
    for (char& c : junk)
        c = char(random.bounded(256));
    const QString name = path("l.vklog");
    write_bytes(name, csv(frame_at(1, 1)) + junk + "\n" + csv(frame_at(2, 2)));
    log_capture capture;
    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    rq7_log_reader reader(log, marks);
    const int lines = junk.count('\n') + 3;
    QCOMPARE(reader.parse(name), rq7_log_reader::p_parsed);
    QCOMPARE(capture.count("Could not parse line in log:", QtCriticalMsg),
             qMin(reader.bad_lines(), rq7_log_reader::max_reported_lines));
    QVERIFY(reader.bad_lines() <= lines);
    QVERIFY(log.size() <= lines);
    QCOMPARE(marks.size(), log.size());
    QCOMPARE(log.at(0), frame_at(1, 1));
}

void test_rq7_log_file::damaged_lines_are_not_samples()
{
    // A junk line between two samples 13 ms apart, and a last line cut short by a crash.
    const QString name = path("m.vklog");
    QByteArray cut = csv(frame_at(1700000000039, 4));
    cut.truncate(cut.size() / 2);
    write_bytes(name, csv(frame_at(1700000000013, 3)) + "oops\r\n" +
                          csv(frame_at(1700000000026, 5)) + cut);
    log_capture capture;
    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    rq7_log_reader reader(log, marks);
    QCOMPARE(reader.parse(name), rq7_log_reader::p_parsed);
    QCOMPARE(reader.bad_lines(), 2);
    QCOMPARE(capture.count("Could not parse line in log:", QtCriticalMsg), 2);
    QCOMPARE(log.size(), 2);
    QCOMPARE(log.at(0), frame_at(1700000000013, 3));
    QCOMPARE(log.at(1), frame_at(1700000000026, 5));
    // No stored 1970 sample, so no gap: both stay one logged stretch.
    QCOMPARE(marks.size(), 2);
    QCOMPARE(marks.at(0), 1u);
    QCOMPARE(marks.at(1), 1u);
}

void test_rq7_log_file::junk_between_samples_is_counted()
{
    // Another program's text between good samples: ten lines are reported, the rest counted.
    const QString name = path("p.vklog");
    QByteArray bytes = rq7_frame::csv_header_bytes();
    QVector<rq7_frame> frames;
    for (int i = 0; i < 40; ++i) {
        frames.append(frame_at(1700000000000 + 13 * i, quint32(i)));
        bytes += csv(frames.last());
        if (i == 19)
            for (int junk = 0; junk < 10000; ++junk)
                bytes += "x\r\n";
    }
    write_bytes(name, bytes);
    log_capture capture;
    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    rq7_log_reader reader(log, marks);
    QCOMPARE(reader.parse(name), rq7_log_reader::p_parsed);
    QCOMPARE(log.size(), frames.size());
    for (int i = 0; i < frames.size(); ++i)
        QCOMPARE(log.at(i), frames[i]);
    QCOMPARE(reader.bad_lines(), 10000);
    QCOMPARE(reader.first_bad_line(), 22); // the header, 20 samples, then the junk
    QCOMPARE(capture.entries().size(), 11);
    QCOMPARE(capture.count("Could not parse line in log: x", QtCriticalMsg), 10);
    QCOMPARE(capture.entries().last().text, "9990 more lines of " + name + " could not be read");
}

void test_rq7_log_file::missing_file_leaves_store()
{
    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    log.append(frame_at(1, 1));
    marks.append(1);
    rq7_log_reader reader(log, marks);
    QCOMPARE(reader.parse(path("missing.vklog")), rq7_log_reader::p_cannot_open_file);
    QCOMPARE(log.size(), 1);
    QCOMPARE(marks.size(), 1);
}

void test_rq7_log_file::no_log_leaves_store_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message"); // besides the damaged lines
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("text of another program")
        << QByteArray(5000, 'x').replace("xxxxx", "xxxx\n") << "990 more lines of";
    QTest::newRow("comments and column header only")
        << "[rq7_log]\r\n# nothing yet\r\n" + rq7_frame::csv_header_bytes() << QString();
    QByteArray section = "[rq7_vars]\r\n";
    while (section.size() <= 1000 * 1000)
        section += "ints\\1\\RPM%20scaler=12\r\n";
    QTest::newRow("settings section over 1 MB")
        << section + "[rq7_log]\r\n"
        << "q.vklog is larger than 1 MB, the limit for a settings file; it was not loaded";
}

void test_rq7_log_file::no_log_leaves_store()
{
    // The log shown stays until a file brings a sample or a settings section.
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    const QString name = path("q.vklog");
    write_bytes(name, bytes);
    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    log.append(frame_at(1, 1));
    marks.append(1);
    int settings = 0;
    log_capture capture;
    rq7_log_reader reader(log, marks, [&](const QString&) { ++settings; });
    QCOMPARE(reader.parse(name), rq7_log_reader::p_not_a_log);
    QCOMPARE(log.size(), 1);
    QCOMPARE(marks.size(), 1);
    QCOMPARE(settings, 0);
    QVERIFY(capture.count("Could not parse line in log:") <= rq7_log_reader::max_reported_lines);
    if (!message.isEmpty())
        QVERIFY2(capture.contains(message, QtCriticalMsg), qPrintable(capture.dump()));
}

void test_rq7_log_file::tempfile_failure_is_reported()
{
    const QString name = path("n.vklog");
    write_bytes(name,
                csv(frame_at(1, 1)) + "[rq7_vars]\r\nx=1\r\n[rq7_log]\r\n" + csv(frame_at(2, 2)));
    int calls = 0;
    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    rq7_log_reader reader(log, marks, [&](const QString&) { ++calls; });
    reader.set_temp_folder(path("no/such/folder"));
    const rq7_log_reader::parse_status status = reader.parse(name);
    QCOMPARE(status, rq7_log_reader::p_cannot_open_tempfile);
    QVERIFY(reader.temp_file_name().contains("no/such/folder"));
    QCOMPARE(calls, 0);
    QCOMPARE(log.size(), 1); // what came before the section stays
    QCOMPARE(marks.size(), 1);
}

QTEST_GUILESS_MAIN(test_rq7_log_file)
#include "test_rq7_log_file.moc"
