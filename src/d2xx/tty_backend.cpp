// SPDX-License-Identifier: GPL-3.0-or-later
#include "tty_backend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QByteArray unit_description = "MERIX 3";

// Chip generations in the driver's device-type numbering, told apart by the release number
// (bcdDevice) of the USB device.
constexpr ULONG type_bm = 0;
constexpr ULONG type_am = 1;
constexpr ULONG type_unknown = 3;
constexpr ULONG type_2232c = 4;
constexpr ULONG type_2232h = 6;
constexpr ULONG type_4232h = 7;
constexpr ULONG type_232h = 8;
constexpr ULONG type_x_series = 9;

ULONG type_from_release(const QByteArray& bcd_device)
{
    bool ok = false;
    const uint release = bcd_device.toUInt(&ok, 16);
    if (!ok)
        return type_unknown;
    switch (release) {
    case 0x0200:
        return type_am;
    case 0x0400:
        return type_bm;
    case 0x0500:
        return type_2232c;
    case 0x0600:
        return FT_DEVICE_232R;
    case 0x0700:
        return type_2232h;
    case 0x0800:
        return type_4232h;
    case 0x0900:
        return type_232h;
    case 0x1000:
        return type_x_series;
    default:
        return type_unknown;
    }
}

/// Errors of the system calls in the driver's status numbering:
/// - EIO, ENODEV, ENXIO, EPIPE: the device went away under an open handle (a hung-up tty
///   answers EIO) -> FT_IO_ERROR;
/// - EBADF: the descriptor is not (or no longer) valid -> FT_INVALID_HANDLE;
/// - ENOENT: there is no such device node -> FT_DEVICE_NOT_FOUND;
/// - EBUSY, EACCES, EPERM: the device exists but cannot be had (another program holds it
///   exclusively, or the user lacks the rights) -> FT_DEVICE_NOT_OPENED;
/// - ENOMEM -> FT_INSUFFICIENT_RESOURCES; EINVAL -> FT_INVALID_PARAMETER;
/// - anything else -> FT_OTHER_ERROR.
FT_STATUS status_from_errno(int error)
{
    switch (error) {
    case EIO:
    case ENODEV:
    case ENXIO:
    case EPIPE:
        return FT_IO_ERROR;
    case EBADF:
        return FT_INVALID_HANDLE;
    case ENOENT:
        return FT_DEVICE_NOT_FOUND;
    case EBUSY:
    case EACCES:
    case EPERM:
        return FT_DEVICE_NOT_OPENED;
    case ENOMEM:
        return FT_INSUFFICIENT_RESOURCES;
    case EINVAL:
        return FT_INVALID_PARAMETER;
    default:
        return FT_OTHER_ERROR;
    }
}

/// A sysfs attribute without its trailing newline; empty when it cannot be read.
QByteArray read_attribute(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray text = file.readAll();
    while (text.endsWith('\n'))
        text.chop(1);
    return text;
}

/// Bus number, then one hex digit per hub port: port 2 of the hub on port 4 of bus 1 reads
/// 0x142. Stable while the bridge stays in the same socket.
DWORD location_id(const QString& usb_device_dir)
{
    bool ok = false;
    DWORD location = read_attribute(usb_device_dir + "/busnum").toUInt(&ok);
    if (!ok)
        return 0;
    const QByteArray path = read_attribute(usb_device_dir + "/devpath");
    for (const QByteArray& hop : path.split('.'))
        location = (location << 4) | (hop.toUInt() & 0xF);
    return location;
}

ULONG usb_id(const QString& usb_device_dir)
{
    bool vendor_ok = false;
    bool product_ok = false;
    const uint vendor = read_attribute(usb_device_dir + "/idVendor").toUInt(&vendor_ok, 16);
    const uint product = read_attribute(usb_device_dir + "/idProduct").toUInt(&product_ok, 16);
    return vendor_ok && product_ok ? (vendor << 16) | (product & 0xFFFF) : 0;
}

