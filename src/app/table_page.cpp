// SPDX-License-Identifier: GPL-3.0-or-later
#include "table_page.h"

#include "axis_ranges.h"
#include "change_sets.h"
#include "converter.h"
#include "delay_steps.h"
#include "duty_table.h"
#include "table_graph.h"
#include "table_record.h"
#include "vertical_label.h"

#include <QComboBox>
#include <QDebug>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using table_record::breakpoints;

const char* const prefixes[] = {"aux_", "main_", "gpo1_", "gpo2_"}; // by table_index

/// A widget of the page, null where the page has none (the GPO pages have no limits).
template <typename T>
T* page_widget(const QObject* form_root, table_index which, const char* name)
{
    return form_root->findChild<T*>(QString(prefixes[which]) + name);
}

quint16 percent_to_counts(int percent)
{
    return quint16(std::lround(std::clamp(percent, 0, 100) * 1023 / 100.0));
}

int counts_to_percent(quint16 counts)
{
    return quint8(std::lround(counts * 100 / 1023.0));
}

quint16 ms_to_delay_units(int ms)
{
    return quint16(std::lround(double(ms) / delay_steps::step_ms));
}

/// Sizes a table to its headers plus exactly 16 x 16 cells: the live-position lines divide
/// the viewport by the number of rows and columns, so no part of it may be left over.
void fit_table_to_grid(duty_table* table)
{
    const QHeaderView* rows = table->verticalHeader();
    const QHeaderView* columns = table->horizontalHeader();
    // The same header extents the table view reserves for its headers.
    const int row_header =
        std::min(std::max(rows->minimumWidth(), rows->sizeHint().width()), rows->maximumWidth());
    const int column_header = std::min(
        std::max(columns->minimumHeight(), columns->sizeHint().height()), columns->maximumHeight());
    const int frame = 2 * table->frameWidth();
    table->setFixedSize(frame + row_header + columns->length(),
                        frame + column_header + rows->length());
}

// A diagonal ramp over the selected block: 0 % at its bottom-left cell, 100 % in its second
// row at column x2 of the block; cells beyond either end come out below 0 or above 100.
const char* const gradient_script = "var min = 0;\n"
                                    "var max = 100;\n"
                                    "\n"
                                    "var x1 = 0;\n"
                                    "var x2 = %1;\n"
                                    "var a = x2 - x1;\n"
                                    "\n"
                                    "var y1 = sel_num_rows-1;\n"
                                    "var y2 = 1;\n"
                                    "var b = y2 - y1;\n"
                                    "\n"
                                    "var c1 = a*x1 + b*y1;\n"
                                    "var c2 = a*x2 + b*y2;\n"
                                    "var c = a*sel_col + b*sel_row;\n"
                                    "\n"
                                    "(min*(c2-c) + max*(c-c1)) / (c2-c1)\n";

} // namespace

table_page::table_page(table_index which_, QObject* form_root, converter* conv_,
                       const axis_ranges& ranges_, change_sets& changes_, QStatusBar* status_,
                       QObject* parent)
    : QObject(parent)
    , which(which_)
    , conv(conv_)
    , ranges(ranges_)
    , changes(changes_)
    , status(status_)
    , table(page_widget<duty_table>(form_root, which, "table"))
    , vert_axis(page_widget<QComboBox>(form_root, which, "vert_axis"))
    , vert_axis_label(page_widget<VerticalLabel>(form_root, which, "vert_axis_label"))
    , vert_axis_name(page_widget<QLabel>(form_root, which, "vert_axis_name"))
    , vert_axis_name_2(page_widget<QLabel>(form_root, which, "vert_axis_name_2"))
    , vert_axis_units(page_widget<QLabel>(form_root, which, "vert_axis_units"))
    , vert_axis_units_2(page_widget<QLabel>(form_root, which, "vert_axis_units_2"))
    , vert_axis_gt(page_widget<QDoubleSpinBox>(form_root, which, "vert_axis_gt"))
    , horz_axis_gt(page_widget<QSpinBox>(form_root, which, "horz_axis_gt"))
    , min_duty(page_widget<QSpinBox>(form_root, which, "min_duty"))
    , undercurrent_limit(page_widget<QDoubleSpinBox>(form_root, which, "undercurrent_limit"))
    , overcurrent_limit(page_widget<QDoubleSpinBox>(form_root, which, "overcurrent_limit"))
    , time_delay(page_widget<QSpinBox>(form_root, which, "time_delay"))
    , act_delay(page_widget<QSpinBox>(form_root, which, "act_delay"))
    , deact_delay(page_widget<QSpinBox>(form_root, which, "deact_delay"))
{
    setObjectName(QString(prefixes[which]) + "page");
    connect_graph(page_widget<table_graph>(form_root, which, "graph"));
    {
        const change_sets::loading_scope loading(changes);
        table->conv = conv;
        table->fill_all("0");
        set_axis();
        table->setEnabled(false);
    }
    // Paste, cut, Delete and scripts rewrite many cells with the table's signals blocked and
    // announce them only in one summary; without this they would never be written.
    connect(table, &duty_table::many_cells_updated, this, [this] { changes.add_to_set(which); });
}

