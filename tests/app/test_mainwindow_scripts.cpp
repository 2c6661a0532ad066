// SPDX-License-Identifier: GPL-3.0-or-later
// The tables' 3D graphs in the window, and the settings wizard building the main table, up to
// what the simulated unit receives.
#include "box_answerer.h"
#include "converter.h"
#include "duty_table.h"
#include "modal_driver.h"
#include "settings_wizard.h"
#include "table_graph.h"
#include "table_grapher.h"
#include "window_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QtTest>

#include <cmath>

namespace {

double graph_at(const table_graph* graph, int x, int y)
{
    const mglData& data = graph->drawing()->data;
    return data.a[x + y * data.nx];
}

/// What the user enters into the wizard.
struct wizard_input
{
    double start_psi = 10;
    double full_psi = 25;
    int full_rpm = 4000;
};

void type_into(QAbstractSpinBox* field, const QString& text)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Enter);
}

} // namespace

class test_mainwindow_scripts : public QObject, public window_fixture
{
    Q_OBJECT

private slots:
    void init() { start(); }
    void cleanup() { stop(); }

    void graphs_follow_their_tables();
    void wizard_rounds_full_rpm_only();
    void wizard_builds_the_main_table_data();
    void wizard_builds_the_main_table();
    void wizard_keeps_the_boost_range_usable();
    void wizard_gives_the_same_counts_in_every_unit();
    void wizard_cancel_changes_nothing();
    void wizard_table_reaches_the_unit();

private:
    /// Opens the wizard from its button and answers it; returns the full RPM it offered.
    int run_wizard(const wizard_input& input, bool ok = true);
    QStringList main_row(int row);
};

int test_mainwindow_scripts::run_wizard(const wizard_input& input, bool ok)
{
    int offered = -1;
    modal_driver<settings_wizard> user([&](settings_wizard* wizard) {
        auto* full_rpm = wizard->findChild<QSpinBox*>("full_inj_rpm");
        offered = full_rpm->value();
        wizard->findChild<QDoubleSpinBox*>("start_inj_psi")->setValue(input.start_psi);
        wizard->findChild<QDoubleSpinBox*>("full_inj_psi")->setValue(input.full_psi);
        full_rpm->setValue(input.full_rpm);
        ok ? wizard->accept() : wizard->reject();
    });
    w<QPushButton>("btn_settings_wizard")->click();
    if (user.seen != 1)
        qWarning("the wizard did not open");
    return offered;
}

QStringList test_mainwindow_scripts::main_row(int row)
{
    QStringList out;
    auto* table = w<duty_table>("main_table");
    for (int column = 0; column < table->columnCount(); ++column)
        out << table->item(row, column)->text();
    return out;
}

void test_mainwindow_scripts::graphs_follow_their_tables()
{
    for (const char* page : {"main", "aux", "gpo1", "gpo2"}) {
        auto* table = child<duty_table>(window.get(), qPrintable(QString(page) + "_table"));
        auto* graph = child<table_graph>(window.get(), qPrintable(QString(page) + "_graph"));
        QCOMPARE(int(graph->drawing()->data.nx), 16);
        table->item(0, 2)->setText("60"); // a single edit, as the cell editor commits it
        QCOMPARE(graph_at(graph, 2, 15), 60.0);
        table->setRangeSelected(QTableWidgetSelectionRange(15, 0, 15, 3), true);
        table->apply_script("old + 40;"); // a bulk change
        QCOMPARE(graph_at(graph, 3, 0), 40.0);
        QCOMPARE(graph_at(graph, 2, 15), 60.0);
    }
}

void test_mainwindow_scripts::wizard_rounds_full_rpm_only()
{
    settings_wizard wizard(window.get(), 1500, 10, 4000, 25, 20000, 400);
    wizard.show();
    type_into(wizard.findChild<QSpinBox*>("full_inj_rpm"), "4100");
    type_into(wizard.findChild<QSpinBox*>("start_inj_rpm"), "4100");
    const settings_wizard::points points = wizard.get_points();
    QCOMPARE(points.full_inj_rpm, 4500);
    QCOMPARE(points.start_inj_rpm, 4100);
    QVERIFY(!(wizard.windowFlags() & Qt::WindowContextHelpButtonHint));
}

