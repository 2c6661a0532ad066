// SPDX-License-Identifier: GPL-3.0-or-later
// Undo and redo of the user's edits, and comparing the window with a settings file or the
// unit, on the real window against the simulated unit.
#include "box_answerer.h"
#include "dialog_answerer.h"
#include "duty_table.h"
#include "modal_driver.h"
#include "rq7_protocol.h"
#include "settings_wizard.h"
#include "window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

class test_mainwindow_undo : public QObject, public window_fixture
{
    Q_OBJECT

private slots:
    void init()
    {
        start();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void cleanup() { stop(); }

    void table_edits_undo_and_redo_with_the_pending_state();
    void field_changes_undo_to_the_same_counts();
    void compare_marks_lists_and_takes_the_other_value();

private:
    void select(duty_table* table, int top, int left, int bottom, int right);
    void key(duty_table* table, QKeySequence::StandardKey key);
    /// Changes a spin box as the user does: a new value, then leaving the field.
    void type(const char* name, double value);
    QStringList cells(duty_table* table, int row, int column, int count) const;
};

void test_mainwindow_undo::select(duty_table* table, int top, int left, int bottom, int right)
{
    table->setCurrentCell(top, left);
    table->clearSelection();
    table->setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
}

void test_mainwindow_undo::key(duty_table* table, QKeySequence::StandardKey k)
{
    QTest::keySequence(table, QKeySequence(k));
}

void test_mainwindow_undo::type(const char* name, double value)
{
    QAbstractSpinBox* box = w<QAbstractSpinBox>(name);
    if (auto* spin = qobject_cast<QSpinBox*>(box))
        spin->setValue(int(value));
    else
        qobject_cast<QDoubleSpinBox*>(box)->setValue(value);
    emit box->editingFinished();
    QTest::qWait(1); // the step is taken once the event loop has run
}

QStringList test_mainwindow_undo::cells(duty_table* table, int row, int column, int count) const
{
    QStringList out;
    for (int c = column; c < column + count; ++c)
        out << table->item(row, c)->text();
    return out;
}

void test_mainwindow_undo::table_edits_undo_and_redo_with_the_pending_state()
{
    connect_and_read();
    auto* table = w<duty_table>("main_table");
    QAction* undo = w<QAction>("act_undo");
    QAction* redo = w<QAction>("act_redo");
    QCOMPARE(undo->shortcut(), QKeySequence("Ctrl+Z"));
    QCOMPARE(redo->shortcuts(),
             (QList<QKeySequence>{QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")}));
    QVERIFY(!undo->isEnabled());
    const QByteArray read = window->gui_to_byteArray(t_main);
    const QStringList row_2 = cells(table, 2, 0, 8);

    select(table, 2, 0, 9, 7); // 64 cells
    QApplication::clipboard()->setText("77\n");
    key(table, QKeySequence::Paste);
    select(table, 2, 0, 2, 1);
    key(table, QKeySequence::Delete);
    select(table, 2, 2, 2, 3);
    table->apply_script("old - 10;"); // what the scripts dialog's OK runs
    const QByteArray edited = window->gui_to_byteArray(t_main);
    QCOMPARE(cells(table, 2, 0, 4), (QStringList{"0", "0", "67", "67"}));
    QCOMPARE(undo->text(), QString("Undo script on Main table"));
    QVERIFY(window->changes_are_pending());

    undo->trigger();
    QCOMPARE(cells(table, 2, 0, 4), (QStringList{"0", "0", "77", "77"}));
    QCOMPARE(undo->text(), QString("Undo delete in Main table"));
    QVERIFY(window->changes_are_pending()); // still not what the unit holds
    undo->trigger();
    QCOMPARE(undo->text(), QString("Undo paste into Main table"));
    undo->trigger(); // the 64 cells of the paste are one step
    QCOMPARE(cells(table, 2, 0, 8), row_2);
    QCOMPARE(window->gui_to_byteArray(t_main), read);
    QVERIFY(!undo->isEnabled());
    QVERIFY(!window->changes_are_pending()); // back to the unit: Write turns green

    redo->trigger();
    QCOMPARE(redo->text(), QString("Redo delete in Main table"));
    QVERIFY(window->changes_are_pending());
    redo->trigger();
    redo->trigger();
    QCOMPARE(window->gui_to_byteArray(t_main), edited);
    for (int n = 0; n < 3; ++n)
        undo->trigger();
    QVERIFY(!window->changes_are_pending());
    run("act_write");
    QVERIFY(sim->unit->received_frames().isEmpty()); // nothing to send
}

void test_mainwindow_undo::field_changes_undo_to_the_same_counts()
{
    connect_and_read();
    QAction* undo = w<QAction>("act_undo");
    const QByteArray read = window->gui_to_byteArray(t_main);
    auto* max_boost = w<QDoubleSpinBox>("max_boost");
    const double shown = max_boost->value();

    type("max_boost", shown + 3.3);
    w<QComboBox>("boost_select")->setCurrentIndex(2); // kPa
    QTest::qWait(1);
    QCOMPARE(undo->text(), QString("Undo change of boost unit"));
    undo->trigger(); // back to PSI
    QCOMPARE(w<QComboBox>("boost_select")->currentIndex(), 0);
    QCOMPARE(undo->text(), QString("Undo change of max boost"));
    undo->trigger();
    QCOMPARE(max_boost->value(), shown);
    QCOMPARE(window->gui_to_byteArray(t_main), read); // the same counts
    QVERIFY(!window->changes_are_pending());

    // A value typed digit by digit is one step; a mode is one step with what its rules move.
    auto* pulses = w<QDoubleSpinBox>("pulses_per_rev");
    const double pulses_read = pulses->value();
    pulses->setValue(pulses_read + 1);
    QTest::qWait(1);
    pulses->setValue(pulses_read + 11.5);
    QTest::qWait(1);
    emit pulses->editingFinished();
    w<QComboBox>("main_control")->setCurrentIndex(2);
    QTest::qWait(1);
    QVERIFY(window->changes_are_pending());
    undo->trigger();
    QCOMPARE(undo->text(), QString("Undo change of pulses per rev"));
    undo->trigger();
    QCOMPARE(pulses->value(), pulses_read);
    QVERIFY(!undo->isEnabled());
    QVERIFY(!window->changes_are_pending());

    // The wizard, fields and cells, is one step.
    {
        modal_driver<settings_wizard> user([](settings_wizard* wizard) { wizard->accept(); });
        w<QPushButton>("btn_settings_wizard")->click();
    }
    QTest::qWait(1);
    QVERIFY(window->gui_to_byteArray(t_main) != read);
    QCOMPARE(undo->text(), QString("Undo settings wizard"));
    undo->trigger();
    QVERIFY(!undo->isEnabled());
    QCOMPARE(window->gui_to_byteArray(t_main), read);
    QVERIFY(!window->changes_are_pending());

    type("main_min_duty", 30);
    QVERIFY(undo->isEnabled());
    run("act_read"); // a Read starts a new history
    QVERIFY(!undo->isEnabled());
    QVERIFY(!w<QAction>("act_redo")->isEnabled());
}

void test_mainwindow_undo::compare_marks_lists_and_takes_the_other_value()
{
    QTemporaryDir dir;
    connect_and_read();
    const QString file = dir.filePath("unit.vkini");
    {
        dialog_answerer dialogs;
        dialogs.answers << file;
        w<QAction>("act_save_as")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(file), 10000);
    }
    run("act_read"); // nothing pending, as read
    auto* table = w<duty_table>("aux_table");
    const QString was = table->item(4, 4)->text();
    for (int column : {4, 5, 6})
        table->item(4, column)->setText(
            QString::number((table->item(4, column)->text().toInt() + 11) % 100));
    type("pulses_per_rev", w<QDoubleSpinBox>("pulses_per_rev")->value() + 1);
    const bool pending = window->changes_are_pending();

    box_answerer boxes;
    {
        dialog_answerer dialogs;
        dialogs.answers << file;
        w<QAction>("act_compare_file")->trigger();
    }
    auto* list = w<QListWidget>("differences_list");
    QCOMPARE(list->count(), 4);
    QVERIFY(list->item(0)->text().startsWith("Pulses per revolution: "));
    QVERIFY(list->item(1)->text().startsWith("AUX table, "));
    QVERIFY(list->item(1)->text().endsWith(QString("| %1 %").arg(was)));
    QVERIFY(!w<QDoubleSpinBox>("pulses_per_rev")->styleSheet().isEmpty());
    int marked = 0;
    for (int row = 0; row < 16; ++row)
        for (int column = 0; column < 16; ++column)
            marked += !table->mark(row, column).isEmpty();
    QCOMPARE(marked, 3);
    QCOMPARE(table->mark(4, 4), was + " %");
    QCOMPARE(window->changes_are_pending(), pending); // comparing changes nothing pending
    QVERIFY(boxes.boxes.isEmpty());

    // A click goes to the page and cell; taking its value is one step.
    list->setCurrentItem(list->item(1));
    emit list->itemClicked(list->item(1));
    QCOMPARE(child<QTabWidget>(window.get(), "main_tab")->currentWidget(),
             window->findChild<QWidget*>("aux"));
    QCOMPARE(table->currentRow(), 4);
    QCOMPARE(table->currentColumn(), 4);
    w<QAction>("act_take_other_value")->trigger();
    QCOMPARE(table->item(4, 4)->text(), was);
    QTRY_COMPARE(list->count(), 3);
    QCOMPARE(w<QAction>("act_undo")->text(), QString("Undo take the other value"));
    w<QAction>("act_undo")->trigger();
    QTRY_COMPARE(list->count(), 4);
    QVERIFY(table->item(4, 4)->text() != was);

    // The unit holds what the file holds: the same differences, and nothing written.
    w<QAction>("act_compare_unit")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(w<QAction>("act_compare_unit")->isEnabled(), 10000);
    QCOMPARE(list->count(), 4);
    QVERIFY(!sim->unit->received_frames().isEmpty());
    for (const QByteArray& frame : sim->unit->received_frames())
        QCOMPARE(quint8(frame.at(1)), quint8(msg_read_param)); // reads only
    QCOMPARE(window->changes_are_pending(), pending);

    // Closed with its own button, the dock comes back from the File menu with its marks.
    auto* dock = w<QDockWidget>("differences_dock");
    dock->close();
    QVERIFY(!dock->isVisible());
    QVERIFY(!table->mark(4, 5).isEmpty());
    w<QAction>("act_show_differences")->trigger();
    QVERIFY(dock->isVisible());

    w<QAction>("act_clear_comparison")->trigger();
    QVERIFY(!w<QAction>("act_show_differences")->isEnabled());
    QCOMPARE(table->mark(4, 5), QString());
    QVERIFY(w<QDoubleSpinBox>("pulses_per_rev")->styleSheet().isEmpty());
}

QTEST_MAIN(test_mainwindow_undo)
#include "test_mainwindow_undo.moc"
