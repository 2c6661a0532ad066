// SPDX-License-Identifier: GPL-3.0-or-later
#include "axis_ranges.h"
#include "ui_mainwindow.h"

#include "change_sets.h"
#include "connect_slots_by_name.h"
#include "converter.h"

#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

namespace {

constexpr int engine_speed_step = 500;
constexpr double min_boost_span_psi = 5.0;
constexpr double min_analog_span = 0.5; // volts
// Values of the range boxes differ by multiples of their shown step; this absorbs the
// binary rounding of such differences (0.7 - 0.2 is a little less than 0.5).
constexpr double span_tolerance = 1e-6;

double counts_to_volts(quint32 raw)
{
    return std::min(raw, 1023u) / 204.6;
}

} // namespace

axis_ranges::axis_ranges(Ui::MainWindow& ui, QObject* form_root, converter* conv_,
                         const change_sets& changes_, QStatusBar* status_, QObject* parent)
    : QObject(parent)
    , conv(conv_)
    , changes(changes_)
    , status(status_)
    , min_boost(ui.min_boost)
    , max_boost(ui.max_boost)
    , min_an1_input(ui.min_an1_input)
    , max_an1_input(ui.max_an1_input)
    , min_an2_input(ui.min_an2_input)
    , max_an2_input(ui.max_an2_input)
    , max_engine_speed(ui.max_engine_speed)
    , boost_select(ui.boost_select)
    , boost_labels{ui.boost_lbl_1, ui.boost_lbl_2}
{
    setObjectName("axis_ranges");
    connect_slots_by_name(this, form_root);
    connect(max_engine_speed, qOverload<int>(&QSpinBox::valueChanged), this,
            &axis_ranges::max_engine_speed_changed);
}

// ---- what the tables read ----

std::pair<double, double> axis_ranges::vertical_range(int source) const
{
    switch (source) {
    case 1:
        return {min_an1_input->value(), max_an1_input->value()};
    case 2:
        return {min_an2_input->value(), max_an2_input->value()};
    default:
        return {min_boost->value(), max_boost->value()};
    }
}

int axis_ranges::engine_speed() const
{
    return max_engine_speed->value();
}

bool axis_ranges::boost_in_psi() const
{
    return boost_select->currentText() == "PSI";
}

void axis_ranges::load_axis_ends(int source, quint16 bottom, quint16 top)
{
    QDoubleSpinBox* ends[3][2] = {
        {min_boost, max_boost}, {min_an1_input, max_an1_input}, {min_an2_input, max_an2_input}};
    if (source < 0 || source > 2)
        return;
    QDoubleSpinBox* low = ends[source][0];
    QDoubleSpinBox* high = ends[source][1];
    // Without rebuilding every table on the way: the record's table rebuilds them once.
    const QSignalBlocker quiet_low(low);
    const QSignalBlocker quiet_high(high);
    if (source == 0) {
        low->setValue(conv->adc2boost(bottom));
        high->setValue(conv->adc2boost(top));
    } else {
        low->setValue(converter::adc2volt(bottom));
        high->setValue(converter::adc2volt(top));
    }
}

void axis_ranges::load_max_engine_speed(int rpm)
{
    {
        const QSignalBlocker quiet(max_engine_speed);
        max_engine_speed->setValue(rpm);
    }
    // The graph's RPM axis follows it anyway.
    emit max_engine_speed_changed(max_engine_speed->value());
}

// ---- the worker's variables ----

bool axis_ranges::field_to_var(int_index parameter, quint32& raw) const
{
    switch (parameter) {
    case i_min_boost:
        raw = conv->boost2adc(min_boost->value());
        return true;
    case i_max_boost:
        raw = conv->boost2adc(max_boost->value());
        return true;
    case i_min_ana_input:
        raw = converter::volt2adc(min_an1_input->value());
        return true;
    case i_max_ana_input:
        raw = converter::volt2adc(max_an1_input->value());
        return true;
    case i_min_anb_input:
        raw = converter::volt2adc(min_an2_input->value());
        return true;
    case i_max_anb_input:
        raw = converter::volt2adc(max_an2_input->value());
        return true;
    default:
        return false;
    }
}

void axis_ranges::load(const QList<unsigned int>& ints)
{
    const std::pair<int_index, QDoubleSpinBox*> boost[] = {{i_min_boost, min_boost},
                                                           {i_max_boost, max_boost}};
    for (const auto& [parameter, field] : boost)
        if (parameter < ints.size())
            field->setValue(conv->adc2boost(std::min(ints[parameter], 1023u)));
    const std::pair<int_index, QDoubleSpinBox*> inputs[] = {{i_min_ana_input, min_an1_input},
                                                            {i_max_ana_input, max_an1_input},
                                                            {i_min_anb_input, min_an2_input},
                                                            {i_max_anb_input, max_an2_input}};
    for (const auto& [parameter, field] : inputs)
        if (parameter < ints.size())
            field->setValue(counts_to_volts(ints[parameter]));
}

