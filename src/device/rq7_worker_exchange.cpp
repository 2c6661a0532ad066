// SPDX-License-Identifier: GPL-3.0-or-later
// Request/reply exchanges with the unit in application mode: wait for a known number of
// bytes, read a parameter, send a typed request and check its acknowledgement.
#include "rq7_worker.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QThread>

using namespace rq7_protocol;

namespace {

constexpr int max_send_attempts = 5;

} // namespace

FT_STATUS rq7_worker::purge_or_disconnect()
{
    const FT_STATUS status = FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX);
    if (status != FT_OK) {
        qCritical("Cannot purge Rx/Tx buffers, disconnecting");
        close();
    }
    return status;
}

FT_STATUS rq7_worker::wait_then_read(QByteArray& buffer, unsigned long expected)
{
    buffer = QByteArray(static_cast<int>(expected), '\0');
    if (!link_open())
        return FT_DEVICE_NOT_OPENED;

    // Poll the receive count with short sleeps; where the system's sleeps are coarse, fewer
    // and shorter polls cover about the same time.
    QElapsedTimer timer;
    timer.start();
    unsigned long poll_ms = 2;
    int poll_limit = 1000;
    DWORD waiting = 0;
    for (int count = 0; count < poll_limit; ++count) {
        const FT_STATUS status = FT_GetQueueStatus(handle, &waiting);
        if (status != FT_OK) {
            qCritical("Cannot get queue status, disconnecting");
            close();
            return status;
        }
        if (waiting >= expected)
            break;
        QThread::msleep(poll_ms);
        if (count == 0 && timer.elapsed() > 3) {
            poll_ms = 1;
            poll_limit = 150;
        }
    }
    if (waiting < expected) {
        qWarning("Timed out waiting for FW to respond: exp_bytes=%lu, bytes available=%lu",
                 expected, static_cast<unsigned long>(waiting));
        return FT_OTHER_ERROR;
    }

    DWORD read = 0;
    const FT_STATUS status =
        ft_read_wrap(handle, buffer.data(), static_cast<DWORD>(expected), &read);
    if (status != FT_OK) {
        qCritical("Could not read from device");
        close();
        return status;
    }
    if (read < expected) {
        qCritical("Did not read out the expected number of bytes: exp_bytes=%lu, read bytes=%lu",
                  expected, static_cast<unsigned long>(read));
        buffer.clear();
        return FT_IO_ERROR;
    }
    return FT_OK;
}

FT_STATUS rq7_worker::get_param(QByteArray& request, QByteArray& reply, unsigned long expected)
{
    if (!link_open()) {
        reply.clear();
        return FT_DEVICE_NOT_OPENED;
    }
    FT_STATUS status = purge_or_disconnect();
    if (status != FT_OK)
        return status;

    DWORD written = 0;
    status = ft_write_wrap(handle, request.data(), static_cast<DWORD>(request.size()), &written);
    if (status != FT_OK) {
        qCritical("Cannot write command to device. msg=%s", request.toHex().constData());
        return status;
    }
    if (written < static_cast<DWORD>(request.size())) {
        qCritical("Could not write all data to device");
        return FT_IO_ERROR;
    }

    status = wait_then_read(reply, expected + reply_header_size);
    if (status != FT_OK) {
        qWarning("Could not read msg %s... (exp %lu)", hex_prefix(request, 5).constData(),
                 expected);
        reply.clear();
        return status;
    }
    if (!is_read_reply(reply)) {
        qCritical("get_param: Did not receive valid return msg header: 0x%02x%02x%02x",
                  static_cast<quint8>(reply.at(0)), static_cast<quint8>(reply.at(1)),
                  static_cast<quint8>(reply.at(2)));
        reply.clear();
        return FT_OTHER_ERROR;
    }
    reply = reply.right(static_cast<int>(expected));
    return FT_OK;
}

FT_STATUS rq7_worker::set_param(rq7_msg_type type, QByteArray& payload)
{
    if (!link_open())
        return FT_DEVICE_NOT_OPENED;
    QByteArray frame = build_frame(type, payload);
    const QByteArray expected_ack = ack_for(type);

    for (int attempt = 0;;) {
        FT_STATUS status = purge_or_disconnect();
        if (status != FT_OK)
            return status;

        DWORD written = 0;
        status = ft_write_wrap(handle, frame.data(), static_cast<DWORD>(frame.size()), &written);
        if (status != FT_OK) {
            qCritical("Cannot write msg %s", hex_prefix(frame, 5).constData());
            close();
            return status;
        }
        if (written < static_cast<DWORD>(frame.size())) {
            qCritical("Could not write all data to device. msg length=%d  bytes sent=%ld",
                      payload.size(), static_cast<long>(written));
            return FT_IO_ERROR;
        }

        QByteArray ack;
        status = wait_then_read(ack, 3);
        if (status != FT_OK) {
            qWarning("Could not get return code for msg %s", hex_prefix(payload, 5).constData());
            return status;
        }
        if (ack == expected_ack) {
            if (attempt > 0)
                qWarning("Retry successful!");
            return FT_OK;
        }
        qWarning("Did not receive valid return msg header. ret=0x%02x%02x%02x "
                 "exp=0x%02x%02x%02x. Will retry...",
                 static_cast<quint8>(ack.at(0)), static_cast<quint8>(ack.at(1)),
                 static_cast<quint8>(ack.at(2)), static_cast<quint8>(expected_ack.at(0)),
                 static_cast<quint8>(expected_ack.at(1)), static_cast<quint8>(expected_ack.at(2)));
        if (++attempt >= max_send_attempts) {
            qCritical("Could not write message to device, there seems to be a problem with your "
                      "USB cable. Suggest you replace your USB cable with one that has a ferrite "
                      "bead on the device-end (google 'ferrite bead')");
            return FT_IO_ERROR;
        }
    }
}
