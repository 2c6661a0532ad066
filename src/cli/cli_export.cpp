// export: a live-log file as plain CSV in physical units, for spreadsheets and other log
// viewers, converted with the MAP calibration stored in the log's settings section.
#include "cli_commands.h"

#include "converter.h"
#include "rq7_log.h"
#include "rq7_log_reader.h"
#include "rq7_vars.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {

/// Finer than the window shows, so that exported curves keep every count's step.
const int boost_decimals[] = {3, 4, 2};

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

/// Writes every line, each write checked: a full disk or a closed pipe is an error, not a
/// shorter file.
bool write_lines(QIODevice& out, const rq7_log& log, const converter& conv, int map_decimals)
{
    auto put = [&out](const QByteArray& text) { return out.write(text) == text.size(); };
    if (!put(header(conv).toUtf8()))
        return false;
    const qint64 start = log.timestamps().at(0);
    for (int n = 0; n < log.size(); ++n)
        if (!put(line(log.at(n), start, conv, map_decimals).toLatin1()))
            return false;
    return true;
}

/// The CSV to standard output (an empty `path`) or into `path`. A regular file (or a new one)
/// is replaced in one step, so a failure leaves the old one; anything else (a pipe, a device,
/// a symbolic link) is written into directly, since renaming a file over it would destroy it.
bool write_csv(const QString& path, const rq7_log& log, const converter& conv, int map_decimals,
               QString& error)
{
    if (path.isEmpty()) {
        QFile out;
        const bool written =
            out.open(STDOUT_FILENO, QIODevice::WriteOnly, QFileDevice::DontCloseHandle) &&
            write_lines(out, log, conv, map_decimals) && out.flush();
        if (!written)
            error = "cannot write to standard output: " + out.errorString();
        return written;
    }
    const QFileInfo target(path);
    if (target.isSymLink() || (target.exists() && !target.isFile())) {
        QFile out(path);
        const bool written = out.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                             write_lines(out, log, conv, map_decimals) && out.flush();
        if (!written)
            error = QString("cannot write %1: %2").arg(path, out.errorString());
        return written;
    }
    QSaveFile out(path);
    const bool written =
        out.open(QIODevice::WriteOnly) && write_lines(out, log, conv, map_decimals) && out.commit();
    if (!written)
        error = QString("cannot write %1: %2").arg(path, out.errorString());
    return written;
}

} // namespace

int cli_export(const cli_options& options)
{
    if (options.args.size() != 1)
        return cli_fail(exit_code::usage, "export needs one live-log file: quorvane-cli export "
                                          "LOG [-o OUT.csv]");
    const QString log_name = options.args.first();
    if (!QFileInfo(log_name).isFile())
        return cli_fail(exit_code::usage, QString("there is no live-log file %1").arg(log_name));

    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    rq7_vars settings(nullptr);
    bool has_settings = false;
    rq7_log_reader reader(log, marks, [&](const QString& section) {
        QList<QString> warnings;
        has_settings = settings.file_to_vars(section, warnings);
    });
    switch (reader.parse(log_name)) {
    case rq7_log_reader::p_parsed:
        break;
    case rq7_log_reader::p_not_a_log:
        return cli_fail(exit_code::usage, QString("%1 is not a live-log file").arg(log_name));
    default:
        return cli_fail(exit_code::usage, QString("could not read %1").arg(log_name));
    }
    if (log.size() == 0)
        return cli_fail(exit_code::usage, QString("%1 holds no samples").arg(log_name));

    converter conv;
    conv.set_boost_units(options.boost_unit);
    const double slope = settings.ints[i_active_slope] / 1000.0;
    if (has_settings && slope > 0) {
        conv.set_active_slope(slope);
        conv.set_active_intercept(settings.ints[i_active_intercept] / 1000.0);
    } else {
        std::fprintf(stderr,
                     "warning: %s holds no usable MAP calibration; MAP uses the factory "
                     "default calibration\n",
                     qPrintable(log_name));
    }

    QString error;
    if (!write_csv(options.output, log, conv, boost_decimals[options.boost_unit], error))
        return cli_fail(exit_code::local_file, error);
    if (reader.bad_lines() > 0)
        std::fprintf(stderr,
                     "warning: %d damaged lines of %s were skipped, the first at line %lld\n",
                     reader.bad_lines(), qPrintable(log_name),
                     static_cast<long long>(reader.first_bad_line()));
    if (!options.output.isEmpty())
        std::fprintf(stderr, "Exported %d samples to %s\n", log.size(), qPrintable(options.output));
    return exit_code::done;
}
