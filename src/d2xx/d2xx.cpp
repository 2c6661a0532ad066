// SPDX-License-Identifier: GPL-3.0-or-later
#include "d2xx.h"
#include "d2xx_backend.h"

#include <mutex>

d2xx_backend::~d2xx_backend() = default;

QString d2xx_backend::port_name(const char*) const
{
    return QString();
}

d2xx_backend::open_failure d2xx_backend::last_open_failure() const
{
    return {};
}

namespace {

std::mutex backend_mutex;
std::shared_ptr<d2xx_backend> backend_instance;

} // namespace

void d2xx_install_backend(std::shared_ptr<d2xx_backend> backend)
{
    std::lock_guard<std::mutex> lock(backend_mutex);
    backend_instance = std::move(backend);
}

std::shared_ptr<d2xx_backend> d2xx_installed_backend()
{
    std::lock_guard<std::mutex> lock(backend_mutex);
    return backend_instance;
}

QString d2xx_port_name(const char* serial)
{
    auto backend = d2xx_installed_backend();
    return backend ? backend->port_name(serial) : QString();
}

d2xx_backend::open_failure d2xx_last_open_failure()
{
    auto backend = d2xx_installed_backend();
    return backend ? backend->last_open_failure() : d2xx_backend::open_failure();
}

// Without a backend nothing is attached: enumeration finds no device and every handle is
// invalid, as on a machine without the bridge plugged in.

FT_STATUS FT_CreateDeviceInfoList(DWORD* num_devices)
{
    if (!num_devices)
        return FT_INVALID_PARAMETER;
    auto backend = d2xx_installed_backend();
    if (!backend) {
        *num_devices = 0;
        return FT_OK;
    }
    return backend->create_device_info_list(num_devices);
}

FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* list, DWORD* num_devices)
{
    if (!list || !num_devices)
        return FT_INVALID_PARAMETER;
    auto backend = d2xx_installed_backend();
    if (!backend) {
        *num_devices = 0;
        return FT_OK;
    }
    return backend->get_device_info_list(list, num_devices);
}

FT_STATUS FT_OpenEx(void* arg, DWORD flags, FT_HANDLE* handle)
{
    if (!arg || !handle)
        return FT_INVALID_PARAMETER;
    if (flags != FT_OPEN_BY_SERIAL_NUMBER)
        return FT_NOT_SUPPORTED;
    auto backend = d2xx_installed_backend();
    if (!backend)
        return FT_DEVICE_NOT_FOUND;
    return backend->open_by_serial(static_cast<const char*>(arg), handle);
}

FT_STATUS FT_SetTimeouts(FT_HANDLE handle, ULONG read_timeout_ms, ULONG write_timeout_ms)
{
    auto backend = d2xx_installed_backend();
    return backend ? backend->set_timeouts(handle, read_timeout_ms, write_timeout_ms)
                   : FT_INVALID_HANDLE;
}

FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR latency_ms)
{
    auto backend = d2xx_installed_backend();
    return backend ? backend->set_latency_timer(handle, latency_ms) : FT_INVALID_HANDLE;
}

FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytes_to_read, DWORD* bytes_read)
{
    if (!bytes_read || (!buffer && bytes_to_read))
        return FT_INVALID_PARAMETER;
    *bytes_read = 0;
    auto backend = d2xx_installed_backend();
    return backend ? backend->read(handle, buffer, bytes_to_read, bytes_read) : FT_INVALID_HANDLE;
}

FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, DWORD bytes_to_write, DWORD* bytes_written)
{
    if (!bytes_written || (!buffer && bytes_to_write))
        return FT_INVALID_PARAMETER;
    *bytes_written = 0;
    auto backend = d2xx_installed_backend();
    return backend ? backend->write(handle, buffer, bytes_to_write, bytes_written)
                   : FT_INVALID_HANDLE;
}

FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* rx_bytes)
{
    if (!rx_bytes)
        return FT_INVALID_PARAMETER;
    auto backend = d2xx_installed_backend();
    return backend ? backend->get_queue_status(handle, rx_bytes) : FT_INVALID_HANDLE;
}

FT_STATUS FT_GetStatus(FT_HANDLE handle, DWORD* rx_bytes, DWORD* tx_bytes, DWORD* event_status)
{
    if (!rx_bytes || !tx_bytes || !event_status)
        return FT_INVALID_PARAMETER;
    auto backend = d2xx_installed_backend();
    return backend ? backend->get_status(handle, rx_bytes, tx_bytes, event_status)
                   : FT_INVALID_HANDLE;
}

FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask)
{
    auto backend = d2xx_installed_backend();
    return backend ? backend->purge(handle, mask) : FT_INVALID_HANDLE;
}

FT_STATUS FT_ResetDevice(FT_HANDLE handle)
{
    auto backend = d2xx_installed_backend();
    return backend ? backend->reset_device(handle) : FT_INVALID_HANDLE;
}

FT_STATUS FT_Close(FT_HANDLE handle)
{
    auto backend = d2xx_installed_backend();
    return backend ? backend->close(handle) : FT_INVALID_HANDLE;
}
