// SPDX-License-Identifier: GPL-3.0-or-later
// The real main window on a simulated unit, with the steps the window suites share. A suite
// derives from it after QObject and calls start() from init() and stop() from cleanup().
#pragma once

#include "mainwindow.h"
#include "sim_fixture.h"
#include "window_access.h"

#include <QAction>
#include <QLabel>
#include <QSettings>
#include <QSize>
#include <QStringList>
#include <QtTest>

#include <memory>

class window_fixture
{
public:
    /// A simulated unit (attached unless `attach` is false) and the default preferences.
    void prepare(bool attach = true)
    {
        sim = std::make_unique<sim_fixture>(attach);
        QSettings().clear(); // every window starts from the default preferences
    }
    /// A fresh window, shown; at `size` where one is given.
    void open(QSize size = QSize())
    {
        window = std::make_unique<MainWindow>();
        if (size.isValid())
            window->resize(size);
        window->show();
    }
    void start()
    {
        prepare();
        open();
    }
    /// The window goes first, so that its worker stops while the simulated unit still stands.
    void stop()
    {
        window.reset();
        sim.reset();
    }

    template <typename T>
    T* w(const char* name) const
    {
        return child<T>(window.get(), name);
    }

    /// Connects and waits until the unit can be read; the frames of the connection are dropped.
    void connect_unit()
    {
        window->connect_attempt();
        QTRY_VERIFY_WITH_TIMEOUT(w<QAction>("act_read")->isEnabled(), 10000);
        sim->unit->clear_received_frames();
    }
    /// Connects and waits until the status bar names the unit's firmware.
    void connect_window()
    {
        window->connect_attempt();
        QTRY_VERIFY_WITH_TIMEOUT(w<QLabel>("connection_status")->text().startsWith("Connected fw"),
                                 10000);
    }
    /// Triggers an action and waits until the worker has answered (Write All is enabled again).
    void run(const char* action)
    {
        w<QAction>(action)->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w<QAction>("act_write_all")->isEnabled(), 15000);
    }
    /// Reads the unit into the window; the frames of the read are dropped.
    void read()
    {
        run("act_read");
        sim->unit->clear_received_frames();
    }
    void connect_and_read()
    {
        connect_unit();
        read();
    }
    /// Type and payload of every frame the unit received, as hex ("02:03ff").
    QStringList sent() const
    {
        QStringList frames;
        for (const QByteArray& frame : sim->unit->received_frames())
            frames << QString("%1:%2")
                          .arg(quint8(frame.at(1)), 2, 16, QChar('0'))
                          .arg(QString(frame.mid(4, frame.size() - 5).toHex()));
        return frames;
    }

    std::unique_ptr<sim_fixture> sim;
    std::unique_ptr<MainWindow> window;
};
