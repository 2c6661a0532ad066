// SPDX-License-Identifier: GPL-3.0-or-later
// export: a live-log file as plain CSV in physical units, for spreadsheets and other log
// viewers, converted with the MAP calibration stored in the log's settings section.
#include "cli_commands.h"

#include "converter.h"
#include "log_csv_export.h"
#include "rq7_log.h"
#include "rq7_log_reader.h"
#include "rq7_log_view.h"
#include "rq7_vars.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

namespace {

/// The CSV to standard output (an empty `path`) or into `path`.
bool write_csv(const QString& path, const rq7_log& log, const converter& conv, QString& error)
{
    const rq7_log_view view(log);
    if (!path.isEmpty())
        return log_csv_export::save(path, view, conv, error) == log_csv_export::r_written;
    QFile out;
    const bool written =
        out.open(STDOUT_FILENO, QIODevice::WriteOnly, QFileDevice::DontCloseHandle) &&
        log_csv_export::write(out, view, conv) == log_csv_export::r_written && out.flush();
    if (!written)
        error = "cannot write to standard output: " + out.errorString();
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
    if (!write_csv(options.output, log, conv, error))
        return cli_fail(exit_code::local_file, error);
    if (reader.bad_lines() > 0)
        std::fprintf(stderr,
                     "warning: %d damaged line%s of %s %s skipped, the first at line %lld\n",
                     reader.bad_lines(), reader.bad_lines() == 1 ? "" : "s", qPrintable(log_name),
                     reader.bad_lines() == 1 ? "was" : "were",
                     static_cast<long long>(reader.first_bad_line()));
    if (!options.output.isEmpty())
        std::fprintf(stderr, "Exported %d samples to %s\n", log.size(), qPrintable(options.output));
    return exit_code::done;
}
