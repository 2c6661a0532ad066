// The table record: the 640-byte image of one duty table that travels unchanged between the
// window, the unit and settings files. It holds the 16 x 16 cells, both axes, the output's
// header (minimum duty, current limits, time delay or GPO delays, thresholds) and the
// vertical source, closed by an XOR check byte. Multi-byte fields are big-endian.
//
// Only the two ends of each axis survive a load: the window always regenerates the
// breakpoints in between from the global range widgets (set_table_axis).
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "converter.h"
#include "duty_table.h"
#include "log_graph.h"
#include "vertical_label.h"

#include <QDebug>
#include <QHeaderView>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int record_size = 640;
constexpr int cell_block_size = 512;
constexpr int breakpoints = 16;
constexpr int vert_breakpoints_at = 512; // bottom row first, 10-bit counts
constexpr int horz_breakpoints_at = 544; // column 0 first, RPM
constexpr int header_marker_at = 608;
constexpr int header_at = 609;
constexpr int thresholds_at = 630;
constexpr int source_at = 638;
constexpr int check_at = 639;
constexpr quint8 header_marker = 0xCC;
constexpr quint8 first_source_code = 0xA1;
constexpr int last_source_code_index = 3; // 0xA4: known to the unit, not offered here
constexpr int delay_step_ms = 13;         // the unit counts delays in 13 ms steps

quint8 byte_at(const QByteArray& record, int at)
{
    return quint8(record.at(at));
}

quint16 u16_at(const QByteArray& record, int at)
{
    return quint16(byte_at(record, at) << 8 | byte_at(record, at + 1));
}

/// A 10-bit count: only the low two bits of the high byte belong to it.
quint16 counts_at(const QByteArray& record, int at)
{
    return quint16((byte_at(record, at) & 0x03) << 8 | byte_at(record, at + 1));
}

quint32 u32_at(const QByteArray& record, int at)
{
    return quint32(u16_at(record, at)) << 16 | u16_at(record, at + 2);
}

void append_u16(QByteArray& record, quint16 value)
{
    record.append(char(value >> 8));
    record.append(char(value & 0xFF));
}

void append_counts(QByteArray& record, quint16 counts)
{
    record.append(char((counts >> 8) & 0x03));
    record.append(char(counts & 0xFF));
}

void append_u32(QByteArray& record, quint32 value)
{
    append_u16(record, quint16(value >> 16));
    append_u16(record, quint16(value & 0xFFFF));
}

void append_zeros(QByteArray& record, int count)
{
    record.append(count, '\0');
}

quint8 check_byte(const QByteArray& record, int length)
{
    quint8 check = 0;
    for (int i = 0; i < length; ++i)
        check ^= byte_at(record, i);
    return check;
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
    return quint16(std::lround(double(ms) / delay_step_ms));
}

/// Blocks the signals of every widget given until the list goes out of scope, then restores
/// each widget's previous state.
class signal_blocks
{
public:
    // Unblocked in reverse order, so that nested blocks of one widget restore correctly.
    ~signal_blocks()
    {
        while (!blocks.empty())
            blocks.pop_back();
    }

    void add(QObject* object)
    {
        if (object)
            blocks.emplace_back(object);
    }

private:
    std::vector<QSignalBlocker> blocks;
};

} // namespace

const MainWindow::table_widgets* MainWindow::widgets_of(table_index table) const
{
    switch (table) {
    case t_aux:
    case t_main:
    case t_gpo1:
    case t_gpo2:
        return &tabs[table];
    default:
        return nullptr;
    }
}

quint8 MainWindow::encode_vertical_source(int index)
{
    if (index < 0 || index > last_source_code_index) {
        qCritical() << "Unhandled vert axis" << index;
        return 0;
    }
    return quint8(first_source_code + index);
}

int MainWindow::decode_vertical_source(quint8 code)
{
    const int index = code - first_source_code;
    if (index < 0 || index > last_source_code_index) {
        qCritical() << "Unhandled vert axis" << int(code);
        return 0;
    }
    return index;
}

/// A vertical value (boost in the shown unit, or volts) as the unit's 10-bit count.
quint16 MainWindow::vert_to_counts(int source, double value) const
{
    return source == 0 ? conv->boost2adc(value) : converter::volt2adc(value);
}

