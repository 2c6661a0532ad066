// Output control modes, the MAIN/AUX interlock, and the value rules every editable
// parameter obeys before it is queued for writing.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "converter.h"
#include "duty_table.h"
#include "message_box.h"

#include <QDebug>
#include <QSignalBlocker>

#include <cmath>

namespace {

// Mode indexes that the interlock and the enable rules look at.
constexpr int mode_off = 0;
constexpr int mode_duty_table = 1;
constexpr int mode_pump_delay = 2;  // MAIN and AUX: duty table + pump prime delay
constexpr int aux_pass_through = 4; // AUX: the OEM controller drives the output
constexpr int gpo_on_above = 2;
constexpr int gpo_off_above = 3;
constexpr int gpi_not_used = 0;

constexpr int engine_speed_step = 500;
constexpr double pulses_step = 0.5;
constexpr double min_boost_span_psi = 5.0;
constexpr double min_analog_span = 0.5; // volts
// Values of the range boxes differ by multiples of their shown step; this absorbs the
// binary rounding of such differences (0.7 - 0.2 is a little less than 0.5).
constexpr double span_tolerance = 1e-6;

struct gpo_mode_view
{
    const char* operate;
    const char* vert_comp;
    bool table;
    bool thresholds; // vertical source and both thresholds
    bool delays;
};

/// What a GPO tab shows and offers in a mode.
gpo_mode_view gpo_view(int index)
{
    switch (index) {
    case mode_duty_table:
        return {"Duty table used when:", "is equal to or greater than:", true, true, false};
    case gpo_on_above:
        return {"100% duty when:", "is equal to or greater than:", false, true, true};
    case gpo_off_above:
        return {"100% duty when:", "is equal to or less than:", false, true, true};
    default: // off, and the modes that follow a fault rather than a setpoint
        return {"Duty table is not used.", "is equal to or greater than:", false, false, false};
    }
}

/// Raises a value to the next multiple of `step`; a value already on a multiple (within
/// rounding) is returned unchanged.
double next_multiple(double value, double step)
{
    const double steps = value / step;
    if (std::abs(steps - std::round(steps)) < span_tolerance)
        return value;
    return std::ceil(steps) * step;
}

} // namespace

// ---- MAIN and AUX ----

void MainWindow::on_main_control_currentIndexChanged(int index)
{
    // Pump prime belongs to the AUX output: MAIN can only follow AUX into that mode.
    if (index == mode_pump_delay && ui->aux_control->currentIndex() != mode_pump_delay) {
        statusBar()->showMessage("Cannot change MAIN control to duty + pump prime if AUX table "
                                 "is not already set to the same");
        QSignalBlocker quiet(ui->main_control);
        ui->main_control->setCurrentIndex(mode_duty_table);
        index = mode_duty_table;
    }
    add_op_modes_to_set();
    enable_table_controls(t_main, index != mode_off, index != mode_off);
}

void MainWindow::on_aux_control_currentIndexChanged(int index)
{
    if (index != mode_pump_delay && ui->main_control->currentIndex() == mode_pump_delay)
        release_main_pump_delay();
    add_op_modes_to_set();
    const bool uses_table = index != mode_off && index != aux_pass_through;
    enable_table_controls(t_aux, uses_table, uses_table);
    ui->pump_prime_delay->setEnabled(index == mode_pump_delay);
}

/// AUX left pump prime while MAIN still used it: MAIN falls back to the plain duty table.
void MainWindow::release_main_pump_delay()
{
    const QString text =
        "Cannot have MAIN control set to duty table + pump prime if AUX table is not set to "
        "the same";
    qWarning().noquote() << text;
    statusBar()->showMessage(text);
    // While the window fills itself from the unit or a file there is nobody to ask; the
    // status bar and the log tell what was corrected.
    if (!loading)
        message_box::show(this, QMessageBox::Warning, text,
                          "MAIN control currently set to: " + ui->main_control->currentText() +
                              "\nMAIN control will be changed to: " +
                              ui->main_control->itemText(mode_duty_table));
    {
        QSignalBlocker quiet(ui->main_control);
        ui->main_control->setCurrentIndex(mode_duty_table);
    }
    on_main_control_currentIndexChanged(mode_duty_table);
}