/// The ports of a bridge with several interfaces share its serial number; each is listed
/// with the interface's letter appended (A for the first), so that each can be opened.
QByteArray interface_letter(const QString& usb_device_dir, const QString& interface_dir)
{
    const int interfaces = read_attribute(usb_device_dir + "/bNumInterfaces").trimmed().toInt();
    if (interfaces < 2)
        return {};
    bool ok = false;
    const uint number = read_attribute(interface_dir + "/bInterfaceNumber").toUInt(&ok, 16);
    return ok && number < 26 ? QByteArray(1, static_cast<char>('A' + number)) : QByteArray();
}

/// "ttyUSB2" before "ttyUSB10": the driver numbers the ports in plugging order.
bool tty_order(const QString& a, const QString& b)
{
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

void copy_text(char* destination, size_t size, const QByteArray& text)
{
    const size_t length = std::min(size - 1, static_cast<size_t>(text.size()));
    std::memcpy(destination, text.constData(), length);
    destination[length] = '\0';
}

/// Milliseconds left until a time-out that started now; a time-out of 0 never ends.
class deadline
{
public:
    explicit deadline(ULONG timeout_ms)
        : endless(timeout_ms == 0)
        , end(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms))
    {}

    /// -1 for no end, else the rest rounded up (0 once it has passed).
    int remaining_ms() const
    {
        if (endless)
            return -1;
        const auto left = end - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return 0;
        return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
    }

private:
    bool endless;
    std::chrono::steady_clock::time_point end;
};

enum class wait_result { ready, timed_out, failed };

/// Waits for `events` on `fd`; a hang-up or error without the awaited event fails.
wait_result wait_for(int fd, short events, int timeout_ms, int* error)
{
    pollfd entry{fd, events, 0};
    const int n = ::poll(&entry, 1, timeout_ms);
    if (n < 0 && errno == EINTR)
        return wait_result::ready; // the caller tries again with the time that is left
    if (n < 0) {
        *error = errno;
        return wait_result::failed;
    }
    if (n == 0)
        return wait_result::timed_out;
    if (entry.revents & events)
        return wait_result::ready;
    *error = (entry.revents & POLLNVAL) ? EBADF : EIO;
    return wait_result::failed;
}

/// Waits until the port is ready for `events`, or sets `timed_out` once the deadline passed.
FT_STATUS await_port(int fd, short events, const deadline& until, bool* timed_out)
{
    const int wait_ms = until.remaining_ms();
    int error = 0;
    *timed_out = wait_ms == 0;
    if (*timed_out)
        return FT_OK;
    switch (wait_for(fd, events, wait_ms, &error)) {
    case wait_result::ready:
        return FT_OK;
    case wait_result::timed_out:
        *timed_out = true;
        return FT_OK;
    case wait_result::failed:
        return status_from_errno(error);
    }
    return FT_OK;
}

/// Raw 8N1 without any flow control, leaving the baud rate as the driver has it. `original`
/// receives the settings found (and `found` says whether they could be read); `error` the
/// system's error number on failure.
FT_STATUS configure_raw(int fd, const QString& path, termios* original, bool* found, int* error)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) {
        *error = errno;
        qWarning("%s is not a serial port: %s", qUtf8Printable(path), std::strerror(*error));
        return *error == ENOTTY ? FT_DEVICE_NOT_OPENED : status_from_errno(*error);
    }
    *original = settings;
    *found = true;
    // Another program opening the port would steal bytes from the replies.
    if (::ioctl(fd, TIOCEXCL) != 0) {
        *error = errno;
        qWarning("Cannot lock %s for this program: %s", qUtf8Printable(path),
                 std::strerror(*error));
        return status_from_errno(*error);
    }
    ::cfmakeraw(&settings);
    // With software flow control the terminal layer swallows 0x11 and 0x13, which the
    // bootloader handshake sends as data. Hardware flow control would stall on a bridge
    // whose CTS is not wired. HUPCL would drop DTR and RTS when the port is closed.
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    // At least one byte per read: with VMIN 0 a read of an idle port returns 0 like a
    // hung-up one, and unplugging could not be told apart from silence.
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
        *error = errno;
        qWarning("Cannot set raw mode on %s: %s", qUtf8Printable(path), std::strerror(*error));
        return status_from_errno(*error);
    }
    // tcsetattr succeeds when any of the settings was taken, so check the ones that matter.
    termios taken{};
    if (::tcgetattr(fd, &taken) != 0 || (taken.c_iflag & (IXON | IXOFF | IXANY)) ||
        (taken.c_cflag & (CRTSCTS | HUPCL)) || (taken.c_lflag & (ICANON | ECHO | ISIG))) {
        *error = ENOTSUP;
        qWarning("%s does not take raw mode without flow control", qUtf8Printable(path));
        return FT_DEVICE_NOT_OPENED;
    }
    return FT_OK;
}

} // namespace

