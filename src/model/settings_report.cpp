// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_report.h"

#include "converter.h"
#include "rq7_catalogue.h"
#include "table_record.h"

#include <QHash>
#include <QStringList>

#include <cmath>
#include <cstdlib>

namespace {

/// Finer than the window's fields, so that a difference of one count shows.
const int boost_decimals[] = {2, 3, 1};
const char* const table_labels[] = {"AUX", "MAIN", "GPO1", "GPO2"};
const char* const source_names[] = {"MAP Sensor", "Analog Input A (0-5V)", "Analog Input B (0-5V)",
                                    "unused source"};

const QStringList main_modes = {"Output OFF", "Duty table", "Duty table + pump delay"};
const QStringList aux_modes = {"Output OFF", "Duty table", "Duty table + pump delay",
                               "Duty table + OEM control", "OEM control pass-through"};
const QStringList gpo1_modes = {"Output OFF",
                                "Duty table",
                                "ON above setpoint, OFF below it",
                                "OFF above setpoint, ON below it",
                                "ON when MAIN faulted, OFF otherwise",
                                "OFF when MAIN faulted, ON otherwise",
                                "ON while AUX faulted, OFF otherwise",
                                "OFF while AUX faulted, ON otherwise"};
const QStringList gpo2_modes = {"Output OFF",
                                "Duty table",
                                "ON above setpoint, OFF below it",
                                "OFF above setpoint, ON below it",
                                "ON when MAIN faulted, OFF otherwise",
                                "OFF when MAIN faulted, ON otherwise",
                                "ON when AUX faulted, OFF otherwise",
                                "OFF when AUX faulted, ON otherwise"};
const QStringList gpi_modes = {"Not used", "Override Main when high", "Override AUX when high",
                               "Override GPO1 when high", "Override GPO2 when high"};

QString mode_text(const QStringList& names, quint32 code)
{
    const int item = int(code & 0x0F);
    return item < names.size() ? names.at(item)
                               : QString("unknown mode 0x%1").arg(code, 2, 16, QChar('0'));
}

QString ms(quint32 units)
{
    return QString("%1 ms").arg(units * 13);
}

QString percent(quint32 counts)
{
    return QString("%1 %").arg(table_record::percent(quint16(qMin<quint32>(counts, 1023))));
}

QString amps(quint16 counts)
{
    return QString("%1 A").arg(counts / 20.48, 0, 'f', 2);
}

QString volts(quint16 counts)
{
    return QString("%1 V").arg(counts / 204.6, 0, 'f', 2);
}

/// Both sides' records of a table; false when either holds no valid record.
bool both(const QByteArray& record_a, const QByteArray& record_b, table_record& a, table_record& b)
{
    return table_record::decode(record_a, a) && table_record::decode(record_b, b);
}

} // namespace

settings_report::settings_report(const QList<QByteArray>& tables_, const QList<quint32>& ints_,
                                 int boost_unit_)
    : tables(tables_)
    , ints(ints_)
    , boost_unit(qBound(0, boost_unit_, 2))
{
    while (ints.size() < i_last)
        ints.append(0);
    while (tables.size() < t_last)
        tables.append(QByteArray());
    slope = ints[i_active_slope] / 1000.0;
    intercept = ints[i_active_intercept] / 1000.0;
}

settings_report::~settings_report() = default;

/// A converter with this set's calibration and the user's boost unit; null without a usable
/// calibration (a slope of 0 would divide by zero).
std::unique_ptr<converter> settings_report::boost_converter() const
{
    if (slope <= 0)
        return nullptr;
    auto conv = std::make_unique<converter>();
    conv->set_boost_units(boost_unit);
    conv->set_active_slope(slope);
    conv->set_active_intercept(intercept);
    return conv;
}

QString settings_report::vertical_text(int source, quint16 counts) const
{
    if (source == 1 || source == 2)
        return volts(counts);
    const auto conv = boost_converter();
    if (!conv) // no usable calibration: the counts are all there is
        return QString("%1 counts").arg(counts);
    return QString("%1 %2")
        .arg(conv->adc2boost(counts), 0, 'f', boost_decimals[boost_unit])
        .arg(conv->boost_units_name);
}