/// Bulk changes reach the graph as one grid, single edits as one cell.
void table_page::connect_graph(table_graph* graph)
{
    graph->data_resize(table->columnCount(), table->rowCount());
    connect(table, &duty_table::many_cells_updated, graph, &table_graph::set_values);
    duty_table* cells = table;
    connect(table, &QTableWidget::cellChanged, graph, [cells, graph](int row, int column) {
        const QTableWidgetItem* cell = cells->item(row, column);
        graph->set_value(cell ? cell->text().toDouble() : 0, column, row);
    });
}

// ---- the table record ----

/// A vertical value (boost in the shown unit, or volts) as the unit's 10-bit count.
quint16 table_page::vert_to_counts(int source, double value) const
{
    return source == 0 ? conv->boost2adc(value) : converter::volt2adc(value);
}

QByteArray table_page::to_record() const
{
    const int index = vert_axis->currentIndex();
    if (index < 0 || index > 2) {
        qCritical() << "Unhandled vert axis " << index;
        return QByteArray();
    }
    table_record::fields f;
    f.cells = table->to_byteArray();
    if (f.cells.size() != table_record::cell_block_size) {
        qCritical() << "Table" << table_names.value(which) << "has" << f.cells.size()
                    << "bytes of cells, expected" << table_record::cell_block_size;
        return QByteArray();
    }
    for (int i = 0; i < breakpoints; ++i) // bottom row first
        f.vert[size_t(i)] = vert_to_counts(index, table->vert_header_at(breakpoints - 1 - i));
    for (int column = 0; column < breakpoints; ++column)
        f.horz[size_t(column)] = quint16(table->horz_header_at(column));
    if (min_duty) {
        f.min_duty = percent_to_counts(min_duty->value());
        f.undercurrent = converter::current2adc(undercurrent_limit->value());
        f.overcurrent = converter::current2adc(overcurrent_limit->value());
        f.time_delay = quint32(time_delay->value());
    } else {
        f.act_delay = ms_to_delay_units(act_delay->value());
        f.deact_delay = ms_to_delay_units(deact_delay->value());
    }
    f.vert_threshold = vert_to_counts(index, vert_axis_gt->value());
    f.horz_threshold = quint16(horz_axis_gt->value());
    f.source = table_record::encode_vertical_source(index);
    return table_record::encode(f, min_duty != nullptr);
}

void table_page::load_cells(const QByteArray& cells)
{
    table->from_byteArray(cells);
}

void table_page::load_header(const table_record::fields& f)
{
    std::vector<QSignalBlocker> quiet;
    for (QObject* widget : std::initializer_list<QObject*>{
             min_duty, undercurrent_limit, overcurrent_limit, time_delay, vert_axis_gt,
             horz_axis_gt, act_delay, deact_delay})
        if (widget)
            quiet.emplace_back(widget);

    vert_axis_gt->setValue(vert_axis->currentIndex() == 0 ? conv->adc2boost(f.vert_threshold)
                                                          : converter::adc2volt(f.vert_threshold));
    horz_axis_gt->setValue(f.horz_threshold);
    if (min_duty) {
        min_duty->setValue(counts_to_percent(f.min_duty));
        undercurrent_limit->setValue(converter::adc2current(f.undercurrent));
        overcurrent_limit->setValue(converter::adc2current(f.overcurrent));
        time_delay->setValue(int(std::min<quint32>(f.time_delay, quint32(time_delay->maximum()))));
        return;
    }
    act_delay->setValue(f.act_delay * delay_steps::step_ms);
    deact_delay->setValue(f.deact_delay * delay_steps::step_ms);
    finish_delay(true);
    finish_delay(false);
}

void table_page::set_axis()
{
    const int index = vert_axis->currentIndex();
    if (index < 0 || index > 2) {
        qCritical() << "Unhandled vert axis" << index;
        return;
    }
    const auto [bottom, top] = ranges.vertical_range(index);
    if (index == 0 && ranges.boost_in_psi())
        table->set_vert_axis(bottom, top);
    else
        table->set_vert_axis_linear(bottom, top);
    table->set_horz_axis(ranges.engine_speed());
    fit_table_to_grid(table);
}

// ---- vertical source and threshold ----

int table_page::source() const
{
    return vert_axis->currentIndex();
}

void table_page::load_source(int index)
{
    const QSignalBlocker quiet(vert_axis);
    vert_axis->setCurrentIndex(index);
}

