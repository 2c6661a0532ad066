// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the unit into the window, editing, and writing back exactly what changed, against
// the simulated unit.
#include "box_answerer.h"
#include "dialog_answerer.h"
#include "duty_table.h"
#include "log_capture.h"
#include "window_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace rq7_protocol;

class test_mainwindow_changes : public QObject, public window_fixture
{
    Q_OBJECT

private slots:
    void init() { start(); }
    void cleanup() { stop(); }

    void reading_fills_the_window_without_counting_as_edits();
    void write_sends_exactly_the_changed_items();
    void write_without_changes_sends_nothing();
    void one_mode_sends_the_whole_mode_group();
    void engine_speed_queues_all_four_tables();
    void write_all_sends_every_writable_item();
    void failed_write_shows_the_box_and_keeps_the_edit();
    void saving_a_file_leaves_what_waits_to_be_written();
    void loaded_values_data();
    void loaded_values();

private:
    QList<quint8> sent_types() const;
};

QList<quint8> test_mainwindow_changes::sent_types() const
{
    QList<quint8> types;
    for (const QByteArray& frame : sim->unit->received_frames())
        types << quint8(frame.at(1));
    std::sort(types.begin(), types.end());
    return types;
}

void test_mainwindow_changes::reading_fills_the_window_without_counting_as_edits()
{
    QByteArray modes = rq7_sim_unit::factory_mode_block();
    modes[20] = char(0xA2); // MAIN and AUX both on "Duty table + pump delay": a valid pair
    modes[21] = char(0xB2);
    sim->unit->set_mode_block(modes);
    sim->unit->set_pump_prime_delay(8);
    box_answerer boxes;
    connect_and_read();
    QCOMPARE(w<QComboBox>("main_control")->currentIndex(), 2);
    QCOMPARE(w<QComboBox>("aux_control")->currentIndex(), 2);
    QVERIFY(boxes.boxes.isEmpty());
    QCOMPARE(w<QSpinBox>("pump_prime_delay")->value(), 104);
    QCOMPARE(w<QSpinBox>("pump_prime_delay_2")->value(), 104);
    QCOMPARE(window->gui_to_byteArray(t_main), sim->unit->table(1));
    QVERIFY(!window->changes_are_pending());

    log_capture log;
    run("act_write");
    QVERIFY(log.contains("No changes to write to device"));
    QVERIFY(sent().isEmpty());
}

void test_mainwindow_changes::write_sends_exactly_the_changed_items()
{
    connect_and_read();
    w<QSpinBox>("main_min_duty")->setValue(25);
    w<duty_table>("aux_table")->item(3, 4)->setText("42");
    QVERIFY(window->changes_are_pending());
    run("act_write");
    QCOMPARE(sent_types(), (QList<quint8>{msg_write_aux_table, msg_write_main_table}));
    QCOMPARE(sim->unit->table(1), window->gui_to_byteArray(t_main));
    QCOMPARE(sim->unit->table(0), window->gui_to_byteArray(t_aux));
    QCOMPARE(sim->unit->table(1).mid(609, 2).toHex(), QByteArray("0100")); // 25 % is 256 counts
    QVERIFY(!window->changes_are_pending());
}

// Save writes what the window shows; a Write after it still sends only the user's edit.
void test_mainwindow_changes::saving_a_file_leaves_what_waits_to_be_written()
{
    connect_and_read();
    QTemporaryDir dir;
    box_answerer boxes;
    dialog_answerer dialogs;
    dialogs.answers << dir.filePath("unchanged") << "/proc/no/such/folder/x.vkini";
    w<QAction>("act_save_as")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath("unchanged.vkini")), 10000);
    QTRY_COMPARE(window->statusBar()->currentMessage(),
                 "Saved settings to " + dir.filePath("unchanged.vkini"));
    QVERIFY(!window->changes_are_pending());

    w<duty_table>("aux_table")->item(3, 4)->setText("42");
    w<QAction>("act_save_as")->trigger(); // a folder that does not exist
    QTRY_COMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(boxes.boxes[0].text, QString("Could not save /proc/no/such/folder/x.vkini"));
    QVERIFY(window->changes_are_pending());
    run("act_write");
    QCOMPARE(sent_types(), (QList<quint8>{msg_write_aux_table}));
}

void test_mainwindow_changes::write_without_changes_sends_nothing()
{
    connect_and_read();
    log_capture log;
    w<QAction>("act_write")->trigger();
    QTest::qWait(300);
    QVERIFY(log.contains("No changes to write to device"));
    QVERIFY(sent().isEmpty());
}

void test_mainwindow_changes::one_mode_sends_the_whole_mode_group()
{
    connect_and_read();
    w<QComboBox>("gpo1_control")->setCurrentIndex(3);
    run("act_write");
    QCOMPARE(sent_types(), (QList<quint8>{msg_write_int1, msg_write_io_modes}));
    QByteArray expected = rq7_sim_unit::factory_mode_block().mid(20, 18);
    expected[2] = char(0xD3);
    expected.replace(10, 8, QByteArray(8, '\0')); // delays never set read as 0
    QCOMPARE(sim->unit->mode_block().mid(20).toHex(), expected.toHex());
}

