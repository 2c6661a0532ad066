// MAP calibration and output overrides: the calibration fields and the converter's copies of
// them, the atmospheric measurement, the locked factory set, the questions asked when a
// calibration arrives from the unit or a file, and the temporary duty overrides.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "converter.h"
#include "message_box.h"
#include "rq7_worker.h"

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

void MainWindow::init_calibration()
{
    conv->set_base_slope(ui->base_slope->value());
    conv->set_base_intercept(ui->base_intercept->value());
    conv->set_base_atm(quint16(ui->base_atm->value()));
    conv->set_active_slope(ui->active_slope->value());
    conv->set_active_intercept(ui->active_intercept->value());
    conv->active_atm = quint16(ui->active_atm->value());
    conv->set_active_deadband(ui->active_deadband->value());
    connect(conv, &converter::act_intercept_recalc, this, &MainWindow::when_act_intercept_recalc);
    // Unchecked by the user or after a write, the factory set locks again.
    connect(ui->map_cal_edit_defaults, &QPushButton::toggled, this, [this](bool on) {
        if (!on)
            lock_map_cal_defaults();
    });
}

void MainWindow::queue_active_map_cal()
{
    // The unit takes the active set in one message: all four go together.
    for (int_index parameter :
         {i_active_slope, i_active_intercept, i_active_atmospheric, i_active_deadband})
        add_to_set(parameter);
}

// ---- the converter's copies ----

void MainWindow::on_base_slope_valueChanged(double value)
{
    conv->set_base_slope(value);
}

void MainWindow::on_base_intercept_valueChanged(double value)
{
    conv->set_base_intercept(value);
}

void MainWindow::on_base_atm_valueChanged(double value)
{
    conv->set_base_atm(quint16(value));
}

void MainWindow::on_active_slope_valueChanged(double value)
{
    conv->set_active_slope(value);
    queue_active_map_cal();
}

void MainWindow::on_active_intercept_valueChanged(double value)
{
    conv->set_active_intercept(value);
    queue_active_map_cal();
}

void MainWindow::on_active_deadband_valueChanged(double value)
{
    conv->set_active_deadband(value);
    queue_active_map_cal();
}

void MainWindow::on_active_atm_valueChanged(double value)
{
    conv->set_active_atm(quint16(value)); // moves the intercept along
    queue_active_map_cal();
}

void MainWindow::when_act_intercept_recalc(double act_intercept)
{
    {
        const QSignalBlocker quiet(ui->active_intercept);
        ui->active_intercept->setValue(act_intercept);
    }
    // The field may clamp the value; boost is then converted with what the unit will get.
    conv->active_intercept = ui->active_intercept->value();
    queue_active_map_cal();
}

// ---- atmospheric measurement ----