/// An open bridge. The descriptor is closed when the last user lets go, so a close on one
/// thread never pulls the descriptor from under a read on another.
struct tty_backend::port
{
    found_device dev;
    int fd = -1;
    dev_t rdev = 0;
    std::atomic<ULONG> read_timeout{0}; // 0: wait until all bytes came
    std::atomic<ULONG> write_timeout{0};
    bool has_original = false;
    termios original{}; // the settings found at the open

    ~port()
    {
        if (fd < 0)
            return;
        // The port goes back to the settings it had, and unlocked, so that the next program
        // finds it as before; all but HUPCL, which would drop DTR and RTS on this very close.
        if (has_original) {
            termios back = original;
            back.c_cflag &= ~HUPCL;
            ::tcsetattr(fd, TCSANOW, &back);
            ::ioctl(fd, TIOCNXCL);
        }
        ::close(fd);
    }
};

tty_backend::tty_backend(const QString& sysfs_root_dir, const QString& dev_directory,
                         const QString& port_path)
    : sysfs_root(sysfs_root_dir)
    , dev_dir(dev_directory)
    // "--port ttyUSB0" means the node in the device directory.
    , explicit_port(port_path.isEmpty() || QDir::isAbsolutePath(port_path)
                        ? port_path
                        : dev_directory + '/' + port_path)
{}

tty_backend::~tty_backend() = default;

QByteArray tty_backend::serial_for_port(const QString& port_path, const QString& dev_dir)
{
    const QString path = QDir::cleanPath(port_path);
    const QString prefix = QDir::cleanPath(dev_dir) + '/';
    const QString name =
        path.startsWith(prefix) ? path.mid(prefix.size()) : QFileInfo(path).fileName();
    const QByteArray serial = QFile::encodeName(name);
    // The device list holds 15 characters and a terminating zero; the end of the name is
    // what tells ports apart.
    return serial.size() > 15 ? serial.right(15) : serial;
}

int tty_backend::native_fd(FT_HANDLE handle) const
{
    auto p = port_for(handle);
    return p ? p->fd : -1;
}

// ---- enumeration ----

QVector<tty_backend::found_device> tty_backend::scan() const
{
    if (explicit_port.isEmpty())
        return scan_sysfs();
    QVector<found_device> found;
    // An unplugged adapter leaves no node: list nothing, as when no bridge is attached.
    if (QFileInfo::exists(explicit_port))
        found.append(explicit_device());
    else
        qWarning("There is no port %s (is the bridge plugged in?)", qUtf8Printable(explicit_port));
    return found;
}

QVector<tty_backend::sysfs_port> tty_backend::sysfs_ports(const QString& sysfs_root)
{
    const QString serial_devices = sysfs_root + "/bus/usb-serial/devices";
    QStringList names = QDir(serial_devices).entryList({"ttyUSB*"}, QDir::Dirs | QDir::System);
    std::sort(names.begin(), names.end(), tty_order);

    QVector<sysfs_port> found;
    for (const QString& name : qAsConst(names)) {
        // Each entry links to the port in the USB device tree:
        // .../usb1/1-4/1-4.2/1-4.2:1.0/ttyUSB0 (USB device, its interface, the port).
        sysfs_port entry;
        entry.port_dir = QFileInfo(serial_devices + '/' + name).canonicalFilePath();
        if (entry.port_dir.isEmpty())
            continue;
        const QString interface_dir = QFileInfo(entry.port_dir).path();
        entry.usb_device_dir = QFileInfo(interface_dir).path();
        entry.tty_name = name;
        const QString driver = QFileInfo(entry.port_dir + "/driver").symLinkTarget();
        if (!driver.isEmpty())
            entry.driver = QFileInfo(driver).fileName();
        if (QFileInfo::exists(entry.port_dir + "/latency_timer"))
            entry.latency_attr = entry.port_dir + "/latency_timer";
        entry.product = read_attribute(entry.usb_device_dir + "/product");
        entry.serial = read_attribute(entry.usb_device_dir + "/serial");
        if (!entry.serial.isEmpty())
            entry.serial += interface_letter(entry.usb_device_dir, interface_dir);
        found.append(entry);
    }
    return found;
}

