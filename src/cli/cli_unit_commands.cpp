// SPDX-License-Identifier: GPL-3.0-or-later
// list, info, read and write: the commands that talk to one unit about its settings.
#include "cli_commands.h"
#include "cli_progress.h"

#include "file_limits.h"
#include "rq7_vars.h"
#include "settings_backup.h"
#include "value_rules.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstdio>

namespace {

void print_json(const QJsonValue& value)
{
    const QByteArray text = value.isArray() ? QJsonDocument(value.toArray()).toJson()
                                            : QJsonDocument(value.toObject()).toJson();
    cli_write_stdout(text);
}

/// What `write` sends: the tables, pulses per revolution, pump prime delay and the mode group,
/// and the active MAP calibration only when asked for. The factory calibration is never
/// written from a file: a file may come from another unit with another sensor.
QList<int_index> written_parameters(bool with_map_cal)
{
    QList<int_index> ints = {
        i_rpm_scaler,     i_pump_prime_delay, i_main_mode,      i_aux_mode,        i_gpo1_mode,
        i_gpo2_mode,      i_gpi1_mode,        i_gpi1_request,   i_gpi2_mode,       i_gpi2_request,
        i_gpi1_act_delay, i_gpi1_deact_delay, i_gpi2_act_delay, i_gpi2_deact_delay};
    if (with_map_cal)
        ints << i_active_slope << i_active_intercept << i_active_atmospheric << i_active_deadband;
    return ints;
}

const QList<table_index> written_tables = {t_aux, t_main, t_gpo1, t_gpo2};

} // namespace

QString cli_model_name(rq7_variant variant)
{
    return variant == variant_nvs ? "RQ7-NVS" : "RQ7-NV";
}

QString cli_firmware_text(quint16 fw)
{
    return QString("%1.%2").arg(fw >> 8).arg(fw & 0xFF, 0, 16);
}

void cli_report_backup(const cli_unit& unit)
{
    if (!unit.backup_file.isEmpty())
        std::fprintf(stderr, "Backup of the unit's settings: %s\n", qPrintable(unit.backup_file));
    else if (!unit.backup_error.isEmpty())
        std::fprintf(stderr, "warning: no backup of the unit's settings was kept: %s\n",
                     qPrintable(unit.backup_error));
}

int cli_fail(int code, const QString& message)
{
    std::fprintf(stderr, "quorvane-cli: %s\n", qPrintable(message));
    return code;
}

namespace {

int stdout_errno = 0; // the first failure to write standard output

} // namespace

void cli_write_stdout(const QByteArray& text)
{
    errno = 0;
    if ((std::fputs(text.constData(), stdout) < 0 || std::fflush(stdout) != 0) && !stdout_errno)
        stdout_errno = errno ? errno : EIO;
}

int cli_stdout_error()
{
    return stdout_errno;
}

void cli_print(const QString& line)
{
    cli_write_stdout(line.toLocal8Bit() + '\n');
}

bool cli_load_settings_file(const QString& path, unit_settings& out, QStringList& warnings,
                            QString& error)
{
    return settings_files::read_file(path, out.tables, out.ints, out.trims, warnings, error);
}

int cli_list(const cli_options& options)
{
    cli_unit unit;
    const QList<rq7_bridge_info> bridges = unit.list_bridges();
    if (options.json) {
        QJsonArray list;
        for (const rq7_bridge_info& b : bridges)
            list.append(QJsonObject{{"serial_number", b.serial_number},
                                    {"description", b.description},
                                    {"port", b.port},
                                    {"unit", b.is_unit},
                                    {"probed", b.probed},
                                    {"open_error", b.open_error},
                                    {"firmware", b.is_unit ? cli_firmware_text(b.fw_version) : ""},
                                    {"model", b.is_unit ? cli_model_name(b.variant) : ""}});
        print_json(list);
    } else if (bridges.isEmpty()) {
        cli_print("No USB bridge found.");
    }
    for (const rq7_bridge_info& b : options.json ? QList<rq7_bridge_info>() : bridges) {
        const QString answer =
            b.is_unit ? QString("unit %1, firmware %2")
                            .arg(cli_model_name(b.variant), cli_firmware_text(b.fw_version))
            : !b.open_error.isEmpty() ? QString("cannot open it: %1").arg(b.open_error)
            : b.probed                ? QString("does not answer as a unit")
                                      : QString("not the unit's bridge: left alone");
        cli_print(QString("%1  %2  %3  %4")
                      .arg(b.serial_number, -16)
                      .arg(b.description, -12)
                      .arg(b.port.isEmpty() ? "-" : b.port, -14)
                      .arg(answer));
    }
    return bridges.isEmpty() ? exit_code::no_unit : exit_code::done;
}

int cli_info(const cli_options& options)
{
    cli_unit unit;
    QString error;
    if (!unit.connect_unit(error))
        return cli_fail(exit_code::no_unit, error);
    if (options.json) {
        print_json(QJsonObject{{"serial_number", unit.serial_number},
                               {"firmware", cli_firmware_text(unit.fw_version)},
                               {"firmware_code", unit.fw_version},
                               {"model", cli_model_name(unit.variant)}});
    } else {
        cli_print("Serial number: " + unit.serial_number);
        cli_print("Firmware:      " + cli_firmware_text(unit.fw_version));
        cli_print("Model:         " + cli_model_name(unit.variant));
    }
    return exit_code::done;
}

