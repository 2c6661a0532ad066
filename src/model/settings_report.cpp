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
    out.append({"Pulses per revolution", QString::number(ints[i_rpm_scaler] * 0.5)});
    out.append({"Pump prime delay", ms(ints[i_pump_prime_delay])});
    out.append({"MAIN mode", mode_text(main_modes, ints[i_main_mode])});
    out.append({"AUX mode", mode_text(aux_modes, ints[i_aux_mode])});
    out.append({"GPO1 mode", mode_text(gpo1_modes, ints[i_gpo1_mode])});
    out.append({"GPO2 mode", mode_text(gpo2_modes, ints[i_gpo2_mode])});
    out.append({"GPI1 mode", mode_text(gpi_modes, ints[i_gpi1_mode])});
    out.append({"GPI1 request", percent(ints[i_gpi1_request])});
    out.append({"GPI1 activation delay", ms(ints[i_gpi1_act_delay])});
    out.append({"GPI1 deactivation delay", ms(ints[i_gpi1_deact_delay])});
    out.append({"GPI2 mode", mode_text(gpi_modes, ints[i_gpi2_mode])});
    out.append({"GPI2 request", percent(ints[i_gpi2_request])});
    out.append({"GPI2 activation delay", ms(ints[i_gpi2_act_delay])});
    out.append({"GPI2 deactivation delay", ms(ints[i_gpi2_deact_delay])});
}

void settings_report::describe_calibration(QList<parameter>& out) const
{
    auto thousandths = [this](int_index i) { return QString::number(ints[i] / 1000.0, 'f', 3); };
    out.append({"Base slope", thousandths(i_base_slope)});
    out.append({"Base intercept", thousandths(i_base_intercept)});
    out.append({"Base atmospheric", QString("%1 counts").arg(ints[i_base_atmospheric])});
    out.append({"Active slope", thousandths(i_active_slope)});
    out.append({"Active intercept", thousandths(i_active_intercept)});
    out.append({"Active atmospheric", QString("%1 counts").arg(ints[i_active_atmospheric])});
    const auto conv = boost_converter();
    const quint16 deadband_counts = quint16(qMin<quint32>(ints[i_active_deadband], 1023));
    const QString deadband = conv ? QString("%1 %2")
                                        .arg(conv->adc2deadband(deadband_counts), 0, 'f', 2)
                                        .arg(conv->boost_units_name)
                                  : QString("%1 counts").arg(ints[i_active_deadband]);
    out.append({"Active deadband", deadband});
}

void settings_report::describe_table(int table, QList<parameter>& out) const
{
    const QString label = table_labels[table];
    table_record r;
    if (!table_record::decode(tables[table], r)) {
        out.append({label + " table", "no valid table record"});
        return;
    }
    out.append({label + " vertical axis", source_names[r.source]});
    out.append(
        {label + " vertical range", vertical_text(r.source, r.vertical[table_record::rows - 1]) +
                                        " to " + vertical_text(r.source, r.vertical[0])});
    out.append({label + " engine speed range", QString("%1 to %2 RPM")
                                                   .arg(r.horizontal[0])
                                                   .arg(r.horizontal[table_record::columns - 1])});
    if (!r.has_header)
        return;
    if (table == t_main || table == t_aux) {
        out.append({label + " minimum duty", percent(r.min_duty_or_act_delay & 0x3FF)});
        out.append({label + " undercurrent limit", amps(r.undercurrent)});
        out.append({label + " overcurrent limit", amps(r.overcurrent)});
        out.append({label + " time delay", QString("%1 loops").arg(r.time_delay)});
    } else {
        out.append({label + " activation delay", ms(r.min_duty_or_act_delay)});
        out.append({label + " deactivation delay", ms(r.deact_delay)});
    }
    out.append({label + " vertical threshold", vertical_text(r.source, r.vertical_threshold)});
    out.append({label + " engine speed threshold", QString("%1 RPM").arg(r.horizontal_threshold)});
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
            out.append({p.name, p.value, b});
    }
    return out;
}

QList<settings_report::table_difference>
settings_report::table_differences(const settings_report& other) const
{
    QList<table_difference> out;
    for (int table : {t_main, t_aux, t_gpo1, t_gpo2}) {
        table_difference d;
        d.table = table_labels[table];
        table_record a, b;
        if (!table_record::decode(tables[table], a) ||
            !table_record::decode(other.tables[table], b)) {
            d.unreadable = tables[table] != other.tables[table];
            if (d.unreadable)
                out.append(d);
            continue;
        }
        for (int row = 0; row < table_record::rows; ++row) {
            for (int column = 0; column < table_record::columns; ++column) {
                const int pa = table_record::percent(a.cells[row][column]);
                const int pb = table_record::percent(b.cells[row][column]);
                if (pa == pb)
                    continue;
                ++d.cells;
                if (std::abs(pa - pb) > d.largest) {
                    d.largest = std::abs(pa - pb);
                    d.rpm = a.horizontal[column];
                    d.vertical = vertical_text(a.source, a.vertical[row]);
                }
            }
        }
        if (d.cells > 0)
            out.append(d);
    }
    return out;
}