QByteArray MainWindow::gui_to_byteArray(table_index table)
{
    const table_widgets* w = widgets_of(table);
    if (!w) {
        qCritical() << "Unhandled table " << int(table);
        return QByteArray();
    }
    const int source = w->vert_axis->currentIndex();
    if (source < 0 || source > 2) {
        qCritical() << "Unhandled vert axis " << source;
        return QByteArray();
    }
    const QByteArray cells = w->table->to_byteArray();
    if (cells.size() != cell_block_size) {
        qCritical() << "Table" << table_names.value(table) << "has" << cells.size()
                    << "bytes of cells, expected" << cell_block_size;
        return QByteArray();
    }

    QByteArray record;
    record.reserve(record_size);
    record.append(cells);
    for (int row = breakpoints - 1; row >= 0; --row)
        append_counts(record, vert_to_counts(source, w->table->vert_header_at(row)));
    for (int column = 0; column < breakpoints; ++column)
        append_u16(record, quint16(w->table->horz_header_at(column)));
    append_zeros(record, 32);
    record.append(char(header_marker));
    if (w->min_duty) {
        append_counts(record, percent_to_counts(w->min_duty->value()));
        append_zeros(record, 2);
        append_counts(record, converter::current2adc(w->undercurrent_limit->value()));
        append_counts(record, converter::current2adc(w->overcurrent_limit->value()));
        append_u32(record, quint32(w->time_delay->value()));
    } else {
        append_u16(record, ms_to_delay_units(w->act_delay->value()));
        append_u16(record, ms_to_delay_units(w->deact_delay->value()));
        append_zeros(record, 2 + 2 + 4);
    }
    append_zeros(record, 9);
    append_counts(record, vert_to_counts(source, w->vert_axis_gt->value()));
    append_u16(record, quint16(w->horz_axis_gt->value()));
    append_zeros(record, 4);
    record.append(char(encode_vertical_source(source)));
    record.append(char(check_byte(record, record.size())));
    return record;
}

void MainWindow::byteArray_to_gui(table_index table, QByteArray record)
{
    if (record.size() != record_size) {
        qCritical() << "data not the right size, should be 640, is actually" << record.size();
        return;
    }
    const quint8 calculated = check_byte(record, check_at);
    if (calculated != byte_at(record, check_at)) {
        qCritical() << "data checksum incorrect, read again! calculated=" << int(calculated)
                    << "read=" << int(byte_at(record, check_at));
        return;
    }
    const table_widgets* w = widgets_of(table);
    if (!w) {
        qCritical() << "Unhandled table " << int(table);
        return;
    }
    w->table->from_byteArray(record.left(cell_block_size));

    // The global ranges are set from this record's axis ends without rebuilding every table
    // on the way; the tables are rebuilt once below.
    signal_blocks quiet;
    for (const table_widgets& tab : tabs)
        quiet.add(tab.vert_axis);
    for (QObject* range : std::initializer_list<QObject*>{
             ui->max_boost, ui->min_boost, ui->min_an1_input, ui->max_an1_input, ui->min_an2_input,
             ui->max_an2_input, ui->max_engine_speed})
        quiet.add(range);

    int source = decode_vertical_source(byte_at(record, source_at));
    if (source > 2) {
        qWarning() << "Unhandled vert axis" << source << "will be replaced with MAP sensor";
        source = 0;
    } else {
        load_axis_ends(source, counts_at(record, vert_breakpoints_at),
                       counts_at(record, vert_breakpoints_at + 2 * (breakpoints - 1)));
    }

    const quint16 first_rpm = u16_at(record, horz_breakpoints_at);
    if (first_rpm != 0) {
        qWarning() << "Horizontal minimum is not 0:" << first_rpm;
        qWarning("Table '%s' generated by the GUI won't line up 100%% when writing back to the "
                 "device",
                 qUtf8Printable(table_names.value(table)));
    }
    ui->max_engine_speed->setValue(u16_at(record, horz_breakpoints_at + 2 * (breakpoints - 1)));
    // Loading may keep the field's signals blocked; the graph's RPM axis follows it anyway.
    ui->live_log_graph->scale_rpm_axis(ui->max_engine_speed->value());

    w->vert_axis->setCurrentIndex(source);
    apply_vertical_source(table, w->vert_axis->currentIndex());
    for (table_index t : {t_main, t_aux, t_gpo1, t_gpo2})
        set_table_axis(t);

    if (byte_at(record, header_marker_at) == header_marker)
        load_header(table, *w, record);
}

