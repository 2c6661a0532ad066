// Change tracking: which edits mark which items as changed, how widget values become the
// worker's raw values and back, and the Read, Write and Write All commands.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "converter.h"
#include "duty_table.h"
#include "message_box.h"
#include "rq7_worker.h"

#include <QComboBox>
#include <QDebug>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace {

/// The parameters the unit takes in one IO-mode message, with the pump prime delay that the
/// AUX mode depends on.
const int_index op_mode_parameters[] = {
    i_main_mode,        i_aux_mode,       i_pump_prime_delay, i_gpo1_mode,    i_gpo2_mode,
    i_gpi1_mode,        i_gpi1_request,   i_gpi2_mode,        i_gpi2_request, i_gpi1_act_delay,
    i_gpi1_deact_delay, i_gpi2_act_delay, i_gpi2_deact_delay,
};

constexpr double delay_unit_ms = 13.0;
constexpr quint32 pid_gpo1_mode = 0xD8;

quint32 round_to_u32(double value)
{
    return value <= 0 ? 0u : static_cast<quint32>(std::lround(value));
}

/// Percent of full duty to 10-bit counts, capped at 100 %.
quint32 percent_to_counts(int percent)
{
    return round_to_u32(std::min(percent, 100) * 1023.0 / 100.0);
}

int counts_to_percent(quint32 counts)
{
    return static_cast<quint8>(std::lround(std::min(counts, 1023u) * 100.0 / 1023.0));
}

quint32 ms_to_delay(int ms)
{
    return round_to_u32(ms / delay_unit_ms);
}

/// Selects the mode whose code the unit reported; the low nibble is the item.
void show_mode(QComboBox* combo, quint32 code)
{
    const int index = int(code & 0x0F);
    // An unknown mode must not leave the box empty: that would be sent back as garbage.
    if (index >= combo->count()) {
        qWarning("Unknown mode 0x%x for %s, showing %s", code, qPrintable(combo->objectName()),
                 qPrintable(combo->itemText(0)));
        combo->setCurrentIndex(0);
        return;
    }
    combo->setCurrentIndex(index);
}

} // namespace

// ---- the sets ----

void MainWindow::show_changes_pending(bool pending)
{
    changes_pending = pending;
    ui->act_write->setIcon(pending ? red_icon : green_icon);
}

void MainWindow::add_to_set(table_index table)
{
    if (loading)
        return;
    qDebug().noquote() << "Adding " + table_names[table];
    changed_tables.insert(table);
    show_changes_pending(true);
}

void MainWindow::add_to_set(int_index parameter)
{
    if (loading)
        return;
    qDebug().noquote() << "Adding " + int_names[parameter];
    changed_ints.insert(parameter);
    show_changes_pending(true);
}

void MainWindow::add_to_set(adc_trim_index trim)
{
    if (loading)
        return;
    qDebug().noquote() << "Adding " + trim_names[trim];
    changed_trims.insert(trim);
    show_changes_pending(true);
}

void MainWindow::add_op_modes_to_set()
{
    for (int_index parameter : op_mode_parameters)
        add_to_set(parameter);
}

void MainWindow::queue_everything()
{
    for (table_index table : {t_aux, t_main, t_gpo1, t_gpo2})
        add_to_set(table);
    add_to_set(i_rpm_scaler);
    add_to_set(i_pump_prime_delay);
    for (int parameter = i_main_mode; parameter <= i_fw_version; ++parameter)
        add_to_set(int_index(parameter));
}

void MainWindow::on_main_table_cellChanged(int, int)
{
    add_to_set(t_main);
}

void MainWindow::on_aux_table_cellChanged(int, int)
{
    add_to_set(t_aux);
}

void MainWindow::on_gpo1_table_cellChanged(int, int)
{
    add_to_set(t_gpo1);
}

void MainWindow::on_gpo2_table_cellChanged(int, int)
{
    add_to_set(t_gpo2);
}

// ---- widgets to the worker's variables ----

