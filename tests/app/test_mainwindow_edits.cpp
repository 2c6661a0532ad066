// SPDX-License-Identifier: GPL-3.0-or-later
// The user's edits reach the unit, whichever way they were made, and the unit's settings
// change only when the user writes what the window shows.
#include "box_answerer.h"
#include "dialog_answerer.h"
#include "duty_table.h"
#include "log_capture.h"
#include "window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

namespace {

quint16 u16_at(const QByteArray& bytes, int at)
{
    return quint16(quint8(bytes.at(at)) << 8 | quint8(bytes.at(at + 1)));
}

bool same_image(const QIcon& a, const QIcon& b)
{
    return a.pixmap(16).toImage() == b.pixmap(16).toImage();
}

} // namespace

class test_mainwindow_edits : public QObject, public window_fixture
{
    Q_OBJECT

private slots:
    void init() { start(); }
    void cleanup() { stop(); }

    void bulk_table_edits_reach_the_unit_data();
    void bulk_table_edits_reach_the_unit();
    void every_tables_bulk_rewrite_reaches_the_unit();
    void connecting_to_an_nv_queues_nothing();
    void values_being_typed_are_taken_by_every_command();
    void boost_threshold_keeps_its_counts_across_units();
    void writing_unread_settings_asks_first();
    void an_edit_made_while_writing_waits_for_the_next_write();

private:
    /// Clicks an action's tool bar button, which takes no focus, and waits for the worker.
    void click_tool_button(const char* action);
    /// Types `text` over a field's content without leaving the field.
    void type_into(QWidget* field, const char* text);
};

void test_mainwindow_edits::click_tool_button(const char* action)
{
    QWidget* button = w<QToolBar>("toolBar")->widgetForAction(w<QAction>(action));
    QVERIFY(button && button->focusPolicy() != Qt::StrongFocus);
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(w<QAction>("act_write_all")->isEnabled(), 15000);
}

void test_mainwindow_edits::type_into(QWidget* field, const char* text)
{
    field->setFocus();
    QCOMPARE(window->focusWidget(), field);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
}

void test_mainwindow_edits::bulk_table_edits_reach_the_unit_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QRect>("selection"); // x: column, y: row
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("corner"); // what the selection's top left cell shows afterwards
    QTest::newRow("paste a block")
        << "11\t22\n33\t44\n"
        << QRect(3, 2, 1, 1) << int(Qt::Key_V) << int(Qt::ControlModifier) << "11";
    QTest::newRow("paste one value into a selection")
        << "55\n"
        << QRect(5, 5, 3, 2) << int(Qt::Key_V) << int(Qt::ControlModifier) << "55";
    QTest::newRow("cut") << "" << QRect(10, 0, 2, 2) << int(Qt::Key_X) << int(Qt::ControlModifier)
                         << "0";
    QTest::newRow("delete") << "" << QRect(12, 1, 3, 3) << int(Qt::Key_Delete)
                            << int(Qt::NoModifier) << "0";
}

void test_mainwindow_edits::bulk_table_edits_reach_the_unit()
{
    QFETCH(QString, clipboard);
    QFETCH(QRect, selection);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, corner);
    connect_and_read();
    auto* table = w<duty_table>("main_table");
    QApplication::clipboard()->setText(clipboard);
    table->setCurrentCell(selection.top(), selection.left());
    table->setRangeSelected(
        {selection.top(), selection.left(), selection.bottom(), selection.right()}, true);
    QTest::keyClick(table, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(table->item(selection.top(), selection.left())->text(), corner);

    run("act_write");
    QCOMPARE(sim->unit->table(1), window->gui_to_byteArray(t_main));
    QVERIFY(sim->unit->table(1) != rq7_sim_unit::factory_table(1));
}

void test_mainwindow_edits::every_tables_bulk_rewrite_reaches_the_unit()
{
    connect_and_read();
    // As a script or the settings wizard rewrites a table: one many_cells_updated, no cellChanged.
    const char* const names[] = {"aux_table", "main_table", "gpo1_table", "gpo2_table"};
    for (table_index t : {t_aux, t_main, t_gpo1, t_gpo2})
        w<duty_table>(names[t])->fill_all(QString::number(10 * t + 5));
    run("act_write");
    for (table_index t : {t_aux, t_main, t_gpo1, t_gpo2})
        QCOMPARE(sim->unit->table(t), window->gui_to_byteArray(t));
    QCOMPARE(u16_at(sim->unit->table(t_gpo2), 0), quint16(358)); // 35 %
}

void test_mainwindow_edits::connecting_to_an_nv_queues_nothing()
{
    sim->unit->set_variant_byte(0x55); // an RQ7-NV: 10 A at most, below the 20 A start values
    connect_unit();
    QCOMPARE(w<QDoubleSpinBox>("main_overcurrent_limit")->value(), 10.0);
    QVERIFY(!window->changes_are_pending());
    QVERIFY(same_image(w<QAction>("act_write")->icon(), QIcon(":/icon/greenled.ico")));

    box_answerer boxes;
    log_capture log;
    w<QAction>("act_write")->trigger();
    QTest::qWait(300);
    QVERIFY(log.contains("No changes to write to device"));
    QVERIFY(boxes.boxes.isEmpty());
    QVERIFY(sim->unit->received_frames().isEmpty());
}