void MainWindow::on_map_cal_calibrate_clicked()
{
    if (!ui->map_cal_calibrate->isChecked())
        return;
    const QMessageBox::StandardButton answer = message_box::show(
        this, QMessageBox::Warning, "WARNING: Turn your engine OFF!!", calibrate_details,
        QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
    if (answer == QMessageBox::Ok) {
        qDebug("Calibrating atmospheric pressure");
        worker()->start_map_cal();
    } else if (answer == QMessageBox::Cancel) {
        ui->map_cal_calibrate->setChecked(false);
    } else {
        qCritical("Should not have gotten here");
    }
}

void MainWindow::when_map_cal_data_ready(QList<quint16> values)
{
    ui->map_cal_calibrate->setChecked(false);
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
    if (reading < ui->active_atm->minimum() || reading > ui->active_atm->maximum()) {
        qCritical() << "MAP sensor reading out of range, calibration kept:" << reading;
        return;
    }
    conv->set_active_atm(reading);
    {
        const QSignalBlocker quiet(ui->active_atm);
        ui->active_atm->setValue(reading);
    }
    qDebug() << "New atmospheric pressure calculated:" << reading;
    queue_active_map_cal();
}

void MainWindow::when_map_cal_failed(FT_STATUS status)
{
    ui->map_cal_calibrate->setChecked(false);
    const QString text = "Calibration failed";
    qWarning().noquote() << text << "status" << status;
    message_box::show(this, QMessageBox::Critical, text,
                      status == FT_DEVICE_NOT_OPENED
                          ? "The unit is not connected. The calibration was not changed."
                          : QString("The unit did not answer while its MAP sensor was read "
                                    "(status %1). The calibration was not changed.")
                                .arg(status));
}

void MainWindow::on_map_cal_default_clicked()
{
    ui->active_slope->setValue(ui->base_slope->value());
    ui->active_intercept->setValue(ui->base_intercept->value());
    ui->active_atm->setValue(ui->base_atm->value());
}

// ---- the factory set ----

void MainWindow::on_map_cal_edit_defaults_clicked()
{
    if (!ui->map_cal_edit_defaults->isChecked()) {
        lock_map_cal_defaults();
        return;
    }
    const QMessageBox::StandardButton answer = message_box::show(
        this, QMessageBox::Warning, "WARNING: Editing factory MAP sensor defaults",
        edit_defaults_details, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
    if (answer == QMessageBox::Ok) {
        for (QWidget* field : {ui->base_atm, ui->base_intercept, ui->base_slope})
            field->setEnabled(true);
        for (int_index parameter : {i_base_slope, i_base_intercept, i_base_atmospheric})
            add_to_set(parameter);
    } else if (answer == QMessageBox::Cancel) {
        ui->map_cal_edit_defaults->setChecked(false);
        lock_map_cal_defaults();
    } else {
        qCritical("Should not have gotten here");
    }
}

void MainWindow::lock_map_cal_defaults()
{
    for (QWidget* field : {ui->base_atm, ui->base_intercept, ui->base_slope})
        field->setEnabled(false);
    bool removed = false;
    for (int_index parameter : {i_base_atmospheric, i_base_slope, i_base_intercept})
        removed |= changed_ints.remove(parameter);
    // Only what this removed can turn the button green; a full copy still waits for Write.
    if (removed && changed_tables.isEmpty() && changed_ints.isEmpty() && changed_trims.isEmpty())
        show_changes_pending(false);
}

// ---- a calibration from the unit or a file ----

void MainWindow::load_map_cal(const QList<unsigned int>& ints)
{
    if (ints.size() <= i_active_deadband)
        return;
    const map_cal_set base_now{ui->base_slope->value(), ui->base_intercept->value(),
                               ui->base_atm->value(), 0};
    const map_cal_set base_read{
        candidate(ui->base_slope, ints[i_base_slope] / 1000.0, "Read base slope out of range:"),
        candidate(ui->base_intercept, ints[i_base_intercept] / 1000.0,
                  "Read base intercept out of range"),
        candidate(ui->base_atm, ints[i_base_atmospheric], "Read base atmosphere out of range"), 0};
    if (!same(base_now, base_read, false) && ask_map_cal(false, base_now, base_read))
        show_map_cal(false, base_read);

    const map_cal_set active_now{ui->active_slope->value(), ui->active_intercept->value(),
                                 ui->active_atm->value(), ui->active_deadband->value()};
    map_cal_set active_read{
        candidate(ui->active_slope, ints[i_active_slope] / 1000.0, "Read act slope out of range:"),
        candidate(ui->active_intercept, ints[i_active_intercept] / 1000.0,
                  "Read act intercept out of range"),
        candidate(ui->active_atm, ints[i_active_atmospheric], "Read act atmosphere out of range"),
        0};
    // The unit stores the deadband in counts of its own slope; read with another slope it
    // would go back to the unit changed.
    const double deadband = std::min(ints[i_active_deadband], 1023u) / active_read.slope;
    active_read.deadband =
        candidate(ui->active_deadband, shown(ui->active_deadband, deadband * conv->boost_units),
                  "Read act deadband out of range");
    if (!same(active_now, active_read, true) && ask_map_cal(true, active_now, active_read))
        show_map_cal(true, active_read);
}

bool MainWindow::ask_map_cal(bool active, const map_cal_set& now, const map_cal_set& read)
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
    return message_box::show(this, QMessageBox::Question, question, details,
                             QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::No) == QMessageBox::Yes;
}

void MainWindow::show_map_cal(bool active, const map_cal_set& values)
{
    QDoubleSpinBox* slope = active ? ui->active_slope : ui->base_slope;
    QDoubleSpinBox* intercept = active ? ui->active_intercept : ui->base_intercept;
    QDoubleSpinBox* atm = active ? ui->active_atm : ui->base_atm;
    const QSignalBlocker quiet_slope(slope);
    const QSignalBlocker quiet_intercept(intercept);
    const QSignalBlocker quiet_atm(atm);
    const QSignalBlocker quiet_deadband(ui->active_deadband);
    slope->setValue(values.slope);
    intercept->setValue(values.intercept);
    atm->setValue(values.atm);
    if (!active) {
        conv->set_base_slope(slope->value());
        conv->set_base_intercept(intercept->value());
        conv->set_base_atm(quint16(atm->value()));
        return;
    }
    ui->active_deadband->setValue(values.deadband);
    conv->set_active_slope(slope->value());
    conv->set_active_intercept(intercept->value());
    conv->active_atm = quint16(atm->value()); // the intercept came with it: no recalculation
    conv->set_active_deadband(ui->active_deadband->value());
}

// ---- output overrides ----

void MainWindow::send_override(table_index output, const QSpinBox* percent)
{
    if (percent->value() == -1) // "__": no override to set
        return;
    const uint counts = uint(std::lround(std::min(percent->value(), 100) * 1023.0 / 100.0));
    worker()->set_override(output, counts);
}

void MainWindow::release_override(table_index output, QSpinBox* percent)
{
    percent_before_reset[output] = percent->value();
    worker()->reset_override(output);
    percent->setValue(-1);
}

QSpinBox* MainWindow::override_field(table_index output) const
{
    switch (output) {
    case t_aux:
        return ui->aux_override;
    case t_main:
        return ui->main_override;
    case t_gpo1:
        return ui->gpo1_override;
    case t_gpo2:
        return ui->gpo2_override;
    default:
        return nullptr;
    }
}

void MainWindow::when_override_failed(FT_STATUS status, table_index output, bool reset)
{
    const char* const names[] = {"AUX", "MAIN", "GPO1", "GPO2"}; // by table_index
    QSpinBox* percent = override_field(output);
    if (!percent)
        return; // only the four outputs have overrides
    // A Reset the unit did not take leaves the override in force: show it again.
    if (reset && percent->value() == -1)
        percent->setValue(percent_before_reset[output]);
    const QString name = names[output];
    const QString text =
        QString(reset ? "Could not reset the override of %1" : "Could not set the override of %1")
            .arg(name);
    qWarning().noquote() << text << "status" << status;
    message_box::show(this, QMessageBox::Critical, text,
                      QString("The unit did not take the request (status %1).%2")
                          .arg(status)
                          .arg(reset ? " The output may still be overridden." : ""));
}

void MainWindow::on_main_override_set_clicked()
{
    send_override(t_main, ui->main_override);
}

void MainWindow::on_aux_override_set_clicked()
{
    send_override(t_aux, ui->aux_override);
}

void MainWindow::on_gpo1_override_set_clicked()
{
    send_override(t_gpo1, ui->gpo1_override);
}

void MainWindow::on_gpo2_override_set_clicked()
{
    send_override(t_gpo2, ui->gpo2_override);
}

void MainWindow::on_main_override_reset_clicked()
{
    release_override(t_main, ui->main_override);
}

void MainWindow::on_aux_override_reset_clicked()
{
    release_override(t_aux, ui->aux_override);
}

void MainWindow::on_gpo1_override_reset_clicked()
{
    release_override(t_gpo1, ui->gpo1_override);
}

void MainWindow::on_gpo2_override_reset_clicked()
{
    release_override(t_gpo2, ui->gpo2_override);
}
