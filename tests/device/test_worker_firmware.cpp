// SPDX-License-Identifier: GPL-3.0-or-later
// Firmware updates by the worker against the simulated unit's bootloader. The worker runs on
// the test's thread, so every slot runs at once.
#include "fw_image_text.h"
#include "log_capture.h"
#include "rq7_worker.h"
#include "sim_fixture.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

QList<QByteArray> lines_of(const QByteArray& image)
{
    QList<QByteArray> lines;
    for (const QByteArray& line : image.split('\n'))
        if (line.startsWith(':') || line.startsWith('|'))
            lines.append(line);
    return lines;
}

QList<QByteArray> frames_hex(const rq7_sim_unit& unit)
{
    QList<QByteArray> hex;
    for (const QByteArray& frame : unit.received_frames())
        hex.append(frame.toHex());
    return hex;
}

} // namespace

class test_worker_firmware : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void whole_update_data();
    void whole_update();
    void failed_switch_to_the_bootloader_data();
    void failed_switch_to_the_bootloader();
    void failed_line_then_retry_in_the_bootloader();
    void broken_image_is_refused_before_the_reset_data();
    void broken_image_is_refused_before_the_reset();

private:
    /// Opens the link and writes `image` as the image file; returns the file's name.
    QString open_with_image(const QByteArray& image);

    QStringList events; // what the window would see: "reset 50", "fw 40", "programmed 0 202 0"
    std::unique_ptr<sim_fixture> sim;
    std::unique_ptr<rq7_worker> worker;
    std::unique_ptr<QTemporaryDir> dir;
};

void test_worker_firmware::init()
{
    sim = std::make_unique<sim_fixture>();
    dir = std::make_unique<QTemporaryDir>();
    worker = std::make_unique<rq7_worker>();
    auto add = [this](const QString& event) { events.append(event); };
    connect(worker.get(), &rq7_worker::reset_progress,
            [add](int p) { add(QString("reset %1").arg(p)); });
    connect(worker.get(), &rq7_worker::fw_progress, [add](int p) { add(QString("fw %1").arg(p)); });
    connect(worker.get(), &rq7_worker::opened, [add](QString, quint16 v, rq7_variant var) {
        add(QString("opened %1 %2").arg(v, 0, 16).arg(int(var)));
    });
    connect(worker.get(), &rq7_worker::fw_programmed,
            [add](FT_STATUS s, quint16 v, rq7_variant var) {
                add(QString("programmed %1 %2 %3").arg(s).arg(v, 0, 16).arg(int(var)));
            });
}

void test_worker_firmware::cleanup()
{
    worker.reset();
    sim.reset();
    dir.reset();
}

QString test_worker_firmware::open_with_image(const QByteArray& image)
{
    worker->open();
    events.clear();
    sim->unit->clear_received_frames();
    const QString name = dir->filePath("RQ7_QUIL_test.hex");
    if (!image.isEmpty())
        fw_text::write_file(name, image);
    return name;
}

void test_worker_firmware::whole_update_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QList<QByteArray>>("sent");
    QTest::addColumn<QStringList>("progress");
    const QList<QByteArray> address{fw_text::address_record};
    // 25 records, each ending in a line feed: progress at lines 10 and 20 of 25.
    const QStringList quarters{"fw 0", "fw 40", "fw 80", "fw 100"};
    const QByteArray no_address = fw_text::image(24);
    const QByteArray with_address = fw_text::image(23, true);
    const QByteArray pipe_first = "|boot option\n" + fw_text::image(23);
    // Skipped lines count: 26 lines, records from line 3 on, progress at lines 10 and 20.
    const QByteArray commented = "; built for the RQ7\r\n\r\n" + fw_text::image(23);
    QTest::newRow("no address record") << no_address << address + lines_of(no_address) << quarters;
    QTest::newRow("address record first") << with_address << lines_of(with_address) << quarters;
    QTest::newRow("'|' line first") << pipe_first << lines_of(pipe_first) << quarters;
    QTest::newRow("comment and blank line") << commented << address + lines_of(commented)
                                            << QStringList{"fw 0", "fw 38", "fw 76", "fw 100"};
}

void test_worker_firmware::whole_update()
{
    QFETCH(QByteArray, image);
    QFETCH(QList<QByteArray>, sent);
    QFETCH(QStringList, progress);
    worker->start_fw_program(open_with_image(image));

    QCOMPARE(events, QStringList({"reset 50", "opened 0 0", "reset 100"}) + progress +
                         QStringList{"programmed 0 202 0"});
    QCOMPARE(sim->unit->bootloader_lines(), sent);
    QVERIFY(!sim->unit->in_bootloader());
    // Stop the stream, restart into the bootloader, identify the new firmware.
    QCOMPARE(frames_hex(*sim->unit),
             QList<QByteArray>({"c313000100d1", "c3050001c007", "c3050001b671", "c3050001c106"}));
}

