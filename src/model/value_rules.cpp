// SPDX-License-Identifier: GPL-3.0-or-later
#include "value_rules.h"

#include "converter.h"
#include "table_record.h"

#include <algorithm>

namespace value_rules {

namespace {

// Delays travel in the unit's 13 ms steps; the window's fields go up to 10010 ms.
constexpr quint32 longest_delay_steps = 10010 / 13;
constexpr quint32 full_duty_counts = 1023;
constexpr quint32 max_undercurrent_counts = 512; // 25 A
constexpr quint32 max_time_delay = 10000;
constexpr quint32 max_threshold_rpm = 30000;
constexpr quint32 engine_speed_low = 1000;
constexpr quint32 engine_speed_high = 20000;
constexpr quint32 engine_speed_step = 500;
constexpr int min_analog_span_counts = 102; // 0.5 V at 204.6 counts a volt
constexpr quint8 header_marker = 0xCC;
constexpr quint8 first_source = 0xA1; // MAP sensor
constexpr quint8 last_source = 0xA3;  // analog input B; the window offers no fourth source
constexpr quint32 main_pump_delay = 0xA2;
constexpr quint32 aux_pump_delay = 0xB2;
constexpr quint32 gpo1_pid = 0xD8; // exists on the unit, though the window has no item for it

struct range_rule
{
    int_index index;
    quint32 low;
    quint32 high;
    const char* meaning;
};

const range_rule ranges[] = {
    {i_rpm_scaler, 1, 128, "0.5 to 64 pulses per revolution in steps of 0.5"},
    {i_pump_prime_delay, 0, longest_delay_steps, "0 to 10010 ms in steps of 13 ms"},
    {i_gpi1_request, 0, full_duty_counts, "0 to 100 %"},
    {i_gpi2_request, 0, full_duty_counts, "0 to 100 %"},
    {i_gpi1_act_delay, 0, longest_delay_steps, "0 to 10010 ms in steps of 13 ms"},
    {i_gpi1_deact_delay, 0, longest_delay_steps, "0 to 10010 ms in steps of 13 ms"},
    {i_gpi2_act_delay, 0, longest_delay_steps, "0 to 10010 ms in steps of 13 ms"},
    {i_gpi2_deact_delay, 0, longest_delay_steps, "0 to 10010 ms in steps of 13 ms"},
    {i_base_slope, 100, 99000, "a slope of 0.1 to 99"},
    {i_base_intercept, 100, 1023000, "an intercept of 0.1 to 1023"},
    {i_base_atmospheric, 1, 1023, "counts"},
    {i_active_slope, 100, 99000, "a slope of 0.1 to 99"},
    {i_active_intercept, 100, 1023000, "an intercept of 0.1 to 1023"},
    {i_active_atmospheric, 1, 1023, "counts"},
    {i_active_deadband, 0, 1023, "counts"},
};

struct mode_rule
{
    int_index index;
    quint32 first;
    quint32 count;
};

const mode_rule modes[] = {
    {i_main_mode, 0xA0, 3}, {i_aux_mode, 0xB0, 5},  {i_gpo1_mode, 0xD0, 8},
    {i_gpo2_mode, 0xE0, 8}, {i_gpi1_mode, 0x50, 5}, {i_gpi2_mode, 0x50, 5},
};

QString hex(quint32 value)
{
    return "0x" + QString::number(value, 16).toUpper();
}

quint16 be16(const QByteArray& b, int at)
{
    return quint16((quint8(b.at(at)) << 8) | quint8(b.at(at + 1)));
}

quint32 be32(const QByteArray& b, int at)
{
    return (quint32(be16(b, at)) << 16) | be16(b, at + 2);
}

void check_range(const range_rule& rule, quint32 value, QList<violation>& out)
{
    if (value >= rule.low && value <= rule.high)
        return;
    out.append({int_names[rule.index], QString::number(value),
                QString("%1 to %2 (%3)").arg(rule.low).arg(rule.high).arg(rule.meaning)});
}

void check_mode(const mode_rule& rule, quint32 value, QList<violation>& out)
{
    const quint32 last = rule.first + rule.count - 1;
    const bool pid = rule.index == i_gpo1_mode && value == gpo1_pid;
    if ((value >= rule.first && value <= last) || pid)
        return;
    QString allowed =
        QString("%1 to %2 (%3 to %4)").arg(rule.first).arg(last).arg(hex(rule.first), hex(last));
    if (rule.index == i_gpo1_mode)
        allowed += QString(", or %1 (%2, PID control)").arg(gpo1_pid).arg(hex(gpo1_pid));
    out.append({int_names[rule.index], QString("%1 (%2)").arg(value).arg(hex(value)), allowed});
}

/// MAIN can use the pump prime delay only together with AUX, whose output the pump is.
void check_interlock(const QList<quint32>& ints, const QList<int_index>& checked,
                     QList<violation>& out)
{
    if (!checked.contains(i_main_mode) || !checked.contains(i_aux_mode))
        return;
    if (ints.value(i_main_mode) == main_pump_delay && ints.value(i_aux_mode) != aux_pump_delay)
        out.append({int_names[i_main_mode],
                    QString("%1 (Duty table + pump delay)").arg(main_pump_delay),
                    QString("only while AUX mode is %1 (Duty table + pump delay); AUX mode is %2")
                        .arg(aux_pump_delay)
                        .arg(ints.value(i_aux_mode))});
}

void check_cells(const QString& name, const QByteArray& record, QList<violation>& out)
{
    int over = 0;
    int first = -1;
    for (int cell = 0; cell < table_record::rows * table_record::columns; ++cell) {
        if (be16(record, 2 * cell) <= full_duty_counts)
            continue;
        if (first < 0)
            first = cell;
        ++over;
    }
    if (over == 0)
        return;
    // The cell block runs from the bottom row up.
    const int row = table_record::rows - 1 - first / table_record::columns;
    const int column = first % table_record::columns;
    out.append({name + ": cells",
                QString("%1 cells above 100 % (the first at row %2, column %3: %4 counts)")
                    .arg(over)
                    .arg(row)
                    .arg(column)
                    .arg(be16(record, 2 * first)),
                "0 to 1023 counts (0 to 100 %)"});
}

void check_axes(const QString& name, const QByteArray& record, QList<violation>& out)
{
    const quint8 source = quint8(record.at(638));
    if (source < first_source || source > last_source)
        out.append({name + ": vertical source", hex(source),
                    "0xA1 (MAP sensor), 0xA2 (analog input A) or 0xA3 (analog input B)"});
    const quint16 top_rpm = be16(record, 574);
    if (top_rpm < engine_speed_low || top_rpm > engine_speed_high ||
        top_rpm % engine_speed_step != 0)
        out.append({name + ": engine speed range", QString("0 to %1 RPM").arg(top_rpm),
                    "a maximum of 1000 to 20000 RPM in steps of 500"});
    const quint16 bottom = be16(record, 512);
    const quint16 top = be16(record, 542);
    const bool analog = source == first_source + 1 || source == first_source + 2;
    const int least_span = analog ? min_analog_span_counts : 1;
    if (bottom > full_duty_counts || top > full_duty_counts || top - bottom < least_span)
        out.append({name + ": vertical range", QString("%1 to %2 counts").arg(bottom).arg(top),
                    analog ? "0 to 1023 counts, at least 102 counts (0.5 V) apart"
                           : "0 to 1023 counts, the top above the bottom"});
}

void check_header(table_index table, const QByteArray& record, double max_overcurrent_amps,
                  QList<violation>& out)
{
    const QString name = table_names[table];
    if (quint8(record.at(608)) != header_marker) {
        out.append({name + ": header", "no header marker", "the marker 0xCC at byte 608"});
        return;
    }
    auto limit = [&](const QString& field, quint32 value, quint32 high, const QString& shown,
                     const QString& allowed) {
        if (value > high)
            out.append({name + ": " + field, shown, allowed});
    };
    if (table == t_main || table == t_aux) {
        const quint16 max_overcurrent = converter::current2adc(max_overcurrent_amps);
        const quint16 min_duty = be16(record, 609);
        const quint16 undercurrent = be16(record, 613);
        const quint16 overcurrent = be16(record, 615);
        limit("minimum duty", min_duty, full_duty_counts, QString("%1 counts").arg(min_duty),
              "0 to 1023 counts (0 to 100 %)");
        limit("undercurrent limit", undercurrent, max_undercurrent_counts,
              QString("%1 A").arg(converter::adc2current(undercurrent), 0, 'f', 1), "0 to 25 A");
        limit("overcurrent limit", overcurrent, max_overcurrent,
              QString("%1 A").arg(converter::adc2current(overcurrent), 0, 'f', 1),
              QString("0 to %1 A for this unit").arg(max_overcurrent_amps));
        limit("time delay", be32(record, 617), max_time_delay, QString::number(be32(record, 617)),
              "0 to 10000 loops");
    } else {
        for (int at : {609, 611}) {
            const quint16 steps = be16(record, at);
            limit(at == 609 ? "activation delay" : "deactivation delay", steps, longest_delay_steps,
                  QString("%1 ms").arg(steps * 13), "0 to 10010 ms in steps of 13 ms");
        }
    }
    const quint16 vertical = be16(record, 630);
    limit("vertical threshold", vertical, full_duty_counts, QString("%1 counts").arg(vertical),
          "0 to 1023 counts");
    const quint16 horizontal = be16(record, 632);
    limit("horizontal threshold", horizontal, max_threshold_rpm, QString("%1 RPM").arg(horizontal),
          "0 to 30000 RPM");
}

void check_table(table_index table, const QByteArray& record, double max_overcurrent_amps,
                 QList<violation>& out)
{
    table_record decoded;
    if (!table_record::decode(record, decoded)) {
        out.append({table_names[table], "not a table record",
                    "640 bytes, the last the XOR of all the others"});
        return;
    }
    check_cells(table_names[table], record, out);
    check_axes(table_names[table], record, out);
    check_header(table, record, max_overcurrent_amps, out);
}

} // namespace

QList<violation> check(const QList<QByteArray>& tables, const QList<quint32>& ints,
                       const QList<int_index>& checked, double max_overcurrent_amps)
{
    QList<violation> out;
    for (table_index table : {t_aux, t_main, t_gpo1, t_gpo2})
        check_table(table, tables.value(table), max_overcurrent_amps, out);
    for (int_index index : checked) {
        const quint32 value = ints.value(index);
        const auto range = std::find_if(std::begin(ranges), std::end(ranges),
                                        [index](const range_rule& r) { return r.index == index; });
        if (range != std::end(ranges))
            check_range(*range, value, out);
        const auto mode = std::find_if(std::begin(modes), std::end(modes),
                                       [index](const mode_rule& m) { return m.index == index; });
        if (mode != std::end(modes))
            check_mode(*mode, value, out);
    }
    check_interlock(ints, checked, out);
    return out;
}

QString describe(const violation& v)
{
    return QString("%1 = %2 (allowed: %3)").arg(v.field, v.value, v.allowed);
}

} // namespace value_rules
