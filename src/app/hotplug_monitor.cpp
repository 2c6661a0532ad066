// SPDX-License-Identifier: GPL-3.0-or-later
#include "hotplug_monitor.h"

#include <QSocketNotifier>

#include <cstring>
#include <mutex>

#ifdef QUORVANE_HAVE_UDEV
#include <libudev.h>
#endif

/// What the relay handed to another thread reaches; the monitor unhooks itself here when it
/// goes, so a late plug event finds nobody instead of a deleted object.
struct hotplug_monitor::relay_target
{
    std::mutex mutex;
    hotplug_monitor* monitor = nullptr;
};

#ifdef QUORVANE_HAVE_UDEV

struct hotplug_monitor::udev_state
{
    struct udev* context = nullptr;
    struct udev_monitor* monitor = nullptr;

    ~udev_state()
    {
        if (monitor)
            udev_monitor_unref(monitor);
        if (context)
            udev_unref(context);
    }
};

namespace {

/// The event code for a udev event, 0 for events that do not concern a USB serial port.
unsigned int event_code(struct udev_device* device)
{
    const char* action = udev_device_get_action(device);
    const char* path = udev_device_get_devpath(device);
    // A tty of a USB device sits in the USB tree (/devices/.../usb1/1-2/1-2:1.0/ttyUSB0/tty/
    // ttyUSB0); consoles, pseudo-terminals and on-board ports do not.
    if (!action || !path || !std::strstr(path, "/usb"))
        return 0;
    if (std::strcmp(action, "add") == 0)
        return hotplug_monitor::device_arrival;
    if (std::strcmp(action, "remove") == 0)
        return hotplug_monitor::device_removal_complete;
    return 0;
}

} // namespace

#else

struct hotplug_monitor::udev_state
{};

#endif

hotplug_monitor::hotplug_monitor(QObject* parent)
    : QObject(parent)
    , relay(std::make_shared<relay_target>())
{
    relay->monitor = this;
#ifdef QUORVANE_HAVE_UDEV
    // The tty rather than the usb-serial subsystem: udev announces the tty once it has made
    // the device node and set its rights, so the port can be opened at once.
    auto state = std::make_unique<udev_state>();
    state->context = udev_new();
    if (state->context)
        state->monitor = udev_monitor_new_from_netlink(state->context, "udev");
    if (!state->monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(state->monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(state->monitor) < 0) {
        qWarning("Cannot watch for USB devices through udev; after plugging the unit in, "
                 "reconnect by hand");
        return;
    }
    watch = std::move(state);
    notifier =
        new QSocketNotifier(udev_monitor_get_fd(watch->monitor), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &hotplug_monitor::read_system_event);
#endif
}

hotplug_monitor::~hotplug_monitor()
{
    std::lock_guard<std::mutex> lock(relay->mutex);
    relay->monitor = nullptr;
}

bool hotplug_monitor::is_watching_system() const
{
    return notifier != nullptr;
}

std::function<void(unsigned int)> hotplug_monitor::change_relay()
{
    return [target = relay](unsigned int code) {
        std::lock_guard<std::mutex> lock(target->mutex);
        hotplug_monitor* monitor = target->monitor;
        if (!monitor)
            return;
        // Queued even on the monitor's own thread: the simulated bridge calls its listener
        // in the middle of plugging, and receivers must not run inside that.
        QMetaObject::invokeMethod(
            monitor, [monitor, code] { emit monitor->device_event(code); }, Qt::QueuedConnection);
    };
}

void hotplug_monitor::read_system_event()
{
#ifdef QUORVANE_HAVE_UDEV
    struct udev_device* device = udev_monitor_receive_device(watch->monitor);
    if (!device)
        return;
    const unsigned int code = event_code(device);
    udev_device_unref(device);
    if (code)
        emit device_event(code);
#endif
}
