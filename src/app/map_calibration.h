// SPDX-License-Identifier: GPL-3.0-or-later
// MAP calibration: the factory ("Base") and active calibration fields and the converter's
// copies of them, the atmospheric measurement, the factory set locked against accidental
// edits, and the questions asked when a calibration arrives from the unit or a file.
#pragma once

#include "d2xx.h"
#include "rq7_catalogue.h"

#include <QList>
#include <QObject>

namespace Ui {
class MainWindow;
}
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QWidget;
class change_sets;
class converter;
class rq7_worker;
struct map_cal_set;

class map_calibration : public QObject
{
    Q_OBJECT

public:
    map_calibration(Ui::MainWindow& ui, QWidget* window, rq7_worker* worker, converter* conv,
                    change_sets& changes, QObject* parent);

    /// The raw value of a calibration parameter as shown; false for any other parameter.
    bool field_to_var(int_index parameter, quint32& raw) const;
    /// The calibration read from the unit or a file, settled with the user.
    void load(const QList<unsigned int>& ints);
    /// The factory calibration reaches the unit only after Edit Defaults: says so as it goes.
    void announce_factory_write(int_index parameter) const;

public slots:
    void when_map_cal_data_ready(QList<quint16> values);
    void when_map_cal_failed(FT_STATUS status);
    /// The converter moved the active intercept with the atmospheric reading.
    void when_act_intercept_recalc(double act_intercept);
    void set_connected(bool connected);
    /// The factory calibration is editable for one write only.
    void end_factory_edit();
    void take_boost_counts();
    void show_boost_unit();

private slots:
    void on_map_cal_calibrate_clicked();
    void on_map_cal_default_clicked();
    void on_map_cal_edit_defaults_clicked();
    void on_base_slope_valueChanged(double value);
    void on_base_intercept_valueChanged(double value);
    void on_base_atm_valueChanged(double value);
    void on_active_slope_valueChanged(double value);
    void on_active_intercept_valueChanged(double value);
    void on_active_atm_valueChanged(double value);
    void on_active_deadband_valueChanged(double value);

private:
    void queue_active_map_cal();
    /// Disables the factory fields and takes them out of the pending writes.
    void lock_map_cal_defaults();
    /// Asks whether a calibration set read from the unit or a file replaces the window's.
    bool ask_map_cal(bool active, const map_cal_set& now, const map_cal_set& read);
    /// Shows a set in its fields (quietly) and gives it to the converter.
    void show_map_cal(bool active, const map_cal_set& values);

    QWidget* window;
    rq7_worker* worker;
    converter* conv;
    change_sets& changes;
    QDoubleSpinBox* base_slope;
    QDoubleSpinBox* base_intercept;
    QDoubleSpinBox* base_atm;
    QDoubleSpinBox* active_slope;
    QDoubleSpinBox* active_intercept;
    QDoubleSpinBox* active_atm;
    QDoubleSpinBox* active_deadband;
    QLabel* deadband_units; // boost_lbl_4
    QPushButton* map_cal_calibrate;
    QPushButton* map_cal_edit_defaults;
    /// The deadband as MAP counts while the boost unit changes.
    quint16 deadband_counts = 0;
};
