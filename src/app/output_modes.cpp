// SPDX-License-Identifier: GPL-3.0-or-later
#include "output_modes.h"
#include "ui_mainwindow.h"

#include "change_sets.h"
#include "connect_slots_by_name.h"
#include "delay_steps.h"
#include "guide_sections.h"
#include "message_box.h"
#include "table_pages.h"
#include "unsigned_round.h"

#include <QDebug>
#include <QSignalBlocker>
#include <QStatusBar>

#include <algorithm>
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
constexpr quint32 pid_gpo1_mode = 0xD8;

constexpr double pulses_step = 0.5;
// Values a multiple of the step apart differ by a little less or more in binary.
constexpr double step_tolerance = 1e-6;

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
    if (std::abs(steps - std::round(steps)) < step_tolerance)
        return value;
    return std::ceil(steps) * step;
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
    return round_to_u32(ms / double(delay_steps::step_ms));
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

output_modes::output_modes(Ui::MainWindow& ui, QWidget* window_, table_pages& pages_,
                           change_sets& changes_, QStatusBar* status_, QObject* parent)
    : QObject(parent)
    , window(window_)
    , pages(pages_)
    , changes(changes_)
    , status(status_)
    , main_control(ui.main_control)
    , aux_control(ui.aux_control)
    , gpo1_control(ui.gpo1_control)
    , gpo2_control(ui.gpo2_control)
    , gpi1_control(ui.gpi1_control)
    , gpi2_control(ui.gpi2_control)
    , gpi1_request(ui.gpi1_request)
    , gpi2_request(ui.gpi2_request)
    , gpi1_act_delay(ui.gpi1_act_delay)
    , gpi1_deact_delay(ui.gpi1_deact_delay)
    , gpi2_act_delay(ui.gpi2_act_delay)
    , gpi2_deact_delay(ui.gpi2_deact_delay)
    , pump_prime_delay(ui.pump_prime_delay)
    , pump_prime_delay_2(ui.pump_prime_delay_2)
    , pulses_per_rev(ui.pulses_per_rev)
    , gpo1_operate_label(ui.gpo1_operate_label)
    , gpo1_vert_comp_label(ui.gpo1_vert_comp_label)
    , gpo1_horz_comp_label(ui.gpo1_horz_comp_label)
    , gpo2_operate_label(ui.gpo2_operate_label)
    , gpo2_vert_comp_label(ui.gpo2_vert_comp_label)
    , gpo2_horz_comp_label(ui.gpo2_horz_comp_label)
{
    setObjectName("output_modes");
    connect_slots_by_name(this, window);
}

// ---- the worker's variables ----

bool output_modes::field_to_var(int_index parameter, quint32& raw) const
{
    switch (parameter) {
    case i_rpm_scaler:
        raw = static_cast<quint32>(pulses_per_rev->value() * 2.0);
        return true;
    case i_pump_prime_delay:
        raw = ms_to_delay(pump_prime_delay->value());
        return true;
    case i_main_mode:
        raw = 0xA0u | quint32(main_control->currentIndex());
        return true;
    case i_aux_mode:
        raw = 0xB0u | quint32(aux_control->currentIndex());
        return true;
    case i_gpo1_mode:
        raw = 0xD0u | quint32(gpo1_control->currentIndex());
        return true;
    case i_gpo2_mode:
        raw = 0xE0u | quint32(gpo2_control->currentIndex());
        return true;
    case i_gpi1_mode:
        raw = 0x50u | quint32(gpi1_control->currentIndex());
        return true;
    case i_gpi1_request:
        raw = percent_to_counts(gpi1_request->value());
        return true;
    case i_gpi2_mode:
        raw = 0x50u | quint32(gpi2_control->currentIndex());
        return true;
    case i_gpi2_request:
        raw = percent_to_counts(gpi2_request->value());
        return true;
    case i_gpi1_act_delay:
        raw = ms_to_delay(gpi1_act_delay->value());
        return true;
    case i_gpi1_deact_delay:
        raw = ms_to_delay(gpi1_deact_delay->value());
        return true;
    case i_gpi2_act_delay:
        raw = ms_to_delay(gpi2_act_delay->value());
        return true;
    case i_gpi2_deact_delay:
        raw = ms_to_delay(gpi2_deact_delay->value());
        return true;
    default:
        return false;
    }
}