void test_mainwindow_scripts::wizard_builds_the_main_table_data()
{
    QTest::addColumn<int>("full_rpm");
    QTest::addColumn<int>("full_column"); // where row 1 first reaches 100 %
    // Max engine speed 8000: columns 0, 1000, 1500, ..., 8000.
    QTest::newRow("4000 RPM") << 4000 << 7;
    QTest::newRow("at the last column") << 8000 << 15;
    QTest::newRow("beyond the last column") << 12000 << 15;
}

void test_mainwindow_scripts::wizard_builds_the_main_table()
{
    QFETCH(int, full_rpm);
    QFETCH(int, full_column);
    auto* table = w<duty_table>("main_table");
    table->item(15, 3)->setText("33"); // outside the gradient's block
    table->item(6, 0)->setText("44");
    box_answerer boxes;
    run_wizard({10, 25, full_rpm});

    QCOMPARE(w<QComboBox>("main_control")->currentIndex(), 1);
    QVERIFY(table->isEnabled());
    QCOMPARE(w<QDoubleSpinBox>("min_boost")->value(), 9.0);
    QCOMPARE(w<QDoubleSpinBox>("max_boost")->value(), 26.0);
    QCOMPARE(w<QDoubleSpinBox>("main_vert_axis_gt")->value(), 9.0);
    QCOMPARE(table->vert_header_at(0), 26.0);

    const QStringList row1 = main_row(1);
    QCOMPARE(row1[full_column], QString("100"));
    QVERIFY(row1[full_column - 1].toInt() < 100);
    QCOMPARE(main_row(14)[1], QString("0"));
    QCOMPARE(table->item(15, 3)->text(), QString("33"));
    QCOMPARE(table->item(6, 0)->text(), QString("44"));
    QVERIFY(table->selectedRanges().isEmpty());
    QCOMPARE(graph_at(w<table_graph>("main_graph"), full_column, 14), 100.0);

    // Every table on the MAP sensor follows the new boost range, not only the main one.
    QCOMPARE(w<duty_table>("aux_table")->vert_header_at(0), 26.0);

    // The wizard offers the full RPM accepted last.
    QCOMPARE(run_wizard({10, 25, 4000}, false), full_rpm);
}

void test_mainwindow_scripts::wizard_keeps_the_boost_range_usable()
{
    // 11 and 12 PSI would make a range 3 PSI wide, too narrow for an axis: the maximum moves
    // up as it would when typed by hand.
    box_answerer boxes;
    run_wizard({12, 12, 4000});
    QCOMPARE(w<QDoubleSpinBox>("min_boost")->value(), 11.0);
    QCOMPARE(w<QDoubleSpinBox>("max_boost")->value(), 16.0);
    auto* table = w<duty_table>("main_table");
    QCOMPARE(table->vert_header_at(15), 11.0);
    QCOMPARE(table->vert_header_at(0), 16.0);
}

