// SPDX-License-Identifier: GPL-3.0-or-later
// The Linux bridge backend: enumeration from a fake sysfs tree, and the D2XX calls end to end
// through a pseudo-terminal with the simulated unit on the far side.
#include "log_capture.h"
#include "rq7_protocol.h"
#include "sim_pty.h"
#include "tty_backend.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace rq7_protocol;

namespace {

/// Lays out one usb-serial port as the kernel shows it: the USB device directory with its
/// attributes, the interface below it, the port below that, and the link to the port.
void add_usb_serial(const QString& sysfs, const QString& tty, const QString& usb_name,
                    const QMap<QString, QByteArray>& attributes, bool latency_attribute = false,
                    int interface = 0)
{
    const QString usb_dir = sysfs + "/devices/pci0000:00/0000:00:14.0/usb1/" + usb_name;
    const QString interface_dir = usb_dir + '/' + usb_name + ":1." + QString::number(interface);
    const QString port_dir = interface_dir + '/' + tty;
    QVERIFY(QDir().mkpath(port_dir));
    QFile number(interface_dir + "/bInterfaceNumber");
    QVERIFY(number.open(QIODevice::WriteOnly));
    number.write(QByteArray::number(interface, 16).rightJustified(2, '0') + '\n');
    for (auto it = attributes.begin(); it != attributes.end(); ++it) {
        QFile file(usb_dir + '/' + it.key());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(it.value() + '\n');
    }
    if (latency_attribute) {
        QFile file(port_dir + "/latency_timer");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("16\n");
    }
    QVERIFY(QDir().mkpath(sysfs + "/bus/usb-serial/devices"));
    QVERIFY(QFile::link(port_dir, sysfs + "/bus/usb-serial/devices/" + tty));
}

std::vector<FT_DEVICE_LIST_INFO_NODE> device_list()
{
    DWORD count = 0;
    if (FT_CreateDeviceInfoList(&count) != FT_OK)
        return {};
    std::vector<FT_DEVICE_LIST_INFO_NODE> list(count);
    if (count && FT_GetDeviceInfoList(list.data(), &count) != FT_OK)
        return {};
    list.resize(count);
    return list;
}

int open_fd_count()
{
    return static_cast<int>(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size());
}

FT_STATUS write_all(FT_HANDLE handle, QByteArray bytes)
{
    DWORD written = 0;
    const FT_STATUS status =
        FT_Write(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written);
    return status == FT_OK && written == DWORD(bytes.size()) ? FT_OK : FT_IO_ERROR;
}

QByteArray read_bytes(FT_HANDLE handle, int count, FT_STATUS* status = nullptr)
{
    QByteArray buffer(count, '\0');
    DWORD got = 0;
    const FT_STATUS result = FT_Read(handle, buffer.data(), static_cast<DWORD>(count), &got);
    if (status)
        *status = result;
    buffer.resize(static_cast<int>(got));
    return buffer;
}

DWORD queued(FT_HANDLE handle)
{
    DWORD waiting = 0;
    return FT_GetQueueStatus(handle, &waiting) == FT_OK ? waiting : ~DWORD(0);
}

/// A 640-byte table record holding every byte value, the flow-control ones included.
QByteArray every_byte_table()
{
    QByteArray table;
    for (int i = 0; i < 639; ++i)
        table.append(static_cast<char>(i % 256));
    table.append(static_cast<char>(xor_of(table, 0, table.size())));
    return table;
}

} // namespace

class test_tty_backend : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // enumeration
    void enumeration_reads_sysfs();
    void enumeration_without_usb_serial_devices_is_empty();
    void open_through_enumeration_sets_the_latency_timer();
    void serial_number_of_an_explicit_port_data();
    void serial_number_of_an_explicit_port();

    // through the pseudo-terminal
    void explicit_port_is_listed_as_the_unit();
    void open_leaves_a_raw_tty_without_flow_control();
    void latency_timer_without_attribute_warns_and_succeeds();
    void parameter_read_is_answered_byte_exact();
    void typed_write_is_acknowledged();
    void flow_control_bytes_pass_both_ways();
    void queue_status_counts_waiting_bytes();
    void read_returns_fewer_bytes_at_the_time_out();
    void purge_empties_the_receive_queue();
    void unplugging_fails_status_and_traffic();
    void calls_on_unknown_handles_fail();
    void a_port_that_is_not_a_tty_is_refused();
    void a_reply_in_two_pieces_comes_out_whole();
    void a_port_leading_to_another_device_fails_status();