/// Enables the parts of a table's tab that its output's mode uses: the grid, and the vertical
/// source with both thresholds.
void MainWindow::enable_table_controls(table_index table, bool grid, bool thresholds)
{
    const table_widgets* w = widgets_of(table);
    if (!w)
        return;
    w->table->setEnabled(grid);
    w->vert_axis->setEnabled(thresholds);
    w->vert_axis_gt->setEnabled(thresholds);
    w->horz_axis_gt->setEnabled(thresholds);
}

// ---- GPO1 and GPO2 ----

void MainWindow::on_gpo1_control_currentIndexChanged(int index)
{
    add_op_modes_to_set();
    show_gpo_mode(t_gpo1, ui->gpo1_operate_label, ui->gpo1_vert_comp_label,
                  ui->gpo1_horz_comp_label, index);
}

void MainWindow::on_gpo2_control_currentIndexChanged(int index)
{
    add_op_modes_to_set();
    show_gpo_mode(t_gpo2, ui->gpo2_operate_label, ui->gpo2_vert_comp_label,
                  ui->gpo2_horz_comp_label, index);
}

void MainWindow::show_gpo_mode(table_index gpo, QLabel* operate, QLabel* vert_comp,
                               QLabel* horz_comp, int index)
{
    const gpo_mode_view view = gpo_view(index);
    operate->setText(view.operate);
    vert_comp->setText(view.vert_comp);
    horz_comp->setText(view.vert_comp);
    enable_table_controls(gpo, view.table, view.thresholds);
    tabs[gpo].act_delay->setEnabled(view.delays);
    tabs[gpo].deact_delay->setEnabled(view.delays);
}

// ---- GPI1 and GPI2 ----

void MainWindow::on_gpi1_control_currentIndexChanged(int index)
{
    add_op_modes_to_set();
    for (QWidget* field : {ui->gpi1_request, ui->gpi1_act_delay, ui->gpi1_deact_delay})
        field->setEnabled(index != gpi_not_used);
}

void MainWindow::on_gpi2_control_currentIndexChanged(int index)
{
    add_op_modes_to_set();
    for (QWidget* field : {ui->gpi2_request, ui->gpi2_act_delay, ui->gpi2_deact_delay})
        field->setEnabled(index != gpi_not_used);
}

// The GPI request and delays travel with the mode parameters.
void MainWindow::on_gpi1_request_valueChanged(int)
{
    add_op_modes_to_set();
}

void MainWindow::on_gpi1_act_delay_valueChanged(int)
{
    add_op_modes_to_set();
}

void MainWindow::on_gpi1_deact_delay_valueChanged(int)
{
    add_op_modes_to_set();
}

void MainWindow::on_gpi2_request_valueChanged(int)
{
    add_op_modes_to_set();
}

void MainWindow::on_gpi2_act_delay_valueChanged(int)
{
    add_op_modes_to_set();
}

void MainWindow::on_gpi2_deact_delay_valueChanged(int)
{
    add_op_modes_to_set();
}

// A snapped GPI delay has already queued the mode parameters through its value change.
void MainWindow::on_gpi1_act_delay_editingFinished()
{
    snap_delay(ui->gpi1_act_delay);
}

void MainWindow::on_gpi1_deact_delay_editingFinished()
{
    snap_delay(ui->gpi1_deact_delay);
}

void MainWindow::on_gpi2_act_delay_editingFinished()
{
    snap_delay(ui->gpi2_act_delay);
}

void MainWindow::on_gpi2_deact_delay_editingFinished()
{
    snap_delay(ui->gpi2_deact_delay);
}

void MainWindow::on_pump_prime_delay_editingFinished()
{
    snap_delay(ui->pump_prime_delay);
    add_op_modes_to_set();
    ui->pump_prime_delay_2->setValue(ui->pump_prime_delay->value());
}

// ---- engine ----

void MainWindow::on_max_engine_speed_editingFinished()
{
    // The value change queues all four tables through the form's connections.
    const int speed = ui->max_engine_speed->value();
    if (speed % engine_speed_step == 0)
        return;
    ui->max_engine_speed->setValue(speed + engine_speed_step - speed % engine_speed_step);
    statusBar()->showMessage("Can only set max engine RPM in increments of 500");
}

