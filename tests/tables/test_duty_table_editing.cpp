// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter.h"
#include "duty_table.h"
#include "duty_table_delegate.h"
#include "duty_table_editor.h"
#include "log_capture.h"
#include "modal_driver.h"
#include "scripts_dialog.h"

#include <QClipboard>
#include <QMenu>
#include <QSignalSpy>
#include <QToolTip>
#include <QUndoStack>
#include <QtTest>

#include <memory>

namespace {

QStringList repeated(int n, const QString& text)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out.append(text);
    return out;
}

} // namespace

class test_duty_table_editing : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void copy_puts_rows_and_tabs();
    void paste_block_is_cut_at_the_edges();
    void paste_shapes_data();
    void paste_shapes();
    void paste_single_value_fills_selection();
    void paste_clamps_to_percent();
    void clear_and_cut();
    void clear_without_selection_does_nothing();
    void editor_refuses_above_100();
    void arrow_key_commits_and_moves();
    void delegate_edge_cases();
    void context_menu();
    void each_edit_is_one_undo_step_data();
    void each_edit_is_one_undo_step();
    void program_changes_are_no_undo_steps();
    void marks_show_the_other_value();

private:
    // Sends the platform's standard key sequence to the table, as a user would.
    void press(QKeySequence::StandardKey key)
    {
        QTest::keySequence(table.get(), QKeySequence(key));
    }
    QStringList texts(int row, int column, int rows, int cols) const;
    void select(int top, int left, int bottom, int right);

    std::unique_ptr<duty_table> table;
    std::unique_ptr<QSignalSpy> bulk;
    std::unique_ptr<QSignalSpy> single;
};

void test_duty_table_editing::init()
{
    table = std::make_unique<duty_table>(16, 16);
    table->setSelectionMode(QAbstractItemView::ContiguousSelection);
    table->resize(900, 600);
    table->show();
    QVERIFY(QTest::qWaitForWindowActive(table.get()));
    for (int i = 0; i < 256; ++i)
        table->item(i / 16, i % 16)->setText(QString::number(i % 100));
    bulk = std::make_unique<QSignalSpy>(table.get(), &duty_table::many_cells_updated);
    single = std::make_unique<QSignalSpy>(table.get(), &QTableWidget::cellChanged);
}

void test_duty_table_editing::cleanup()
{
    bulk.reset();
    single.reset();
    table.reset();
}

QStringList test_duty_table_editing::texts(int row, int column, int rows, int cols) const
{
    QStringList out;
    for (int r = row; r < row + rows; ++r)
        for (int c = column; c < column + cols; ++c)
            out.append(table->item(r, c)->text());
    return out;
}

void test_duty_table_editing::select(int top, int left, int bottom, int right)
{
    table->setCurrentCell(top, left);
    table->clearSelection();
    table->setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
}

void test_duty_table_editing::copy_puts_rows_and_tabs()
{
    table->item(2, 3)->setText("1");
    table->item(2, 4)->setText("2");
    table->item(3, 3)->setText("3");
    table->item(3, 4)->setText("4");
    select(2, 3, 3, 4);
    QApplication::clipboard()->setText("before");
    press(QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(), QString("1\t2\n3\t4\n"));

    // Nothing selected: the clipboard keeps what it had.
    table->clearSelection();
    QApplication::clipboard()->setText("before");
    press(QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(), QString("before"));
}

void test_duty_table_editing::paste_block_is_cut_at_the_edges()
{
    const QVector<double> before = table->cell_values();
    QApplication::clipboard()->setText("1\t2\n3\t4\n");
    table->setCurrentCell(14, 15);
    single->clear();
    press(QKeySequence::Paste);
    QCOMPARE(table->item(14, 15)->text(), QString("1"));
    QCOMPARE(table->item(15, 15)->text(), QString("3"));
    QVector<double> after = table->cell_values();
    after[15] = before[15];           // row 15, column 15
    after[16 + 15] = before[16 + 15]; // row 14, column 15
    QCOMPARE(after, before);
    QCOMPARE(bulk->count(), 1);
    QCOMPARE(single->count(), 0);
    QCOMPARE(table->item(14, 15)->background().color(), QColor(127, 127, 255));
}