void test_mainwindow_changes::engine_speed_queues_all_four_tables()
{
    connect_and_read();
    w<QSpinBox>("max_engine_speed")->setValue(9000);
    run("act_write");
    QCOMPARE(sent_types(), (QList<quint8>{msg_write_aux_table, msg_write_main_table,
                                          msg_write_gpo1_table, msg_write_gpo2_table}));
    QCOMPARE(quint8(sim->unit->table(3).at(574)) << 8 | quint8(sim->unit->table(3).at(575)), 9000);
}

void test_mainwindow_changes::write_all_sends_every_writable_item()
{
    connect_and_read();
    run("act_write_all");
    // The unit is read into a backup first; nothing is written before that read ends.
    QList<quint8> types;
    for (const QByteArray& frame : sim->unit->received_frames())
        types << quint8(frame.at(1));
    const int first_write =
        int(std::find_if(types.begin(), types.end(), [](quint8 t) { return t != msg_read_param; }) -
            types.begin());
    QVERIFY(first_write > 0);
    QList<quint8> writes = types.mid(first_write);
    std::sort(writes.begin(), writes.end());
    QCOMPARE(writes,
             (QList<quint8>{msg_write_int1, msg_write_aux_table, msg_write_main_table,
                            msg_write_gpo1_table, msg_write_gpo2_table, msg_write_int0,
                            msg_write_io_modes, msg_write_base_map_cal, msg_write_active_map_cal}));
    // What went back is what was read: the unit is unchanged, but for delays that were never
    // set (FFFF), which read as 0 and go back as 0.
    QByteArray modes = rq7_sim_unit::factory_mode_block();
    modes.replace(30, 8, QByteArray(8, '\0'));
    QCOMPARE(sim->unit->mode_block(), modes);
    QCOMPARE(sim->unit->map_cal_block(), rq7_sim_unit::factory_map_cal_block());
    for (int n = 0; n < 4; ++n)
        QCOMPARE(sim->unit->table(n), rq7_sim_unit::factory_table(n));
}

void test_mainwindow_changes::failed_write_shows_the_box_and_keeps_the_edit()
{
    connect_and_read();
    w<QSpinBox>("gpo2_horz_axis_gt")->setValue(2500);
    sim->unit->fault_ignore_type(msg_write_gpo2_table);
    box_answerer boxes;
    run("act_write");
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(boxes.boxes[0].text, QString("Error writing data to device"));
    QCOMPARE(boxes.boxes[0].informative_text,
             QString("Could not write data to device, check the log for possible error "
                     "messages."));
    // The unit may hold none of it: the next Write sends the edit again.
    QVERIFY(window->changes_are_pending());
    sim->unit->clear_faults();
    sim->unit->clear_received_frames();
    run("act_write");
    QCOMPARE(boxes.boxes.size(), 1);
    QVERIFY(sent_types().contains(msg_write_gpo2_table));
    QVERIFY(!window->changes_are_pending());
}

void test_mainwindow_changes::loaded_values_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("warning");
    QTest::newRow("GPO1 PID mode shows Output OFF")
        << 22 << QByteArray("\xD8", 1) << "gpo1_control"
        << "Output OFF"
        << "This version of the GUI does not support PID control for GPO1";
    QTest::newRow("unknown GPO2 mode shows Output OFF")
        << 23 << QByteArray("\xEF", 1) << "gpo2_control"
        << "Output OFF"
        << "Unknown mode 0xef for gpo2_control";
    QTest::newRow("GPI request 1023 is 100 %") << 25 << QByteArray("\x03\xFF", 2) << "gpi1_request"
                                               << "100" << QString();
    QTest::newRow("GPI request beyond 1023 is 100 %")
        << 28 << QByteArray("\xFF\xFF", 2) << "gpi2_request"
        << "100" << QString();
    QTest::newRow("MAIN on pump delay without AUX falls back to Duty table")
        << 20 << QByteArray("\xA2", 1) << "main_control"
        << "Duty table" << QString();
}

void test_mainwindow_changes::loaded_values()
{
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, widget);
    QFETCH(QString, shown);
    QFETCH(QString, warning);
    QByteArray modes = rq7_sim_unit::factory_mode_block();
    modes.replace(offset, bytes.size(), bytes);
    sim->unit->set_mode_block(modes);
    log_capture log;
    box_answerer boxes;
    connect_and_read();
    QObject* field = window->findChild<QObject*>(widget);
    QVERIFY(field);
    const QString text = qobject_cast<QComboBox*>(field)
                             ? qobject_cast<QComboBox*>(field)->currentText()
                             : QString::number(qobject_cast<QSpinBox*>(field)->value());
    QCOMPARE(text, shown);
    if (!warning.isEmpty())
        QVERIFY2(log.contains(warning, QtWarningMsg), qPrintable(log.dump()));
    QVERIFY(boxes.boxes.isEmpty());
    QVERIFY(!window->changes_are_pending());
}

QTEST_MAIN(test_mainwindow_changes)
#include "test_mainwindow_changes.moc"