void output_modes::load(const QList<unsigned int>& ints)
{
    for (int parameter = 0; parameter < std::min(int(ints.size()), int(i_last)); ++parameter) {
        if (parameter == i_main_mode && ints.size() > i_aux_mode) {
            load_output_modes(ints[i_main_mode], ints[i_aux_mode]);
            on_main_control_currentIndexChanged(main_control->currentIndex());
            on_aux_control_currentIndexChanged(aux_control->currentIndex());
            ++parameter; // AUX mode is loaded with MAIN
            continue;
        }
        var_to_field(int_index(parameter), ints[parameter]);
    }
}

void output_modes::var_to_field(int_index parameter, quint32 raw)
{
    switch (parameter) {
    case i_rpm_scaler:
        pulses_per_rev->setValue(raw * 0.5);
        break;
    case i_pump_prime_delay:
        pump_prime_delay->setValue(int(raw * delay_steps::step_ms));
        pump_prime_delay_2->setValue(int(raw * delay_steps::step_ms));
        break;
    case i_gpo1_mode:
        if (raw == pid_gpo1_mode) {
            qWarning("This version of the GUI does not support PID control for GPO1");
            gpo1_control->setCurrentIndex(0);
        } else {
            show_mode(gpo1_control, raw);
        }
        break;
    case i_gpo2_mode:
        show_mode(gpo2_control, raw);
        break;
    case i_gpi1_mode:
        show_mode(gpi1_control, raw);
        break;
    case i_gpi2_mode:
        show_mode(gpi2_control, raw);
        break;
    case i_gpi1_request:
        gpi1_request->setValue(counts_to_percent(raw));
        break;
    case i_gpi2_request:
        gpi2_request->setValue(counts_to_percent(raw));
        break;
    case i_gpi1_act_delay:
        gpi1_act_delay->setValue(int(raw * delay_steps::step_ms));
        break;
    case i_gpi1_deact_delay:
        gpi1_deact_delay->setValue(int(raw * delay_steps::step_ms));
        break;
    case i_gpi2_act_delay:
        gpi2_act_delay->setValue(int(raw * delay_steps::step_ms));
        break;
    case i_gpi2_deact_delay:
        gpi2_deact_delay->setValue(int(raw * delay_steps::step_ms));
        break;
    default: // the other panels' parameters
        break;
    }
}

void output_modes::load_output_modes(quint32 main_raw, quint32 aux_raw)
{
    // Both boxes take their loaded value first, so that the MAIN/AUX interlock judges the
    // loaded pair and not one loaded mode against the other's earlier value.
    const QSignalBlocker block_main(main_control);
    const QSignalBlocker block_aux(aux_control);
    show_mode(main_control, main_raw);
    show_mode(aux_control, aux_raw);
}

// ---- MAIN and AUX ----

void output_modes::set_main_mode(int index)
{
    main_control->setCurrentIndex(index);
}

void output_modes::on_main_control_currentIndexChanged(int index)
{
    // Pump prime belongs to the AUX output: MAIN can only follow AUX into that mode.
    if (index == mode_pump_delay && aux_control->currentIndex() != mode_pump_delay) {
        status->showMessage("Cannot change MAIN control to duty + pump prime if AUX table "
                            "is not already set to the same");
        QSignalBlocker quiet(main_control);
        main_control->setCurrentIndex(mode_duty_table);
        index = mode_duty_table;
    }
    changes.add_op_modes_to_set();
    pages.enable_table_controls(t_main, index != mode_off, index != mode_off);
}

void output_modes::on_aux_control_currentIndexChanged(int index)
{
    if (index != mode_pump_delay && main_control->currentIndex() == mode_pump_delay)
        release_main_pump_delay();
    changes.add_op_modes_to_set();
    const bool uses_table = index != mode_off && index != aux_pass_through;
    pages.enable_table_controls(t_aux, uses_table, uses_table);
    pump_prime_delay->setEnabled(index == mode_pump_delay);
}

