// SPDX-License-Identifier: GPL-3.0-or-later
// Tells the program when a USB serial bridge is plugged in or pulled out, with the codes of
// the Windows device-change notification that the worker's smart_reconnect understands:
// 0x8000 (arrival) and 0x8004 (removal complete). On Linux the events come from udev; the
// simulated bridge reports its own plugging through change_relay().
#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

class hotplug_monitor : public QObject
{
    Q_OBJECT

public:
    static constexpr unsigned int device_arrival = 0x8000;
    static constexpr unsigned int device_removal_complete = 0x8004;

    /// Starts watching the system's USB serial devices (when built with udev). Create it on
    /// the GUI thread: the signal is emitted there.
    explicit hotplug_monitor(QObject* parent = nullptr);
    ~hotplug_monitor() override;

    /// True when udev events are being watched.
    bool is_watching_system() const;

    /// A listener for sim_backend::set_change_listener: callable from any thread, it has
    /// device_event emitted on this object's thread, and does nothing once this object is
    /// gone.
    std::function<void(unsigned int)> change_relay();

signals:
    void device_event(uint event_code);

private slots:
    void read_system_event();

private:
    struct relay_target;
    struct udev_state;

    std::shared_ptr<relay_target> relay;
    std::unique_ptr<udev_state> watch;
    QSocketNotifier* notifier = nullptr;
};
