// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter.h"

#include <QDebug>

#include <cmath>

namespace {

constexpr double volt_counts = 204.6;      // 1023 counts = 5.0 V
constexpr double current_counts = 20.48;   // counts per ampere, MAIN and AUX
constexpr double batt_counts = 54.2117647; // counts per volt of battery voltage

struct boost_unit
{
    const char* name;
    double per_psi;
    int decimals;
    double step;
};

const boost_unit boost_unit_table[] = {
    {"PSI", 1.0, 0, 1.0},
    {"Bar", 0.0689475729, 2, 0.1},
    {"kPa", 6.89475729, 2, 0.1},
};

// Rounds halves away from zero and clamps to the 10-bit range. NaN (a zero slope, say)
// becomes 0 instead of an undefined integer conversion.
quint16 to_counts(double x)
{
    if (std::isnan(x))
        return 0;
    const double r = std::round(x);
    if (r <= 0)
        return 0;
    if (r >= converter::adc_max)
        return converter::adc_max;
    return quint16(r);
}

QVector<double> make_default_an_table()
{
    QVector<double> table(converter::an_table_size);
    for (int i = 0; i < table.size(); ++i)
        table[i] = std::round(i * 5.0 / converter::adc_max * 1e9) / 1e9;
    return table;
}

} // namespace

const QVector<double> converter::default_an_table = make_default_an_table();

converter::converter(QObject* parent)
    : QObject(parent)
{}

quint16 converter::volt2adc(double v)
{
    if (v < 0) {
        qCritical().nospace() << "voltage is < 0: " << v;
        return 0;
    }
    return to_counts(v * volt_counts);
}

double converter::adc2volt(quint16 counts)
{
    return counts / volt_counts;
}

quint16 converter::current2adc(double a)
{
    if (a < 0) {
        qCritical().nospace() << "current is < 0: " << a;
        return 0;
    }
    return to_counts(a * current_counts);
}

double converter::adc2current(quint16 counts)
{
    return counts / current_counts;
}

double converter::adc2batt(quint16 counts)
{
    return qMin<int>(counts, adc_max) / batt_counts;
}

quint16 converter::boost2adc(double b) const
{
    return to_counts(b / boost_units * active_slope + active_intercept);
}

// The slope members are public; one set to 0 must not turn every boost value into inf or NaN.
double converter::adc2boost(quint16 counts) const
{
    if (!(active_slope > 0))
        return 0;
    return (counts - active_intercept) / active_slope * boost_units;
}

// The deadband field shows display units (adc2deadband), so it is also read in display units:
// back to PSI first, then to counts. In PSI this is the plain d * slope.
quint16 converter::deadband2adc(double d) const
{
    return to_counts(d / boost_units * active_slope);
}

double converter::adc2deadband(quint16 counts) const
{
    if (!(active_slope > 0))
        return 0;
    return counts / active_slope * boost_units;
}

double converter::adc2cust_ana(quint16 counts) const
{
    return table_entry(cust_ana, counts);
}

double converter::adc2cust_anb(quint16 counts) const
{
    return table_entry(cust_anb, counts);
}

double converter::table_entry(const QVector<double>& table, quint16 counts)
{
    // The tables are public members; a table of the wrong size must not be read past its end.
    if (table.isEmpty())
        return 0;
    return table.at(qMin<int>(qMin<int>(counts, adc_max), table.size() - 1));
}

void converter::set_boost_units(int index)
{
    if (index < 0 || index > 2) {
        qCritical().nospace() << "invalid boost_units " << index;
        index = 0;
    }
    boost_index = index;
    boost_units = boost_unit_table[index].per_psi;
    boost_units_name = QString::fromLatin1(boost_unit_table[index].name);
}

int converter::boost_decimals() const
{
    return boost_unit_table[boost_index].decimals;
}

double converter::boost_step() const
{
    return boost_unit_table[boost_index].step;
}

void converter::keep_valid_slope(double& member, double slope)
{
    if (!(slope > 0)) {
        qCritical() << "MAP slope must be above 0, not" << slope << "- kept at" << member;
        return;
    }
    member = slope;
}

void converter::set_active_atm(quint16 atm)
{
    active_atm = atm;
    active_intercept = atm + (base_intercept - base_atm);
    emit act_intercept_recalc(active_intercept);
}

bool converter::set_active_atm_from_samples(const QList<quint16>& samples)
{
    if (samples.isEmpty()) {
        qWarning() << "No MAP samples to calibrate from, atmospheric reading kept at" << active_atm;
        return false;
    }
    quint64 sum = 0;
    for (quint16 s : samples)
        sum += s;
    // Integer division of non-negative numbers is the floor of the mean.
    set_active_atm(quint16(sum / quint64(samples.size())));
    return true;
}

bool converter::valid_an_table(const QVector<double>& table)
{
    if (table.size() == an_table_size)
        return true;
    qCritical().nospace() << "conversion table must have " << an_table_size << " values, not "
                          << table.size();
    return false;
}

bool converter::set_cust_ana(const QVector<double>& table)
{
    if (!valid_an_table(table))
        return false;
    cust_ana = table;
    return true;
}

bool converter::set_cust_anb(const QVector<double>& table)
{
    if (!valid_an_table(table))
        return false;
    cust_anb = table;
    return true;
}

void converter::set_custom_ana_defaults()
{
    cust_ana = default_an_table;
}

void converter::set_custom_anb_defaults()
{
    cust_anb = default_an_table;
}