void axis_ranges::keep_shown_ranges(QList<unsigned int>& ints) const
{
    for (int_index range : {i_min_boost, i_max_boost, i_min_ana_input, i_max_ana_input,
                            i_min_anb_input, i_max_anb_input}) {
        quint32 raw = 0;
        if (range < ints.size() && field_to_var(range, raw))
            ints[range] = raw;
    }
}

// ---- the settings wizard ----

double axis_ranges::boost_max() const
{
    return max_boost->value();
}

double axis_ranges::boost_limit() const
{
    return max_boost->maximum();
}

int axis_ranges::boost_decimals() const
{
    return max_boost->decimals();
}

int axis_ranges::engine_speed_limit() const
{
    return max_engine_speed->maximum();
}

void axis_ranges::set_boost_range(double low, double high)
{
    min_boost->setValue(low);
    max_boost->setValue(high);
}

// ---- engine speed ----

void axis_ranges::on_max_engine_speed_editingFinished()
{
    // The value change queues all four tables through the form's connections.
    const int speed = max_engine_speed->value();
    if (speed % engine_speed_step == 0)
        return;
    max_engine_speed->setValue(speed + engine_speed_step - speed % engine_speed_step);
    status->showMessage("Can only set max engine RPM in increments of 500");
}

// ---- boost range ----

void axis_ranges::on_min_boost_editingFinished()
{
    apply_boost_range(false);
}

void axis_ranges::on_max_boost_editingFinished()
{
    apply_boost_range(true);
}

void axis_ranges::apply_boost_range(bool max_edited)
{
    QDoubleSpinBox* edited = max_edited ? max_boost : min_boost;
    {
        QSignalBlocker quiet(edited);
        edited->setValue(conv->adc2boost(conv->boost2adc(edited->value())));

        const double span = min_boost_span_psi * conv->boost_units;
        // A span shown with fewer digits than it has (0.34 of 0.3447 Bar) is wide enough.
        const double shown = 0.5 * std::pow(10.0, -edited->decimals());
        if (max_boost->value() - min_boost->value() < span - shown) {
            if (max_edited) {
                status->showMessage(QString("Max must be greater than %1 %2")
                                        .arg(min_boost->value() + span, 0, 'f', 1)
                                        .arg(conv->boost_units_name));
                max_boost->setValue(min_boost->value() + span);
            } else {
                status->showMessage(QString("Max - min boost must be greater than %1 %2 apart")
                                        .arg(span, 0, 'f', 1)
                                        .arg(conv->boost_units_name));
                min_boost->setValue(max_boost->value() - span);
            }
        }
    }
    emit range_changed(0);
}

// ---- analog input ranges ----

void axis_ranges::on_min_an1_input_valueChanged(double)
{
    apply_analog_range(min_an1_input, max_an1_input, false, 1);
}

void axis_ranges::on_max_an1_input_valueChanged(double)
{
    apply_analog_range(min_an1_input, max_an1_input, true, 1);
}

void axis_ranges::on_min_an2_input_valueChanged(double)
{
    apply_analog_range(min_an2_input, max_an2_input, false, 2);
}

void axis_ranges::on_max_an2_input_valueChanged(double)
{
    apply_analog_range(min_an2_input, max_an2_input, true, 2);
}

/// Keeps an analog input's range at least 0.5 V wide by moving the end just changed, then
/// announces the range (`source` 1 for A, 2 for B).
void axis_ranges::apply_analog_range(QDoubleSpinBox* min, QDoubleSpinBox* max, bool max_changed,
                                     int source)
{
    // A range read from the unit or a file arrives one end at a time; judged against the
    // other end's old value it would be "corrected" into something the unit never had.
    if (!changes.loading() && max->value() - min->value() < min_analog_span - span_tolerance) {
        status->showMessage("Max - min must be greater than 0.5V");
        if (max_changed) {
            QSignalBlocker quiet(max);
            max->setValue(min->value() + min_analog_span);
        } else {
            QSignalBlocker quiet(min);
            min->setValue(max->value() - min_analog_span);
        }
    }
    emit range_changed(source);
}

// ---- boost unit ----

QString axis_ranges::boost_unit() const
{
    return boost_select->currentText();
}

void axis_ranges::set_boost_unit(const QString& name)
{
    boost_select->setCurrentText(name);
}

void axis_ranges::on_boost_select_currentIndexChanged(int index)
{
    const quint16 min_counts = conv->boost2adc(min_boost->value());
    const quint16 max_counts = conv->boost2adc(max_boost->value());
    emit boost_unit_changing();
    conv->set_boost_units(index);
    for (QLabel* label : boost_labels)
        label->setText(conv->boost_units_name);
    show_boost_range(min_counts, max_counts);
    emit boost_unit_changed();
}

/// Formats come first: a value set under the old number of decimals would be cut to them.
void axis_ranges::show_boost_range(quint16 min_counts, quint16 max_counts)
{
    const QSignalBlocker quiet_min(min_boost);
    const QSignalBlocker quiet_max(max_boost);
    for (QDoubleSpinBox* box : {min_boost, max_boost}) {
        box->setDecimals(conv->boost_decimals());
        box->setSingleStep(conv->boost_step());
    }
    min_boost->setValue(conv->adc2boost(min_counts));
    max_boost->setValue(conv->adc2boost(max_counts));
}
