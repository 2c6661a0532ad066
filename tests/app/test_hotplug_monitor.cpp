// SPDX-License-Identifier: GPL-3.0-or-later
// The hot-plug monitor relays the simulated bridge's plugging as device-change codes on the
// GUI thread. Real udev events cannot be produced here (no udev daemon, no USB device to
// plug); that path is left to a check with hardware.
#include "hotplug_monitor.h"
#include "sim_backend.h"

#include <QSignalSpy>
#include <QtTest>

#include <thread>

class test_hotplug_monitor : public QObject
{
    Q_OBJECT

private slots:
    void simulated_plugging_is_relayed();
    void events_from_another_thread_arrive_on_the_gui_thread();
    void relay_outliving_the_monitor_does_nothing();
};

void test_hotplug_monitor::simulated_plugging_is_relayed()
{
    hotplug_monitor monitor;
    QSignalSpy events(&monitor, &hotplug_monitor::device_event);
    sim_backend sim;
    sim.set_change_listener(monitor.change_relay());

    sim.attach_unit("RQ7SIM01");
    // Queued, never delivered inside the plugging itself.
    QCOMPARE(events.count(), 0);
    QTRY_COMPARE(events.count(), 1);
    QCOMPARE(events.at(0).at(0).toUInt(), 0x8000u);

    sim.attach_foreign_device("FT000001", "USB Serial Cable");
    sim.detach("RQ7SIM01");
    QTRY_COMPARE(events.count(), 3);
    QCOMPARE(events.at(1).at(0).toUInt(), 0x8000u);
    QCOMPARE(events.at(2).at(0).toUInt(), 0x8004u);
}

void test_hotplug_monitor::events_from_another_thread_arrive_on_the_gui_thread()
{
    hotplug_monitor monitor;
    sim_backend sim;
    sim.set_change_listener(monitor.change_relay());
    QList<QPair<uint, QThread*>> seen;
    connect(&monitor, &hotplug_monitor::device_event, this, [&seen](uint code) {
        seen.append({code, QThread::currentThread()});
    });

    std::thread plugger([&sim] {
        sim.attach_unit("RQ7SIM02");
        sim.detach("RQ7SIM02");
    });
    plugger.join();
    QTRY_COMPARE(seen.size(), 2);
    QCOMPARE(seen.at(0).first, 0x8000u);
    QCOMPARE(seen.at(1).first, 0x8004u);
    QCOMPARE(seen.at(0).second, QThread::currentThread());
    QCOMPARE(seen.at(1).second, QThread::currentThread());
}

void test_hotplug_monitor::relay_outliving_the_monitor_does_nothing()
{
    sim_backend sim;
    {
        hotplug_monitor monitor;
        sim.set_change_listener(monitor.change_relay());
        sim.attach_unit("RQ7SIM03"); // posted, still undelivered when the monitor goes
    }
    QCoreApplication::processEvents();
    sim.detach("RQ7SIM03");
    std::thread plugger([&sim] { sim.attach_unit("RQ7SIM04"); });
    plugger.join();
    QCoreApplication::processEvents();
}

QTEST_GUILESS_MAIN(test_hotplug_monitor)
#include "test_hotplug_monitor.moc"