void test_worker_firmware::failed_switch_to_the_bootloader_data()
{
    QTest::addColumn<QByteArray>("greeting");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("'v' is the last byte")
        << QByteArray("RQ7 BOOT v") << "Found a 'v' but not the actual bootloader version"
        << QStringList{"reset 50", "programmed 18 0 1"};
    // The unit is identified again: it answers as a bootloader now.
    QTest::newRow("no version") << QByteArray("\r\nRQ7 BOOT\r\n")
                                << "Either FW is too old (must be greater than v1.60)"
                                << QStringList{"reset 50", "opened 0 1", "programmed 18 0 1"};
    QTest::newRow("silent") << QByteArray() << "Could not reset properly, no data from device: 0"
                            << QStringList{"reset 50", "programmed 4 0 1"};
}

void test_worker_firmware::failed_switch_to_the_bootloader()
{
    QFETCH(QByteArray, greeting);
    QFETCH(QString, message);
    QFETCH(QStringList, expected);
    const QString image = open_with_image(fw_text::image(3));
    sim->unit->set_bootloader_greeting(greeting);
    log_capture log;
    worker->start_fw_program(image);

    QCOMPARE(events, expected);
    QVERIFY2(log.contains(message, QtCriticalMsg), qPrintable(log.dump()));
    QVERIFY(sim->unit->bootloader_lines().isEmpty());
    QCOMPARE(frames_hex(*sim->unit).contains("c3050001b671"), expected.size() == 3);
}

void test_worker_firmware::failed_line_then_retry_in_the_bootloader()
{
    const QString image = open_with_image(fw_text::image(12, true));
    worker->set_rw_debug(true);
    sim->unit->fault_refuse_line(5);
    log_capture log;
    worker->start_fw_program(image);

    QCOMPARE(events.last(), QString("programmed 4 0 1"));
    QVERIFY(log.contains("Second byte was not ACK: 0x15", QtCriticalMsg));
    QVERIFY(log.contains("Programming failed! Reset the board, check connections/power, and try "
                         "again.",
                         QtCriticalMsg));
    QCOMPARE(sim->unit->bootloader_lines().size(), 5);
    // Tracing was off for the lines only: the reset and the identification are traced.
    QVERIFY(log.contains("write 0xc3050001c007") && log.contains("write 0xc3050001b671"));
    QVERIFY(!log.contains("write 0x3a")); // ':'

    // The unit stays in its bootloader: the next attempt needs no reset.
    sim->unit->fault_refuse_line(0);
    events.clear();
    log.clear();
    worker->start_fw_program(image);
    QCOMPARE(events, QStringList({"reset 50", "reset 100", "fw 0", "fw 71", "fw 100",
                                  "programmed 0 202 0"}));
    QVERIFY(log.contains("Alread in bootloader mode"));
    QCOMPARE(sim->unit->bootloader_entries(), 1);
    QVERIFY(log.contains("write 0xc3050001b671") && !log.contains("write 0x3a"));
}

void test_worker_firmware::broken_image_is_refused_before_the_reset_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QString>("problem");
    QByteArray bad_checksum = fw_text::image(4);
    bad_checksum.replace(fw_text::data_record(2), fw_text::data_record(2).replace(9, 1, "1"));
    QTest::newRow("bad checksum") << bad_checksum << "line 3: bad checksum";
    QTest::newRow("not hex") << QByteArray(":10000000GG\n:00000001FF\n") << "line 1: 'G' is not";
    QTest::newRow("no end record") << fw_text::image(4).replace(fw_text::end_record, "")
                                   << "the image has no end-of-file record";
    QTest::newRow("missing file") << QByteArray() << "Unable to open file";
    QTest::newRow("one byte over 8 MB")
        << fw_text::padded(fw_text::image(4), 8 * 1000 * 1000 + 1)
        << "is larger than 8 MB (8000001 bytes), the limit for a firmware image";
    QTest::newRow("more than 1 MiB of data")
        << fw_text::record(0, 0, "x") + "\n" + fw_text::image(65536)
        << "the records carry more than 1 MiB of data";
}

void test_worker_firmware::broken_image_is_refused_before_the_reset()
{
    QFETCH(QByteArray, image);
    QFETCH(QString, problem);
    const QString name = open_with_image(image);
    log_capture log;
    worker->start_fw_program(name);

    QCOMPARE(events, QStringList{"programmed 18 201 0"});
    QVERIFY2(log.contains(problem, QtCriticalMsg), qPrintable(log.dump()));
    QVERIFY(sim->unit->received_frames().isEmpty());
    QVERIFY(sim->unit->bootloader_lines().isEmpty());
    QVERIFY(!sim->unit->in_bootloader());
}

QTEST_GUILESS_MAIN(test_worker_firmware)
#include "test_worker_firmware.moc"