void test_duty_table_editing::paste_shapes_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("row_0");
    QTest::addColumn<int>("announced");
    QTest::addColumn<QString>("warning");
    const QStringList unchanged = {"0", "1", "2", "3"};
    QTest::newRow("no newline") << "25" << unchanged << 0 << "";
    QTest::newRow("not a number") << "abc\n" << unchanged << 0 << "abc";
    QTest::newRow("empty middle is 0") << "17\t\t3\n"
                                       << QStringList{"17", "0", "3", "3"} << 1 << "";
    QTest::newRow("parts not a multiple of rows") << "1\t2\n3\n" << unchanged << 0 << "";
    QTest::newRow("trailing blank lines count as rows") << "1\n\n" << unchanged << 0 << "";
    QTest::newRow("bad part skipped") << "9\tx\t8\n" << QStringList{"9", "1", "8", "3"} << 1 << "x";
    QTest::newRow("windows line ends") << "5\t6\r\n" << QStringList{"5", "6", "2", "3"} << 1 << "";
}

void test_duty_table_editing::paste_shapes()
{
    QFETCH(QString, clipboard);
    QFETCH(QStringList, row_0);
    QFETCH(int, announced);
    QFETCH(QString, warning);
    QApplication::clipboard()->setText(clipboard);
    table->setCurrentCell(0, 0);
    single->clear();
    log_capture log;
    press(QKeySequence::Paste);
    QCOMPARE(texts(0, 0, 1, 4), row_0);
    QCOMPARE(texts(1, 0, 1, 2), QStringList({"16", "17"}));
    QCOMPARE(bulk->count(), announced);
    QCOMPARE(single->count(), 0);
    if (warning.isEmpty()) {
        QCOMPARE(log.entries().size(), 0);
    } else {
        QCOMPARE(log.entries().size(), 1);
        QCOMPARE(log.entries().first().type, QtWarningMsg);
        QVERIFY(log.contains("Text in clipboard not a valid number"));
        QVERIFY(log.contains(warning));
    }
}

void test_duty_table_editing::paste_single_value_fills_selection()
{
    select(4, 5, 5, 7);
    QApplication::clipboard()->setText("25\n");
    single->clear();
    press(QKeySequence::Paste);
    QCOMPARE(texts(4, 5, 2, 3), repeated(6, "25"));
    QCOMPARE(table->item(4, 4)->text(), QString("68"));
    QCOMPARE(table->item(6, 5)->text(), QString("1"));
    QCOMPARE(bulk->count(), 1);
    QCOMPARE(single->count(), 0);
    QCOMPARE(table->item(5, 7)->background().color(), QColor(127, 255, 255));

    // Nothing selected: nothing to fill.
    table->clearSelection();
    QApplication::clipboard()->setText("30\n");
    press(QKeySequence::Paste);
    QCOMPARE(bulk->count(), 1);
}

void test_duty_table_editing::paste_clamps_to_percent()
{
    select(0, 0, 0, 1);
    QApplication::clipboard()->setText("150\n");
    press(QKeySequence::Paste);
    QCOMPARE(texts(0, 0, 1, 2), QStringList({"100", "100"}));

    table->setCurrentCell(2, 0);
    QApplication::clipboard()->setText("-20\t 7 \t250\n");
    press(QKeySequence::Paste);
    QCOMPARE(texts(2, 0, 1, 3), QStringList({"0", "7", "100"}));
    QCOMPARE(bulk->count(), 2);
}

void test_duty_table_editing::clear_and_cut()
{
    select(1, 1, 2, 2);
    single->clear();
    press(QKeySequence::Delete);
    QCOMPARE(texts(1, 1, 2, 2), repeated(4, "0"));
    QCOMPARE(table->item(1, 3)->text(), QString("19"));
    QCOMPARE(bulk->count(), 1);
    QCOMPARE(single->count(), 0);
    QCOMPARE(table->item(1, 1)->background().color(), QColor(Qt::white));

    select(3, 0, 3, 2);
    press(QKeySequence::Cut);
    QCOMPARE(QApplication::clipboard()->text(), QString("48\t49\t50\n"));
    QCOMPARE(texts(3, 0, 1, 3), repeated(3, "0"));
    QCOMPARE(bulk->count(), 2);
}