void settings_report::describe_general(QList<parameter>& out) const
{
    auto add = [&out](const char* name, const QString& value, int_index from) {
        out.append({name, value, {origin::parameter, from}});
    };
    add("Pulses per revolution", QString::number(ints[i_rpm_scaler] * 0.5), i_rpm_scaler);
    add("Pump prime delay", ms(ints[i_pump_prime_delay]), i_pump_prime_delay);
    add("MAIN mode", mode_text(main_modes, ints[i_main_mode]), i_main_mode);
    add("AUX mode", mode_text(aux_modes, ints[i_aux_mode]), i_aux_mode);
    add("GPO1 mode", mode_text(gpo1_modes, ints[i_gpo1_mode]), i_gpo1_mode);
    add("GPO2 mode", mode_text(gpo2_modes, ints[i_gpo2_mode]), i_gpo2_mode);
    add("GPI1 mode", mode_text(gpi_modes, ints[i_gpi1_mode]), i_gpi1_mode);
    add("GPI1 request", percent(ints[i_gpi1_request]), i_gpi1_request);
    add("GPI1 activation delay", ms(ints[i_gpi1_act_delay]), i_gpi1_act_delay);
    add("GPI1 deactivation delay", ms(ints[i_gpi1_deact_delay]), i_gpi1_deact_delay);
    add("GPI2 mode", mode_text(gpi_modes, ints[i_gpi2_mode]), i_gpi2_mode);
    add("GPI2 request", percent(ints[i_gpi2_request]), i_gpi2_request);
    add("GPI2 activation delay", ms(ints[i_gpi2_act_delay]), i_gpi2_act_delay);
    add("GPI2 deactivation delay", ms(ints[i_gpi2_deact_delay]), i_gpi2_deact_delay);
}

void settings_report::describe_calibration(QList<parameter>& out) const
{
    auto add = [&out](const char* name, const QString& value, int_index from) {
        out.append({name, value, {origin::parameter, from}});
    };
    auto thousandths = [this](int_index i) { return QString::number(ints[i] / 1000.0, 'f', 3); };
    auto counts = [this](int_index i) { return QString("%1 counts").arg(ints[i]); };
    add("Base slope", thousandths(i_base_slope), i_base_slope);
    add("Base intercept", thousandths(i_base_intercept), i_base_intercept);
    add("Base atmospheric", counts(i_base_atmospheric), i_base_atmospheric);
    add("Active slope", thousandths(i_active_slope), i_active_slope);
    add("Active intercept", thousandths(i_active_intercept), i_active_intercept);
    add("Active atmospheric", counts(i_active_atmospheric), i_active_atmospheric);
    const auto conv = boost_converter();
    const quint16 deadband_counts = quint16(qMin<quint32>(ints[i_active_deadband], 1023));
    const QString deadband = conv ? QString("%1 %2")
                                        .arg(conv->adc2deadband(deadband_counts), 0, 'f', 2)
                                        .arg(conv->boost_units_name)
                                  : counts(i_active_deadband);
    add("Active deadband", deadband, i_active_deadband);
}

void settings_report::describe_table(int table, QList<parameter>& out) const
{
    const QString label = table_labels[table];
    auto add = [&](const QString& name, const QString& value, origin::part_kind part) {
        out.append({label + " " + name, value, {part, table}});
    };
    table_record r;
    if (!table_record::decode(tables[table], r)) {
        add("table", "no valid table record", origin::record);
        return;
    }
    add("vertical axis", source_names[r.source], origin::source);
    add("vertical range",
        vertical_text(r.source, r.vertical[table_record::rows - 1]) + " to " +
            vertical_text(r.source, r.vertical[0]),
        origin::vertical_range);
    add("engine speed range",
        QString("%1 to %2 RPM").arg(r.horizontal[0]).arg(r.horizontal[table_record::columns - 1]),
        origin::rpm_range);
    if (!r.has_header)
        return;
    if (table == t_main || table == t_aux) {
        add("minimum duty", percent(r.min_duty_or_act_delay & 0x3FF), origin::min_duty);
        add("undercurrent limit", amps(r.undercurrent), origin::undercurrent);
        add("overcurrent limit", amps(r.overcurrent), origin::overcurrent);
        add("time delay", QString("%1 loops").arg(r.time_delay), origin::time_delay);
    } else {
        add("activation delay", ms(r.min_duty_or_act_delay), origin::act_delay);
        add("deactivation delay", ms(r.deact_delay), origin::deact_delay);
    }
    add("vertical threshold", vertical_text(r.source, r.vertical_threshold),
        origin::vertical_threshold);
    add("engine speed threshold", QString("%1 RPM").arg(r.horizontal_threshold),
        origin::rpm_threshold);
}