void table_page::show_source(int index, const QString& input_a_quantity,
                             const QString& input_b_quantity)
{
    QString axis, name, units, live_units;
    double lowest = 0, highest = 5;
    switch (index) {
    case 0:
        axis = "Boost Pressure (" + conv->boost_units_name + ")";
        name = "MAP sensor";
        // Wide enough for all the sensor measures in any unit (in kPa it reaches past 300).
        lowest = std::min(-300.0, conv->adc2boost(0));
        highest = std::max(300.0, conv->adc2boost(converter::adc_max));
        units = conv->boost_units_name;
        live_units = conv->boost_units_name;
        break;
    case 1:
        axis = "Analog Input A (Volts)";
        name = "AN A input";
        units = "Volts";
        live_units = input_a_quantity;
        break;
    case 2:
        axis = "Analog Input B (Volts)";
        name = "AN B input";
        units = "Volts";
        live_units = input_b_quantity;
        break;
    default:
        qCritical() << "Unhandled vert axis" << index;
        return;
    }
    vert_axis_label->setText(axis);
    vert_axis_name->setText(name);
    vert_axis_name_2->setText(name);
    set_threshold_format(index);
    vert_axis_gt->setRange(lowest, highest);
    vert_axis_units->setText(units);
    vert_axis_units_2->setText(live_units);
}

/// A boost threshold is shown like every boost field of the selected unit; a voltage
/// threshold always with two decimals, fine enough for the unit's 5 V / 1023 steps, so that a
/// threshold read from the unit survives being shown and written back.
void table_page::set_threshold_format(int source)
{
    if (source == 0) {
        vert_axis_gt->setDecimals(conv->boost_decimals());
        vert_axis_gt->setSingleStep(conv->boost_step());
    } else {
        vert_axis_gt->setDecimals(2);
        vert_axis_gt->setSingleStep(0.1);
    }
}

void table_page::clamp_threshold(double value)
{
    if (vert_axis->currentIndex() != 0)
        return;
    QSignalBlocker quiet(vert_axis_gt);
    const double scale = std::pow(10.0, vert_axis_gt->decimals());
    const double lowest = std::ceil(conv->adc2boost(0) * scale) / scale;
    const double highest = std::floor(conv->adc2boost(converter::adc_max) * scale) / scale;
    if (value < lowest) {
        status->showMessage("At absolute minimum boost measurable by the RQ7-NVS");
        vert_axis_gt->setValue(lowest);
    } else if (value > highest) {
        status->showMessage("At absolute maximum boost measureable by the RQ7-NVS");
        vert_axis_gt->setValue(highest);
    }
}

void table_page::finish_delay(bool activation)
{
    if (!act_delay)
        return;
    delay_steps::snap(activation ? act_delay : deact_delay, status);
    changes.add_to_set(which);
}

// ---- what the output's mode enables ----

void table_page::enable_controls(bool grid, bool thresholds)
{
    table->setEnabled(grid);
    vert_axis->setEnabled(thresholds);
    vert_axis_gt->setEnabled(thresholds);
    horz_axis_gt->setEnabled(thresholds);
}

void table_page::enable_delays(bool enabled)
{
    if (!act_delay)
        return;
    act_delay->setEnabled(enabled);
    deact_delay->setEnabled(enabled);
}

void table_page::limit_overcurrent(double max_current)
{
    if (overcurrent_limit)
        overcurrent_limit->setMaximum(max_current);
}

void table_page::set_live_position_visible(bool visible)
{
    table->set_highlight_visible(visible);
}

void table_page::show_live_position(quint16 rpm, double vertical)
{
    table->set_highlight_position(rpm, vertical);
}

// ---- boost unit ----

void table_page::take_boost_counts()
{
    threshold_counts = conv->boost2adc(vert_axis_gt->value());
}

void table_page::show_boost_unit(const QString& input_a_quantity, const QString& input_b_quantity)
{
    // The threshold takes the new unit's range before its value: 45 PSI is 310 kPa, which
    // the range that suited PSI would cut to 300.
    const QSignalBlocker quiet(vert_axis_gt);
    show_source(vert_axis->currentIndex(), input_a_quantity, input_b_quantity);
    // A table on an analog input shows volts, whatever the boost unit.
    if (vert_axis->currentIndex() != 0)
        return;
    set_threshold_format(0);
    vert_axis_gt->setValue(conv->adc2boost(threshold_counts));
}

// ---- the settings wizard ----

int table_page::horizontal_threshold() const
{
    return horz_axis_gt->value();
}

double table_page::vertical_threshold() const
{
    return vert_axis_gt->value();
}

void table_page::set_thresholds(int rpm, double vertical)
{
    horz_axis_gt->setValue(rpm);
    vert_axis_gt->setValue(vertical);
}

void table_page::fill_gradient(int full_rpm)
{
    table->clear();
    int full_column = 0;
    while (full_column < table->columnCount() && table->horz_header_at(full_column) <= full_rpm)
        ++full_column;
    // Every cell but the bottom row and the left column.
    table->clearSelection();
    table->setRangeSelected(
        QTableWidgetSelectionRange(0, 1, table->rowCount() - 2, table->columnCount() - 1), true);
    table->apply_script(QString(gradient_script).arg(full_column - 2));
    table->clearSelection();
}
