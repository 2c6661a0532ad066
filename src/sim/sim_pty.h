// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated unit behind a pseudo-terminal: the program (or a test) opens the slave side
// as it would open /dev/ttyUSB0, and a pump thread carries the bytes between the master side
// and the unit. This puts the real tty path (termios, poll, unplug) under test without a
// bridge.
#pragma once

#include "rq7_sim_unit.h"

#include <QString>

#include <memory>
#include <thread>

class sim_pty
{
public:
    explicit sim_pty(std::shared_ptr<rq7_sim_unit> unit);
    ~sim_pty();
    sim_pty(const sim_pty&) = delete;
    sim_pty& operator=(const sim_pty&) = delete;

    /// Opens the pair and starts serving the unit; false (with a warning) when the system
    /// gives no pseudo-terminal. Does nothing while already running.
    bool start();
    /// Stops the pump and closes the master: whoever holds the slave sees the device gone.
    void stop();
    bool is_running() const;

    /// The node to open, such as "/dev/pts/3"; empty while stopped.
    QString slave_path() const;
    std::shared_ptr<rq7_sim_unit> unit() const;

private:
    void pump();
    void close_all();

    std::shared_ptr<rq7_sim_unit> sim_unit;
    int master = -1;
    // Held open so that the pair lives on while the host closes and reopens the slave;
    // without any slave open the master reports a hang-up on every poll.
    int slave_keeper = -1;
    int wake = -1; // eventfd that ends the pump
    QString slave;
    std::thread thread;
};