void MainWindow::load_axis_ends(int source, quint16 bottom, quint16 top)
{
    switch (source) {
    case 0:
        ui->min_boost->setValue(conv->adc2boost(bottom));
        ui->max_boost->setValue(conv->adc2boost(top));
        break;
    case 1:
        ui->min_an1_input->setValue(converter::adc2volt(bottom));
        ui->max_an1_input->setValue(converter::adc2volt(top));
        break;
    case 2:
        ui->min_an2_input->setValue(converter::adc2volt(bottom));
        ui->max_an2_input->setValue(converter::adc2volt(top));
        break;
    default:
        break;
    }
}

/// The output's header: thresholds, and the limits (MAIN, AUX) or delays (GPOs).
void MainWindow::load_header(table_index table, const table_widgets& w, const QByteArray& record)
{
    signal_blocks quiet;
    for (const table_widgets& tab : tabs) {
        for (QObject* widget : std::initializer_list<QObject*>{
                 tab.min_duty, tab.undercurrent_limit, tab.overcurrent_limit, tab.time_delay,
                 tab.vert_axis_gt, tab.horz_axis_gt, tab.act_delay, tab.deact_delay})
            quiet.add(widget);
    }

    const quint16 threshold = counts_at(record, thresholds_at);
    w.vert_axis_gt->setValue(w.vert_axis->currentIndex() == 0 ? conv->adc2boost(threshold)
                                                              : converter::adc2volt(threshold));
    w.horz_axis_gt->setValue(u16_at(record, thresholds_at + 2));
    if (w.min_duty) {
        w.min_duty->setValue(counts_to_percent(counts_at(record, header_at)));
        w.undercurrent_limit->setValue(converter::adc2current(counts_at(record, header_at + 4)));
        w.overcurrent_limit->setValue(converter::adc2current(counts_at(record, header_at + 6)));
        const quint32 loops = u32_at(record, header_at + 8);
        w.time_delay->setValue(int(std::min<quint32>(loops, quint32(w.time_delay->maximum()))));
        return;
    }
    w.act_delay->setValue(u16_at(record, header_at) * delay_step_ms);
    w.deact_delay->setValue(u16_at(record, header_at + 2) * delay_step_ms);
    if (table == t_gpo1) {
        on_gpo1_act_delay_editingFinished();
        on_gpo1_deact_delay_editingFinished();
    } else {
        on_gpo2_act_delay_editingFinished();
        on_gpo2_deact_delay_editingFinished();
    }
}

void MainWindow::set_table_axis(table_index table)
{
    const table_widgets* w = widgets_of(table);
    if (!w) {
        qCritical() << "Unhandled table" << int(table);
        return;
    }
    duty_table* grid = w->table;
    const int source = w->vert_axis->currentIndex();
    switch (source) {
    case 0:
        // The stepped axis lands on round PSI values; in other units its steps mean nothing.
        if (ui->boost_select->currentText() == "PSI")
            grid->set_vert_axis(ui->min_boost->value(), ui->max_boost->value());
        else
            grid->set_vert_axis_linear(ui->min_boost->value(), ui->max_boost->value());
        break;
    case 1:
        grid->set_vert_axis_linear(ui->min_an1_input->value(), ui->max_an1_input->value());
        break;
    case 2:
        grid->set_vert_axis_linear(ui->min_an2_input->value(), ui->max_an2_input->value());
        break;
    default:
        qCritical() << "Unhandled vert axis" << source;
        return;
    }
    grid->set_horz_axis(ui->max_engine_speed->value());
    fit_table_to_grid(grid);
}

/// Sizes a table to its headers plus exactly 16 x 16 cells: the live-position lines divide
/// the viewport by the number of rows and columns, so no part of it may be left over.
void MainWindow::fit_table_to_grid(duty_table* table)
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

void MainWindow::main_field_changed()
{
    add_to_set(t_main);
    set_table_axis(t_main);
}

void MainWindow::aux_field_changed()
{
    add_to_set(t_aux);
    set_table_axis(t_aux);
}

void MainWindow::gpo1_field_changed()
{
    add_to_set(t_gpo1);
    set_table_axis(t_gpo1);
}

void MainWindow::gpo2_field_changed()
{
    add_to_set(t_gpo2);
    set_table_axis(t_gpo2);
}

// ---- vertical source ----

void MainWindow::on_main_vert_axis_currentIndexChanged(int index)
{
    apply_vertical_source(t_main, index);
}

void MainWindow::on_aux_vert_axis_currentIndexChanged(int index)
{
    apply_vertical_source(t_aux, index);
}

