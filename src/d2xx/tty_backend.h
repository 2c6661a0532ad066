// SPDX-License-Identifier: GPL-3.0-or-later
// Real bridges on Linux: the kernel's FTDI serial driver exposes each bridge as a tty
// (/dev/ttyUSBn), and sysfs tells which USB product and serial number sit behind it. This
// backend serves the D2XX calls from those ttys, in raw mode and without any flow control.
#pragma once

#include "d2xx_backend.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <map>
#include <memory>
#include <mutex>

class tty_backend : public d2xx_backend
{
public:
    /// Looks for bridges under `sysfs_root` (normally "/sys") and opens their nodes in
    /// `dev_dir` (normally "/dev"). With `explicit_port` set, enumeration is bypassed: the
    /// backend lists that port alone, described "MERIX 3", whenever the path exists.
    explicit tty_backend(const QString& sysfs_root = QStringLiteral("/sys"),
                         const QString& dev_dir = QStringLiteral("/dev"),
                         const QString& explicit_port = QString());
    ~tty_backend() override;

    /// The serial number under which an explicit port is listed: its name below /dev
    /// ("ttyUSB0", "pts/3"), keeping the last 15 characters of longer names.
    static QByteArray serial_for_port(const QString& port_path, const QString& dev_dir);

    /// One port of the kernel's USB serial drivers as sysfs shows it.
    struct sysfs_port
    {
        QString tty_name;       // "ttyUSB0"
        QString port_dir;       // the port's directory in the USB device tree
        QString usb_device_dir; // the USB device above it
        QString driver;         // "ftdi_sio"; empty when sysfs does not say
        QString latency_attr;   // the driver's latency_timer attribute, empty if none
        QByteArray product;     // USB product string
        QByteArray serial;      // USB serial number, a multi-port bridge's interface letter added
    };
    /// Every port under `sysfs_root`/bus/usb-serial/devices, in the driver's numbering order.
    static QVector<sysfs_port> sysfs_ports(const QString& sysfs_root);

    /// The file descriptor behind an open handle, -1 for any other handle. For inspecting
    /// the terminal settings; all traffic goes through the D2XX calls.
    int native_fd(FT_HANDLE handle) const;

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
    QString port_name(const char* serial) const override;
    open_failure last_open_failure() const override;

private:
    /// One bridge as found in sysfs (or the explicit port).
    struct found_device
    {
        QString tty_name;       // "ttyUSB0"
        QString node_path;      // what is opened
        QString latency_attr;   // the driver's latency_timer attribute, empty if none
        QByteArray serial;      // USB serial number
        QByteArray description; // USB product string
        ULONG type = 0;
        ULONG id = 0; // vendor << 16 | product
        DWORD location = 0;
    };
    struct port;

    QVector<found_device> scan() const;
    QVector<found_device> scan_sysfs() const;
    found_device explicit_device() const;
    std::shared_ptr<port> port_for(FT_HANDLE handle) const;
    /// The handle under which `node_path` is open, or null; expects `mutex` to be held.
    FT_HANDLE handle_of_locked(const QString& node_path) const;
    FT_STATUS open_device(const found_device& dev, FT_HANDLE* handle);
    void note_open_failure(const open_failure& failure);

    const QString sysfs_root;
    const QString dev_dir;
    const QString explicit_port;

    mutable std::mutex mutex;
    QVector<found_device> listed; // as of the last create_device_info_list
    std::map<FT_HANDLE, std::shared_ptr<port>> ports;
    open_failure last_failure;
    uintptr_t next_handle = 1;
};
