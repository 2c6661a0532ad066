// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim_pty.h"

#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Without pending output the pump still looks at the unit this often, because the unit
// produces its stream when asked; a real bridge's latency timer is of the same order.
constexpr auto idle_poll = std::chrono::milliseconds(2);

// A host that stops reading must not make the simulation grow without bound: beyond this
// the oldest bytes are dropped, as a bridge's full receive buffer would drop them.
constexpr int max_backlog = 64 * 1024;

timespec to_timespec(sim_clock::duration wait)
{
    wait = std::max(wait, sim_clock::duration::zero());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(wait - seconds);
    return {static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

bool set_raw(int fd)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cflag |= CLOCAL | CREAD;
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

} // namespace

sim_pty::sim_pty(std::shared_ptr<rq7_sim_unit> unit)
    : sim_unit(std::move(unit))
{}

sim_pty::~sim_pty()
{
    stop();
}

bool sim_pty::start()
{
    if (thread.joinable())
        return true;
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    bool ok = master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0 &&
              ::ptsname_r(master, name, sizeof name) == 0 &&
              ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK) == 0;
    if (ok) {
        slave_keeper = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ok = slave_keeper >= 0 && set_raw(slave_keeper);
    }
    if (ok) {
        wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        ok = wake >= 0;
    }
    if (!ok) {
        qWarning("Cannot open a pseudo-terminal for the simulated unit: %s", std::strerror(errno));
        close_all();
        return false;
    }
    slave = QString::fromLocal8Bit(name);
    thread = std::thread(&sim_pty::pump, this);
    return true;
}

void sim_pty::stop()
{
    if (thread.joinable()) {
        const uint64_t one = 1;
        if (::write(wake, &one, sizeof one) < 0)
            qWarning("Cannot wake the pseudo-terminal pump: %s", std::strerror(errno));
        thread.join();
    }
    close_all();
}

void sim_pty::close_all()
{
    // The master first: the slave's holders see the hang-up, as on unplugging a bridge.
    for (int* fd : {&master, &slave_keeper, &wake}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    slave.clear();
}

bool sim_pty::is_running() const
{
    return thread.joinable();
}

QString sim_pty::slave_path() const
{
    return slave;
}

std::shared_ptr<rq7_sim_unit> sim_pty::unit() const
{
    return sim_unit;
}

void sim_pty::pump()
{
    QByteArray backlog; // unit bytes the master did not take yet
    char buffer[4096];
    for (;;) {
        backlog.append(sim_unit->unit_to_host());
        if (backlog.size() > max_backlog)
            backlog.remove(0, backlog.size() - max_backlog);
        if (!backlog.isEmpty()) {
            const ssize_t n =
                ::write(master, backlog.constData(), static_cast<size_t>(backlog.size()));
            if (n > 0)
                backlog.remove(0, static_cast<int>(n));
        }

        auto wait = sim_clock::duration(idle_poll);
        if (const auto due = sim_unit->next_output_due())
            wait = std::min(wait, *due - sim_clock::now());
        const timespec timeout = to_timespec(wait);
        pollfd fds[2] = {
            {master, static_cast<short>(POLLIN | (backlog.isEmpty() ? 0 : POLLOUT)), 0},
            {wake, POLLIN, 0}};
        if (::ppoll(fds, 2, &timeout, nullptr) < 0 && errno != EINTR) {
            qWarning("The pseudo-terminal pump stops: %s", std::strerror(errno));
            return;
        }
        if (fds[1].revents)
            return;
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0)
                sim_unit->host_to_unit(QByteArray(buffer, static_cast<int>(n)));
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Nobody holds the slave (cannot happen while we keep it open): do not spin.
            const timespec pause = to_timespec(idle_poll);
            ::nanosleep(&pause, nullptr);
        }
    }
}
