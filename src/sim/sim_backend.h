// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated bridge: serves the D2XX calls from simulated units (and from FTDI devices
// that are not units, to test enumeration), with switches to make individual calls fail.
#pragma once

#include "d2xx_backend.h"
#include "rq7_sim_unit.h"

#include <QByteArray>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class sim_backend : public d2xx_backend
{
public:
    /// The D2XX calls that can be made to fail.
    enum class call {
        open,
        set_timeouts,
        set_latency_timer,
        read,
        write,
        get_queue_status,
        get_status,
        purge,
        reset_device,
        close,
        get_device_info_list,
    };

    sim_backend();
    ~sim_backend() override;

    /// Plugs in a unit described "MERIX 3" (unless told otherwise) and returns it.
    std::shared_ptr<rq7_sim_unit> attach_unit(const QByteArray& serial = "RQ7SIM01",
                                              const QByteArray& description = "MERIX 3");
    /// Plugs in an FTDI device that is not a unit: it never answers.
    void attach_foreign_device(const QByteArray& serial, const QByteArray& description);
    /// Unplugs a device: its open handle fails from now on and enumeration no longer lists it.
    void detach(const QByteArray& serial);
    std::shared_ptr<rq7_sim_unit> unit(const QByteArray& serial = "RQ7SIM01") const;

    /// Called with 0x8000 after a device is plugged in and 0x8004 after one is unplugged,
    /// like the operating system's device notifications.
    void set_change_listener(std::function<void(unsigned int)> listener);

    // ---- faults ----
    /// FT_CreateDeviceInfoList fails with `status` (FT_OK: works again).
    void fail_enumeration(FT_STATUS status);
    /// The next `count` calls of `which` fail with `status` (-1: all of them).
    void fail_next(call which, FT_STATUS status, int count = 1);
    /// The next `count` reads deliver one byte less than asked (and than waiting).
    void short_next_reads(int count);
    /// The next `count` writes take one byte less than given.
    void short_next_writes(int count);
    /// Runs `action` (from the calling thread) just before the `count`-th read or write from
    /// now is served, once: a fault switched on in the middle of an exchange, or the cable
    /// pulled out (detach) while the host talks to the unit.
    void before_call(call which, int count, std::function<void()> action);
    void clear_faults();

    // ---- observation ----
    ULONG read_timeout_ms(const QByteArray& serial = "RQ7SIM01") const;
    ULONG write_timeout_ms(const QByteArray& serial = "RQ7SIM01") const;
    UCHAR latency_ms(const QByteArray& serial = "RQ7SIM01") const;
    bool is_open(const QByteArray& serial = "RQ7SIM01") const;
    int purge_count(const QByteArray& serial = "RQ7SIM01") const;
    /// Times the device was opened since it was plugged in.
    int open_count(const QByteArray& serial = "RQ7SIM01") const;

    // ---- the D2XX calls ----
    FT_STATUS create_device_info_list(DWORD* num_devices) override;
    FT_STATUS get_device_info_list(FT_DEVICE_LIST_INFO_NODE* list, DWORD* num_devices) override;
    FT_STATUS open_by_serial(const char* serial, FT_HANDLE* handle) override;
    FT_STATUS set_timeouts(FT_HANDLE handle, ULONG read_ms, ULONG write_ms) override;
    FT_STATUS set_latency_timer(FT_HANDLE handle, UCHAR latency_ms) override;
    FT_STATUS read(FT_HANDLE handle, void* buffer, DWORD length, DWORD* bytes_read) override;
    FT_STATUS write(FT_HANDLE handle, const void* buffer, DWORD length,
                    DWORD* bytes_written) override;
    FT_STATUS get_queue_status(FT_HANDLE handle, DWORD* rx_bytes) override;
    FT_STATUS get_status(FT_HANDLE handle, DWORD* rx_bytes, DWORD* tx_bytes,
                         DWORD* event_status) override;
    FT_STATUS purge(FT_HANDLE handle, ULONG mask) override;
    FT_STATUS reset_device(FT_HANDLE handle) override;
    FT_STATUS close(FT_HANDLE handle) override;
    /// "simulated" for every device: the simulated bridge has no port.
    QString port_name(const char* serial) const override;

private:
    struct device
    {
        QByteArray serial;
        QByteArray description;
        std::shared_ptr<rq7_sim_unit> unit; // null for a device that is not a unit
        bool attached = true;
        FT_HANDLE handle = nullptr; // non-null while open
        QByteArray rx;              // arrived at the host, not read yet
        ULONG read_timeout = 0;     // 0: a read waits until all bytes came
        ULONG write_timeout = 0;
        UCHAR latency = 16;
        int purges = 0;
        int opens = 0;
        DWORD location = 0;
    };
    struct fault
    {
        FT_STATUS status = FT_OK;
        int count = 0;
    };

    // All *_locked functions expect `mutex` to be held.
    device* by_handle_locked(FT_HANDLE handle);
    const device* by_serial_locked(const QByteArray& serial) const;
    /// `read` of the device with that serial number, or `absent`.
    template <typename T, typename F>
    T observe(const QByteArray& serial, T absent, F read) const;
    /// The status of a call on `handle`: FT_OK, or why it fails (stale handle, unplugged
    /// device, injected fault). `dev` is set when the handle is known.
    FT_STATUS check_call_locked(call which, FT_HANDLE handle, device** dev);
    bool take_fault_locked(call which, FT_STATUS* status);
    void collect_locked(device& dev);
    /// Runs an action armed with before_call when this call is the one it waits for.
    void run_armed_action(call which);
    void notify(unsigned int code);

    mutable std::mutex mutex;
    std::vector<std::unique_ptr<device>> devices;
    std::map<call, fault> faults;
    FT_STATUS enumeration_fault = FT_OK;
    int short_reads = 0;
    int short_writes = 0;
    call armed_call = call::read;
    int armed_countdown = 0; // 0: nothing armed
    std::function<void()> armed_action;
    uintptr_t next_handle = 1;
    DWORD next_location = 0x111;
    std::function<void(unsigned int)> change_listener;
};
