// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim_backend.h"

#include <QThread>

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned int device_arrival = 0x8000;
constexpr unsigned int device_removal_complete = 0x8004;
constexpr ULONG ftdi_usb_id = 0x04036001;

void copy_text(char* destination, size_t size, const QByteArray& text)
{
    const size_t length = std::min(size - 1, static_cast<size_t>(text.size()));
    std::memcpy(destination, text.constData(), length);
    destination[length] = '\0';
}

} // namespace

sim_backend::sim_backend() = default;
sim_backend::~sim_backend() = default;

std::shared_ptr<rq7_sim_unit> sim_backend::attach_unit(const QByteArray& serial,
                                                       const QByteArray& description)
{
    auto unit = std::make_shared<rq7_sim_unit>();
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto dev = std::make_unique<device>();
        dev->serial = serial;
        dev->description = description;
        dev->unit = unit;
        dev->location = next_location++;
        devices.push_back(std::move(dev));
    }
    notify(device_arrival);
    return unit;
}

void sim_backend::attach_foreign_device(const QByteArray& serial, const QByteArray& description)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto dev = std::make_unique<device>();
        dev->serial = serial;
        dev->description = description;
        dev->location = next_location++;
        devices.push_back(std::move(dev));
    }
    notify(device_arrival);
}

void sim_backend::detach(const QByteArray& serial)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        // The device entry stays until its handle is closed, as the driver keeps a stale
        // handle around; it is simply no longer attached.
        for (auto& dev : devices)
            if (dev->serial == serial)
                dev->attached = false;
        devices.erase(
            std::remove_if(devices.begin(), devices.end(),
                           [](const auto& dev) { return !dev->attached && !dev->handle; }),
            devices.end());
    }
    notify(device_removal_complete);
}

std::shared_ptr<rq7_sim_unit> sim_backend::unit(const QByteArray& serial) const
{
    std::lock_guard<std::mutex> lock(mutex);
    const device* dev = by_serial_locked(serial);
    return dev ? dev->unit : nullptr;
}

void sim_backend::set_change_listener(std::function<void(unsigned int)> listener)
{
    std::lock_guard<std::mutex> lock(mutex);
    change_listener = std::move(listener);
}

void sim_backend::notify(unsigned int code)
{
    std::function<void(unsigned int)> listener;
    {
        std::lock_guard<std::mutex> lock(mutex);
        listener = change_listener;
    }
    if (listener)
        listener(code);
}

// ---- faults ----

void sim_backend::fail_enumeration(FT_STATUS status)
{
    std::lock_guard<std::mutex> lock(mutex);
    enumeration_fault = status;
}

void sim_backend::fail_next(call which, FT_STATUS status, int count)
{
    std::lock_guard<std::mutex> lock(mutex);
    faults[which] = {status, count};
}

void sim_backend::short_next_reads(int count)
{
    std::lock_guard<std::mutex> lock(mutex);
    short_reads = count;
}

void sim_backend::short_next_writes(int count)
{
    std::lock_guard<std::mutex> lock(mutex);
    short_writes = count;
}

void sim_backend::before_call(call which, int count, std::function<void()> action)
{
    std::lock_guard<std::mutex> lock(mutex);
    armed_call = which;
    armed_countdown = count;
    armed_action = std::move(action);
}

void sim_backend::clear_faults()
{
    std::lock_guard<std::mutex> lock(mutex);
    faults.clear();
    enumeration_fault = FT_OK;
    short_reads = short_writes = 0;
    armed_countdown = 0;
    armed_action = nullptr;
}

void sim_backend::run_armed_action(call which)
{
    std::function<void()> action;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (armed_countdown <= 0 || which != armed_call || --armed_countdown > 0)
            return;
        action = std::move(armed_action);
        armed_action = nullptr;
    }
    // Outside the lock: the action switches faults or detaches, which take it again.
    if (action)
        action();
}

bool sim_backend::take_fault_locked(call which, FT_STATUS* status)
{
    auto it = faults.find(which);
    if (it == faults.end() || it->second.count == 0)
        return false;
    *status = it->second.status;
    if (it->second.count > 0)
        --it->second.count;
    return true;
}

// ---- observation ----

const sim_backend::device* sim_backend::by_serial_locked(const QByteArray& serial) const
{
    for (const auto& dev : devices)
        if (dev->serial == serial)
            return dev.get();
    return nullptr;
}

template <typename T, typename F>
T sim_backend::observe(const QByteArray& serial, T absent, F read) const
{
    std::lock_guard<std::mutex> lock(mutex);
    const device* dev = by_serial_locked(serial);
    return dev ? read(*dev) : absent;
}

