// SPDX-License-Identifier: GPL-3.0-or-later
#include "log_csv_export.h"

#include "converter.h"
#include "rq7_log_view.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <cmath>

namespace log_csv_export {

namespace {

/// Finer than the window shows, so that exported curves keep every count's step: PSI, Bar,
/// kPa.
const int boost_decimals[] = {3, 4, 2};

/// Lines between two progress reports.
constexpr int progress_every = 4096;

const char* const raw_columns[] = {"afr",
                                   "boost target low",
                                   "boost target high",
                                   "pot boost target",
                                   "aux master",
                                   "inj pulse width",
                                   "error pol",
                                   "coarse mode",
                                   "command",
                                   "current pos",
                                   "error",
                                   "previous pid",
                                   "pterm",
                                   "iterm",
                                   "dterm",
                                   "istate",
                                   "istate lu",
                                   "result"};

QString header(const converter& conv)
{
    QStringList names = {
        "Time [s]",         "Engine speed [RPM]", "MAP [" + conv.boost_units_name + "]",
        "Battery [V]",      "Analog A [V]",       "Analog B [V]",
        "MAIN current [A]", "AUX current [A]",    "MAIN duty [%]",
        "AUX duty [%]",     "GPO1 duty [%]",      "GPO2 duty [%]",
        "GPI1 state",       "GPI2 state"};
    for (const char* raw : raw_columns)
        names << raw;
    return names.join(',') + "\r\n";
}

/// Fixed decimals without a "-0.0" for values that round to zero.
QString fixed(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(value * scale) / scale;
    return QString::number(rounded == 0 ? 0.0 : rounded, 'f', decimals);
}

QString duty(quint16 counts)
{
    return QString::number(qMin<int>(counts, 1023) * 100.0 / 1023.0, 'f', 1);
}

QString line(const rq7_frame& f, qint64 start, const converter& conv, int map_decimals)
{
    const quint16 map = quint16(qMin<int>(f.map_adc, 1023));
    QStringList values = {
        QString::number((f.timestamp - start) / 1000.0, 'f', 3),
        QString::number(f.rpm),
        fixed(conv.adc2boost(map), map_decimals),
        QString::number(converter::adc2batt(f.batt_adc), 'f', 2),
        QString::number(converter::adc2volt(qMin<quint16>(f.an1_adc, 1023)), 'f', 3),
        QString::number(converter::adc2volt(qMin<quint16>(f.an2_adc, 1023)), 'f', 3),
        QString::number(converter::adc2current(qMin<quint16>(f.main_current, 1023)), 'f', 2),
        QString::number(converter::adc2current(qMin<quint16>(f.aux_current, 1023)), 'f', 2),
        duty(f.main_duty),
        duty(f.aux_duty),
        duty(f.gpo1_duty),
        duty(f.gpo2_duty),
        QString::number(f.gpi1_state),
        QString::number(f.gpi2_state)};
    for (quint64 raw :
         {quint64(f.afr), quint64(f.boost_target_low), quint64(f.boost_target_high),
          quint64(f.pot_boost_target), quint64(f.aux_master), quint64(f.inj_pulse_width),
          quint64(f.error_pol), quint64(f.coarse_mode), quint64(f.command), quint64(f.current_pos),
          quint64(f.error), quint64(f.previous_pid), quint64(f.pterm), quint64(f.iterm),
          quint64(f.dterm), quint64(f.istate), quint64(f.istate_lu), quint64(f.result)})
        values << QString::number(raw);
    return values.join(',') + "\r\n";
}

} // namespace

result write(QIODevice& out, const rq7_log_view& log, const converter& conv,
             const progress_fn& progress)
{
    auto put = [&out](const QByteArray& text) { return out.write(text) == text.size(); };
    if (!put(header(conv).toUtf8()))
        return r_failed;
    const int total = log.size();
    if (total == 0)
        return r_written;
    const int map_decimals = boost_decimals[qBound(0, conv.boost_unit_index(), 2)];
    const qint64 start = log.time_at(0);
    for (int n = 0; n < total; ++n) {
        if (progress && n % progress_every == 0 && !progress(n, total))
            return r_cancelled;
        if (!put(line(log.at(n), start, conv, map_decimals).toLatin1()))
            return r_failed;
    }
    if (progress)
        progress(total, total);
    return r_written;
}

result save(const QString& path, const rq7_log_view& log, const converter& conv, QString& error,
            const progress_fn& progress)
{
    const QFileInfo target(path);
    result done = r_failed;
    if (target.isSymLink() || (target.exists() && !target.isFile())) {
        QFile out(path);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            done = write(out, log, conv, progress);
            if (done == r_written && !out.flush())
                done = r_failed;
        }
        if (done == r_failed)
            error = QString("cannot write %1: %2").arg(path, out.errorString());
        return done;
    }
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly)) {
        done = write(out, log, conv, progress);
        if (done == r_written && !out.commit())
            done = r_failed;
    }
    if (done == r_failed)
        error = QString("cannot write %1: %2").arg(path, out.errorString());
    if (done != r_written)
        out.cancelWriting();
    return done;
}

} // namespace log_csv_export
