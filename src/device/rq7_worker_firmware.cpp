// SPDX-License-Identifier: GPL-3.0-or-later
// Firmware update: restart the unit into its resident bootloader, send the Intel HEX image
// line by line under the bootloader's byte handshake, and identify the unit again.
#include "fw_image.h"
#include "rq7_worker.h"

#include <QDebug>
#include <QFile>
#include <QThread>
#include <QTimer>

using namespace rq7_protocol;

namespace {

constexpr char xoff = 0x13;
constexpr char ack = 0x06;
constexpr char xon = 0x11;
constexpr char carriage_return = 0x0D;

// The bootloader's greeting has arrived by then.
constexpr unsigned long bootloader_start_ms = 100;
constexpr unsigned long after_programming_ms = 5;
/// Time the bootloader gets to answer a line left over from a transfer cut short.
constexpr unsigned long leftover_line_answer_ms = 50;
constexpr int progress_step_lines = 10;

quint8 byte_at(const QByteArray& bytes, int i)
{
    return static_cast<quint8>(bytes.at(i));
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

void rq7_worker::start_fw_program(QString fw_location)
{
    if (posted_to_worker("start_fw_program", Q_ARG(QString, fw_location)))
        return;
    // A broken image found only once the bootloader is overwriting the firmware would leave
    // the unit without any: refuse it while the unit still runs its application.
    QByteArray image;
    if (read_fw_image(fw_location, image) != FT_OK) {
        emit fw_programmed(FT_OTHER_ERROR, fw_version, variant);
        return;
    }
    if (live_poll_timer->isActive())
        stop_live_logging(false); // not restarted: the unit restarts with new firmware

    qDebug("Reset into bootloader");
    emit reset_progress(50);
    FT_STATUS status = reset_into_bootloader();
    if (status != FT_OK) {
        emit fw_programmed(status, 0, variant_nv);
        return;
    }
    emit reset_progress(100);
    qDebug("Start fw programming");
    status = program_fw(fw_location);
    identify_unit();
    store_variant();
    emit fw_programmed(status, fw_version, variant);
}

FT_STATUS rq7_worker::read_fw_image(const QString& fw_location, QByteArray& image)
{
    if (fw_location.isEmpty()) {
        qCritical("FW location empty");
        return FT_OTHER_ERROR;
    }
    QFile file(fw_location);
    if (!file.open(QIODevice::ReadOnly)) {
        qCritical().noquote() << "Unable to open file" << fw_location << ":" << file.errorString();
        return FT_OTHER_ERROR;
    }
    const QString too_large = fw_image::too_large(fw_location);
    if (!too_large.isEmpty()) {
        qCritical().noquote() << "Not a valid FW image, nothing was sent to the unit:" << too_large;
        return FT_OTHER_ERROR;
    }
    image = file.readAll();
    const fw_image::check_result checked = fw_image::check(image);
    if (!checked.valid) {
        qCritical().noquote() << "Not a valid FW image, nothing was sent to the unit:"
                              << fw_location << "-" << fw_image::describe(checked);
        return FT_OTHER_ERROR;
    }
    return FT_OK;
}

FT_STATUS rq7_worker::reset_into_bootloader()
{
    if (!link_open())
        return FT_DEVICE_NOT_OPENED;
    qDebug("Start reset into bootloader");
    if (fw_version == 0) {
        qDebug("Alread in bootloader mode");
        return FT_OK;
    }
    stop_live_logging(true);
    // Reading parameter C0 makes the application restart into the bootloader.
    QByteArray request = fixed_frame(frame_reset_to_bootloader);
    QByteArray reply;
    FT_STATUS status = get_param(request, reply, 0);
    if (status != FT_OK) {
        qWarning("Could not reset device, suggest you power-cycle the unit");
        return status;
    }
    QThread::msleep(bootloader_start_ms);
    QByteArray greeting;
    status = read_bootloader_greeting(greeting);
    if (status != FT_OK)
        return status;
    return recognise_bootloader(greeting);
}

FT_STATUS rq7_worker::read_bootloader_greeting(QByteArray& greeting)
{
    DWORD waiting = 0;
    const FT_STATUS status = FT_GetQueueStatus(handle, &waiting);
    if (status != FT_OK) {
        qCritical("Cannot get queue status, disconnecting");
        close();
        return status;
    }
    if (waiting < 2) {
        qCritical("Could not reset properly, no data from device: %lu",
                  static_cast<unsigned long>(waiting));
        return FT_IO_ERROR;
    }
    greeting = QByteArray(static_cast<int>(waiting), '\0');
    DWORD read = 0;
    if (ft_read_wrap(handle, greeting.data(), waiting, &read) != FT_OK || read < waiting) {
        qCritical("Could not read from device");
        close();
        return FT_IO_ERROR;
    }
    return FT_OK;
}

/// The bootloader names its version ("v3"); anything else is the application or noise.
FT_STATUS rq7_worker::recognise_bootloader(const QByteArray& greeting)
{
    const int v = greeting.indexOf('v');
    if (v >= 0) {
        if (v + 1 >= greeting.size() || !is_digit(greeting.at(v + 1))) {
            qCritical("Found a 'v' but not the actual bootloader version (this should never "
                      "happen). Some kind of comms issue?");
            return FT_OTHER_ERROR;
        }
        qDebug("In bootloader mode");
        fw_version = 0;
        emit opened(serial_number, fw_version, variant);
        return FT_OK;
    }
    qCritical("Could not reset into bootloader mode. Either FW is too old (must be greater than "
              "v1.60) or there was a comms issue (power cycle the board).");
    identify_unit();
    if (!link_open())
        return FT_OTHER_ERROR; // the link failed while identifying; `closed` told the window
    store_variant();
    emit opened(serial_number, fw_version, variant);
    return FT_OTHER_ERROR;
}

FT_STATUS rq7_worker::program_fw(QString fw_location)
{
    const bool user_rw_debug = rw_debug;
    if (!link_open())
        return FT_DEVICE_NOT_OPENED;
    QByteArray image;
    if (read_fw_image(fw_location, image) != FT_OK)
        return FT_OTHER_ERROR;
    // Tracing thousands of lines would swamp the debug log.
    rw_debug = false;
    qDebug("Programming fw...");
    emit fw_progress(0);

    bool handshake_failed = false;
    FT_STATUS status = start_fw_transfer();
    if (status == FT_OK) {
        status = send_fw_lines(image);
        handshake_failed = status != FT_OK;
    }
    if (status == FT_OK) {
        status = finish_fw_transfer();
        handshake_failed = status != FT_OK;
    }
    rw_debug = user_rw_debug;
    if (handshake_failed)
        qCritical("Programming failed! Reset the board, check connections/power, and try again.");
    return status;
}

/// A lone carriage return ends whatever the bootloader may have collected as a line. After a
/// transfer that was cut short, that is the rest of a line and every request sent since: the
/// bootloader answers that "line" (XOFF NAK XON) and counts the image as broken until an
/// empty line starts a new transfer, so once its answer is in, a second carriage return
/// follows. Without one, every later attempt would be refused until the unit is powered off.
FT_STATUS rq7_worker::start_fw_transfer()
{
    FT_STATUS status = write_carriage_return();
    if (status != FT_OK)
        return status;
    QThread::msleep(leftover_line_answer_ms);
    DWORD waiting = 0;
    status = FT_GetQueueStatus(handle, &waiting);
    if (status != FT_OK) {
        qCritical("Cannot get queue status, disconnecting");
        close();
        return status;
    }
    if (waiting == 0)
        return FT_OK;
    qDebug("The bootloader held the rest of an earlier transfer; starting over");
    QByteArray answer;
    wait_then_read(answer, 3); // XOFF, NAK or ACK, XON; a late XON only costs the wait
    status = FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX);
    if (status != FT_OK) {
        qCritical("Cannot purge Rx/Tx buffers, disconnecting");
        close();
        return status;
    }
    return write_carriage_return();
}

FT_STATUS rq7_worker::write_carriage_return()
{
    char cr = carriage_return;
    DWORD written = 0;
    if (ft_write_wrap(handle, &cr, 1, &written) != FT_OK) {
        qCritical("Cannot write \\r to device");
        return FT_IO_ERROR;
    }
    if (written < 1) {
        qCritical("Could not write all data to device");
        return FT_IO_ERROR;
    }
    return FT_OK;
}

FT_STATUS rq7_worker::send_fw_lines(const QByteArray& image)
{
    const int line_feeds = image.count('\n');
    const QList<QByteArray> lines = image.split('\n');
    bool first_sent = true;
    for (int n = 0; n < lines.size(); ++n) {
        const int line_count = n + 1; // skipped lines count too
        QByteArray line = fw_image::line_to_send(lines.at(n));
        if (line.isEmpty())
            continue;
        line.append(carriage_return);
        if (first_sent && line.startsWith(':') && !line.startsWith(fw_image::base_address_record)) {
            const FT_STATUS status =
                write_fw_line(QByteArray(fw_image::base_address_record) + carriage_return);
            if (status != FT_OK)
                return status;
        }
        first_sent = false;
        const FT_STATUS status = write_fw_line(line);
        if (status != FT_OK)
            return status;
        if (line_count % progress_step_lines == 0 && line_feeds > 0)
            emit fw_progress(qMin(line_count * 100 / line_feeds, 100));
    }
    return FT_OK;
}

/// After the end-of-file record the bootloader confirms the whole image with ACK XON.
FT_STATUS rq7_worker::finish_fw_transfer()
{
    QByteArray answer;
    const FT_STATUS status = wait_then_read(answer, 2);
    if (status != FT_OK)
        return status;
    if (answer.at(0) != ack) {
        qCritical("First byte was not ACK: 0x%02x", byte_at(answer, 0));
        return FT_IO_ERROR;
    }
    if (answer.at(1) != xon) {
        qCritical("Second byte was not XON: 0x%02x", byte_at(answer, 1));
        return FT_IO_ERROR;
    }
    emit fw_progress(100);
    qDebug("Programming completed!");
    QThread::msleep(after_programming_ms);
    return FT_OK;
}

FT_STATUS rq7_worker::write_fw_line(QByteArray line)
{
    if (!link_open())
        return FT_DEVICE_NOT_OPENED;
    FT_STATUS status = purge_or_disconnect();
    if (status != FT_OK)
        return status;
    DWORD written = 0;
    status = ft_write_wrap(handle, line.data(), static_cast<DWORD>(line.size()), &written);
    if (status != FT_OK) {
        qCritical("Cannot write msg %s", hex_prefix(line, 5).constData());
        return status;
    }
    if (written < static_cast<DWORD>(line.size())) {
        qCritical("Could not write all data to device. msg length=%d  bytes=%ld", line.size(),
                  static_cast<long>(written));
        return FT_IO_ERROR;
    }
    // XOFF ACK: the bootloader has taken the line; XON: it is ready for the next one.
    QByteArray answer;
    status = wait_then_read(answer, 2);
    if (status != FT_OK)
        return status;
    if (answer.at(0) != xoff) {
        qCritical("First char not expected: 0x%02x", byte_at(answer, 0));
        return FT_IO_ERROR;
    }
    if (answer.at(1) != ack) {
        qCritical("Second byte was not ACK: 0x%02x", byte_at(answer, 1));
        return FT_IO_ERROR;
    }
    status = wait_then_read(answer, 1);
    if (status != FT_OK)
        return status;
    if (answer.at(0) != xon) {
        qCritical("Did not receive XON byte from FW: 0x%02x", byte_at(answer, 0));
        return FT_IO_ERROR;
    }
    return FT_OK;
}
