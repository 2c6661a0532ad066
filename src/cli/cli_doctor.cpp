// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli_doctor.h"

#include "cli_commands.h"
#include "rq7_bridge_info.h"
#include "tty_backend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

using finding = doctor_finding;

const char* const rule_fix =
    "install the quorvane package, or as root copy packaging/70-quorvane.rules to "
    "/etc/udev/rules.d/ and run 'udevadm control --reload-rules'; then plug the bridge in again";

QByteArray file_text(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

QVector<tty_backend::sysfs_port> unit_bridges(const QString& sysfs)
{
    QVector<tty_backend::sysfs_port> found;
    for (const tty_backend::sysfs_port& port : tty_backend::sysfs_ports(sysfs))
        if (port.product == unit_bridge_description)
            found.append(port);
    return found;
}

/// A "MERIX 3" USB device that no serial driver made a port of.
QString bridge_without_port(const QString& sysfs)
{
    const QString devices = sysfs + "/bus/usb/devices";
    for (const QString& name : QDir(devices).entryList(QDir::Dirs | QDir::System)) {
        if (file_text(devices + '/' + name + "/product") == unit_bridge_description)
            return name;
    }
    return QString();
}

bool running(const doctor_paths& paths, const QByteArray& program)
{
    for (const QString& pid : QDir(paths.proc).entryList(QDir::Dirs)) {
        if (pid.at(0).isDigit() && file_text(paths.proc + '/' + pid + "/comm") == program)
            return true;
    }
    return false;
}

bool installed(const doctor_paths& paths, const QString& program)
{
    for (const QString& dir : paths.program_dirs)
        if (QFileInfo::exists(dir + '/' + program))
            return true;
    return false;
}

QString installed_rule(const doctor_paths& paths)
{
    for (const QString& path : paths.rule_files)
        if (QFileInfo::exists(path))
            return path;
    return QString();
}

/// True when udev recorded for the port that ModemManager is to leave it alone.
bool modem_manager_ignores(const doctor_paths& paths, const tty_backend::sysfs_port& port)
{
    const QByteArray numbers = file_text(port.port_dir + "/tty/" + port.tty_name + "/dev");
    if (numbers.isEmpty())
        return false;
    const QByteArray record = file_text(paths.udev_data + "/c" + QString::fromLatin1(numbers));
    return record.split('\n').contains("E:ID_MM_DEVICE_IGNORE=1");
}

void check_bridges(const doctor_paths& paths, const QVector<tty_backend::sysfs_port>& bridges,
                   const QString& port, QList<finding>& out)
{
    for (const tty_backend::sysfs_port& b : bridges) {
        const QString seen =
            QString("\"%1\" on %2 (serial %3), driver %4")
                .arg(unit_bridge_description, b.tty_name, QString::fromLocal8Bit(b.serial),
                     b.driver.isEmpty() ? QString("unknown") : b.driver);
        if (b.driver == "ftdi_sio")
            out.append({finding::ok, "bridge", seen, {}});
        else
            out.append({finding::warn, "bridge", seen,
                        "the latency timer and the package's udev rule need the kernel's FTDI "
                        "driver (ftdi_sio): sudo modprobe ftdi_sio, then plug the bridge in "
                        "again"});
    }
    if (!bridges.isEmpty())
        return;
    const QString orphan = bridge_without_port(paths.sysfs);
    if (!orphan.isEmpty()) {
        out.append({finding::fail, "bridge",
                    QString("a \"%1\" bridge is plugged in (USB device %2) but has no serial port")
                        .arg(unit_bridge_description, orphan),
                    "load its driver: sudo modprobe ftdi_sio; brltty may have taken the bridge "
                    "for a braille display: sudo apt-get remove brltty; then plug the bridge in "
                    "again"});
    } else if (!port.isEmpty()) {
        out.append({finding::warn, "bridge",
                    QString("no \"%1\" bridge in sysfs; checking the port %2 given with --port")
                        .arg(unit_bridge_description, port),
                    "nothing to do if the port leads to the unit"});
    } else {
        out.append({finding::fail, "bridge",
                    QString("no \"%1\" bridge found").arg(unit_bridge_description),
                    "plug in the unit's USB cable and power the unit; 'quorvane-cli list' shows "
                    "the bridges found"});
    }
}

void check_node(const QString& node, QList<finding>& out)
{
    const QFileInfo info(node);
    if (!info.exists()) {
        out.append({finding::fail, "port", QString("there is no device node %1").arg(node),
                    "plug the bridge in again; if the node still does not appear, udev is not "
                    "running"});
        return;
    }
    if (::access(QFile::encodeName(node).constData(), R_OK | W_OK) == 0) {
        out.append(
            {finding::ok, "port", QString("%1: this user may read and write it").arg(node), {}});
        return;
    }
    out.append(
        {finding::fail, "port",
         QString("%1: this user may not read and write it (owner %2, group %3)")
             .arg(node, info.owner(), info.group()),
         QString("install the package's udev rule (it gives the user at this computer the "
                 "port) and plug the bridge in again, or join the group %1: sudo usermod -aG %1 "
                 "$USER, then log in again")
             .arg(info.group().isEmpty() ? QString("dialout") : info.group())});
}

void check_latency(const tty_backend::sysfs_port& b, QList<finding>& out)
{
    if (b.latency_attr.isEmpty()) {
        out.append(
            {finding::warn, "latency timer",
             QString("%1 has no latency timer to set: replies may come late").arg(b.tty_name),
             "use the kernel's FTDI driver (ftdi_sio)"});
        return;
    }
    const QByteArray value = file_text(b.latency_attr);
    if (value == "2") {
        out.append({finding::ok, "latency timer", QString("%1: 2 ms").arg(b.tty_name), {}});
        return;
    }
    out.append({finding::warn, "latency timer",
                QString("%1: %2 ms, 2 ms wanted: every reply of the unit comes late")
                    .arg(b.tty_name, QString::fromLatin1(value)),
                QString("%1 (or as root: echo 2 > %2)").arg(rule_fix, b.latency_attr)});
}

void check_rule(const doctor_paths& paths, QList<finding>& out)
{
    const QString rule = installed_rule(paths);
    if (rule.isEmpty())
        out.append(
            {finding::warn, "udev rule", "the package's udev rule is not installed", rule_fix});
    else if (!file_text(rule).contains("ID_MM_DEVICE_IGNORE"))
        out.append(
            {finding::warn, "udev rule",
             QString("%1 is from an older package: it does not keep ModemManager away").arg(rule),
             rule_fix});
    else
        out.append({finding::ok, "udev rule", QString("installed: %1").arg(rule), {}});
}

void check_modem_manager(const doctor_paths& paths, const QVector<tty_backend::sysfs_port>& bridges,
                         QList<finding>& out)
{
    const bool active = running(paths, "ModemManager");
    if (!active) {
        out.append({finding::ok,
                    "ModemManager",
                    installed(paths, "ModemManager") ? "installed, not running" : "not installed",
                    {}});
        return;
    }
    bool ignored = !bridges.isEmpty();
    for (const tty_backend::sysfs_port& b : bridges)
        ignored = ignored && modem_manager_ignores(paths, b);
    if (bridges.isEmpty() && file_text(installed_rule(paths)).contains("ID_MM_DEVICE_IGNORE"))
        ignored = true; // the rule will tell it when the bridge comes
    if (ignored)
        out.append({finding::ok, "ModemManager", "running, told to leave the bridge alone", {}});
    else
        out.append(
            {finding::warn, "ModemManager",
             "running and not told to leave the bridge alone: it may probe the port and "
             "hold it just after the bridge is plugged in",
             QString("%1; or stop it: sudo systemctl disable --now ModemManager").arg(rule_fix)});
}

void check_brltty(const doctor_paths& paths, QList<finding>& out)
{
    if (!running(paths, "brltty") && !installed(paths, "brltty")) {
        out.append({finding::ok, "brltty", "not installed", {}});
        return;
    }
    out.append({finding::warn, "brltty",
                "installed: its udev rules may take a USB serial bridge from its driver for a "
                "braille display",
                "unless a braille display is used here: sudo apt-get remove brltty"});
}

const char* level_name(doctor_finding::level level)
{
    switch (level) {
    case doctor_finding::ok:
        return "OK";
    case doctor_finding::warn:
        return "WARN";
    case doctor_finding::fail:
        return "FAIL";
    }
    return "";
}

} // namespace