void test_duty_table_editing::clear_without_selection_does_nothing()
{
    table->setCurrentCell(5, 5);
    table->clearSelection();
    const QVector<double> before = table->cell_values();
    press(QKeySequence::Delete);
    QCOMPARE(table->cell_values(), before);
    QCOMPARE(bulk->count(), 0);
}

void test_duty_table_editing::editor_refuses_above_100()
{
    table->setCurrentCell(0, 0);
    QTest::keyClick(table.get(), Qt::Key_F2);
    auto* editor = qobject_cast<duty_table_editor*>(QApplication::focusWidget());
    QVERIFY(editor);
    QCOMPARE(editor->text(), QString("0"));
    editor->selectAll();
    QTest::keyClicks(editor, "150");
    QCOMPARE(editor->text(), QString("15"));
    editor->selectAll();
    QTest::keyClicks(editor, "-x1000");
    QCOMPARE(editor->text(), QString("100"));
    QCOMPARE(editor->maxLength(), 3);
    QTest::keyClick(editor, Qt::Key_Return); // the delegate commits from the event loop
    QTRY_COMPARE(table->item(0, 0)->text(), QString("100"));
    QCOMPARE(single->count(), 1);
    QCOMPARE(table->item(0, 0)->background().color(), QColor(255, 127, 127));
}

void test_duty_table_editing::arrow_key_commits_and_moves()
{
    table->setCurrentCell(3, 3);
    QTest::keyClick(table.get(), Qt::Key_F2);
    auto* editor = qobject_cast<duty_table_editor*>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "42");
    QTest::keyClick(editor, Qt::Key_Right);
    QCOMPARE(table->currentColumn(), 4);
    QCOMPARE(table->currentRow(), 3);
    QCOMPARE(table->item(3, 3)->text(), QString("42"));
    QCOMPARE(single->count(), 1);
    QCOMPARE(bulk->count(), 0);

    QTest::keyClick(table.get(), Qt::Key_F2);
    editor = qobject_cast<duty_table_editor*>(QApplication::focusWidget());
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_Down);
    QCOMPARE(table->currentRow(), 4);
    QCOMPARE(table->currentColumn(), 4);
}

void test_duty_table_editing::delegate_edge_cases()
{
    auto* delegate = qobject_cast<duty_table_delegate*>(table->itemDelegate());
    QVERIFY(delegate);
    const QModelIndex index = table->model()->index(2, 3);
    {
        QWidget not_a_line_edit;
        log_capture log;
        delegate->setEditorData(&not_a_line_edit, index);
        QCOMPARE(
            log.count("Some kind of weird mixup opening up an editor at index 3x2", QtCriticalMsg),
            1);
    }
    duty_table_editor editor;
    editor.setText("");
    delegate->setModelData(&editor, table->model(), index);
    QCOMPARE(table->item(2, 3)->text(), QString("0"));
    editor.setText("77");
    delegate->setModelData(&editor, table->model(), index);
    QCOMPARE(table->item(2, 3)->text(), QString("77"));
}

void test_duty_table_editing::context_menu()
{
    QStringList entries;
    QTimer::singleShot(0, this, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* action : menu->actions())
            entries.append(action->isSeparator() ? QString("-") : action->text());
        menu->actions().last()->trigger();
        menu->close();
    });
    modal_driver<scripts_dialog> user([](scripts_dialog* dialog) { dialog->reject(); });
    const QPoint at(10, 10);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, table->viewport()->mapToGlobal(at));
    QApplication::sendEvent(table->viewport(), &event);
    const QStringList expected = {
        "Cut (ctrl+x)", "Copy (ctrl+c)", "Paste (ctrl+v)", "Delete (del)", "-", "Scripts"};
    QCOMPARE(entries, expected);
    QCOMPARE(user.seen, 1); // "Scripts" opened the scripts dialog
    QVERIFY(table->findChildren<QMenu*>().isEmpty());
    QVERIFY(table->findChildren<QAction*>().isEmpty());
}

void test_duty_table_editing::each_edit_is_one_undo_step_data()
{
    QTest::addColumn<int>("edit");
    QTest::addColumn<QString>("text");
    QTest::newRow("paste") << 0 << "paste into Main table";
    QTest::newRow("delete") << 1 << "delete in Main table";
    QTest::newRow("cut") << 2 << "cut from Main table";
    QTest::newRow("script") << 3 << "script on Main table";
    QTest::newRow("typed") << 4 << "cell edit in Main table";
    QTest::newRow("set cells") << 5 << "take the other value";
}