QVector<tty_backend::found_device> tty_backend::scan_sysfs() const
{
    QVector<found_device> found;
    for (const sysfs_port& entry : sysfs_ports(sysfs_root)) {
        found_device dev;
        dev.tty_name = entry.tty_name;
        dev.node_path = dev_dir + '/' + entry.tty_name;
        dev.latency_attr = entry.latency_attr;
        dev.description = entry.product;
        // A bridge without a serial number could not be opened by it: give it the port's name.
        dev.serial = entry.serial.isEmpty() ? QFile::encodeName(entry.tty_name) : entry.serial;
        dev.type = type_from_release(read_attribute(entry.usb_device_dir + "/bcdDevice"));
        dev.id = usb_id(entry.usb_device_dir);
        dev.location = location_id(entry.usb_device_dir);
        found.append(dev);
    }
    return found;
}

tty_backend::found_device tty_backend::explicit_device() const
{
    found_device dev;
    dev.node_path = explicit_port;
    dev.serial = serial_for_port(explicit_port, dev_dir);
    dev.description = unit_description;
    dev.type = FT_DEVICE_232R;
    // A link such as /dev/serial/by-id/... may lead to a bridge whose driver has a latency
    // timer after all.
    const QString target = QFileInfo(explicit_port).canonicalFilePath();
    dev.tty_name = QFileInfo(target).fileName();
    const QString attribute =
        sysfs_root + "/bus/usb-serial/devices/" + dev.tty_name + "/latency_timer";
    if (!dev.tty_name.isEmpty() && QFileInfo::exists(attribute))
        dev.latency_attr = attribute;
    return dev;
}

FT_STATUS tty_backend::create_device_info_list(DWORD* num_devices)
{
    const QVector<found_device> found = scan();
    std::lock_guard<std::mutex> lock(mutex);
    listed = found;
    last_failure = {}; // a new search: an earlier open's trouble is history
    *num_devices = static_cast<DWORD>(listed.size());
    return FT_OK;
}

FT_STATUS tty_backend::get_device_info_list(FT_DEVICE_LIST_INFO_NODE* list, DWORD* num_devices)
{
    std::lock_guard<std::mutex> lock(mutex);
    const DWORD count = std::min(*num_devices, static_cast<DWORD>(listed.size()));
    for (DWORD i = 0; i < count; ++i) {
        const found_device& dev = listed.at(static_cast<int>(i));
        FT_DEVICE_LIST_INFO_NODE& node = list[i];
        std::memset(&node, 0, sizeof node);
        node.Type = dev.type;
        node.ID = dev.id;
        node.LocId = dev.location;
        copy_text(node.SerialNumber, sizeof node.SerialNumber, dev.serial);
        copy_text(node.Description, sizeof node.Description, dev.description);
        node.ftHandle = handle_of_locked(dev.node_path);
        node.Flags = node.ftHandle ? FT_FLAGS_OPENED : 0;
    }
    *num_devices = count;
    return FT_OK;
}

QString tty_backend::port_name(const char* serial) const
{
    std::lock_guard<std::mutex> lock(mutex);
    for (const found_device& dev : listed)
        if (qstrncmp(dev.serial.constData(), serial,
                     sizeof FT_DEVICE_LIST_INFO_NODE::SerialNumber) == 0)
            return dev.node_path;
    return QString();
}

// ---- open and close ----

FT_STATUS tty_backend::open_by_serial(const char* serial, FT_HANDLE* handle)
{
    note_open_failure({});
    // Look again: the bridge may have come or gone since the list was made.
    const QVector<found_device> found = scan();
    const QByteArray wanted(serial);
    for (const found_device& dev : found) {
        // Compare as the device list shows the serial number: cut to its field.
        if (dev.serial.left(15) == wanted.left(15))
            return open_device(dev, handle);
    }
    return FT_DEVICE_NOT_FOUND;
}