/// AUX left pump prime while MAIN still used it: MAIN falls back to the plain duty table.
void output_modes::release_main_pump_delay()
{
    const QString text =
        "Cannot have MAIN control set to duty table + pump prime if AUX table is not set to "
        "the same";
    qWarning().noquote() << text;
    status->showMessage(text);
    // While the window fills itself from the unit or a file there is nobody to ask; the
    // status bar and the log tell what was corrected.
    if (!changes.loading())
        message_box::show_with_help(
            guide_sections::output_modes, window, QMessageBox::Warning, text,
            "MAIN control currently set to: " + main_control->currentText() +
                "\nMAIN control will be changed to: " + main_control->itemText(mode_duty_table));
    {
        QSignalBlocker quiet(main_control);
        main_control->setCurrentIndex(mode_duty_table);
    }
    on_main_control_currentIndexChanged(mode_duty_table);
}

// ---- GPO1 and GPO2 ----

void output_modes::on_gpo1_control_currentIndexChanged(int index)
{
    changes.add_op_modes_to_set();
    show_gpo_mode(t_gpo1, gpo1_operate_label, gpo1_vert_comp_label, gpo1_horz_comp_label, index);
}

void output_modes::on_gpo2_control_currentIndexChanged(int index)
{
    changes.add_op_modes_to_set();
    show_gpo_mode(t_gpo2, gpo2_operate_label, gpo2_vert_comp_label, gpo2_horz_comp_label, index);
}

void output_modes::show_gpo_mode(table_index gpo, QLabel* operate, QLabel* vert_comp,
                                 QLabel* horz_comp, int index)
{
    const gpo_mode_view view = gpo_view(index);
    operate->setText(view.operate);
    vert_comp->setText(view.vert_comp);
    horz_comp->setText(view.vert_comp);
    pages.enable_table_controls(gpo, view.table, view.thresholds);
    pages.enable_gpo_delays(gpo, view.delays);
}

// ---- GPI1 and GPI2 ----

void output_modes::on_gpi1_control_currentIndexChanged(int index)
{
    changes.add_op_modes_to_set();
    for (QWidget* field : {gpi1_request, gpi1_act_delay, gpi1_deact_delay})
        field->setEnabled(index != gpi_not_used);
}

void output_modes::on_gpi2_control_currentIndexChanged(int index)
{
    changes.add_op_modes_to_set();
    for (QWidget* field : {gpi2_request, gpi2_act_delay, gpi2_deact_delay})
        field->setEnabled(index != gpi_not_used);
}

// The GPI request and delays travel with the mode parameters.
void output_modes::on_gpi1_request_valueChanged(int)
{
    changes.add_op_modes_to_set();
}

void output_modes::on_gpi1_act_delay_valueChanged(int)
{
    changes.add_op_modes_to_set();
}

void output_modes::on_gpi1_deact_delay_valueChanged(int)
{
    changes.add_op_modes_to_set();
}

void output_modes::on_gpi2_request_valueChanged(int)
{
    changes.add_op_modes_to_set();
}

void output_modes::on_gpi2_act_delay_valueChanged(int)
{
    changes.add_op_modes_to_set();
}

void output_modes::on_gpi2_deact_delay_valueChanged(int)
{
    changes.add_op_modes_to_set();
}

// A snapped GPI delay has already queued the mode parameters through its value change.
void output_modes::on_gpi1_act_delay_editingFinished()
{
    delay_steps::snap(gpi1_act_delay, status);
}

void output_modes::on_gpi1_deact_delay_editingFinished()
{
    delay_steps::snap(gpi1_deact_delay, status);
}

void output_modes::on_gpi2_act_delay_editingFinished()
{
    delay_steps::snap(gpi2_act_delay, status);
}

void output_modes::on_gpi2_deact_delay_editingFinished()
{
    delay_steps::snap(gpi2_deact_delay, status);
}

void output_modes::on_pump_prime_delay_editingFinished()
{
    delay_steps::snap(pump_prime_delay, status);
    changes.add_op_modes_to_set();
    pump_prime_delay_2->setValue(pump_prime_delay->value());
}

// ---- engine ----

void output_modes::on_pulses_per_rev_editingFinished()
{
    const double pulses = pulses_per_rev->value();
    const double snapped = next_multiple(pulses, pulses_step);
    if (snapped != pulses) {
        pulses_per_rev->setValue(snapped);
        status->showMessage("Can only set pulses per revolution in increments of 0.5");
    }
    changes.add_to_set(i_rpm_scaler);
}
