// SPDX-License-Identifier: GPL-3.0-or-later
// Every writable field of the window, one row each: a value the unit does not hold yet goes
// in, Write, and the unit must hold exactly the bytes worked out here by hand; a fresh window
// reading the unit must show every value again.
#include "duty_table.h"
#include "mainwindow.h"
#include "message_box.h"
#include "sim_fixture.h"
#include "window_access.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSettings>
#include <QSpinBox>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

/// Where the unit keeps a field.
enum class store { aux, main, gpo1, gpo2, modes, map_cal, rpm_scaler, pump_prime };

struct field_row
{
    const char* widget;
    double value; // combo box: the item's index; table: the cell's percent
    store where;
    int offset;
    const char* bytes; // hex, as the unit must hold them
};

// Byte offsets of a table record.
constexpr int bottom_row = 512, top_row = 542, last_column = 574, header = 609;
constexpr int undercurrent = 613, overcurrent = 615, time_delay = 617, vert_gt = 630;
constexpr int horz_gt = 632, source = 638;

/// The cell block holds the bottom row first, two bytes a cell.
constexpr int cell(int row, int column)
{
    return ((15 - row) * 16 + column) * 2;
}

// Applied in this order: modes and sources come before what they enable or re-scale. Values
// never repeat the factory setting nor a twin's (GPI1/GPI2, MAIN/AUX, GPO1/GPO2). MAIN stays
// on the MAP sensor: some table must carry the boost range.
const field_row rows[] = {
    // The factory calibration is open for editing (Edit Defaults) while these go in. The
    // active atmospheric reading comes before the intercept, which it would move.
    {"base_slope", 15.9, store::map_cal, 0, "00003e1c"}, // x 1000
    {"base_intercept", 220.5, store::map_cal, 4, "00035d54"},
    {"base_atm", 221, store::map_cal, 8, "00dd"},
    {"active_atm", 226, store::map_cal, 18, "00e2"},
    {"active_intercept", 224.75, store::map_cal, 14, "00036dee"},
    {"active_slope", 16.5, store::map_cal, 10, "00004074"},
    {"active_deadband", 4, store::map_cal, 20, "0042"}, // 4 PSI x 16.5
    {"aux_control", 3, store::modes, 21, "b3"},
    {"main_control", 0, store::modes, 20, "a0"},
    {"gpo1_control", 5, store::modes, 22, "d5"},
    {"gpo2_control", 6, store::modes, 23, "e6"},
    {"gpi1_control", 3, store::modes, 24, "53"},
    {"gpi1_request", 35, store::modes, 25, "0166"}, // round(35 x 1023 / 100) = 358
    {"gpi2_control", 4, store::modes, 27, "54"},
    {"gpi2_request", 60, store::modes, 28, "0266"},
    {"gpi1_act_delay", 26, store::modes, 30, "0002"}, // 13 ms steps
    {"gpi1_deact_delay", 39, store::modes, 32, "0003"},
    {"gpi2_act_delay", 52, store::modes, 34, "0004"},
    {"gpi2_deact_delay", 65, store::modes, 36, "0005"},
    {"pump_prime_delay", 117, store::pump_prime, 0, "0009"},
    {"pulses_per_rev", 2.5, store::rpm_scaler, 0, "05"}, // half pulses
    {"max_engine_speed", 9500, store::aux, last_column, "251c"},
    {"max_engine_speed", 9500, store::main, last_column, "251c"},
    {"max_engine_speed", 9500, store::gpo1, last_column, "251c"},
    {"max_engine_speed", 9500, store::gpo2, last_column, "251c"},
    {"aux_vert_axis", 2, store::aux, source, "a3"},
    {"gpo1_vert_axis", 1, store::gpo1, source, "a2"},
    {"gpo2_vert_axis", 2, store::gpo2, source, "a3"},
    // Boost goes to counts with the active calibration above: 2 x 16.5 + 224.75 = 257.75.
    {"min_boost", 2, store::main, bottom_row, "0102"},
    {"max_boost", 30, store::main, top_row, "02d0"},
    {"min_an1_input", 0.3, store::gpo1, bottom_row, "003d"}, // 204.6 counts a volt
    {"max_an1_input", 4.2, store::gpo1, top_row, "035b"},
    {"min_an2_input", 0.8, store::aux, bottom_row, "00a4"},
    {"max_an2_input", 3.9, store::aux, top_row, "031e"},
    {"main_vert_axis_gt", 12, store::main, vert_gt, "01a7"},
    {"aux_vert_axis_gt", 1.25, store::aux, vert_gt, "0100"},
    {"gpo1_vert_axis_gt", 2.35, store::gpo1, vert_gt, "01e1"},
    {"gpo2_vert_axis_gt", 3.1, store::gpo2, vert_gt, "027a"},
    {"main_horz_axis_gt", 2100, store::main, horz_gt, "0834"},
    {"aux_horz_axis_gt", 2300, store::aux, horz_gt, "08fc"},
    {"gpo1_horz_axis_gt", 2700, store::gpo1, horz_gt, "0a8c"},
    {"gpo2_horz_axis_gt", 3100, store::gpo2, horz_gt, "0c1c"},
    {"main_min_duty", 35, store::main, header, "0166"},
    {"aux_min_duty", 20, store::aux, header, "00cd"},
    {"main_undercurrent_limit", 3.5, store::main, undercurrent, "0048"}, // 20.48 counts an amp
    {"aux_undercurrent_limit", 1.5, store::aux, undercurrent, "001f"},
    {"main_overcurrent_limit", 12.5, store::main, overcurrent, "0100"},
    {"aux_overcurrent_limit", 17, store::aux, overcurrent, "015c"},
    {"main_time_delay", 1200, store::main, time_delay, "000004b0"},
    {"aux_time_delay", 2300, store::aux, time_delay, "000008fc"},
    {"gpo1_act_delay", 104, store::gpo1, header, "0008"},
    {"gpo1_deact_delay", 130, store::gpo1, header + 2, "000a"},
    {"gpo2_act_delay", 156, store::gpo2, header, "000c"},
    {"gpo2_deact_delay", 182, store::gpo2, header + 2, "000e"},
    {"aux_table", 12, store::aux, cell(2, 5), "007b"}, // round(12 x 1023 / 100) = 123
    {"main_table", 42, store::main, cell(7, 9), "01ae"},
    {"gpo1_table", 67, store::gpo1, cell(11, 3), "02ad"},
    {"gpo2_table", 91, store::gpo2, cell(14, 14), "03a3"},
};

