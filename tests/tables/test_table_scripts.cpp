// SPDX-License-Identifier: GPL-3.0-or-later
// Scripts over a table's selected cells: results, variables, templates, errors and runaway
// scripts, and the dialog that remembers the last script.
#include "duty_table.h"
#include "log_capture.h"
#include "modal_driver.h"
#include "scripts_dialog.h"

#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

class test_table_scripts : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void results_data();
    void results();
    void variables_and_globals();
    void templates_data();
    void templates();
    void error_stops_the_run_and_announces_what_changed();
    void runaway_script_is_stopped();
    void dialog_remembers_the_last_script();

private:
    void select(int top, int left, int bottom, int right);
    /// Texts of a block, row by row.
    QStringList texts(int top, int left, int bottom, int right) const;
    /// Runs the "Scripts" entry: `prepare` acts on the dialog, then OK is pressed. Returns
    /// the text the dialog opened with.
    QString run_dialog(const std::function<void(scripts_dialog*)>& prepare, bool ok = true);

    std::unique_ptr<duty_table> table;
    std::unique_ptr<QSignalSpy> bulk;
};

void test_table_scripts::init()
{
    table = std::make_unique<duty_table>(16, 16);
    table->setSelectionMode(QAbstractItemView::ContiguousSelection);
    for (int i = 0; i < 256; ++i)
        table->item(i / 16, i % 16)->setText(QString::number(i % 100));
    bulk = std::make_unique<QSignalSpy>(table.get(), &duty_table::many_cells_updated);
}

void test_table_scripts::cleanup()
{
    bulk.reset();
    table.reset();
}

void test_table_scripts::select(int top, int left, int bottom, int right)
{
    table->clearSelection();
    table->setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
}

QStringList test_table_scripts::texts(int top, int left, int bottom, int right) const
{
    QStringList out;
    for (int row = top; row <= bottom; ++row)
        for (int column = left; column <= right; ++column)
            out << table->item(row, column)->text();
    return out;
}

QString test_table_scripts::run_dialog(const std::function<void(scripts_dialog*)>& prepare, bool ok)
{
    QString opened_with;
    modal_driver<scripts_dialog> user([&](scripts_dialog* dialog) {
        opened_with = dialog->get_script();
        prepare(dialog);
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        buttons->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    });
    table->script();
    if (user.seen != 1)
        qWarning("the scripts dialog did not open");
    return opened_with;
}

void test_table_scripts::results_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("old");
    QTest::addColumn<int>("expected");
    const struct
    {
        const char* name;
        const char* script;
        int old;
        int expected;
    } cases[] = {
        {"truncates", "old / 2;", 7, 3},
        {"add clamps at 100", "old + 25;", 90, 100},
        {"subtract clamps at 0", "old - 25;", 10, 0},
        {"empty script", "", 55, 0},
        {"text result", "'abc';", 55, 0},
        {"plus infinity", "old / 0;", 55, 100},
        {"negative fraction", "-0.9;", 55, 0},
    };
    for (const auto& c : cases)
        QTest::newRow(c.name) << QString(c.script) << c.old << c.expected;
}

void test_table_scripts::results()
{
    QFETCH(QString, script);
    QFETCH(int, old);
    QFETCH(int, expected);
    table->item(4, 4)->setText(QString::number(old));
    bulk->clear();
    select(4, 4, 4, 4);
    table->apply_script(script);
    QCOMPARE(table->item(4, 4)->text(), QString::number(expected));
    QCOMPARE(bulk->size(), 1);
    // The announcement carries the new grid, bottom row first.
    const QVector<double> values = bulk->at(0).at(0).value<QVector<double>>();
    QCOMPARE(values.at((15 - 4) * 16 + 4), double(expected));
}

void test_table_scripts::variables_and_globals()
{
    select(3, 5, 4, 7);
    table->apply_script("abs_row * 10 + abs_col - 30;");
    QCOMPARE(texts(3, 5, 4, 7), (QStringList{"5", "6", "7", "15", "16", "17"}));
    table->apply_script(
        "sel_row * 10 + sel_col + sel_num_rows * 1000 + sel_num_cols * 100 - 2300;");
    QCOMPARE(texts(3, 5, 4, 7), (QStringList{"0", "1", "2", "10", "11", "12"}));

    // Globals last from cell to cell within a run, and never into the next run.
    const QString counter = "var n = (typeof n == 'undefined') ? 1 : n + 1; n;";
    table->apply_script(counter);
    QCOMPARE(texts(3, 5, 4, 7), (QStringList{"1", "2", "3", "4", "5", "6"}));
    table->apply_script(counter);
    QCOMPARE(texts(3, 5, 4, 7), (QStringList{"1", "2", "3", "4", "5", "6"}));

    // A cell that does not hold a number is skipped; nothing selected runs nothing.
    table->item(3, 5)->setText("abc");
    table->apply_script("77;");
    QCOMPARE(texts(3, 5, 3, 6), (QStringList{"abc", "77"}));
    bulk->clear();
    table->clearSelection();
    table->apply_script("77;");
    QCOMPARE(bulk->size(), 0);
}