int cli_read(const cli_options& options)
{
    if (options.args.size() != 1)
        return cli_fail(exit_code::usage, "read needs one file name: quorvane-cli read FILE");
    const QString path = options.args.first();
    cli_unit unit;
    QString error;
    if (!unit.connect_unit(error))
        return cli_fail(exit_code::no_unit, error);
    cli_progress progress("read");
    progress.update(0, "reading the unit");
    unit_settings settings;
    if (!unit.read_all(settings, error)) {
        progress.finish("failed");
        return cli_fail(exit_code::no_unit, error);
    }
    progress.update(90, "saving " + path);
    settings.ints[i_fw_version] = unit.fw_version;
    if (!settings_files::write_complete(path, settings.tables, settings.ints, settings.trims,
                                        &error)) {
        progress.finish("failed");
        return cli_fail(exit_code::local_file,
                        QString("could not save the settings: %1").arg(error));
    }
    progress.update(100);
    progress.finish("done");
    cli_report_backup(unit);
    cli_print(QString("Read the settings of unit %1 into %2").arg(unit.serial_number, path));
    return exit_code::done;
}

/// Names of the items that the unit does not hold as `wanted` holds them.
static QStringList not_taken(const unit_settings& wanted, const unit_settings& held,
                             const QList<int_index>& ints)
{
    QStringList names;
    for (table_index t : written_tables)
        if (wanted.tables.value(t) != held.tables.value(t))
            names << table_names[t];
    for (int_index i : ints)
        if (wanted.ints.value(i) != held.ints.value(i))
            names << QString("%1 (wrote %2, the unit holds %3)")
                         .arg(int_names[i])
                         .arg(wanted.ints.value(i))
                         .arg(held.ints.value(i));
    return names;
}

/// Refuses values the window would not send, listing each; 0 when every value is fine.
static int refuse_bad_values(const unit_settings& settings, const QList<int_index>& ints,
                             rq7_variant variant)
{
    const double max_overcurrent = variant == variant_nv ? value_rules::overcurrent_limit_nv
                                                         : value_rules::overcurrent_limit_nvs;
    const QList<value_rules::violation> bad =
        value_rules::check(settings.tables, settings.ints, ints, max_overcurrent);
    if (bad.isEmpty())
        return exit_code::done;
    for (const value_rules::violation& v : bad)
        std::fprintf(stderr, "  %s\n", qPrintable(value_rules::describe(v)));
    return cli_fail(exit_code::usage, "the settings hold values the unit does not take (listed "
                                      "above): nothing was written");
}

int cli_write(const cli_options& options)
{
    if (options.args.size() != 1)
        return cli_fail(exit_code::usage, "write needs one file name: quorvane-cli write FILE");
    const QString path = options.args.first();
    // The file is checked before anything is sent, so a bad file never reaches the unit.
    unit_settings from_file;
    QStringList warnings;
    QString error;
    if (!cli_load_settings_file(path, from_file, warnings, error))
        return cli_fail(exit_code::usage, error);
    for (int t : written_tables) {
        if (!rq7_vars::is_table_record(from_file.tables.value(t)))
            return cli_fail(exit_code::usage,
                            QString("%1 holds no valid %2: nothing was sent to the unit")
                                .arg(path, table_names[t]));
    }
    // The tables come from the file alone; the parameters it lacks come from the unit, so
    // they are checked once the unit was read.
    if (const int refused = refuse_bad_values(from_file, {}, variant_nvs))
        return refused;

    cli_unit unit;
    if (!unit.connect_unit(error))
        return cli_fail(exit_code::no_unit, error);
    cli_progress progress("write");
    progress.update(0, "backing up the unit");
    unit_settings held;
    if (!unit.read_all(held, error)) {
        if (!options.no_backup) {
            progress.finish("stopped");
            return cli_fail(exit_code::no_unit,
                            error + "; nothing was written (--no-backup writes without a backup)");
        }
    } else if (unit.backup_file.isEmpty() && !options.no_backup) {
        progress.finish("stopped");
        return cli_fail(exit_code::local_file,
                        QString("could not keep a backup of the unit's settings: %1; nothing was "
                                "written (--no-backup writes without a backup)")
                            .arg(unit.backup_error));
    }
    cli_report_backup(unit);
    // Items the file lacks keep what the unit holds.
    unit_settings wanted = held.tables.isEmpty() ? unit_settings() : held;
    if (!cli_load_settings_file(path, wanted, warnings, error))
        return cli_fail(exit_code::usage, error);
    for (const QString& warning : qAsConst(warnings))
        std::fprintf(stderr, "warning: %s\n", qPrintable(warning));

    const QList<int_index> ints = written_parameters(options.with_map_cal);
    if (const int refused = refuse_bad_values(wanted, ints, unit.variant)) {
        progress.finish("stopped");
        return refused;
    }
    progress.update(30, "writing");
    if (!unit.write_items(wanted, written_tables, ints, error)) {
        progress.finish("failed");
        return cli_fail(exit_code::no_unit, error);
    }
    progress.update(70, "reading back");
    // The backup above already holds what the unit had: this read keeps none.
    unit_settings after;
    if (!unit.read_back(after, error)) {
        progress.finish("failed");
        return cli_fail(exit_code::verify_failed, "written, but " + error);
    }
    const QStringList wrong = not_taken(wanted, after, ints);
    if (!wrong.isEmpty()) {
        progress.finish("verify failed");
        for (const QString& name : wrong)
            std::fprintf(stderr, "  %s\n", qPrintable(name));
        return cli_fail(exit_code::verify_failed,
                        "the unit does not hold what was written (listed above); write again, "
                        "and if it persists, power-cycle the unit");
    }
    progress.update(100);
    progress.finish("done, verified");
    cli_print(
        QString("Wrote %1 to unit %2 and read every value back.").arg(path, unit.serial_number));
    return exit_code::done;
}