ULONG sim_backend::read_timeout_ms(const QByteArray& serial) const
{
    return observe(serial, ULONG(0), [](const device& dev) { return dev.read_timeout; });
}

ULONG sim_backend::write_timeout_ms(const QByteArray& serial) const
{
    return observe(serial, ULONG(0), [](const device& dev) { return dev.write_timeout; });
}

UCHAR sim_backend::latency_ms(const QByteArray& serial) const
{
    return observe(serial, UCHAR(0), [](const device& dev) { return dev.latency; });
}

bool sim_backend::is_open(const QByteArray& serial) const
{
    return observe(serial, false, [](const device& dev) { return dev.handle != nullptr; });
}

int sim_backend::purge_count(const QByteArray& serial) const
{
    return observe(serial, 0, [](const device& dev) { return dev.purges; });
}

int sim_backend::open_count(const QByteArray& serial) const
{
    return observe(serial, 0, [](const device& dev) { return dev.opens; });
}

// ---- the D2XX calls ----

sim_backend::device* sim_backend::by_handle_locked(FT_HANDLE handle)
{
    if (!handle)
        return nullptr;
    for (auto& dev : devices)
        if (dev->handle == handle)
            return dev.get();
    return nullptr;
}

FT_STATUS sim_backend::check_call_locked(call which, FT_HANDLE handle, device** dev)
{
    *dev = by_handle_locked(handle);
    if (!*dev)
        return FT_INVALID_HANDLE;
    if (!(*dev)->attached)
        return FT_IO_ERROR;
    FT_STATUS status = FT_OK;
    if (take_fault_locked(which, &status))
        return status;
    return FT_OK;
}

void sim_backend::collect_locked(device& dev)
{
    if (dev.unit)
        dev.rx.append(dev.unit->unit_to_host());
}

FT_STATUS sim_backend::create_device_info_list(DWORD* num_devices)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (enumeration_fault != FT_OK)
        return enumeration_fault;
    *num_devices = static_cast<DWORD>(std::count_if(devices.begin(), devices.end(),
                                                    [](const auto& dev) { return dev->attached; }));
    return FT_OK;
}

FT_STATUS sim_backend::get_device_info_list(FT_DEVICE_LIST_INFO_NODE* list, DWORD* num_devices)
{
    std::lock_guard<std::mutex> lock(mutex);
    FT_STATUS status = FT_OK;
    if (take_fault_locked(call::get_device_info_list, &status))
        return status;
    DWORD filled = 0;
    for (const auto& dev : devices) {
        if (!dev->attached)
            continue;
        if (filled >= *num_devices)
            break;
        FT_DEVICE_LIST_INFO_NODE& node = list[filled++];
        std::memset(&node, 0, sizeof node);
        node.Flags = dev->handle ? FT_FLAGS_OPENED : 0;
        node.Type = FT_DEVICE_232R;
        node.ID = ftdi_usb_id;
        node.LocId = dev->location;
        copy_text(node.SerialNumber, sizeof node.SerialNumber, dev->serial);
        copy_text(node.Description, sizeof node.Description, dev->description);
        node.ftHandle = dev->handle;
    }
    *num_devices = filled;
    return FT_OK;
}

FT_STATUS sim_backend::open_by_serial(const char* serial, FT_HANDLE* handle)
{
    std::lock_guard<std::mutex> lock(mutex);
    FT_STATUS status = FT_OK;
    if (take_fault_locked(call::open, &status))
        return status;
    for (auto& dev : devices) {
        if (!dev->attached || dev->serial != QByteArray(serial))
            continue;
        if (dev->handle)
            return FT_DEVICE_NOT_OPENED; // one handle per device, as with the real driver
        dev->handle = reinterpret_cast<FT_HANDLE>(next_handle++ << 4);
        dev->rx.clear();
        ++dev->opens;
        *handle = dev->handle;
        return FT_OK;
    }
    return FT_DEVICE_NOT_FOUND;
}

FT_STATUS sim_backend::set_timeouts(FT_HANDLE handle, ULONG read_ms, ULONG write_ms)
{
    std::lock_guard<std::mutex> lock(mutex);
    device* dev = nullptr;
    if (FT_STATUS status = check_call_locked(call::set_timeouts, handle, &dev))
        return status;
    dev->read_timeout = read_ms;
    dev->write_timeout = write_ms;
    return FT_OK;
}

FT_STATUS sim_backend::set_latency_timer(FT_HANDLE handle, UCHAR latency_ms)
{
    std::lock_guard<std::mutex> lock(mutex);
    device* dev = nullptr;
    if (FT_STATUS status = check_call_locked(call::set_latency_timer, handle, &dev))
        return status;
    dev->latency = latency_ms;
    return FT_OK;
}