quint32 MainWindow::field_to_var(int_index parameter) const
{
    switch (parameter) {
    case i_rpm_scaler:
        return static_cast<quint32>(ui->pulses_per_rev->value() * 2.0);
    case i_pump_prime_delay:
        return ms_to_delay(ui->pump_prime_delay->value());
    case i_main_mode:
        return 0xA0u | quint32(ui->main_control->currentIndex());
    case i_aux_mode:
        return 0xB0u | quint32(ui->aux_control->currentIndex());
    case i_gpo1_mode:
        return 0xD0u | quint32(ui->gpo1_control->currentIndex());
    case i_gpo2_mode:
        return 0xE0u | quint32(ui->gpo2_control->currentIndex());
    case i_gpi1_mode:
        return 0x50u | quint32(ui->gpi1_control->currentIndex());
    case i_gpi1_request:
        return percent_to_counts(ui->gpi1_request->value());
    case i_gpi2_mode:
        return 0x50u | quint32(ui->gpi2_control->currentIndex());
    case i_gpi2_request:
        return percent_to_counts(ui->gpi2_request->value());
    case i_base_slope:
        return round_to_u32(ui->base_slope->value() * 1000.0);
    case i_base_intercept:
        return round_to_u32(ui->base_intercept->value() * 1000.0);
    case i_base_atmospheric:
        return static_cast<quint32>(ui->base_atm->value());
    case i_active_slope:
        return round_to_u32(ui->active_slope->value() * 1000.0);
    case i_active_intercept:
        return round_to_u32(ui->active_intercept->value() * 1000.0);
    case i_active_atmospheric:
        return static_cast<quint32>(ui->active_atm->value());
    case i_active_deadband:
        return conv->deadband2adc(ui->active_deadband->value());
    case i_min_boost:
        return conv->boost2adc(ui->min_boost->value());
    case i_max_boost:
        return conv->boost2adc(ui->max_boost->value());
    case i_min_ana_input:
        return converter::volt2adc(ui->min_an1_input->value());
    case i_max_ana_input:
        return converter::volt2adc(ui->max_an1_input->value());
    case i_min_anb_input:
        return converter::volt2adc(ui->min_an2_input->value());
    case i_max_anb_input:
        return converter::volt2adc(ui->max_an2_input->value());
    case i_gpi1_act_delay:
        return ms_to_delay(ui->gpi1_act_delay->value());
    case i_gpi1_deact_delay:
        return ms_to_delay(ui->gpi1_deact_delay->value());
    case i_gpi2_act_delay:
        return ms_to_delay(ui->gpi2_act_delay->value());
    case i_gpi2_deact_delay:
        return ms_to_delay(ui->gpi2_deact_delay->value());
    case i_hw_version:
        return own_version;
    case i_fw_version:
        return connected_fw_version;
    default: // live values and the variant are not the window's to send
        return 0;
    }
}

void MainWindow::fields_to_vars()
{
    for (table_index table : changed_tables) {
        const QByteArray record = gui_to_byteArray(table);
        // A record that could not be built (reported there) must not replace a good one.
        if (!record.isEmpty())
            worker()->add_field_to_var(record, table);
    }
    changed_tables.clear();
    // The factory calibration reaches the unit only after Edit Defaults: say so as it goes.
    auto warn_factory = [this](int_index parameter) {
        if (parameter == i_base_slope)
            qWarning() << "Writing base_slope to" << ui->base_slope->value();
        else if (parameter == i_base_intercept)
            qWarning() << "Writing base_intercept to" << ui->base_intercept->value();
        else if (parameter == i_base_atmospheric)
            qWarning() << "Writing base_atm to" << ui->base_atm->value();
    };
    for (int_index parameter : changed_ints) {
        warn_factory(parameter);
        worker()->add_field_to_var(uint(field_to_var(parameter)), parameter);
    }
    changed_ints.clear();
    changed_trims.clear(); // trims are shown only; the window never sends one
}

void MainWindow::all_fields_to_vars()
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, "all_fields_to_vars", Qt::QueuedConnection);
        return;
    }
    changed_tables.clear();
    changed_ints.clear();
    changed_trims.clear();
    show_changes_pending(false);
    worker()->remove_all_sets();
    queue_everything();
    fields_to_vars();
}

