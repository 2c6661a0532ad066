// SPDX-License-Identifier: GPL-3.0-or-later
// Output control modes and the MAIN/AUX interlock, the GPI duty overrides, the pump prime
// delay and the pulses per revolution: what each mode enables, the value rules these fields
// obey before they are queued for writing, and how they move to and from the worker's
// variables.
#pragma once

#include "rq7_catalogue.h"

#include <QList>
#include <QObject>

namespace Ui {
class MainWindow;
}
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;
class QStatusBar;
class QWidget;
class change_sets;
class table_pages;

class output_modes : public QObject
{
    Q_OBJECT

public:
    output_modes(Ui::MainWindow& ui, QWidget* window, table_pages& pages, change_sets& changes,
                 QStatusBar* status, QObject* parent);

    /// The raw value of a parameter these fields show; false for any other parameter.
    bool field_to_var(int_index parameter, quint32& raw) const;
    /// Shows the values of these fields that the unit or a file brought. Both output modes
    /// are set before the MAIN/AUX interlock looks at them.
    void load(const QList<unsigned int>& ints);
    /// Picks MAIN's mode as the user would (the settings wizard picks "Duty table").
    void set_main_mode(int index);

private slots:
    void on_main_control_currentIndexChanged(int index);
    void on_aux_control_currentIndexChanged(int index);
    void on_gpo1_control_currentIndexChanged(int index);
    void on_gpo2_control_currentIndexChanged(int index);
    void on_gpi1_control_currentIndexChanged(int index);
    void on_gpi2_control_currentIndexChanged(int index);
    void on_gpi1_request_valueChanged(int value);
    void on_gpi1_act_delay_valueChanged(int value);
    void on_gpi1_deact_delay_valueChanged(int value);
    void on_gpi2_request_valueChanged(int value);
    void on_gpi2_act_delay_valueChanged(int value);
    void on_gpi2_deact_delay_valueChanged(int value);
    void on_gpi1_act_delay_editingFinished();
    void on_gpi1_deact_delay_editingFinished();
    void on_gpi2_act_delay_editingFinished();
    void on_gpi2_deact_delay_editingFinished();
    void on_pump_prime_delay_editingFinished();
    void on_pulses_per_rev_editingFinished();

private:
    void var_to_field(int_index parameter, quint32 raw);
    void load_output_modes(quint32 main_raw, quint32 aux_raw);
    void release_main_pump_delay();
    void show_gpo_mode(table_index gpo, QLabel* operate, QLabel* vert_comp, QLabel* horz_comp,
                       int index);

    QWidget* window;
    table_pages& pages;
    change_sets& changes;
    QStatusBar* status;
    QComboBox* main_control;
    QComboBox* aux_control;
    QComboBox* gpo1_control;
    QComboBox* gpo2_control;
    QComboBox* gpi1_control;
    QComboBox* gpi2_control;
    QSpinBox* gpi1_request;
    QSpinBox* gpi2_request;
    QSpinBox* gpi1_act_delay;
    QSpinBox* gpi1_deact_delay;
    QSpinBox* gpi2_act_delay;
    QSpinBox* gpi2_deact_delay;
    QSpinBox* pump_prime_delay;
    QSpinBox* pump_prime_delay_2;
    QDoubleSpinBox* pulses_per_rev;
    QLabel* gpo1_operate_label;
    QLabel* gpo1_vert_comp_label;
    QLabel* gpo1_horz_comp_label;
    QLabel* gpo2_operate_label;
    QLabel* gpo2_vert_comp_label;
    QLabel* gpo2_horz_comp_label;
};
