// SPDX-License-Identifier: GPL-3.0-or-later
// doctor: on Linux most "it does not connect" comes from the computer rather than the program.
// Each check says OK, WARN or FAIL, and what to do about anything that is not OK.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class cli_unit;

/// Where the checks look; the defaults are the system's own places.
struct doctor_paths
{
    QString sysfs = "/sys";
    QString dev = "/dev";
    QStringList rule_files = {
        "/etc/udev/rules.d/70-quorvane.rules", "/usr/lib/udev/rules.d/70-quorvane.rules",
        "/usr/local/lib/udev/rules.d/70-quorvane.rules", "/lib/udev/rules.d/70-quorvane.rules"};
    QString udev_data = "/run/udev/data";
    QString proc = "/proc";
    QStringList program_dirs = {"/usr/sbin", "/usr/bin", "/sbin", "/bin"};
};

struct doctor_finding
{
    enum level { ok, warn, fail };
    level result = ok;
    QString check; // "bridge", "port", ...
    QString detail;
    QString fix; // empty when OK
};

/// The checks of this computer: the bridges in sysfs and their driver, each port's node and
/// access, the latency timers, the udev rule, ModemManager and brltty. `port` is the user's
/// --port (empty: none); with `simulated` the bridge checks are left out.
QList<doctor_finding> doctor_machine_checks(const doctor_paths& paths, const QString& port,
                                            bool simulated);
/// Whether the unit answers through the installed bridge backend, and with which firmware.
doctor_finding doctor_unit_check(cli_unit& unit);
/// Prints the findings; the exit code (0 when nothing failed).
int doctor_report(const QList<doctor_finding>& findings);
