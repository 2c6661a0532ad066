// SPDX-License-Identifier: GPL-3.0-or-later
#include "map_calibration.h"
#include "ui_mainwindow.h"

#include "change_sets.h"
#include "connect_slots_by_name.h"
#include "converter.h"
#include "guide_sections.h"
#include "message_box.h"
#include "rq7_worker.h"
#include "unsigned_round.h"

#include <QDebug>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

/// One calibration set as the window shows it; the factory set has no deadband.
struct map_cal_set
{
    double slope = 0;
    double intercept = 0;
    double atm = 0;
    double deadband = 0;
};

namespace {

// The deadband field's range as the form gives it, in PSI; it is scaled with the unit.
constexpr double deadband_min_psi = 1.0;
constexpr double deadband_max_psi = 1023.0;

/// Equal as far as the unit's integer storage (thousandths, counts) can tell.
bool same(double a, double b)
{
    return a == b || std::fabs(a - b) / std::fabs((a + b) / 2) < 1e-6;
}

bool same(const map_cal_set& a, const map_cal_set& b, bool with_deadband)
{
    return same(a.slope, b.slope) && same(a.intercept, b.intercept) && same(a.atm, b.atm) &&
           (!with_deadband || same(a.deadband, b.deadband));
}

/// A value read from the unit or a file, if its field can show it; otherwise the field's own
/// value stays.
double candidate(const QDoubleSpinBox* field, double value, const char* out_of_range)
{
    if (value >= field->minimum() && value <= field->maximum())
        return value;
    qWarning() << out_of_range << value;
    return field->value();
}

/// Rounds to the number of decimals a field shows.
double shown(const QDoubleSpinBox* field, double value)
{
    const double scale = std::pow(10.0, field->decimals());
    return std::round(value * scale) / scale;
}

QString fixed3(double value)
{
    return QString::number(value, 'f', 3);
}

const char* const calibrate_details =
    "Ensure the unit is powered, but the engine is NOT running.\nThis will attempt to read the "
    "current atmospheric pressure (ie 0 PSI boost).\nA running engine will cause a false MAP "
    "sensor offset to be applied\n";

const char* const edit_defaults_details =
    "Only edit these settings if told so by customer support\n\nTo write new values to the "
    "unit:\n  - Press OK\n  - Edit the values below the 'Edit Defaults' button you just "
    "pressed\n  - Press 'Write' to write the values to the unit\n  - 'Edit Defaults' button "
    "will be unchecked and edit boxes will be disabled\n\nValues will only be sent to the unit "
    "if the boxes are enabled and editable!";

const char* const factory_details =
    "Factory Defaults:\n\tSlope:\t\t%1 to %8\n\tIntercept:\t%2 to %9\n\tAtm:\t\t%3 to "
    "%10\n\nNote that these are written on the MAP sensor you received in your kit (if using a "
    "kit).\n\nThese are not used for calculating 'real-unit' (PSI, Voltage, etc), they are only "
    "used for the Current Active > Set to Defaults button.";

const char* const active_details =
    "Current Active:\n\tSlope:\t\t%4 to %11\n\tIntercept:\t%5 to %12\n\tAtm:\t\t%6 to "
    "%13\n\tDeadband:\t%7 to %14\n\nNote that if you received a vkini or RQ7-NVS unit from "
    "another person and you do NOT use these new map cal values, your calculated 'real-unit' "
    "values (PSI, Voltage, etc) will not be identical to the person who made the vkini or who "
    "originally programmed the RQ7-NVS unit.";

} // namespace

