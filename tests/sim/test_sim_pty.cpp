// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated unit behind a pseudo-terminal, driven through a plain file descriptor on the
// slave side as a program would drive /dev/ttyUSB0.
#include "rq7_protocol.h"
#include "sim_pty.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace rq7_protocol;

namespace {

int entries(const char* dir)
{
    return static_cast<int>(
        QDir(dir).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

/// Opens the slave raw, as the host's side of the link.
int open_host(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    termios settings{};
    ::tcgetattr(fd, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(fd, TCSANOW, &settings);
    return fd;
}

bool write_all(int fd, const QByteArray& bytes)
{
    return ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
}

/// Up to `count` bytes within `ms` milliseconds.
QByteArray read_for(int fd, int count, int ms)
{
    QByteArray got;
    QElapsedTimer timer;
    timer.start();
    while (got.size() < count && timer.elapsed() < ms) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 10) <= 0)
            continue;
        char buffer[1024];
        const ssize_t n = ::read(fd, buffer, std::min<size_t>(sizeof buffer, count - got.size()));
        if (n <= 0)
            break;
        got.append(buffer, static_cast<int>(n));
    }
    return got;
}

} // namespace

class test_sim_pty : public QObject
{
    Q_OBJECT

private slots:
    void reply_reaches_the_host();
    void stop_hangs_up_the_host();
    void start_and_stop_leave_no_descriptor_or_thread();
    void stop_returns_while_the_host_does_not_read();
    void host_may_close_and_reopen_the_port();
};

void test_sim_pty::reply_reaches_the_host()
{
    sim_pty pty(std::make_shared<rq7_sim_unit>());
    QVERIFY(pty.start());
    QVERIFY(pty.is_running());
    QVERIFY(pty.start()); // already running: the same pair
    const int fd = open_host(pty.slave_path());
    QVERIFY(fd >= 0);
    QVERIFY(write_all(fd, fixed_frame(frame_read_fw_version)));
    QCOMPARE(read_for(fd, 5, 2000), QByteArray::fromHex("3C05FA0201"));
    // A table reply is larger than one read of the master.
    QVERIFY(write_all(fd, read_request(param_gpo2_table)));
    QCOMPARE(read_for(fd, 643, 2000), QByteArray::fromHex("3C05FA") + pty.unit()->table(3));
    ::close(fd);
}

void test_sim_pty::stop_hangs_up_the_host()
{
    sim_pty pty(std::make_shared<rq7_sim_unit>());
    QVERIFY(pty.start());
    const QString path = pty.slave_path();
    QVERIFY(QFileInfo::exists(path));
    const int fd = open_host(path);
    QVERIFY(fd >= 0);
    pty.stop();
    QVERIFY(!pty.is_running());
    QVERIFY(pty.slave_path().isEmpty());
    QVERIFY(!QFileInfo::exists(path));
    pollfd entry{fd, POLLIN, 0};
    QCOMPARE(::poll(&entry, 1, 1000), 1);
    QVERIFY(entry.revents & POLLHUP);
    char byte = 0;
    QVERIFY(::read(fd, &byte, 1) <= 0);
    ::close(fd);
}

void test_sim_pty::start_and_stop_leave_no_descriptor_or_thread()
{
    const int fds = entries("/proc/self/fd");
    const int threads = entries("/proc/self/task");
    for (int round = 0; round < 5; ++round) {
        sim_pty pty(std::make_shared<rq7_sim_unit>());
        QVERIFY(pty.start());
        QCOMPARE(entries("/proc/self/task"), threads + 1);
        if (round % 2)
            pty.stop(); // else the destructor stops it
    }
    QCOMPARE(entries("/proc/self/fd"), fds);
    QCOMPARE(entries("/proc/self/task"), threads);
}

void test_sim_pty::stop_returns_while_the_host_does_not_read()
{
    auto unit = std::make_shared<rq7_sim_unit>();
    unit->set_link_delay(std::chrono::microseconds(0));
    sim_pty pty(unit);
    QVERIFY(pty.start());
    const int fd = open_host(pty.slave_path());
    QVERIFY(fd >= 0);
    // Far more reply bytes than the terminal buffers hold.
    QByteArray requests;
    for (int i = 0; i < 300; ++i)
        requests += read_request(param_aux_table);
    qsizetype sent = 0;
    QElapsedTimer timer;
    timer.start();
    while (sent < requests.size() && timer.elapsed() < 5000) {
        const ssize_t n =
            ::write(fd, requests.constData() + sent, static_cast<size_t>(requests.size() - sent));
        if (n > 0)
            sent += n;
        else
            QThread::msleep(1);
    }
    QCOMPARE(sent, requests.size());
    QTRY_COMPARE_WITH_TIMEOUT(unit->received_frames().size(), 300, 5000);
    pty.stop();
    QVERIFY(!pty.is_running());
    ::close(fd);
}

void test_sim_pty::host_may_close_and_reopen_the_port()
{
    sim_pty pty(std::make_shared<rq7_sim_unit>());
    QVERIFY(pty.start());
    for (int round = 0; round < 3; ++round) {
        const int fd = open_host(pty.slave_path());
        QVERIFY(fd >= 0);
        QVERIFY(write_all(fd, fixed_frame(frame_read_variant)));
        QCOMPARE(read_for(fd, 4, 2000), QByteArray::fromHex("3C05FAAA"));
        ::close(fd);
    }
}

QTEST_GUILESS_MAIN(test_sim_pty)
#include "test_sim_pty.moc"