FT_STATUS tty_backend::open_device(const found_device& dev, FT_HANDLE* handle)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (handle_of_locked(dev.node_path))
            return FT_DEVICE_NOT_OPENED; // one handle per device
    }
    // O_NONBLOCK: the open must not wait for carrier detect, and reads and writes wait in
    // poll() with their own time-outs instead of blocking in the driver.
    const int fd = ::open(QFile::encodeName(dev.node_path).constData(),
                          O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        qWarning("Cannot open %s: %s%s", qUtf8Printable(dev.node_path), std::strerror(error),
                 error == EACCES ? " (is the user in the group that owns the port?)" : "");
        note_open_failure({dev.node_path, error});
        return status_from_errno(error);
    }
    auto p = std::make_shared<port>();
    p->fd = fd;
    p->dev = dev;
    int error = 0;
    if (FT_STATUS status =
            configure_raw(fd, dev.node_path, &p->original, &p->has_original, &error)) {
        note_open_failure({dev.node_path, error});
        return status;
    }
    struct stat info
    {};
    if (::fstat(fd, &info) == 0)
        p->rdev = info.st_rdev;

    std::lock_guard<std::mutex> lock(mutex);
    if (handle_of_locked(dev.node_path))
        return FT_DEVICE_NOT_OPENED; // opened meanwhile on another thread
    *handle = reinterpret_cast<FT_HANDLE>(next_handle++);
    ports[*handle] = p;
    return FT_OK;
}

void tty_backend::note_open_failure(const open_failure& failure)
{
    std::lock_guard<std::mutex> lock(mutex);
    last_failure = failure;
}

d2xx_backend::open_failure tty_backend::last_open_failure() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return last_failure;
}

FT_STATUS tty_backend::close(FT_HANDLE handle)
{
    std::lock_guard<std::mutex> lock(mutex);
    return ports.erase(handle) ? FT_OK : FT_INVALID_HANDLE;
}

FT_HANDLE tty_backend::handle_of_locked(const QString& node_path) const
{
    for (const auto& [handle, p] : ports)
        if (p->dev.node_path == node_path)
            return handle;
    return nullptr;
}

std::shared_ptr<tty_backend::port> tty_backend::port_for(FT_HANDLE handle) const
{
    std::lock_guard<std::mutex> lock(mutex);
    auto it = ports.find(handle);
    return it == ports.end() ? nullptr : it->second;
}

// ---- settings ----

FT_STATUS tty_backend::set_timeouts(FT_HANDLE handle, ULONG read_ms, ULONG write_ms)
{
    auto p = port_for(handle);
    if (!p)
        return FT_INVALID_HANDLE;
    p->read_timeout = read_ms;
    p->write_timeout = write_ms;
    return FT_OK;
}