QList<settings_report::parameter> settings_report::parameters() const
{
    QList<parameter> out;
    describe_general(out);
    describe_calibration(out);
    for (int table : {t_main, t_aux, t_gpo1, t_gpo2})
        describe_table(table, out);
    return out;
}

QList<settings_report::difference>
settings_report::parameter_differences(const settings_report& other) const
{
    const QList<parameter> mine = parameters();
    QHash<QString, QString> theirs;
    for (const parameter& p : other.parameters())
        theirs.insert(p.name, p.value);
    QList<difference> out;
    for (const parameter& p : mine) {
        const QString b = theirs.value(p.name, "missing");
        if (b != p.value)
            out.append({p.name, p.value, b, p.from});
    }
    return out;
}

QList<settings_report::cell_difference>
settings_report::cell_differences(const settings_report& other) const
{
    QList<cell_difference> out;
    for (int table : {t_main, t_aux, t_gpo1, t_gpo2}) {
        table_record a, b;
        if (!both(tables[table], other.tables[table], a, b))
            continue;
        for (int row = 0; row < table_record::rows; ++row) {
            for (int column = 0; column < table_record::columns; ++column) {
                const quint16 ca = a.cells[row][column];
                const quint16 cb = b.cells[row][column];
                if (table_record::percent(ca) != table_record::percent(cb))
                    out.append({table, row, column, ca, cb, a.horizontal[column],
                                vertical_text(a.source, a.vertical[row])});
            }
        }
    }
    return out;
}

QList<settings_report::table_difference>
settings_report::table_differences(const settings_report& other) const
{
    const QList<cell_difference> cells = cell_differences(other);
    QList<table_difference> out;
    for (int table : {t_main, t_aux, t_gpo1, t_gpo2}) {
        table_difference d;
        d.table = table_labels[table];
        table_record a, b;
        if (!both(tables[table], other.tables[table], a, b)) {
            d.unreadable = tables[table] != other.tables[table];
            if (d.unreadable)
                out.append(d);
            continue;
        }
        for (const cell_difference& c : cells) {
            if (c.table != table)
                continue;
            ++d.cells;
            const int by = std::abs(table_record::percent(c.a) - table_record::percent(c.b));
            if (by > d.largest) {
                d.largest = by;
                d.rpm = c.rpm;
                d.vertical = c.vertical;
            }
        }
        if (d.cells > 0)
            out.append(d);
    }
    return out;
}

QString settings_report::line(const difference& d)
{
    return QString("%1: %2 | %3").arg(d.name, d.a, d.b);
}

QString settings_report::line(const table_difference& d)
{
    if (d.unreadable)
        return QString("%1 table: not comparable (one side holds no valid table)").arg(d.table);
    return QString("%1 table: %2 cells differ, largest by %3 % at %4 RPM, %5")
        .arg(d.table)
        .arg(d.cells)
        .arg(d.largest)
        .arg(d.rpm)
        .arg(d.vertical);
}

QString settings_report::line(const cell_difference& d)
{
    return QString("%1 table, %2 RPM, %3: %4 % | %5 %")
        .arg(table_labels[d.table])
        .arg(d.rpm)
        .arg(d.vertical)
        .arg(table_record::percent(d.a))
        .arg(table_record::percent(d.b));
}