void test_duty_table_editing::each_edit_is_one_undo_step()
{
    QFETCH(int, edit);
    QFETCH(QString, text);
    QUndoStack stack;
    table->set_undo_stack(&stack, "Main table");
    const QVector<quint16> before = table->counts();
    select(2, 2, 9, 9); // 64 cells
    QApplication::clipboard()->setText("55\n");
    switch (edit) {
    case 0:
        press(QKeySequence::Paste);
        break;
    case 1:
        press(QKeySequence::Delete);
        break;
    case 2:
        press(QKeySequence::Cut);
        break;
    case 3:
        table->apply_script("old + 7;");
        break;
    case 4: {
        QTest::keyClick(table.get(), Qt::Key_F2);
        QWidget* editor = QApplication::focusWidget();
        QTest::keyClicks(editor, "3");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(single->count(), 1);
        break;
    }
    default:
        table->set_cells({{2, 2, 1023}, {9, 9, 10}, {15, 15, 512}}, text);
        break;
    }
    const QVector<quint16> after = table->counts();
    QVERIFY(after != before);
    QCOMPARE(stack.count(), 1);
    QCOMPARE(stack.undoText(), text);

    bulk->clear();
    single->clear();
    stack.undo();
    QCOMPARE(table->counts(), before); // exactly the counts the edit found
    QCOMPARE(table->item(2, 2)->background().color(), QColor(127, 255, 191)); // 34 %
    stack.redo();
    QCOMPARE(table->counts(), after);
    // Each step reaches the graph and the change tracking as one bulk change.
    QCOMPARE(bulk->count(), 2);
    QCOMPARE(single->count(), 0);
    QCOMPARE(bulk->last().at(0).value<QVector<double>>(), table->cell_values());
}

void test_duty_table_editing::program_changes_are_no_undo_steps()
{
    QUndoStack stack;
    table->set_undo_stack(&stack, "AUX table");
    converter conv;
    table->conv = &conv;
    table->fill_all("20");
    table->from_byteArray(QByteArray(512, '\0'));
    table->load_counts({{0, 0, 1023}});
    select(0, 0, 1, 1);
    QApplication::clipboard()->setText("abc\n"); // refused: nothing changes
    press(QKeySequence::Paste);
    QApplication::clipboard()->setText("100\n"); // only (0, 0) holds 100 already
    table->setRangeSelected(QTableWidgetSelectionRange(0, 0, 1, 1), false);
    select(0, 0, 0, 0);
    press(QKeySequence::Paste);
    QCOMPARE(stack.count(), 0);

    // Without a stack the edits work as before and record nothing.
    table->set_undo_stack(nullptr, QString());
    select(3, 3, 3, 3);
    press(QKeySequence::Delete);
    QCOMPARE(table->item(3, 3)->text(), QString("0"));
    QCOMPARE(stack.count(), 0);
}

void test_duty_table_editing::marks_show_the_other_value()
{
    table->set_mark(3, 4, "55 %");
    table->set_mark(3, 4, "56 %");
    table->set_mark(16, 0, "outside"); // ignored
    QVERIFY(table->has_marks());
    QCOMPARE(table->mark(3, 4), QString("56 %"));
    // The mark stays on its place while the cell is edited.
    select(3, 4, 3, 4);
    press(QKeySequence::Delete);
    QCOMPARE(table->mark(3, 4), QString("56 %"));
    const QRect cell = table->visualRect(table->model()->index(3, 4));
    QHelpEvent tip(QEvent::ToolTip, cell.center(), table->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(table->viewport(), &tip);
    QTRY_COMPARE(QToolTip::text(), QString("Other value: 56 %"));
    table->set_mark(3, 4, QString());
    QVERIFY(!table->has_marks());
    table->set_mark(0, 0, "1 %");
    table->clear_marks();
    QVERIFY(!table->has_marks());
    QCOMPARE(table->mark(0, 0), QString());
}

QTEST_MAIN(test_duty_table_editing)
#include "test_duty_table_editing.moc"
