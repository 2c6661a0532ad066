// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli_unit.h"

#include "d2xx_backend.h"
#include "rq7_controller.h"
#include "rq7_worker.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr int open_timeout_ms = 15000;
constexpr int exchange_timeout_ms = 60000;

QString status_advice(FT_STATUS status)
{
    switch (status) {
    case FT_DEVICE_NOT_OPENED:
        return "the link to the unit is not open (was it unplugged?)";
    case FT_IO_ERROR:
        return "the unit's answer was damaged (check the cable, then try again)";
    case FT_OTHER_ERROR:
        return "the unit did not answer in time (is it powered, and not in its bootloader?)";
    default:
        return QString("the bridge reported error %1 (unplug it, plug it in again, and retry)")
            .arg(status);
    }
}

/// Why a port could not be opened, in the system's words, with the fix for that reason.
QString open_failure_text(const d2xx_backend::open_failure& failure)
{
    QString fix;
    switch (failure.error) {
    case EACCES:
    case EPERM:
        fix = "this user may not use the port: install the package's udev rule "
              "(/usr/lib/udev/rules.d/70-quorvane.rules) and plug the bridge in again, or join "
              "the dialout group (sudo usermod -aG dialout $USER, then log in again)";
        break;
    case EBUSY:
        fix = "another program holds the port: close it (ModemManager or brltty may have "
              "taken it; 'quorvane-cli doctor' checks)";
        break;
    case ENOTTY:
    case ENOTSUP:
        fix = QString("%1 is not a serial port: give the bridge's port, such as /dev/ttyUSB0")
                  .arg(failure.port);
        break;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        fix = "the port went away: plug the bridge in again";
        break;
    default:
        fix = "unplug the bridge, plug it in again and retry ('quorvane-cli doctor' checks "
              "this computer)";
    }
    return QString("cannot open %1: %2; %3")
        .arg(failure.port, QString::fromLocal8Bit(std::strerror(failure.error)), fix);
}

} // namespace

cli_unit::cli_unit()
    : controller(new rq7_controller(this))
{
    connect(worker(), &rq7_worker::backup_saved, this,
            [this](const QString& file, const QString& why) {
                backup_file = file;
                backup_error = why;
            });
}

cli_unit::~cli_unit() = default;

rq7_worker* cli_unit::worker() const
{
    return controller->worker();
}

bool cli_unit::connect_unit(QString& error, bool bootloader_ok)
{
    // The worker answers `opened`, or `closed` at once when nothing was found or the bridge
    // would not open.
    QEventLoop loop;
    bool answered = false;
    bool opened = false;
    const auto on_open = connect(worker(), &rq7_worker::opened, &loop,
                                 [&](const QString& serial, quint16 fw, rq7_variant model) {
                                     serial_number = serial;
                                     fw_version = fw;
                                     variant = model;
                                     answered = opened = true;
                                     loop.quit();
                                 });
    const auto on_close = connect(worker(), &rq7_worker::closed, &loop, [&] {
        answered = true;
        loop.quit();
    });
    QTimer::singleShot(open_timeout_ms, &loop, &QEventLoop::quit);
    worker()->open();
    if (!answered)
        loop.exec();
    disconnect(on_open);
    disconnect(on_close);
    if (!opened) {
        const d2xx_backend::open_failure failure = d2xx_last_open_failure();
        if (failure.error != 0)
            error = open_failure_text(failure);
        else
            error = "no unit found: is the USB cable plugged in and the unit powered? (try "
                    "'quorvane-cli list' or 'quorvane-cli doctor', or --port DEVICE, or "
                    "--simulate)";
        return false;
    }
    if (fw_version == 0 && !bootloader_ok) {
        error = "the unit does not answer: it may be in its bootloader (flash a firmware "
                "image) or not powered";
        return false;
    }
    return true;
}

QList<rq7_bridge_info> cli_unit::list_bridges()
{
    QList<rq7_bridge_info> found;
    call([this] { worker()->list_bridges(); }, &rq7_worker::bridges_listed,
         [&](const QList<rq7_bridge_info>& bridges) { found = bridges; }, exchange_timeout_ms);
    return found;
}

bool cli_unit::read_all(unit_settings& out, QString& error)
{
    return read_with(&rq7_worker::start_read, out, error);
}

bool cli_unit::read_back(unit_settings& out, QString& error)
{
    return read_with(&rq7_worker::start_read_back, out, error);
}

bool cli_unit::read_with(void (rq7_worker::*request)(), unit_settings& out, QString& error)
{
    backup_file.clear();
    backup_error.clear();
    FT_STATUS status = FT_OTHER_ERROR;
    rq7_worker* w = worker();
    const bool answered = call([w, request] { (w->*request)(); }, &rq7_worker::read_data,
                               [&](FT_STATUS s, const QList<QByteArray>& tables,
                                   const QList<quint32>& ints, const QList<adc_trim>& trims) {
                                   status = s;
                                   out = {tables, ints, trims};
                               },
                               exchange_timeout_ms);
    if (!answered || status != FT_OK) {
        error = "could not read the unit's settings: " + status_advice(status);
        return false;
    }
    return true;
}

bool cli_unit::write_items(const unit_settings& from, const QList<table_index>& tables,
                           const QList<int_index>& ints, QString& error)
{
    rq7_worker* w = worker();
    w->remove_all_sets();
    for (table_index t : tables)
        w->add_field_to_var(from.tables.value(t), t);
    for (int_index i : ints)
        w->add_field_to_var(uint(from.ints.value(i)), i);
    FT_STATUS status = FT_OTHER_ERROR;
    const bool answered = call([w] { w->start_write(); }, &rq7_worker::wrote_data,
                               [&](FT_STATUS s) { status = s; }, exchange_timeout_ms);
    if (!answered || status != FT_OK) {
        error = "the unit did not take every setting: " + status_advice(status);
        return false;
    }
    return true;
}

bool cli_unit::backup(QString& path, QString& error)
{
    backup_file.clear();
    backup_error.clear();
    FT_STATUS status = FT_OTHER_ERROR;
    const bool answered = call([this] { worker()->start_backup(); }, &rq7_worker::backed_up,
                               [&](FT_STATUS s, const QString& file) {
                                   status = s;
                                   path = file;
                               },
                               exchange_timeout_ms);
    if (answered && status == FT_OK)
        return true;
    // The unit was read, but the file could not be kept: say why, not that the unit failed.
    if (!backup_error.isEmpty())
        error = "could not keep a backup of the unit's settings: " + backup_error;
    else
        error = "could not back up the unit's settings: " + status_advice(status);
    return false;
}