void test_mainwindow_edits::values_being_typed_are_taken_by_every_command()
{
    QByteArray modes = rq7_sim_unit::factory_mode_block();
    modes[20] = char(0xA2); // pump prime delay is open to edits on "Duty table + pump delay"
    modes[21] = char(0xB2);
    sim->unit->set_mode_block(modes);
    connect_and_read();

    type_into(w<QSpinBox>("pump_prime_delay"), "100");
    click_tool_button("act_write");
    QCOMPARE(sim->unit->pump_prime_delay(), quint16(8)); // 104 ms, the next 13 ms step
    QCOMPARE(w<QSpinBox>("pump_prime_delay_2")->value(), 104);

    type_into(w<QDoubleSpinBox>("pulses_per_rev"), "3");
    click_tool_button("act_write");
    QCOMPARE(sim->unit->rpm_scaler(), quint8(6));

    type_into(w<QDoubleSpinBox>("max_boost"), "30");
    click_tool_button("act_write");
    QCOMPARE(u16_at(sim->unit->table(1), 542), quint16(706)); // the top row's MAP counts

    // A cell editor left open.
    auto* table = w<duty_table>("main_table");
    table->setCurrentCell(4, 4);
    table->editItem(table->item(4, 4));
    QVERIFY(window->focusWidget() && window->focusWidget()->parentWidget() == table->viewport());
    QTest::keyClicks(window->focusWidget(), "77");
    click_tool_button("act_write");
    QCOMPARE(u16_at(sim->unit->table(1), ((15 - 4) * 16 + 4) * 2), quint16(788));

    // Saving, from the menu as from the tool bar.
    type_into(w<QDoubleSpinBox>("pulses_per_rev"), "4");
    QTemporaryDir dir;
    const QString name = dir.filePath("typed.vkini");
    dialog_answerer dialogs;
    dialogs.answers << name;
    w<QAction>("act_save_as")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(name), 10000);
    QSettings file(name, QSettings::IniFormat);
    file.beginGroup("rq7_vars");
    file.beginReadArray("ints");
    file.setArrayIndex(i_rpm_scaler);
    QCOMPARE(file.value("RPM scaler").toUInt(), 8u);
}

void test_mainwindow_edits::boost_threshold_keeps_its_counts_across_units()
{
    connect_and_read();
    auto* threshold = w<QDoubleSpinBox>("main_vert_axis_gt");
    threshold->setValue(45); // PSI: 948 counts
    auto* units = w<QComboBox>("boost_select");
    units->setCurrentText("kPa");
    QVERIFY(threshold->value() > 310);
    run("act_write");
    QCOMPARE(u16_at(sim->unit->table(1), 630), quint16(948));
    units->setCurrentText("PSI");
    QCOMPARE(threshold->value(), 45.0);
    run("act_write");
    QCOMPARE(u16_at(sim->unit->table(1), 630), quint16(948));
}

void test_mainwindow_edits::writing_unread_settings_asks_first()
{
    connect_unit();
    w<QSpinBox>("main_min_duty")->setValue(25);
    box_answerer boxes;
    boxes.press = QMessageBox::Cancel;
    w<QAction>("act_write")->trigger();
    w<QAction>("act_write_all")->trigger();
    QTest::qWait(300);
    QCOMPARE(boxes.boxes.size(), 2);
    for (const message_box::contents& box : boxes.boxes) {
        QCOMPARE(box.text, QString("Nothing has been read from this unit yet. Writing replaces "
                                   "its settings with what the window shows."));
        QCOMPARE(box.buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(box.texts.value(QMessageBox::Ok), QString("Write"));
        QCOMPARE(box.default_button, QMessageBox::Cancel);
    }
    QVERIFY(sim->unit->received_frames().isEmpty());
    QVERIFY(window->changes_are_pending());

    boxes.press = QMessageBox::Ok;
    run("act_write");
    QCOMPARE(boxes.boxes.size(), 3);
    QCOMPARE(sim->unit->table(1), window->gui_to_byteArray(t_main));

    // The unit now holds what the window shows: no more questions.
    w<QSpinBox>("main_min_duty")->setValue(30);
    run("act_write");
    QCOMPARE(boxes.boxes.size(), 3);
}

void test_mainwindow_edits::an_edit_made_while_writing_waits_for_the_next_write()
{
    connect_and_read();
    w<QSpinBox>("main_min_duty")->setValue(25);
    w<QAction>("act_write")->trigger();
    w<QSpinBox>("aux_min_duty")->setValue(30); // before the worker has answered
    QTRY_VERIFY_WITH_TIMEOUT(w<QAction>("act_write_all")->isEnabled(), 15000);
    QVERIFY(window->changes_are_pending());
    QVERIFY(same_image(w<QAction>("act_write")->icon(), QIcon(":/icon/redled.ico")));
    run("act_write");
    QCOMPARE(sim->unit->table(0), window->gui_to_byteArray(t_aux));
}

QTEST_MAIN(test_mainwindow_edits)
#include "test_mainwindow_edits.moc"
