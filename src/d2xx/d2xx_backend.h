// SPDX-License-Identifier: GPL-3.0-or-later
// The seam between the D2XX calls and what actually carries the bytes: the simulated unit
// or a real bridge through the kernel's serial driver. The worker only ever sees the FT_*
// calls; the program (or a test) installs one backend before the worker opens the link.
#pragma once

#include "d2xx.h"

#include <QString>

#include <memory>

class d2xx_backend
{
public:
    virtual ~d2xx_backend();

    virtual FT_STATUS create_device_info_list(DWORD* num_devices) = 0;
    virtual FT_STATUS get_device_info_list(FT_DEVICE_LIST_INFO_NODE* list, DWORD* num_devices) = 0;
    virtual FT_STATUS open_by_serial(const char* serial, FT_HANDLE* handle) = 0;
    virtual FT_STATUS set_timeouts(FT_HANDLE handle, ULONG read_ms, ULONG write_ms) = 0;
    virtual FT_STATUS set_latency_timer(FT_HANDLE handle, UCHAR latency_ms) = 0;
    virtual FT_STATUS read(FT_HANDLE handle, void* buffer, DWORD length, DWORD* bytes_read) = 0;
    virtual FT_STATUS write(FT_HANDLE handle, const void* buffer, DWORD length,
                            DWORD* bytes_written) = 0;
    virtual FT_STATUS get_queue_status(FT_HANDLE handle, DWORD* rx_bytes) = 0;
    virtual FT_STATUS get_status(FT_HANDLE handle, DWORD* rx_bytes, DWORD* tx_bytes,
                                 DWORD* event_status) = 0;
    virtual FT_STATUS purge(FT_HANDLE handle, ULONG mask) = 0;
    virtual FT_STATUS reset_device(FT_HANDLE handle) = 0;
    virtual FT_STATUS close(FT_HANDLE handle) = 0;

    /// Where the system reaches the bridge with this serial number ("/dev/ttyUSB0"), for
    /// people to read; empty when the backend cannot tell. Not a driver call of its own.
    virtual QString port_name(const char* serial) const;

    /// Why the last attempt to open a bridge failed, in the system's terms: the port and the
    /// system's error number (0 when the last open succeeded, or the backend cannot tell).
    struct open_failure
    {
        QString port;
        int error = 0;
    };
    virtual open_failure last_open_failure() const;
};

/// Makes `backend` serve every FT_* call from now on (null: no bridge attached at all).
void d2xx_install_backend(std::shared_ptr<d2xx_backend> backend);
std::shared_ptr<d2xx_backend> d2xx_installed_backend();
/// The installed backend's `port_name`; empty without a backend.
QString d2xx_port_name(const char* serial);
/// The installed backend's `last_open_failure`; none without a backend.
d2xx_backend::open_failure d2xx_last_open_failure();