void MainWindow::on_gpo1_vert_axis_currentIndexChanged(int index)
{
    apply_vertical_source(t_gpo1, index);
}

void MainWindow::on_gpo2_vert_axis_currentIndexChanged(int index)
{
    apply_vertical_source(t_gpo2, index);
}

/// Relabels a table's tab for what its rows measure.
void MainWindow::apply_vertical_source(table_index table, int index)
{
    const table_widgets* w = widgets_of(table);
    if (!w)
        return;
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
        live_units = cust_ana_name;
        break;
    case 2:
        axis = "Analog Input B (Volts)";
        name = "AN B input";
        units = "Volts";
        live_units = cust_anb_name;
        break;
    default:
        qCritical() << "Unhandled vert axis" << index;
        return;
    }
    w->vert_axis_label->setText(axis);
    w->vert_axis_name->setText(name);
    w->vert_axis_name_2->setText(name);
    set_threshold_format(*w, index);
    w->vert_axis_gt->setRange(lowest, highest);
    w->vert_axis_units->setText(units);
    w->vert_axis_units_2->setText(live_units);
}

/// A boost threshold is shown like every boost field of the selected unit; a voltage
/// threshold always with two decimals, fine enough for the unit's 5 V / 1023 steps, so that a
/// threshold read from the unit survives being shown and written back.
void MainWindow::set_threshold_format(const table_widgets& w, int source)
{
    if (source == 0) {
        w.vert_axis_gt->setDecimals(conv->boost_decimals());
        w.vert_axis_gt->setSingleStep(conv->boost_step());
    } else {
        w.vert_axis_gt->setDecimals(2);
        w.vert_axis_gt->setSingleStep(0.1);
    }
}

// ---- vertical threshold ----

void MainWindow::on_main_vert_axis_gt_valueChanged(double value)
{
    clamp_vertical_threshold(t_main, value);
}

void MainWindow::on_aux_vert_axis_gt_valueChanged(double value)
{
    clamp_vertical_threshold(t_aux, value);
}

void MainWindow::on_gpo1_vert_axis_gt_valueChanged(double value)
{
    clamp_vertical_threshold(t_gpo1, value);
}

void MainWindow::on_gpo2_vert_axis_gt_valueChanged(double value)
{
    clamp_vertical_threshold(t_gpo2, value);
}

/// Keeps a boost threshold within what the MAP sensor can measure (counts 0..1023), rounded
/// inwards to the digits the box shows.
void MainWindow::clamp_vertical_threshold(table_index table, double value)
{
    const table_widgets* w = widgets_of(table);
    if (!w || w->vert_axis->currentIndex() != 0)
        return;
    QSignalBlocker quiet(w->vert_axis_gt);
    const double scale = std::pow(10.0, w->vert_axis_gt->decimals());
    const double lowest = std::ceil(conv->adc2boost(0) * scale) / scale;
    const double highest = std::floor(conv->adc2boost(converter::adc_max) * scale) / scale;
    if (value < lowest) {
        statusBar()->showMessage("At absolute minimum boost measurable by the RQ7-NVS");
        w->vert_axis_gt->setValue(lowest);
    } else if (value > highest) {
        statusBar()->showMessage("At absolute maximum boost measureable by the RQ7-NVS");
        w->vert_axis_gt->setValue(highest);
    }
}

// ---- GPO delays ----

/// Raises a delay to the next multiple of the unit's 13 ms step; true when it had to.
bool MainWindow::snap_delay(QSpinBox* delay)
{
    const int value = delay->value();
    if (value % delay_step_ms == 0)
        return false;
    delay->setValue(value + delay_step_ms - value % delay_step_ms);
    statusBar()->showMessage(
        QString("Can only set delay in increments of %1").arg(double(delay_step_ms), 0, 'f', 1));
    return true;
}

void MainWindow::on_gpo1_act_delay_editingFinished()
{
    snap_delay(ui->gpo1_act_delay);
    add_to_set(t_gpo1);
}

void MainWindow::on_gpo1_deact_delay_editingFinished()
{
    snap_delay(ui->gpo1_deact_delay);
    add_to_set(t_gpo1);
}

void MainWindow::on_gpo2_act_delay_editingFinished()
{
    snap_delay(ui->gpo2_act_delay);
    add_to_set(t_gpo2);
}

void MainWindow::on_gpo2_deact_delay_editingFinished()
{
    snap_delay(ui->gpo2_deact_delay);
    add_to_set(t_gpo2);
}