// ---- the worker's variables to the widgets ----

void MainWindow::var_to_field(int_index parameter, quint32 raw)
{
    switch (parameter) {
    case i_rpm_scaler:
        ui->pulses_per_rev->setValue(raw * 0.5);
        break;
    case i_pump_prime_delay:
        ui->pump_prime_delay->setValue(int(raw * delay_unit_ms));
        ui->pump_prime_delay_2->setValue(int(raw * delay_unit_ms));
        break;
    case i_gpi1_state:
        ui->live_gpi1_state->setText(QString::number(raw));
        break;
    case i_gpi2_state:
        ui->live_gpi2_state->setText(QString::number(raw));
        break;
    case i_gpo1_mode:
        if (raw == pid_gpo1_mode) {
            qWarning("This version of the GUI does not support PID control for GPO1");
            ui->gpo1_control->setCurrentIndex(0);
        } else {
            show_mode(ui->gpo1_control, raw);
        }
        break;
    case i_gpo2_mode:
        show_mode(ui->gpo2_control, raw);
        break;
    case i_gpi1_mode:
        show_mode(ui->gpi1_control, raw);
        break;
    case i_gpi2_mode:
        show_mode(ui->gpi2_control, raw);
        break;
    case i_gpi1_request:
        ui->gpi1_request->setValue(counts_to_percent(raw));
        break;
    case i_gpi2_request:
        ui->gpi2_request->setValue(counts_to_percent(raw));
        break;
    case i_min_boost:
        ui->min_boost->setValue(conv->adc2boost(std::min(raw, 1023u)));
        break;
    case i_max_boost:
        ui->max_boost->setValue(conv->adc2boost(std::min(raw, 1023u)));
        break;
    case i_min_ana_input:
        ui->min_an1_input->setValue(std::min(raw, 1023u) / 204.6);
        break;
    case i_max_ana_input:
        ui->max_an1_input->setValue(std::min(raw, 1023u) / 204.6);
        break;
    case i_min_anb_input:
        ui->min_an2_input->setValue(std::min(raw, 1023u) / 204.6);
        break;
    case i_max_anb_input:
        ui->max_an2_input->setValue(std::min(raw, 1023u) / 204.6);
        break;
    case i_gpi1_act_delay:
        ui->gpi1_act_delay->setValue(int(raw * delay_unit_ms));
        break;
    case i_gpi1_deact_delay:
        ui->gpi1_deact_delay->setValue(int(raw * delay_unit_ms));
        break;
    case i_gpi2_act_delay:
        ui->gpi2_act_delay->setValue(int(raw * delay_unit_ms));
        break;
    case i_gpi2_deact_delay:
        ui->gpi2_deact_delay->setValue(int(raw * delay_unit_ms));
        break;
    default: // the modes of MAIN and AUX, the calibration and the versions load elsewhere
        break;
    }
}

void MainWindow::load_output_modes(quint32 main_raw, quint32 aux_raw)
{
    // Both boxes take their loaded value first, so that the MAIN/AUX interlock judges the
    // loaded pair and not one loaded mode against the other's earlier value.
    const QSignalBlocker block_main(ui->main_control);
    const QSignalBlocker block_aux(ui->aux_control);
    show_mode(ui->main_control, main_raw);
    show_mode(ui->aux_control, aux_raw);
}

void MainWindow::vars_to_fields(QList<QByteArray> tables, QList<unsigned int> ints,
                                QList<adc_trim> trims)
{
    Q_UNUSED(trims); // trims are not shown yet
    loading = true;
    load_map_cal(ints);
    for (int parameter = 0; parameter < std::min(int(ints.size()), int(i_last)); ++parameter) {
        if (parameter == i_main_mode && ints.size() > i_aux_mode) {
            load_output_modes(ints[i_main_mode], ints[i_aux_mode]);
            on_main_control_currentIndexChanged(ui->main_control->currentIndex());
            on_aux_control_currentIndexChanged(ui->aux_control->currentIndex());
            ++parameter; // AUX mode is loaded with MAIN
            continue;
        }
        var_to_field(int_index(parameter), ints[parameter]);
    }
    for (table_index table : {t_aux, t_main, t_gpo1, t_gpo2})
        if (table < tables.size() && !tables[table].isEmpty())
            byteArray_to_gui(table, tables[table]);
    loading = false;
}