void MainWindow::on_pulses_per_rev_editingFinished()
{
    const double pulses = ui->pulses_per_rev->value();
    const double snapped = next_multiple(pulses, pulses_step);
    if (snapped != pulses) {
        ui->pulses_per_rev->setValue(snapped);
        statusBar()->showMessage("Can only set pulses per revolution in increments of 0.5");
    }
    add_to_set(i_rpm_scaler);
}

// ---- boost range ----

void MainWindow::on_min_boost_editingFinished()
{
    apply_boost_range(false);
}

void MainWindow::on_max_boost_editingFinished()
{
    apply_boost_range(true);
}

/// Puts the edited end of the boost range on a MAP count and keeps the range at least
/// 5 PSI wide (in the shown unit), then rebuilds the tables that use the MAP sensor.
void MainWindow::apply_boost_range(bool max_edited)
{
    QDoubleSpinBox* edited = max_edited ? ui->max_boost : ui->min_boost;
    {
        QSignalBlocker quiet(edited);
        edited->setValue(conv->adc2boost(conv->boost2adc(edited->value())));

        const double span = min_boost_span_psi * conv->boost_units;
        // A span shown with fewer digits than it has (0.34 of 0.3447 Bar) is wide enough.
        const double shown = 0.5 * std::pow(10.0, -edited->decimals());
        if (ui->max_boost->value() - ui->min_boost->value() < span - shown) {
            if (max_edited) {
                statusBar()->showMessage(QString("Max must be greater than %1 %2")
                                             .arg(ui->min_boost->value() + span, 0, 'f', 1)
                                             .arg(conv->boost_units_name));
                ui->max_boost->setValue(ui->min_boost->value() + span);
            } else {
                statusBar()->showMessage(QString("Max - min boost must be greater than %1 %2 apart")
                                             .arg(span, 0, 'f', 1)
                                             .arg(conv->boost_units_name));
                ui->min_boost->setValue(ui->max_boost->value() - span);
            }
        }
    }
    refresh_tables_on_source(0);
}

// ---- analog input ranges ----

void MainWindow::on_min_an1_input_valueChanged(double)
{
    apply_analog_range(ui->min_an1_input, ui->max_an1_input, false, 1);
}

void MainWindow::on_max_an1_input_valueChanged(double)
{
    apply_analog_range(ui->min_an1_input, ui->max_an1_input, true, 1);
}

void MainWindow::on_min_an2_input_valueChanged(double)
{
    apply_analog_range(ui->min_an2_input, ui->max_an2_input, false, 2);
}

void MainWindow::on_max_an2_input_valueChanged(double)
{
    apply_analog_range(ui->min_an2_input, ui->max_an2_input, true, 2);
}

/// Keeps an analog input's range at least 0.5 V wide by moving the end just changed, then
/// rebuilds the tables that use that input (`source` 1 for A, 2 for B).
void MainWindow::apply_analog_range(QDoubleSpinBox* min, QDoubleSpinBox* max, bool max_changed,
                                    int source)
{
    // A range read from the unit or a file arrives one end at a time; judged against the
    // other end's old value it would be "corrected" into something the unit never had.
    if (!loading && max->value() - min->value() < min_analog_span - span_tolerance) {
        statusBar()->showMessage("Max - min must be greater than 0.5V");
        if (max_changed) {
            QSignalBlocker quiet(max);
            max->setValue(min->value() + min_analog_span);
        } else {
            QSignalBlocker quiet(min);
            min->setValue(max->value() - min_analog_span);
        }
    }
    refresh_tables_on_source(source);
}

/// Runs the field-changed slot of every table whose vertical source is `source`.
void MainWindow::refresh_tables_on_source(int source)
{
    for (table_index t : {t_main, t_aux, t_gpo1, t_gpo2})
        if (tabs[t].vert_axis->currentIndex() == source)
            table_field_changed(t);
}

void MainWindow::table_field_changed(table_index table)
{
    switch (table) {
    case t_main:
        main_field_changed();
        break;
    case t_aux:
        aux_field_changed();
        break;
    case t_gpo1:
        gpo1_field_changed();
        break;
    case t_gpo2:
        gpo2_field_changed();
        break;
    default:
        break;
    }
}