FT_STATUS tty_backend::set_latency_timer(FT_HANDLE handle, UCHAR latency_ms)
{
    auto p = port_for(handle);
    if (!p)
        return FT_INVALID_HANDLE;
    // The bridge holds received bytes until its latency timer runs out (16 ms by default).
    // A longer timer only slows the replies down, so failing to set it is not fatal.
    const QString& attribute = p->dev.latency_attr;
    if (attribute.isEmpty()) {
        qWarning("The latency timer of %s cannot be set (no latency_timer attribute); "
                 "replies may arrive late",
                 qUtf8Printable(p->dev.node_path));
        return FT_OK;
    }
    const QByteArray value = QByteArray::number(latency_ms);
    if (read_attribute(attribute) == value)
        return FT_OK; // already set, for example by a udev rule; writing needs root
    const int fd = ::open(QFile::encodeName(attribute).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    const bool written =
        fd >= 0 && ::write(fd, value.constData(), static_cast<size_t>(value.size())) ==
                       static_cast<ssize_t>(value.size());
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (!written)
        qWarning("Cannot set the latency timer of %s to %d ms through %s: %s; replies may "
                 "arrive late",
                 qUtf8Printable(p->dev.node_path), latency_ms, qUtf8Printable(attribute),
                 std::strerror(error));
    return FT_OK;
}

// ---- traffic ----

FT_STATUS tty_backend::read(FT_HANDLE handle, void* buffer, DWORD length, DWORD* bytes_read)
{
    *bytes_read = 0;
    auto p = port_for(handle);
    if (!p)
        return FT_INVALID_HANDLE;
    const deadline until(p->read_timeout);
    char* out = static_cast<char*>(buffer);
    while (*bytes_read < length) {
        const ssize_t n = ::read(p->fd, out + *bytes_read, length - *bytes_read);
        if (n > 0) {
            *bytes_read += static_cast<DWORD>(n);
            continue;
        }
        if (n == 0)
            return FT_IO_ERROR; // end of file: the tty was hung up, the bridge is gone
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return status_from_errno(errno);
        bool timed_out = false;
        if (const FT_STATUS status = await_port(p->fd, POLLIN, until, &timed_out))
            return status;
        if (timed_out)
            return FT_OK; // fewer bytes than asked
    }
    return FT_OK;
}

FT_STATUS tty_backend::write(FT_HANDLE handle, const void* buffer, DWORD length,
                             DWORD* bytes_written)
{
    *bytes_written = 0;
    auto p = port_for(handle);
    if (!p)
        return FT_INVALID_HANDLE;
    const deadline until(p->write_timeout);
    const char* in = static_cast<const char*>(buffer);
    while (*bytes_written < length) {
        const ssize_t n = ::write(p->fd, in + *bytes_written, length - *bytes_written);
        if (n > 0) {
            *bytes_written += static_cast<DWORD>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return status_from_errno(errno);
        bool timed_out = false;
        if (const FT_STATUS status = await_port(p->fd, POLLOUT, until, &timed_out))
            return status;
        if (timed_out)
            return FT_OK; // the caller sees the short count
    }
    return FT_OK;
}

FT_STATUS tty_backend::get_queue_status(FT_HANDLE handle, DWORD* rx_bytes)
{
    auto p = port_for(handle);
    if (!p)
        return FT_INVALID_HANDLE;
    int waiting = 0;
    if (::ioctl(p->fd, FIONREAD, &waiting) != 0)
        return status_from_errno(errno);
    *rx_bytes = static_cast<DWORD>(std::max(waiting, 0));
    return FT_OK;
}

FT_STATUS tty_backend::get_status(FT_HANDLE handle, DWORD* rx_bytes, DWORD* tx_bytes,
                                  DWORD* event_status)
{
    auto p = port_for(handle);
    if (!p)
        return FT_INVALID_HANDLE;
    // After an unplug the kernel hangs the tty up and its ioctls answer EIO.
    int waiting = 0;
    int unsent = 0;
    if (::ioctl(p->fd, FIONREAD, &waiting) != 0 || ::ioctl(p->fd, TIOCOUTQ, &unsent) != 0)
        return status_from_errno(errno);
    // The node must still lead to our device: it vanishes with the bridge, and a bridge
    // plugged in since then gets a node of the same name but is not ours.
    struct stat info
    {};
    if (::stat(QFile::encodeName(p->dev.node_path).constData(), &info) != 0 ||
        info.st_rdev != p->rdev)
        return FT_IO_ERROR;
    *rx_bytes = static_cast<DWORD>(std::max(waiting, 0));
    *tx_bytes = static_cast<DWORD>(std::max(unsent, 0));
    *event_status = 0;
    return FT_OK;
}

FT_STATUS tty_backend::purge(FT_HANDLE handle, ULONG mask)
{
    auto p = port_for(handle);
    if (!p)
        return FT_INVALID_HANDLE;
    const bool rx = mask & FT_PURGE_RX;
    const bool tx = mask & FT_PURGE_TX;
    if (!rx && !tx)
        return FT_OK;
    const int queue = rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH;
    return ::tcflush(p->fd, queue) == 0 ? FT_OK : status_from_errno(errno);
}

FT_STATUS tty_backend::reset_device(FT_HANDLE handle)
{
    // The chip's own reset request is not reachable through the tty without giving up the
    // port; emptying both queues is what a reset achieves for the link.
    qDebug("The serial driver offers no bridge reset that keeps the port open: only emptying "
           "both queues");
    return purge(handle, FT_PURGE_RX | FT_PURGE_TX);
}