// ---- commands ----

/// The unit stores no boost or analog range of its own, only each table's axis ends, which
/// come with the tables. What the worker holds for the ranges is not the unit's (zero, before
/// anything was written), so a read keeps the ranges the window shows: an input that no table
/// uses must not be left spanning 0 to 0 V.
void MainWindow::keep_shown_ranges(QList<unsigned int>& ints) const
{
    for (int_index range : {i_min_boost, i_max_boost, i_min_ana_input, i_max_ana_input,
                            i_min_anb_input, i_max_anb_input})
        if (range < ints.size())
            ints[range] = field_to_var(range);
}

void MainWindow::on_act_read_triggered()
{
    // Taken now, so that it cannot land on the values read once the field loses the focus.
    finish_focused_edit();
    ui->act_read->setEnabled(false);
    ui->act_write->setEnabled(false);
    ui->act_write_all->setEnabled(false);
    worker()->start_read();
}

void MainWindow::on_act_write_triggered()
{
    finish_focused_edit();
    if (!changes_pending) {
        qDebug("No changes to write to device");
        return;
    }
    if (!may_write_over_unit())
        return; // the edits stay queued
    ui->act_write->setEnabled(false);
    ui->act_write_all->setEnabled(false);
    writing_tables = changed_tables;
    writing_ints = changed_ints;
    fields_to_vars();
    worker()->start_write();
}

void MainWindow::on_act_write_all_triggered()
{
    finish_focused_edit();
    if (!may_write_over_unit())
        return;
    // Everything the unit holds is about to be replaced: keep a copy of it first.
    backup_then(after_backup::write_all);
}

void MainWindow::write_everything()
{
    ui->act_write->setEnabled(false);
    ui->act_write_all->setEnabled(false);
    queue_everything();
    writing_tables = changed_tables;
    writing_ints = changed_ints;
    fields_to_vars();
    worker()->start_write();
}

void MainWindow::when_read_data(FT_STATUS status, QList<QByteArray> tables,
                                QList<unsigned int> ints, QList<adc_trim> trims)
{
    if (connected) {
        ui->act_read->setEnabled(true);
        ui->act_write->setEnabled(true);
        ui->act_write_all->setEnabled(true);
    }
    if (status != FT_OK) {
        qCritical("Could not read from device");
        return;
    }
    keep_shown_ranges(ints);
    vars_to_fields(tables, ints, trims);
    unit_settings_known = true;
    // What was just read is what the unit holds: nothing is waiting to be written.
    changed_tables.clear();
    changed_ints.clear();
    changed_trims.clear();
    show_changes_pending(false);
}

void MainWindow::when_wrote_data(FT_STATUS status)
{
    ui->act_write->setEnabled(true);
    ui->act_write_all->setEnabled(true);
    if (status != FT_OK) {
        // The unit may hold none of it: the edits stay queued for the next Write.
        changed_tables += writing_tables;
        changed_ints += writing_ints;
    }
    writing_tables.clear();
    writing_ints.clear();
    // What was edited while the write ran is still queued and waits for the next Write.
    show_changes_pending(!changed_tables.isEmpty() || !changed_ints.isEmpty());
    // The factory calibration is editable for one write only (a failed one is retried).
    if (status == FT_OK)
        ui->map_cal_edit_defaults->setChecked(false);
    if (status == FT_OK)
        unit_settings_known = true; // the unit holds what the window shows
    if (status != FT_OK) {
        qWarning("Error writing data to device");
        message_box::show(this, QMessageBox::Critical, "Error writing data to device",
                          "Could not write data to device, check the log for possible error "
                          "messages.");
    }
}
