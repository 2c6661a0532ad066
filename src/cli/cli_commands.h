// SPDX-License-Identifier: GPL-3.0-or-later
// The commands of quorvane-cli. Each takes the parsed options and returns the exit code.
#pragma once

#include "cli_unit.h"

#include <QString>
#include <QStringList>

namespace exit_code {
constexpr int done = 0;
constexpr int differences = 1;
constexpr int no_unit = 2; // no unit found, or the link failed
constexpr int verify_failed = 3;
constexpr int local_file = 4; // a local file or folder could not be written or read
constexpr int usage = 64;     // a usage error, or an input file that is missing or unusable
} // namespace exit_code

struct cli_options
{
    QStringList args; // after the command's name
    bool json = false;
    int boost_unit = 0; // 0 PSI, 1 Bar, 2 kPa
    bool no_backup = false;
    bool with_map_cal = false;
    double seconds = 0; // 0: until Ctrl-C (--seconds itself takes 0.1 s to 7 days)
    QString output;
    QString port; // --port, empty without
    bool simulate = false;
};

/// Firmware older than this speaks an earlier dialect of the protocol.
constexpr quint16 cli_oldest_supported_fw = 0x167;
/// "RQ7-NVS" or "RQ7-NV".
QString cli_model_name(rq7_variant variant);
/// The firmware version as the window shows it: the major number in decimal, the minor in
/// hexadecimal (0x0160 is 1.60).
QString cli_firmware_text(quint16 fw);

/// Prints "quorvane-cli: <message>" on standard error and returns `code`.
int cli_fail(int code, const QString& message);
/// A line on standard output.
void cli_print(const QString& line);
/// Text on standard output, at once; a failure is kept for cli_stdout_error.
void cli_write_stdout(const QByteArray& text);
/// The system's error number of the first failed write to standard output; 0 when none failed.
int cli_stdout_error();
/// On standard error: the backup the unit's last read kept, or a warning that none was kept.
void cli_report_backup(const cli_unit& unit);
/// Loads a settings file into `out` on top of what it holds; false with `error` when the
/// file is missing or is no settings file. `warnings` names what the file lacks.
bool cli_load_settings_file(const QString& path, unit_settings& out, QStringList& warnings,
                            QString& error);

int cli_list(const cli_options& options);
int cli_info(const cli_options& options);
int cli_read(const cli_options& options);
int cli_write(const cli_options& options);
int cli_diff(const cli_options& options);
int cli_log(const cli_options& options);
int cli_export(const cli_options& options);
int cli_flash(const cli_options& options);
int cli_doctor(const cli_options& options);