map_calibration::map_calibration(Ui::MainWindow& ui, QWidget* window_, rq7_worker* worker_,
                                 converter* conv_, change_sets& changes_, QObject* parent)
    : QObject(parent)
    , window(window_)
    , worker(worker_)
    , conv(conv_)
    , changes(changes_)
    , base_slope(ui.base_slope)
    , base_intercept(ui.base_intercept)
    , base_atm(ui.base_atm)
    , active_slope(ui.active_slope)
    , active_intercept(ui.active_intercept)
    , active_atm(ui.active_atm)
    , active_deadband(ui.active_deadband)
    , deadband_units(ui.boost_lbl_4)
    , map_cal_calibrate(ui.map_cal_calibrate)
    , map_cal_edit_defaults(ui.map_cal_edit_defaults)
{
    setObjectName("map_calibration");
    connect_slots_by_name(this, window);
    // The converter starts with the fields' calibration and follows its recalculations.
    conv->set_base_slope(base_slope->value());
    conv->set_base_intercept(base_intercept->value());
    conv->set_base_atm(quint16(base_atm->value()));
    conv->set_active_slope(active_slope->value());
    conv->set_active_intercept(active_intercept->value());
    conv->active_atm = quint16(active_atm->value());
    conv->set_active_deadband(active_deadband->value());
    connect(conv, &converter::act_intercept_recalc, this,
            &map_calibration::when_act_intercept_recalc);
    // Unchecked by the user or after a write, the factory set locks again.
    connect(map_cal_edit_defaults, &QPushButton::toggled, this, [this](bool on) {
        if (!on)
            lock_map_cal_defaults();
    });
    connect(worker, &rq7_worker::map_cal_data_ready, this,
            &map_calibration::when_map_cal_data_ready);
    connect(worker, &rq7_worker::map_cal_failed, this, &map_calibration::when_map_cal_failed);
    set_connected(false);
}

void map_calibration::set_connected(bool connected)
{
    map_cal_calibrate->setEnabled(connected);
    map_cal_calibrate->setChecked(false);
}

void map_calibration::queue_active_map_cal()
{
    // The unit takes the active set in one message: all four go together.
    for (int_index parameter :
         {i_active_slope, i_active_intercept, i_active_atmospheric, i_active_deadband})
        changes.add_to_set(parameter);
}

// ---- the worker's variables ----

bool map_calibration::field_to_var(int_index parameter, quint32& raw) const
{
    switch (parameter) {
    case i_base_slope:
        raw = round_to_u32(base_slope->value() * 1000.0);
        return true;
    case i_base_intercept:
        raw = round_to_u32(base_intercept->value() * 1000.0);
        return true;
    case i_base_atmospheric:
        raw = static_cast<quint32>(base_atm->value());
        return true;
    case i_active_slope:
        raw = round_to_u32(active_slope->value() * 1000.0);
        return true;
    case i_active_intercept:
        raw = round_to_u32(active_intercept->value() * 1000.0);
        return true;
    case i_active_atmospheric:
        raw = static_cast<quint32>(active_atm->value());
        return true;
    case i_active_deadband:
        raw = conv->deadband2adc(active_deadband->value());
        return true;
    default:
        return false;
    }
}

void map_calibration::announce_factory_write(int_index parameter) const
{
    if (parameter == i_base_slope)
        qWarning() << "Writing base_slope to" << base_slope->value();
    else if (parameter == i_base_intercept)
        qWarning() << "Writing base_intercept to" << base_intercept->value();
    else if (parameter == i_base_atmospheric)
        qWarning() << "Writing base_atm to" << base_atm->value();
}

// ---- the converter's copies ----

void map_calibration::on_base_slope_valueChanged(double value)
{
    conv->set_base_slope(value);
}

void map_calibration::on_base_intercept_valueChanged(double value)
{
    conv->set_base_intercept(value);
}

void map_calibration::on_base_atm_valueChanged(double value)
{
    conv->set_base_atm(quint16(value));
}

void map_calibration::on_active_slope_valueChanged(double value)
{
    conv->set_active_slope(value);
    queue_active_map_cal();
}

void map_calibration::on_active_intercept_valueChanged(double value)
{
    conv->set_active_intercept(value);
    queue_active_map_cal();
}

void map_calibration::on_active_deadband_valueChanged(double value)
{
    conv->set_active_deadband(value);
    queue_active_map_cal();
}

void map_calibration::on_active_atm_valueChanged(double value)
{
    conv->set_active_atm(quint16(value)); // moves the intercept along
    queue_active_map_cal();
}

void map_calibration::when_act_intercept_recalc(double act_intercept)
{
    {
        const QSignalBlocker quiet(active_intercept);
        active_intercept->setValue(act_intercept);
    }
    // The field may clamp the value; boost is then converted with what the unit will get.
    conv->active_intercept = active_intercept->value();
    queue_active_map_cal();
}