FT_STATUS sim_backend::read(FT_HANDLE handle, void* buffer, DWORD length, DWORD* bytes_read)
{
    run_armed_action(call::read);
    *bytes_read = 0;
    sim_clock::time_point deadline{};
    bool first = true;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            device* dev = nullptr;
            if (first) {
                if (FT_STATUS status = check_call_locked(call::read, handle, &dev))
                    return status;
                deadline = sim_clock::now() + std::chrono::milliseconds(dev->read_timeout);
                first = false;
            } else {
                dev = by_handle_locked(handle);
                if (!dev || !dev->attached)
                    return FT_IO_ERROR;
            }
            collect_locked(*dev);
            const bool timed_out = dev->read_timeout && sim_clock::now() >= deadline;
            if (static_cast<DWORD>(dev->rx.size()) >= length || timed_out) {
                DWORD count = std::min<DWORD>(length, static_cast<DWORD>(dev->rx.size()));
                if (short_reads != 0 && count > 0) {
                    if (short_reads > 0)
                        --short_reads;
                    --count;
                }
                std::memcpy(buffer, dev->rx.constData(), count);
                dev->rx.remove(0, static_cast<int>(count));
                *bytes_read = count;
                return FT_OK;
            }
        }
        QThread::usleep(500);
    }
}

FT_STATUS sim_backend::write(FT_HANDLE handle, const void* buffer, DWORD length,
                             DWORD* bytes_written)
{
    run_armed_action(call::write);
    std::shared_ptr<rq7_sim_unit> unit;
    QByteArray bytes;
    {
        std::lock_guard<std::mutex> lock(mutex);
        device* dev = nullptr;
        if (FT_STATUS status = check_call_locked(call::write, handle, &dev))
            return status;
        DWORD count = length;
        if (short_writes != 0 && count > 0) {
            if (short_writes > 0)
                --short_writes;
            --count;
        }
        bytes = QByteArray(static_cast<const char*>(buffer), static_cast<int>(count));
        unit = dev->unit;
        *bytes_written = count;
    }
    if (unit)
        unit->host_to_unit(bytes);
    return FT_OK;
}

FT_STATUS sim_backend::get_queue_status(FT_HANDLE handle, DWORD* rx_bytes)
{
    std::lock_guard<std::mutex> lock(mutex);
    device* dev = nullptr;
    if (FT_STATUS status = check_call_locked(call::get_queue_status, handle, &dev))
        return status;
    collect_locked(*dev);
    *rx_bytes = static_cast<DWORD>(dev->rx.size());
    return FT_OK;
}

FT_STATUS sim_backend::get_status(FT_HANDLE handle, DWORD* rx_bytes, DWORD* tx_bytes,
                                  DWORD* event_status)
{
    std::lock_guard<std::mutex> lock(mutex);
    device* dev = nullptr;
    if (FT_STATUS status = check_call_locked(call::get_status, handle, &dev))
        return status;
    collect_locked(*dev);
    *rx_bytes = static_cast<DWORD>(dev->rx.size());
    *tx_bytes = 0; // the simulated bridge hands every write over at once
    *event_status = 0;
    return FT_OK;
}

FT_STATUS sim_backend::purge(FT_HANDLE handle, ULONG mask)
{
    std::lock_guard<std::mutex> lock(mutex);
    device* dev = nullptr;
    if (FT_STATUS status = check_call_locked(call::purge, handle, &dev))
        return status;
    ++dev->purges;
    if (mask & FT_PURGE_RX) {
        collect_locked(*dev);
        dev->rx.clear();
    }
    return FT_OK;
}

FT_STATUS sim_backend::reset_device(FT_HANDLE handle)
{
    std::lock_guard<std::mutex> lock(mutex);
    device* dev = nullptr;
    if (FT_STATUS status = check_call_locked(call::reset_device, handle, &dev))
        return status;
    dev->rx.clear();
    return FT_OK;
}

FT_STATUS sim_backend::close(FT_HANDLE handle)
{
    std::lock_guard<std::mutex> lock(mutex);
    device* dev = by_handle_locked(handle);
    if (!dev)
        return FT_INVALID_HANDLE;
    FT_STATUS status = FT_OK;
    if (take_fault_locked(call::close, &status))
        return status;
    dev->handle = nullptr;
    dev->rx.clear();
    if (!dev->attached)
        devices.erase(std::remove_if(devices.begin(), devices.end(),
                                     [dev](const auto& d) { return d.get() == dev; }),
                      devices.end());
    return FT_OK;
}

QString sim_backend::port_name(const char*) const
{
    return QStringLiteral("simulated");
}
