// SPDX-License-Identifier: GPL-3.0-or-later
// The USB link: finding, opening, identifying, closing and resetting the unit, and the two
// wrappers every byte to or from the bridge goes through.
#include "rq7_worker.h"

#include "rq7_vars.h"

#include <QDebug>
#include <QThread>
#include <QTimer>

#include <vector>

using namespace rq7_protocol;

namespace {

constexpr ULONG link_timeout_ms = 1000;
constexpr UCHAR latency_timer_ms = 2;
constexpr uint device_arrival = 0x8000;
constexpr uint device_removal_complete = 0x8004;

} // namespace

rq7_worker::~rq7_worker()
{
    close();
    delete vars;
}

void rq7_worker::open()
{
    if (posted_to_worker("open"))
        return;
    silent_close();
    if (!find_unit()) {
        emit closed();
        return;
    }

    QByteArray serial = serial_number.toLocal8Bit();
    FT_STATUS status = FT_OpenEx(serial.data(), FT_OPEN_BY_SERIAL_NUMBER, &handle);
    if (status != FT_OK) {
        qCritical("Cannot open device, returned %lu. Try again!", status);
        close();
        return;
    }
    status = FT_SetTimeouts(handle, link_timeout_ms, link_timeout_ms);
    if (status != FT_OK) {
        qCritical("Cannot set timeouts: %lu", status);
        close();
        return;
    }
    status = FT_SetLatencyTimer(handle, latency_timer_ms);
    if (status != FT_OK) {
        qCritical("Could not set latency timer: %lu", status);
        close();
        return;
    }
    // The unit may still be streaming from an earlier connection.
    stop_live_logging(true);
    identify_unit();
    // A bridge that failed while identifying the unit has closed the link and said so:
    // announcing it opened now would show a connection that is gone.
    if (!link_open())
        return;
    store_variant();
    emit opened(serial_number, fw_version, variant);
}

/// Walks the attached bridges for the unit's description; the last match wins.
bool rq7_worker::find_unit()
{
    DWORD count = 0;
    if (FT_CreateDeviceInfoList(&count) != FT_OK)
        qFatal("Cannot create device info list, FTDI drivers are probably locked up (windows "
               "error)");
    if (count == 0)
        return false;
    std::vector<FT_DEVICE_LIST_INFO_NODE> list(count);
    if (FT_GetDeviceInfoList(list.data(), &count) != FT_OK)
        qFatal("Cannot get device info list, FTDI drivers are probably locked up (windows error)");
    for (DWORD n = 0; n < count && n < list.size(); ++n) {
        const FT_DEVICE_LIST_INFO_NODE& node = list[n];
        if (qstrncmp(node.Description, unit_bridge_description, sizeof node.Description) != 0)
            continue;
        serial_number = QString::fromLocal8Bit(
            node.SerialNumber, qstrnlen(node.SerialNumber, sizeof node.SerialNumber));
        handle = node.ftHandle;
        qDebug("Velkaro RQ7-NVS detected:  Dev %lu  Serial %s", static_cast<unsigned long>(n),
               qPrintable(serial_number));
    }
    return !serial_number.isEmpty();
}

void rq7_worker::close()
{
    if (posted_to_worker("close"))
        return;
    silent_close();
    emit closed();
}

FT_STATUS rq7_worker::silent_close()
{
    if (!link_open()) {
        handle = nullptr;
        return FT_OK;
    }
    if (live_poll_timer->isActive())
        stop_live_logging(true);
    const FT_STATUS status = FT_Close(handle);
    if (status != FT_OK)
        qWarning("Cannot disconnect from device handle %p (you can probably ignore this)", handle);
    handle = nullptr;
    serial_number.clear();
    return status;
}

FT_STATUS rq7_worker::identify_unit()
{
    fw_version = 0;
    variant = variant_nv;
    QByteArray request = fixed_frame(frame_read_fw_version);
    QByteArray reply;
    FT_STATUS status = get_param(request, reply, 2);
    if (status != FT_OK)
        return status;
    fw_version = static_cast<quint16>((static_cast<quint8>(reply.at(0)) << 8) |
                                      static_cast<quint8>(reply.at(1)));

    request = fixed_frame(frame_read_variant);
    status = get_param(request, reply, 1);
    if (status != FT_OK)
        return status;
    variant = static_cast<quint8>(reply.at(0)) == variant_nvs_answer ? variant_nvs : variant_nv;
    return FT_OK;
}

void rq7_worker::reset()
{
    if (posted_to_worker("reset"))
        return;
    qDebug("Start reset");
    if (!link_open())
        return;
    stop_live_logging(true);
    qDebug("Resetting RQ7-NVS");
    QByteArray request = fixed_frame(frame_reset);
    QByteArray reply;
    if (get_param(request, reply, 0) != FT_OK)
        qWarning("Could not reset device, suggest you power-cycle the unit");
    qDebug("Resetting FTDI");
    if (FT_ResetDevice(handle) != FT_OK)
        qWarning("Could not reset the comms device, suggest you power-cycle the unit");
}

void rq7_worker::smart_reconnect(uint event)
{
    if (posted_to_worker("smart_reconnect", Q_ARG(quint32, event)))
        return;
    if (event == device_arrival) {
        if (!link_open())
            open();
    } else if (event == device_removal_complete) {
        // Some device went away; if it was ours, its status can no longer be read.
        DWORD rx = 0, tx = 0, events = 0;
        if (FT_GetStatus(handle, &rx, &tx, &events) != FT_OK)
            close();
    }
}

FT_STATUS rq7_worker::ft_write_wrap(FT_HANDLE ft_handle, void* buffer, DWORD length, DWORD* written)
{
    if (!link_open())
        return FT_DEVICE_NOT_OPENED;
    if (rw_debug)
        qDebug("write 0x%s", QByteArray::fromRawData(static_cast<const char*>(buffer), int(length))
                                 .toHex()
                                 .constData());
    return FT_Write(ft_handle, buffer, length, written);
}

FT_STATUS rq7_worker::ft_read_wrap(FT_HANDLE ft_handle, void* buffer, DWORD length, DWORD* read)
{
    if (!link_open())
        return FT_DEVICE_NOT_OPENED;
    const FT_STATUS status = FT_Read(ft_handle, buffer, length, read);
    if (rw_debug)
        qDebug("read  0x%s", QByteArray::fromRawData(static_cast<const char*>(buffer), int(*read))
                                 .toHex()
                                 .constData());
    return status;
}
