// SPDX-License-Identifier: GPL-3.0-or-later
// Backups of the unit's settings, and the survey of every attached bridge.
#include "rq7_worker.h"

#include "d2xx_backend.h"
#include "rq7_vars.h"

#include <QDebug>

#include <cstring>
#include <vector>

namespace {

constexpr ULONG probe_timeout_ms = 300;
constexpr UCHAR probe_latency_ms = 2;

} // namespace

void rq7_worker::save_backup(FT_STATUS read_status, const rq7_vars& from)
{
    if (read_status != FT_OK)
        return;
    QString error;
    QList<quint32> ints = from.ints;
    ints[i_fw_version] = fw_version;
    last_backup = backups.save(serial_number, from.tables, ints, from.trims, &error);
    if (last_backup.isEmpty())
        qWarning("Could not save a backup of the unit's settings: %s", qPrintable(error));
    else
        qDebug("Backup of the unit's settings saved to %s", qPrintable(last_backup));
    emit backup_saved(last_backup, error);
}

void rq7_worker::start_backup()
{
    if (posted_to_worker("start_backup"))
        return;
    qDebug("Start backup");
    const bool was_logging = pause_live_logging();
    // A store of its own: the window's pending edits in the main store stay as they are.
    rq7_vars scratch(this);
    const FT_STATUS status = scratch.rq7_to_vars();
    last_backup.clear();
    save_backup(status, scratch);
    if (status != FT_OK)
        qWarning("Could not read the unit to back up its settings");
    const FT_STATUS result = status != FT_OK         ? status
                             : last_backup.isEmpty() ? FT_OTHER_ERROR
                                                     : FT_OK;
    emit backed_up(result, last_backup);
    resume_live_logging(was_logging);
}

void rq7_worker::list_bridges()
{
    if (posted_to_worker("list_bridges"))
        return;
    QList<rq7_bridge_info> found;
    DWORD count = 0;
    if (FT_CreateDeviceInfoList(&count) == FT_OK && count > 0) {
        std::vector<FT_DEVICE_LIST_INFO_NODE> list(count);
        if (FT_GetDeviceInfoList(list.data(), &count) != FT_OK)
            count = 0;
        for (DWORD n = 0; n < count && n < list.size(); ++n)
            found.append(probe_bridge(list[n]));
    }
    emit bridges_listed(found);
}

rq7_bridge_info rq7_worker::probe_bridge(const FT_DEVICE_LIST_INFO_NODE& node)
{
    rq7_bridge_info info;
    info.serial_number = QString::fromLocal8Bit(
        node.SerialNumber, qstrnlen(node.SerialNumber, sizeof node.SerialNumber));
    info.description = QString::fromLocal8Bit(node.Description,
                                              qstrnlen(node.Description, sizeof node.Description));
    info.port = d2xx_port_name(node.SerialNumber);
    if (link_open() && info.serial_number == serial_number) {
        info.probed = true;
        info.is_unit = fw_version != 0;
        info.fw_version = fw_version;
        info.variant = variant;
        return info;
    }
    if (link_open())
        return info; // asking another bridge would need a second link at once
    // Any other adapter belongs to other equipment: opening it, switching it to raw mode and
    // writing the unit's request to it could disturb that equipment.
    if (qstrncmp(node.Description, unit_bridge_description, sizeof node.Description) != 0)
        return info;

    QByteArray serial = node.SerialNumber;
    FT_HANDLE probe = nullptr;
    info.probed = true;
    if (FT_OpenEx(serial.data(), FT_OPEN_BY_SERIAL_NUMBER, &probe) != FT_OK) {
        // In use by another program, or no access to it.
        const int error = d2xx_last_open_failure().error;
        if (error != 0)
            info.open_error = QString::fromLocal8Bit(std::strerror(error));
        return info;
    }
    FT_SetTimeouts(probe, probe_timeout_ms, probe_timeout_ms);
    FT_SetLatencyTimer(probe, probe_latency_ms);
    // The exchange runs on the worker's own link state, borrowed for the probe.
    handle = probe;
    serial_number = info.serial_number;
    const bool answered = identify_unit() == FT_OK;
    info.is_unit = answered;
    info.fw_version = answered ? fw_version : 0;
    info.variant = variant;
    silent_close();
    fw_version = 0;
    return info;
}