void test_mainwindow_scripts::wizard_gives_the_same_counts_in_every_unit()
{
    box_answerer boxes;
    const converter* conv = window->unit_converter();
    QList<QList<quint16>> counts;
    QList<QVector<double>> cells;
    for (int unit : {0, 1, 2}) { // PSI, Bar, kPa
        w<QComboBox>("boost_select")->setCurrentIndex(unit);
        // 10 and 25 PSI as the user types them in the unit shown.
        auto typed = [conv](double psi) { return std::round(psi * conv->boost_units * 100) / 100; };
        run_wizard({typed(10), typed(25), 4000});
        counts << QList<quint16>{conv->boost2adc(w<QDoubleSpinBox>("min_boost")->value()),
                                 conv->boost2adc(w<QDoubleSpinBox>("max_boost")->value()),
                                 conv->boost2adc(w<QDoubleSpinBox>("main_vert_axis_gt")->value())};
        cells << w<duty_table>("main_table")->cell_values();
    }
    // One PSI below the start and above the full point: 9 and 26 PSI.
    QCOMPARE(counts[0], (QList<quint16>{conv->boost2adc(9 * conv->boost_units),
                                        conv->boost2adc(26 * conv->boost_units),
                                        conv->boost2adc(9 * conv->boost_units)}));
    QCOMPARE(counts[1], counts[0]);
    QCOMPARE(counts[2], counts[0]);
    // The same ramp; the rows' breakpoints follow the unit shown (whole steps in PSI).
    QCOMPARE(cells[1], cells[0]);
    QCOMPARE(cells[2], cells[0]);
}

void test_mainwindow_scripts::wizard_cancel_changes_nothing()
{
    auto* table = w<duty_table>("main_table");
    table->item(3, 3)->setText("12");
    const QVector<double> cells = table->cell_values();
    const double min_boost = w<QDoubleSpinBox>("min_boost")->value();
    const double max_boost = w<QDoubleSpinBox>("max_boost")->value();
    const double threshold = w<QDoubleSpinBox>("main_vert_axis_gt")->value();
    const int control = w<QComboBox>("main_control")->currentIndex();

    const int offered = run_wizard({20, 40, 6000}, false);
    QCOMPARE(window->statusBar()->currentMessage(),
             QString("Cancelled settings wizard, injection table not updated."));
    QCOMPARE(table->cell_values(), cells);
    QCOMPARE(w<QDoubleSpinBox>("min_boost")->value(), min_boost);
    QCOMPARE(w<QDoubleSpinBox>("max_boost")->value(), max_boost);
    QCOMPARE(w<QDoubleSpinBox>("main_vert_axis_gt")->value(), threshold);
    QCOMPARE(w<QComboBox>("main_control")->currentIndex(), control);
    QCOMPARE(run_wizard({10, 25, 4000}, false), offered); // the remembered RPM is kept

    // On an analog axis the wizard's pressures would land in volts: it does not open.
    w<QComboBox>("main_vert_axis")->setCurrentIndex(1);
    const double volts = w<QDoubleSpinBox>("main_vert_axis_gt")->value();
    box_answerer boxes;
    modal_driver<settings_wizard> user([](settings_wizard* wizard) { wizard->accept(); });
    w<QPushButton>("btn_settings_wizard")->click();
    QCOMPARE(user.seen, 0);
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes[0].text,
             QString("The settings wizard needs the main table on the MAP sensor"));
    QCOMPARE(w<QDoubleSpinBox>("main_vert_axis_gt")->value(), volts);
    QCOMPARE(table->cell_values(), cells);
}

void test_mainwindow_scripts::wizard_table_reaches_the_unit()
{
    box_answerer boxes;
    window->connect_attempt();
    QTRY_VERIFY_WITH_TIMEOUT(w<QAction>("act_read")->isEnabled(), 10000);
    w<QAction>("act_read")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(w<QAction>("act_write_all")->isEnabled(), 15000);
    w<QSpinBox>("max_engine_speed")->setValue(8000);

    run_wizard({10, 25, 4000});
    w<QAction>("act_write")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!window->changes_are_pending(), 15000);
    const QByteArray record = sim->unit->table(1);
    QCOMPARE(record, window->gui_to_byteArray(t_main));
    // Row 1, column 7 (the column of 4000 RPM) is 100 %: 03FF in the cell block.
    const int offset = ((16 - 1 - 1) * 16 + 7) * 2;
    QCOMPARE(record.mid(offset, 2).toHex(), QByteArray("03ff"));
}

QTEST_MAIN(test_mainwindow_scripts)
#include "test_mainwindow_scripts.moc"
