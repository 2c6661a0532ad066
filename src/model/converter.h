// SPDX-License-Identifier: GPL-3.0-or-later
// Conversions between the unit's raw 10-bit ADC counts and the user's units (volts, amperes,
// boost in PSI, Bar or kPa, custom analog quantities), with the MAP calibration they depend on.
// One instance lives in the GUI thread; the window owns it and lends it to the tables.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

class converter : public QObject
{
    Q_OBJECT

public:
    explicit converter(QObject* parent = nullptr);

    /// Entry i is i * 5 / 1023 volts, rounded to 9 decimals: the table of an input without a
    /// custom conversion.
    static const QVector<double> default_an_table;
    static constexpr int adc_max = 1023;
    static constexpr int an_table_size = 1024;

    // Calibration state; the window copies the unit's MAP parameters in and out of these.
    double base_slope = 16.122;
    double base_intercept = 222.312;
    quint16 base_atm = 223;
    double active_slope = 16.122;
    double active_intercept = 222.312;
    quint16 active_atm = 223;
    double active_deadband = 3.0;
    double boost_units = 1.0;
    QString boost_units_name = "PSI";
    QVector<double> cust_ana = default_an_table;
    QVector<double> cust_anb = default_an_table;

    static quint16 volt2adc(double v);
    static double adc2volt(quint16 counts);
    static quint16 current2adc(double a);
    static double adc2current(quint16 counts);
    static double adc2batt(quint16 counts);

    /// Boost in the display unit to MAP counts with the active calibration.
    quint16 boost2adc(double b) const;
    /// MAP counts to boost in the display unit; 0 or below is vacuum.
    double adc2boost(quint16 counts) const;
    /// Deadband in the display unit to counts (the inverse of adc2deadband in every unit).
    quint16 deadband2adc(double d) const;
    double adc2deadband(quint16 counts) const;
    double adc2cust_ana(quint16 counts) const;
    double adc2cust_anb(quint16 counts) const;

    /// 0 PSI, 1 Bar, 2 kPa; anything else falls back to PSI.
    void set_boost_units(int index);
    /// The unit selected: 0 PSI, 1 Bar, 2 kPa.
    int boost_unit_index() const { return boost_index; }
    /// Number of decimals and spin-box step the window uses for boost fields in the current unit.
    int boost_decimals() const;
    double boost_step() const;

    /// A slope of 0 or below (or NaN) is refused and the slope kept: boost is divided by it.
    void set_base_slope(double slope) { keep_valid_slope(base_slope, slope); }
    void set_base_intercept(double intercept) { base_intercept = intercept; }
    void set_base_atm(quint16 atm) { base_atm = atm; }
    void set_active_slope(double slope) { keep_valid_slope(active_slope, slope); }
    void set_active_intercept(double intercept) { active_intercept = intercept; }
    void set_active_deadband(double deadband) { active_deadband = deadband; }
    /// Stores the reading and moves the active intercept by the same offset as the base set.
    void set_active_atm(quint16 atm);
    /// Sets the active atmospheric reading from raw MAP samples (floor of their mean). An empty
    /// series changes nothing and returns false.
    bool set_active_atm_from_samples(const QList<quint16>& samples);

    /// Replace a custom analog table; anything but 1024 values is refused (false).
    bool set_cust_ana(const QVector<double>& table);
    bool set_cust_anb(const QVector<double>& table);

public slots:
    void set_custom_ana_defaults();
    void set_custom_anb_defaults();

signals:
    void act_intercept_recalc(double act_intercept);

private:
    static void keep_valid_slope(double& member, double slope);
    static bool valid_an_table(const QVector<double>& table);
    static double table_entry(const QVector<double>& table, quint16 counts);

    int boost_index = 0;
};