// ---- atmospheric measurement ----

void map_calibration::on_map_cal_calibrate_clicked()
{
    if (!map_cal_calibrate->isChecked())
        return;
    const QMessageBox::StandardButton answer =
        message_box::show_with_help(guide_sections::map_calibrate, window, QMessageBox::Warning,
                                    "WARNING: Turn your engine OFF!!", calibrate_details,
                                    QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
    if (answer == QMessageBox::Ok) {
        qDebug("Calibrating atmospheric pressure");
        worker->start_map_cal();
    } else if (answer == QMessageBox::Cancel) {
        map_cal_calibrate->setChecked(false);
    } else {
        qCritical("Should not have gotten here");
    }
}

void map_calibration::when_map_cal_data_ready(QList<quint16> values)
{
    map_cal_calibrate->setChecked(false);
    if (values.isEmpty()) {
        qWarning("No MAP samples to calibrate from, calibration kept");
        return;
    }
    quint64 sum = 0;
    for (quint16 value : values)
        sum += value;
    const quint16 reading = quint16(sum / quint64(values.size())); // floor of the mean
    // A reading the field cannot hold (a sensor unplugged reads 0) would leave the field and
    // the converter apart: keep the calibration instead.
    if (reading < active_atm->minimum() || reading > active_atm->maximum()) {
        qCritical() << "MAP sensor reading out of range, calibration kept:" << reading;
        return;
    }
    conv->set_active_atm(reading);
    {
        const QSignalBlocker quiet(active_atm);
        active_atm->setValue(reading);
    }
    qDebug() << "New atmospheric pressure calculated:" << reading;
    queue_active_map_cal();
}

void map_calibration::when_map_cal_failed(FT_STATUS status)
{
    map_cal_calibrate->setChecked(false);
    const QString text = "Calibration failed";
    qWarning().noquote() << text << "status" << status;
    message_box::show_with_help(
        guide_sections::map_calibrate, window, QMessageBox::Critical, text,
        status == FT_DEVICE_NOT_OPENED
            ? "The unit is not connected. The calibration was not changed."
            : QString("The unit did not answer while its MAP sensor was read "
                      "(status %1). The calibration was not changed.")
                  .arg(status));
}

void map_calibration::on_map_cal_default_clicked()
{
    active_slope->setValue(base_slope->value());
    active_intercept->setValue(base_intercept->value());
    active_atm->setValue(base_atm->value());
}

// ---- the factory set ----

void map_calibration::on_map_cal_edit_defaults_clicked()
{
    if (!map_cal_edit_defaults->isChecked()) {
        lock_map_cal_defaults();
        return;
    }
    const QMessageBox::StandardButton answer = message_box::show_with_help(
        guide_sections::map_factory, window, QMessageBox::Warning,
        "WARNING: Editing factory MAP sensor defaults", edit_defaults_details,
        QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
    if (answer == QMessageBox::Ok) {
        for (QWidget* field : {base_atm, base_intercept, base_slope})
            field->setEnabled(true);
        for (int_index parameter : {i_base_slope, i_base_intercept, i_base_atmospheric})
            changes.add_to_set(parameter);
    } else if (answer == QMessageBox::Cancel) {
        map_cal_edit_defaults->setChecked(false);
        lock_map_cal_defaults();
    } else {
        qCritical("Should not have gotten here");
    }
}

void map_calibration::end_factory_edit()
{
    map_cal_edit_defaults->setChecked(false);
}

void map_calibration::lock_map_cal_defaults()
{
    for (QWidget* field : {base_atm, base_intercept, base_slope})
        field->setEnabled(false);
    for (int_index parameter : {i_base_atmospheric, i_base_slope, i_base_intercept})
        changes.remove_from_set(parameter);
}

// ---- a calibration from the unit or a file ----

void map_calibration::load(const QList<unsigned int>& ints)
{
    if (ints.size() <= i_active_deadband)
        return;
    const map_cal_set base_now{base_slope->value(), base_intercept->value(), base_atm->value(), 0};
    const map_cal_set base_read{
        candidate(base_slope, ints[i_base_slope] / 1000.0, "Read base slope out of range:"),
        candidate(base_intercept, ints[i_base_intercept] / 1000.0,
                  "Read base intercept out of range"),
        candidate(base_atm, ints[i_base_atmospheric], "Read base atmosphere out of range"), 0};
    if (!same(base_now, base_read, false) && ask_map_cal(false, base_now, base_read))
        show_map_cal(false, base_read);

    const map_cal_set active_now{active_slope->value(), active_intercept->value(),
                                 active_atm->value(), active_deadband->value()};
    map_cal_set active_read{
        candidate(active_slope, ints[i_active_slope] / 1000.0, "Read act slope out of range:"),
        candidate(active_intercept, ints[i_active_intercept] / 1000.0,
                  "Read act intercept out of range"),
        candidate(active_atm, ints[i_active_atmospheric], "Read act atmosphere out of range"), 0};
    // The unit stores the deadband in counts of its own slope; read with another slope it
    // would go back to the unit changed.
    const double deadband = std::min(ints[i_active_deadband], 1023u) / active_read.slope;
    active_read.deadband =
        candidate(active_deadband, shown(active_deadband, deadband * conv->boost_units),
                  "Read act deadband out of range");
    if (!same(active_now, active_read, true) && ask_map_cal(true, active_now, active_read))
        show_map_cal(true, active_read);
}

bool map_calibration::ask_map_cal(bool active, const map_cal_set& now, const map_cal_set& read)
{
    QString details;
    if (active) {
        details = QString(active_details)
                      .arg(fixed3(now.slope), fixed3(now.intercept), QString::number(now.atm),
                           QString::number(now.deadband), fixed3(read.slope),
                           fixed3(read.intercept), QString::number(read.atm))
                      .arg(QString::number(read.deadband));
    } else {
        details = QString(factory_details)
                      .arg(fixed3(now.slope), fixed3(now.intercept), QString::number(now.atm),
                           fixed3(read.slope), fixed3(read.intercept), QString::number(read.atm));
    }
    const QString question =
        active ? "Do you want to overwrite your CURRENT ACTIVE map calibration values?"
               : "Do you want to overwrite your FACTORY DEFAULT map calibration values?";
    return message_box::show_with_help(guide_sections::map_questions, window, QMessageBox::Question,
                                       question, details, QMessageBox::Yes | QMessageBox::No,
                                       QMessageBox::No) == QMessageBox::Yes;
}

void map_calibration::show_map_cal(bool active, const map_cal_set& values)
{
    QDoubleSpinBox* slope = active ? active_slope : base_slope;
    QDoubleSpinBox* intercept = active ? active_intercept : base_intercept;
    QDoubleSpinBox* atm = active ? active_atm : base_atm;
    const QSignalBlocker quiet_slope(slope);
    const QSignalBlocker quiet_intercept(intercept);
    const QSignalBlocker quiet_atm(atm);
    const QSignalBlocker quiet_deadband(active_deadband);
    slope->setValue(values.slope);
    intercept->setValue(values.intercept);
    atm->setValue(values.atm);
    if (!active) {
        conv->set_base_slope(slope->value());
        conv->set_base_intercept(intercept->value());
        conv->set_base_atm(quint16(atm->value()));
        return;
    }
    active_deadband->setValue(values.deadband);
    conv->set_active_slope(slope->value());
    conv->set_active_intercept(intercept->value());
    conv->active_atm = quint16(atm->value()); // the intercept came with it: no recalculation
    conv->set_active_deadband(active_deadband->value());
}

// ---- boost unit ----

void map_calibration::take_boost_counts()
{
    deadband_counts = conv->deadband2adc(active_deadband->value());
}

/// The deadband is entered in the shown unit and converted from it (deadband2adc), so it
/// follows the unit too; its range is scaled before its value is set.
void map_calibration::show_boost_unit()
{
    deadband_units->setText(conv->boost_units_name);
    {
        const QSignalBlocker quiet(active_deadband);
        active_deadband->setDecimals(conv->boost_decimals());
        active_deadband->setSingleStep(conv->boost_step());
        active_deadband->setRange(deadband_min_psi * conv->boost_units,
                                  deadband_max_psi * conv->boost_units);
        active_deadband->setValue(conv->adc2deadband(deadband_counts));
    }
    conv->set_active_deadband(active_deadband->value());
}