void test_table_scripts::templates_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QRect>("block"); // x = column, y = row
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("horizontal 1 x 5")
        << "h_gradient" << QRect(2, 6, 5, 1) << QStringList{"0", "25", "50", "75", "100"};
    QTest::newRow("horizontal, one column")
        << "h_gradient" << QRect(2, 6, 1, 3) << QStringList{"0", "0", "0"};
    QTest::newRow("vertical 5 x 1")
        << "v_gradient" << QRect(2, 6, 1, 5) << QStringList{"100", "75", "50", "25", "0"};
    QTest::newRow("diagonal 2 x 2")
        << "hv_gradient" << QRect(2, 6, 2, 2) << QStringList{"50", "100", "0", "50"};
}

void test_table_scripts::templates()
{
    QFETCH(QString, button);
    QFETCH(QRect, block);
    QFETCH(QStringList, expected);
    select(block.top(), block.left(), block.bottom(), block.right());
    run_dialog([&](scripts_dialog* dialog) { dialog->findChild<QPushButton*>(button)->click(); });
    QCOMPARE(texts(block.top(), block.left(), block.bottom(), block.right()), expected);
    QCOMPARE(bulk->size(), 1);
}

void test_table_scripts::error_stops_the_run_and_announces_what_changed()
{
    QList<QPair<QString, QString>> boxes;
    modal_driver<QMessageBox> user([&](QMessageBox* box) {
        boxes.append({box->text(), box->informativeText()});
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::Ok));
        box->button(QMessageBox::Ok)->click();
    });
    log_capture log;

    // Undefined at the first cell: one box, nothing changes, nothing is announced.
    select(2, 0, 3, 3);
    const QStringList before = texts(2, 0, 3, 3);
    table->apply_script("old + nothing_here;");
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].first, QString("Error trying to run script"));
    QCOMPARE(boxes[0].second, QString("This script threw an error:\n\nold + nothing_here;\n\nSee "
                                      "the user guide for help with scripting\nError:\n"
                                      "ReferenceError: Can't find variable: nothing_here"));
    QCOMPARE(texts(2, 0, 3, 3), before);
    QCOMPARE(bulk->size(), 0);
    QCOMPARE(log.count("Error trying to run script", QtCriticalMsg), 1);

    // Failing at the third cell: the first two keep their new values and are announced.
    select(2, 0, 2, 4);
    table->apply_script("if (sel_col == 2) throw 'bad cell'; 50;");
    QCOMPARE(boxes.size(), 2);
    QVERIFY(boxes[1].second.endsWith("Error:\nbad cell"));
    QCOMPARE(texts(2, 0, 2, 4), (QStringList{"50", "50", "34", "35", "36"}));
    QCOMPARE(bulk->size(), 1);
    QCOMPARE(bulk->at(0).at(0).value<QVector<double>>(), table->cell_values());
}

void test_table_scripts::runaway_script_is_stopped()
{
    QStringList boxes;
    modal_driver<QMessageBox> user([&](QMessageBox* box) {
        boxes.append(box->informativeText());
        box->button(QMessageBox::Ok)->click();
    });
    select(0, 0, 1, 1);
    QElapsedTimer clock;
    clock.start();
    table->apply_script("while (true) {}");
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes[0].contains("was stopped"));
    QCOMPARE(texts(0, 0, 1, 1), (QStringList{"0", "1", "16", "17"}));
}

void test_table_scripts::dialog_remembers_the_last_script()
{
    select(0, 0, 0, 0);
    const QString help = run_dialog([](scripts_dialog*) {}, false);
    QVERIFY(help.startsWith("// Super-simple scripting based on javascript.\n"));
    QVERIFY(help.endsWith("//    Math.tan(x)\n"));
    QCOMPARE(table->item(0, 0)->text(), QString("0")); // Cancel ran nothing

    auto type = [](const QString& text) {
        return [text](scripts_dialog* dialog) {
            dialog->findChild<QPlainTextEdit*>()->setPlainText(text);
        };
    };
    run_dialog(type("old + 5;"));
    QCOMPARE(table->item(0, 0)->text(), QString("5"));
    QCOMPARE(run_dialog(type("old + 1;"), false), QString("old + 5;"));
    QCOMPARE(run_dialog([](scripts_dialog*) {}, false), QString("old + 5;")); // Cancel keeps it

    // With nothing selected, OK still remembers the script.
    table->clearSelection();
    run_dialog(type("old * 3;"));
    QCOMPARE(table->item(0, 0)->text(), QString("5"));
    QCOMPARE(run_dialog([](scripts_dialog*) {}, false), QString("old * 3;"));

    // After an empty script the dialog opens on the help text again.
    select(0, 0, 0, 0);
    run_dialog([](scripts_dialog* dialog) { dialog->findChild<QPushButton*>("blank")->click(); });
    QCOMPARE(table->item(0, 0)->text(), QString("0"));
    QCOMPARE(run_dialog([](scripts_dialog*) {}, false), help);
}

QTEST_MAIN(test_table_scripts)
#include "test_table_scripts.moc"