private:
    /// Starts the unit behind a pseudo-terminal whose slave was left with cooked settings,
    /// flow control and HUPCL, and opens it through the explicit port.
    void open_unit_on_pty();

    std::unique_ptr<QTemporaryDir> sysfs;
    std::shared_ptr<rq7_sim_unit> unit;
    std::unique_ptr<sim_pty> pty;
    std::shared_ptr<tty_backend> backend;
    FT_HANDLE handle = nullptr;
    speed_t speed_before_open = B0;
};

void test_tty_backend::init()
{
    sysfs = std::make_unique<QTemporaryDir>();
    QVERIFY(sysfs->isValid());
    unit = std::make_shared<rq7_sim_unit>();
    pty = std::make_unique<sim_pty>(unit);
    handle = nullptr;
}

void test_tty_backend::cleanup()
{
    if (handle)
        FT_Close(handle);
    handle = nullptr;
    d2xx_install_backend(nullptr);
    backend.reset();
    pty.reset();
    unit.reset();
    sysfs.reset();
}

void test_tty_backend::open_unit_on_pty()
{
    QVERIFY(pty->start());
    // What a previous program may have left on the port.
    const int fd = ::open(QFile::encodeName(pty->slave_path()).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    termios settings{};
    QCOMPARE(::tcgetattr(fd, &settings), 0);
    settings.c_iflag |= IXON | IXOFF | IXANY | ICRNL | ISTRIP;
    settings.c_oflag |= OPOST | ONLCR;
    settings.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    settings.c_cflag |= HUPCL | CRTSCTS | PARENB;
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    QCOMPARE(::tcsetattr(fd, TCSANOW, &settings), 0);
    QCOMPARE(::tcgetattr(fd, &settings), 0);
    speed_before_open = ::cfgetospeed(&settings);
    ::close(fd);

    backend = std::make_shared<tty_backend>(sysfs->path(), "/dev", pty->slave_path());
    d2xx_install_backend(backend);
    QByteArray serial = tty_backend::serial_for_port(pty->slave_path(), "/dev");
    QCOMPARE(FT_OpenEx(serial.data(), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
    QVERIFY(handle);
    QCOMPARE(FT_SetTimeouts(handle, 1000, 1000), FT_OK);
}

// ---- enumeration ----

void test_tty_backend::enumeration_reads_sysfs()
{
    const QString root = sysfs->path();
    add_usb_serial(root, "ttyUSB0", "1-2",
                   {{"product", "MERIX 3"},
                    {"serial", "RQ7A1234"},
                    {"idVendor", "0403"},
                    {"idProduct", "6001"},
                    {"bcdDevice", "0600"},
                    {"busnum", "1"},
                    {"devpath", "2"}});
    add_usb_serial(root, "ttyUSB1", "1-3", {{"product", "USB Serial Cable"}, {"serial", "FT9ZZ"}});
    add_usb_serial(root, "ttyUSB10", "1-4", {{"serial", "NOPRODUCT"}});
    add_usb_serial(root, "ttyUSB2", "1-5",
                   {{"product", QByteArray(80, 'p')}, {"serial", "S1234567890ABCDEFGH"}});
    add_usb_serial(root, "ttyUSB3", "1-6", {{"product", "No serial"}});
    // Two ports of one bridge.
    const QMap<QString, QByteArray> dual = {
        {"product", "Dual RS232"}, {"serial", "FTDUAL"}, {"bNumInterfaces", " 2"}};
    add_usb_serial(root, "ttyUSB4", "1-7", dual, false, 0);
    add_usb_serial(root, "ttyUSB5", "1-7", dual, false, 1);
    if (QTest::currentTestFailed())
        return;
    d2xx_install_backend(std::make_shared<tty_backend>(root, "/dev"));

    const auto list = device_list();
    QCOMPARE(list.size(), size_t(7));
    // The driver's numbering: ttyUSB2 before ttyUSB10.
    QCOMPARE(QByteArray(list[0].Description), QByteArray("MERIX 3"));
    QCOMPARE(QByteArray(list[0].SerialNumber), QByteArray("RQ7A1234"));
    QCOMPARE(list[0].ID, ULONG(0x04036001));
    QCOMPARE(list[0].Type, FT_DEVICE_232R);
    QCOMPARE(list[0].LocId, DWORD(0x12));
    QCOMPARE(list[0].Flags, ULONG(0));
    QCOMPARE(list[0].ftHandle, FT_HANDLE(nullptr));
    QCOMPARE(QByteArray(list[1].Description), QByteArray("USB Serial Cable"));
    QCOMPARE(QByteArray(list[1].SerialNumber), QByteArray("FT9ZZ"));
    QCOMPARE(list[1].ID, ULONG(0));
    // Fields are cut with their terminating zero in place.
    QCOMPARE(QByteArray(list[2].Description), QByteArray(63, 'p'));
    QCOMPARE(QByteArray(list[2].SerialNumber), QByteArray("S1234567890ABCD"));
    QCOMPARE(QByteArray(list[3].Description), QByteArray("No serial"));
    QCOMPARE(QByteArray(list[3].SerialNumber), QByteArray("ttyUSB3"));
    QCOMPARE(QByteArray(list[4].SerialNumber), QByteArray("FTDUALA"));
    QCOMPARE(QByteArray(list[5].SerialNumber), QByteArray("FTDUALB"));
    QCOMPARE(QByteArray(list[5].Description), QByteArray("Dual RS232"));
    QCOMPARE(QByteArray(list[6].Description), QByteArray(""));
    QCOMPARE(QByteArray(list[6].SerialNumber), QByteArray("NOPRODUCT"));

    // A list shorter than the devices gets what fits.
    DWORD count = 2;
    FT_DEVICE_LIST_INFO_NODE two[2];
    QCOMPARE(FT_GetDeviceInfoList(two, &count), FT_OK);
    QCOMPARE(count, DWORD(2));
    QCOMPARE(QByteArray(two[1].SerialNumber), QByteArray("FT9ZZ"));
}

void test_tty_backend::enumeration_without_usb_serial_devices_is_empty()
{
    d2xx_install_backend(std::make_shared<tty_backend>(sysfs->path() + "/nothing", "/dev"));
    DWORD count = 7;
    QCOMPARE(FT_CreateDeviceInfoList(&count), FT_OK);
    QCOMPARE(count, DWORD(0));
    char serial[] = "RQ7A1234";
    FT_HANDLE h = nullptr;
    QCOMPARE(FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &h), FT_DEVICE_NOT_FOUND);
}

void test_tty_backend::open_through_enumeration_sets_the_latency_timer()
{
    QVERIFY(pty->start());
    const QString root = sysfs->path();
    add_usb_serial(root, "ttyUSB0", "1-2", {{"product", "MERIX 3"}, {"serial", "RQ7A1234"}}, true);
    // The fake /dev holds the node under the bridge's name.
    QVERIFY(QDir().mkpath(root + "/dev"));
    QVERIFY(QFile::link(pty->slave_path(), root + "/dev/ttyUSB0"));
    backend = std::make_shared<tty_backend>(root, root + "/dev");
    d2xx_install_backend(backend);

    QCOMPARE(device_list().size(), size_t(1));
    char serial[] = "RQ7A1234";
    QCOMPARE(FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
    FT_HANDLE second = nullptr;
    QCOMPARE(FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &second), FT_DEVICE_NOT_OPENED);
    char other[] = "RQ7A9999";
    QCOMPARE(FT_OpenEx(other, FT_OPEN_BY_SERIAL_NUMBER, &second), FT_DEVICE_NOT_FOUND);

    auto list = device_list();
    QCOMPARE(list.at(0).Flags, FT_FLAGS_OPENED);
    QCOMPARE(list.at(0).ftHandle, handle);

    log_capture log;
    QCOMPARE(FT_SetLatencyTimer(handle, 2), FT_OK);
    QFile attribute(root + "/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB0/"
                           "latency_timer");
    QVERIFY(attribute.open(QIODevice::ReadOnly));
    QCOMPARE(attribute.readAll().trimmed(), QByteArray("2"));
    QCOMPARE(log.count("latency", QtWarningMsg), 0);

    // The unit answers through the node found by enumeration.
    QCOMPARE(FT_SetTimeouts(handle, 1000, 1000), FT_OK);
    QCOMPARE(write_all(handle, fixed_frame(frame_read_fw_version)), FT_OK);
    QCOMPARE(read_bytes(handle, 5), QByteArray::fromHex("3C05FA0201"));

    QCOMPARE(FT_Close(handle), FT_OK);
    handle = nullptr;
    list = device_list();
    QCOMPARE(list.at(0).Flags, ULONG(0));
    QCOMPARE(list.at(0).ftHandle, FT_HANDLE(nullptr));
}

void test_tty_backend::serial_number_of_an_explicit_port_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QByteArray>("serial");
    QTest::newRow("usb") << "/dev/ttyUSB0" << QByteArray("ttyUSB0");
    QTest::newRow("pty") << "/dev/pts/3" << QByteArray("pts/3");
    QTest::newRow("untidy") << "/dev//ttyUSB1" << QByteArray("ttyUSB1");
    QTest::newRow("elsewhere") << "/tmp/x/port" << QByteArray("port");
    QTest::newRow("long") << "/dev/serial/by-id/usb-0403_6001_A12345-if00-port0"
                          << QByteArray("2345-if00-port0");
}

void test_tty_backend::serial_number_of_an_explicit_port()
{
    QFETCH(QString, port);
    QFETCH(QByteArray, serial);
    QCOMPARE(tty_backend::serial_for_port(port, "/dev"), serial);
}

// ---- through the pseudo-terminal ----

void test_tty_backend::explicit_port_is_listed_as_the_unit()
{
    QVERIFY(pty->start());
    d2xx_install_backend(std::make_shared<tty_backend>(sysfs->path(), "/dev", pty->slave_path()));
    const auto list = device_list();
    QCOMPARE(list.size(), size_t(1));
    QCOMPARE(QByteArray(list[0].Description), QByteArray("MERIX 3"));
    QCOMPARE(QByteArray(list[0].SerialNumber),
             tty_backend::serial_for_port(pty->slave_path(), "/dev"));
    QVERIFY(QByteArray(list[0].SerialNumber).startsWith("pts/"));

    // A name without a directory is taken from /dev.
    const QString relative = pty->slave_path().mid(5);
    d2xx_install_backend(std::make_shared<tty_backend>(sysfs->path(), "/dev", relative));
    QCOMPARE(device_list().size(), size_t(1));
    QByteArray serial = relative.toLocal8Bit();
    QCOMPARE(FT_OpenEx(serial.data(), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
}

void test_tty_backend::open_leaves_a_raw_tty_without_flow_control()
{
    open_unit_on_pty();
    if (QTest::currentTestFailed())
        return;
    const int fd = backend->native_fd(handle);
    QVERIFY(fd >= 0);
    QCOMPARE(backend->native_fd(reinterpret_cast<FT_HANDLE>(0x7777)), -1);
    termios settings{};
    QCOMPARE(::tcgetattr(fd, &settings), 0);
    QCOMPARE(settings.c_cflag & HUPCL, tcflag_t(0));
    QCOMPARE(settings.c_cflag & CRTSCTS, tcflag_t(0));
    QCOMPARE(settings.c_iflag & (IXON | IXOFF | IXANY), tcflag_t(0));
    QCOMPARE(settings.c_iflag & (ICRNL | ISTRIP), tcflag_t(0));
    QCOMPARE(settings.c_oflag & OPOST, tcflag_t(0));
    QCOMPARE(settings.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t(0));
    QCOMPARE(settings.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));
    QCOMPARE(settings.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    // No baud rate is set: the driver's stays.
    QCOMPARE(::cfgetospeed(&settings), speed_before_open);
#ifdef TIOCGEXCL
    int exclusive = 0;
    QCOMPARE(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
    QVERIFY(exclusive);
#endif

    // Closed, the port has the settings it was found with again, all but HUPCL, which would
    // have dropped DTR and RTS on the close.
    termios found{};
    const int before = ::open(QFile::encodeName(pty->slave_path()).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(before >= 0);
    QCOMPARE(FT_Close(handle), FT_OK);
    handle = nullptr;
    QCOMPARE(::tcgetattr(before, &found), 0);
    ::close(before);
    QCOMPARE(found.c_iflag & (IXON | IXOFF | IXANY | ICRNL | ISTRIP),
             tcflag_t(IXON | IXOFF | IXANY | ICRNL | ISTRIP));
    QCOMPARE(found.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(ICANON | ECHO | ISIG));
    QCOMPARE(found.c_cflag & (CRTSCTS | HUPCL), tcflag_t(CRTSCTS));
}

void test_tty_backend::latency_timer_without_attribute_warns_and_succeeds()
{
    open_unit_on_pty();
    if (QTest::currentTestFailed())
        return;
    log_capture log;
    QCOMPARE(FT_SetLatencyTimer(handle, 2), FT_OK);
    QCOMPARE(log.count("latency timer", QtWarningMsg), 1);
}

void test_tty_backend::parameter_read_is_answered_byte_exact()
{
    open_unit_on_pty();
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(write_all(handle, QByteArray::fromHex("C3050001B671")), FT_OK);
    QCOMPARE(read_bytes(handle, 5), QByteArray::fromHex("3C05FA0201"));
    QCOMPARE(unit->received_frames(), QList<QByteArray>{QByteArray::fromHex("C3050001B671")});
}

void test_tty_backend::typed_write_is_acknowledged()
{
    open_unit_on_pty();
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(write_all(handle, build_frame(msg_write_int1, QByteArray::fromHex("012322"))), FT_OK);
    QCOMPARE(read_bytes(handle, 3), QByteArray::fromHex("3C07F8"));
    QCOMPARE(unit->pump_prime_delay(), quint16(0x0123));
}

void test_tty_backend::flow_control_bytes_pass_both_ways()
{
    open_unit_on_pty();
    if (QTest::currentTestFailed())
        return;
    const QByteArray table = every_byte_table();
    QVERIFY(table.contains('\x11') && table.contains('\x13'));
    QCOMPARE(write_all(handle, build_frame(msg_write_main_table, table)), FT_OK);
    QCOMPARE(read_bytes(handle, 3), QByteArray::fromHex("3C0BF4"));
    QCOMPARE(unit->table(1), table);

    QCOMPARE(write_all(handle, read_request(param_main_table)), FT_OK);
    QCOMPARE(read_bytes(handle, 3 + 640), QByteArray::fromHex("3C05FA") + table);
}

void test_tty_backend::queue_status_counts_waiting_bytes()
{
    open_unit_on_pty();
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(queued(handle), DWORD(0));
    QCOMPARE(write_all(handle, fixed_frame(frame_read_fw_version)), FT_OK);
    QTRY_COMPARE(queued(handle), DWORD(5));
    QCOMPARE(read_bytes(handle, 2), QByteArray::fromHex("3C05"));
    QCOMPARE(queued(handle), DWORD(3));
    DWORD rx = 0, tx = 1, events = 1;
    QCOMPARE(FT_GetStatus(handle, &rx, &tx, &events), FT_OK);
    QCOMPARE(rx, DWORD(3));
    QCOMPARE(tx, DWORD(0));
}

void test_tty_backend::read_returns_fewer_bytes_at_the_time_out()
{
    open_unit_on_pty();
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(FT_SetTimeouts(handle, 200, 1000), FT_OK);
    QCOMPARE(write_all(handle, fixed_frame(frame_read_fw_version)), FT_OK);
    QElapsedTimer timer;
    timer.start();
    FT_STATUS status = FT_OTHER_ERROR;
    QCOMPARE(read_bytes(handle, 10, &status), QByteArray::fromHex("3C05FA0201"));
    QCOMPARE(status, FT_OK);
    QVERIFY2(timer.elapsed() >= 190, qPrintable(QString::number(timer.elapsed())));
    // Nothing at all: no bytes, still FT_OK.
    QCOMPARE(read_bytes(handle, 1, &status), QByteArray());
    QCOMPARE(status, FT_OK);
}

void test_tty_backend::purge_empties_the_receive_queue()
{
    open_unit_on_pty();
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(write_all(handle, fixed_frame(frame_read_variant)), FT_OK);
    QTRY_COMPARE(queued(handle), DWORD(4));
    QCOMPARE(FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    QCOMPARE(queued(handle), DWORD(0));
    // The next reply is not preceded by stale bytes.
    QCOMPARE(write_all(handle, fixed_frame(frame_read_fw_version)), FT_OK);
    QCOMPARE(read_bytes(handle, 5), QByteArray::fromHex("3C05FA0201"));
    QCOMPARE(write_all(handle, fixed_frame(frame_read_variant)), FT_OK);
    QTRY_COMPARE(queued(handle), DWORD(4));
    QCOMPARE(FT_ResetDevice(handle), FT_OK);
    QCOMPARE(queued(handle), DWORD(0));
}

void test_tty_backend::unplugging_fails_status_and_traffic()
{
    open_unit_on_pty();
    if (QTest::currentTestFailed())
        return;
    DWORD rx = 0, tx = 0, events = 0;
    QCOMPARE(FT_GetStatus(handle, &rx, &tx, &events), FT_OK);

    pty->stop(); // the bridge is pulled out
    QVERIFY(FT_GetStatus(handle, &rx, &tx, &events) != FT_OK);
    QCOMPARE(FT_GetStatus(handle, &rx, &tx, &events), FT_IO_ERROR);
    FT_STATUS status = FT_OK;
    read_bytes(handle, 5, &status);
    QCOMPARE(status, FT_IO_ERROR);
    QCOMPARE(write_all(handle, fixed_frame(frame_read_fw_version)), FT_IO_ERROR);
    QCOMPARE(device_list().size(), size_t(0));
    // Closing the stale handle still works and frees it.
    QCOMPARE(FT_Close(handle), FT_OK);
    QCOMPARE(FT_Close(handle), FT_INVALID_HANDLE);
    handle = nullptr;
}

void test_tty_backend::calls_on_unknown_handles_fail()
{
    d2xx_install_backend(std::make_shared<tty_backend>(sysfs->path(), "/dev"));
    const FT_HANDLE bogus = reinterpret_cast<FT_HANDLE>(0x1234);
    char buffer[4] = {};
    DWORD count = 0, tx = 0, events = 0;
    for (FT_HANDLE h : {FT_HANDLE(nullptr), bogus}) {
        QCOMPARE(FT_SetTimeouts(h, 1, 1), FT_INVALID_HANDLE);
        QCOMPARE(FT_SetLatencyTimer(h, 2), FT_INVALID_HANDLE);
        QCOMPARE(FT_Read(h, buffer, 4, &count), FT_INVALID_HANDLE);
        QCOMPARE(FT_Write(h, buffer, 4, &count), FT_INVALID_HANDLE);
        QCOMPARE(FT_GetQueueStatus(h, &count), FT_INVALID_HANDLE);
        QCOMPARE(FT_GetStatus(h, &count, &tx, &events), FT_INVALID_HANDLE);
        QCOMPARE(FT_Purge(h, 3), FT_INVALID_HANDLE);
        QCOMPARE(FT_ResetDevice(h), FT_INVALID_HANDLE);
        QCOMPARE(FT_Close(h), FT_INVALID_HANDLE);
    }
}

void test_tty_backend::a_port_that_is_not_a_tty_is_refused()
{
    const QString path = sysfs->path() + "/plain_file";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    d2xx_install_backend(std::make_shared<tty_backend>(sysfs->path(), "/dev", path));
    QCOMPARE(device_list().size(), size_t(1));
    const int fds = open_fd_count();
    log_capture log;
    QByteArray serial = tty_backend::serial_for_port(path, "/dev");
    QCOMPARE(FT_OpenEx(serial.data(), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_OPENED);
    QVERIFY(!handle);
    QVERIFY(log.contains("not a serial port", QtWarningMsg));
    QCOMPARE(open_fd_count(), fds);
    // The system's reason, for the user to read.
    QCOMPARE(d2xx_last_open_failure().port, path);
    QCOMPARE(d2xx_last_open_failure().error, ENOTTY);
}

void test_tty_backend::a_reply_in_two_pieces_comes_out_whole()
{
    open_unit_on_pty();
    if (QTest::currentTestFailed())
        return;
    // The second half comes 60 ms after the first, while the one read waits for all ten.
    unit->send_raw(QByteArray::fromHex("0102030405"));
    unit->set_link_delay(std::chrono::milliseconds(60));
    unit->send_raw(QByteArray::fromHex("060708090a"));
    FT_STATUS status = FT_OTHER_ERROR;
    QCOMPARE(read_bytes(handle, 10, &status).toHex(), QByteArray("0102030405060708090a"));
    QCOMPARE(status, FT_OK);
}

void test_tty_backend::a_port_leading_to_another_device_fails_status()
{
    QVERIFY(pty->start());
    // The port is named by a link, as /dev/serial/by-id names a bridge.
    const QString port = sysfs->filePath("rq7_port");
    QVERIFY(QFile::link(pty->slave_path(), port));
    backend = std::make_shared<tty_backend>(sysfs->path(), "/dev", port);
    d2xx_install_backend(backend);
    QByteArray serial = tty_backend::serial_for_port(port, "/dev");
    QCOMPARE(FT_OpenEx(serial.data(), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
    DWORD rx = 0, tx = 0, events = 0;
    QCOMPARE(FT_GetStatus(handle, &rx, &tx, &events), FT_OK);

    // Our bridge still answers, but the name now leads to another one.
    sim_pty other(std::make_shared<rq7_sim_unit>());
    QVERIFY(other.start());
    QVERIFY(QFile::remove(port));
    QVERIFY(QFile::link(other.slave_path(), port));
    QCOMPARE(FT_GetStatus(handle, &rx, &tx, &events), FT_IO_ERROR);
}

QTEST_GUILESS_MAIN(test_tty_backend)
#include "test_tty_backend.moc"