/// The table cell a row's offset names.
QTableWidgetItem* cell_of(duty_table* table, int offset)
{
    return table->item(15 - offset / 32, offset / 2 % 16);
}

/// Enters a value as the user's edit would: a spin box's editing finishes after the change.
void enter(QWidget* field, const field_row& row)
{
    if (auto* combo = qobject_cast<QComboBox*>(field)) {
        combo->setCurrentIndex(int(row.value));
    } else if (auto* table = qobject_cast<duty_table*>(field)) {
        cell_of(table, row.offset)->setText(QString::number(row.value));
    } else if (auto* spin = qobject_cast<QSpinBox*>(field)) {
        spin->setValue(int(row.value));
        QMetaObject::invokeMethod(spin, "editingFinished");
    } else if (auto* spin_d = qobject_cast<QDoubleSpinBox*>(field)) {
        spin_d->setValue(row.value);
        QMetaObject::invokeMethod(spin_d, "editingFinished");
    }
}

double shown(QWidget* field, const field_row& row)
{
    if (auto* combo = qobject_cast<QComboBox*>(field))
        return combo->currentIndex();
    if (auto* table = qobject_cast<duty_table*>(field))
        return cell_of(table, row.offset)->text().toDouble();
    if (auto* spin = qobject_cast<QSpinBox*>(field))
        return spin->value();
    if (auto* spin_d = qobject_cast<QDoubleSpinBox*>(field))
        return spin_d->value();
    return NAN;
}

QByteArray held(const rq7_sim_unit& unit, store where)
{
    switch (where) {
    case store::modes:
        return unit.mode_block();
    case store::map_cal:
        return unit.map_cal_block();
    case store::rpm_scaler:
        return QByteArray(1, char(unit.rpm_scaler()));
    case store::pump_prime:
        return QByteArray::fromHex(
            QByteArray::number(unit.pump_prime_delay(), 16).rightJustified(4, '0'));
    default: // the four tables, in the unit's order
        return unit.table(int(where));
    }
}

} // namespace

class test_mainwindow_fields : public QObject
{
    Q_OBJECT

private slots:
    void every_field_reaches_the_unit_and_comes_back();

private:
    std::unique_ptr<MainWindow> read_window();
};

std::unique_ptr<MainWindow> test_mainwindow_fields::read_window()
{
    auto window = std::make_unique<MainWindow>();
    window->show();
    window->connect_attempt();
    auto* read = child<QAction>(window.get(), "act_read");
    auto* write_all = child<QAction>(window.get(), "act_write_all");
    if (!QTest::qWaitFor([read] { return read->isEnabled(); }, 10000))
        return nullptr;
    read->trigger();
    if (!QTest::qWaitFor([write_all] { return write_all->isEnabled(); }, 15000))
        return nullptr;
    return window;
}

void test_mainwindow_fields::every_field_reaches_the_unit_and_comes_back()
{
    sim_fixture sim;
    QSettings().clear();
    // The user agrees: to editing the factory calibration, and to a calibration read back.
    message_box::set_answerer([](const message_box::contents& box) {
        return box.buttons & QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::Ok;
    });
    auto window = read_window();
    QVERIFY(window);
    child<QAbstractButton>(window.get(), "map_cal_edit_defaults")->click();
    for (const field_row& row : rows)
        enter(child<QWidget>(window.get(), row.widget), row);
    child<QAction>(window.get(), "act_write")->trigger();
    auto* write_all = child<QAction>(window.get(), "act_write_all");
    QTRY_VERIFY_WITH_TIMEOUT(write_all->isEnabled(), 15000);

    QStringList wrong;
    for (const field_row& row : rows) {
        const QByteArray expected(row.bytes);
        const QByteArray actual = held(*sim.unit, row.where).mid(row.offset, expected.size() / 2);
        if (actual.toHex() != expected)
            wrong
                << QString("%1 sent as %2, expected %3").arg(row.widget, actual.toHex(), expected);
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join("; ")));

    window.reset();
    window = read_window();
    QVERIFY(window);
    for (const field_row& row : rows) {
        const double value = shown(child<QWidget>(window.get(), row.widget), row);
        if (std::abs(value - row.value) > 1e-9)
            wrong << QString("%1 reads back as %2, expected %3")
                         .arg(row.widget)
                         .arg(value)
                         .arg(row.value);
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join("; ")));
    message_box::set_answerer({});
}

QTEST_MAIN(test_mainwindow_fields)
#include "test_mainwindow_fields.moc"