QList<doctor_finding> doctor_machine_checks(const doctor_paths& paths, const QString& port,
                                            bool simulated)
{
    QList<finding> out;
    const QVector<tty_backend::sysfs_port> bridges = unit_bridges(paths.sysfs);
    if (simulated) {
        out.append(
            {finding::ok, "bridge", "the simulated unit (--simulate): no bridge needed", {}});
    } else {
        check_bridges(paths, bridges, port, out);
        if (!port.isEmpty())
            check_node(QDir::isAbsolutePath(port) ? port : paths.dev + '/' + port, out);
        else
            for (const tty_backend::sysfs_port& b : bridges)
                check_node(paths.dev + '/' + b.tty_name, out);
        for (const tty_backend::sysfs_port& b : bridges)
            check_latency(b, out);
    }
    check_rule(paths, out);
    check_modem_manager(paths, bridges, out);
    check_brltty(paths, out);
    return out;
}

doctor_finding doctor_unit_check(cli_unit& unit)
{
    QString error;
    if (!unit.connect_unit(error, true))
        return {finding::fail, "unit", error, "mend what the checks above name first"};
    if (unit.fw_version == 0)
        return {finding::warn, "unit",
                QString("%1 answers only as its bootloader").arg(unit.serial_number),
                "flash a firmware image: quorvane-cli flash IMAGE"};
    const QString seen = QString("%1 answers: %2, firmware %3")
                             .arg(unit.serial_number, cli_model_name(unit.variant),
                                  cli_firmware_text(unit.fw_version));
    if (unit.fw_version < cli_oldest_supported_fw)
        return {finding::warn, "unit", seen + ", older than this program supports",
                QString("flash firmware %1 or newer: quorvane-cli flash IMAGE")
                    .arg(cli_firmware_text(cli_oldest_supported_fw))};
    return {finding::ok, "unit", seen, {}};
}

int doctor_report(const QList<doctor_finding>& findings)
{
    bool failed = false;
    for (const doctor_finding& f : findings) {
        cli_print(QString("%1  %2: %3").arg(level_name(f.result), -4).arg(f.check, f.detail));
        if (!f.fix.isEmpty())
            cli_print("      fix: " + f.fix);
        failed = failed || f.result == doctor_finding::fail;
    }
    return failed ? exit_code::no_unit : exit_code::done;
}

int cli_doctor(const cli_options& options)
{
    QList<doctor_finding> findings =
        doctor_machine_checks(doctor_paths(), options.port, options.simulate);
    cli_unit unit;
    findings.append(doctor_unit_check(unit));
    return doctor_report(findings);
}
