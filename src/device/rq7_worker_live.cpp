// SPDX-License-Identifier: GPL-3.0-or-later
// The live-data stream: starting and stopping it, taking one frame per poll, and writing the
// frames to the live-log file.
#include "rq7_vars.h"
#include "rq7_worker.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

using namespace rq7_protocol;

namespace {

constexpr int live_frame_size = 70;
constexpr int poll_interval_ms = 1;
constexpr uint last_frame_wait_ms = 100;
constexpr int drain_checks = 30;
// After the stop request the unit's last frames may still be on their way. The line counts
// as quiet once nothing arrived for longer than the gap between two live frames (13 ms at
// 76 frames a second) and the bridge's latency timer; the wait never exceeds the longest
// drain.
constexpr qint64 quiet_line_ms = 20;
constexpr qint64 longest_drain_ms = 250;

} // namespace

void rq7_worker::start_live_logging()
{
    if (posted_to_worker("start_live_logging"))
        return;
    if (live_poll_timer->isActive()) {
        qDebug("Logging already started");
        return;
    }
    if (!link_open()) {
        qWarning("Cannot start logging, not open");
        return;
    }
    qDebug("Start logging");
    QByteArray start(1, '\x55');
    if (set_param(msg_live_data, start) != FT_OK) {
        qCritical("Could not start logging");
        stop_live_logging(true);
        return;
    }
    live_partial.clear();
    live_poll_timer->setTimerType(Qt::PreciseTimer);
    live_poll_timer->start(poll_interval_ms);
    emit log_started();
}

void rq7_worker::stop_live_logging()
{
    if (posted_to_worker("stop_live_logging"))
        return;
    stop_live_logging(false);
}

void rq7_worker::stop_live_logging(bool immediately)
{
    if (posted_to_worker("stop_live_logging", Q_ARG(bool, immediately)))
        return;
    const bool was_logging = live_poll_timer->isActive();
    live_poll_timer->stop();
    emit log_stopped();
    if (!link_open()) {
        qWarning("Can't stop logging, not connected");
        live_partial.clear();
        return;
    }
    if (immediately) {
        qDebug("Stop logging immediately");
    } else if (!was_logging) {
        // Whatever waits in the bridge now is no frame of a recording: it is purged below.
        qDebug("Not logging, nothing to read before stopping");
    } else {
        qDebug("Reading one more time before stopping logging");
        check_log_data_for_period(last_frame_wait_ms);
    }
    send_stop_request();
    live_partial.clear(); // the rest of a cut frame went with the purge
}

void rq7_worker::send_stop_request()
{
    QByteArray request = fixed_frame(frame_stop_live_data);
    DWORD written = 0;
    FT_STATUS status =
        ft_write_wrap(handle, request.data(), static_cast<DWORD>(request.size()), &written);
    if (status != FT_OK) {
        qCritical("Cannot write msg %s", hex_prefix(request, 5).constData());
        return;
    }
    if (written < static_cast<DWORD>(request.size())) {
        qCritical("Could not write all data to device. msg length=%d  bytes read=%ld",
                  request.size(), static_cast<long>(written));
        return;
    }
    // Let the request leave the bridge before the unit's last frames are thrown away.
    DWORD rx = 0, tx = 0, events = 0;
    bool drained = false;
    for (int check = 0; check < drain_checks && !drained; ++check) {
        if (FT_GetStatus(handle, &rx, &tx, &events) != FT_OK) {
            qCritical("Cannot get queue status");
            return;
        }
        drained = tx == 0;
        if (!drained)
            QThread::msleep(1);
    }
    if (!drained) {
        qCritical() << "Need to increase the amount of time we wait for the Tx buffer to clear:"
                    << 0;
        return;
    }
    qDebug() << "Log messages left in queue:" << static_cast<unsigned int>(rx / 70.0);
    wait_for_quiet_line(rx);
    if (FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX) != FT_OK)
        qCritical("Cannot purge Rx/Tx buffers");
}

void rq7_worker::wait_for_quiet_line(DWORD waiting)
{
    QElapsedTimer waited;
    waited.start();
    QElapsedTimer quiet;
    quiet.start();
    while (waited.elapsed() < longest_drain_ms) {
        QThread::msleep(1);
        DWORD now_waiting = 0;
        if (FT_GetQueueStatus(handle, &now_waiting) != FT_OK)
            return; // the purge that follows reports the bridge's trouble
        if (now_waiting != waiting) {
            waiting = now_waiting;
            quiet.restart();
        } else if (quiet.elapsed() >= quiet_line_ms) {
            return;
        }
    }
}

void rq7_worker::check_log_data()
{
    if (posted_to_worker("check_log_data"))
        return;
    check_log_data_for_period(0);
}

bool rq7_worker::live_frame_waiting(uint loop_for_ms)
{
    DWORD waiting = 0;
    for (uint slept = 0;; ++slept) {
        if (FT_GetQueueStatus(handle, &waiting) != FT_OK) {
            qCritical("Cannot get queue status, disconnecting");
            close();
            return false;
        }
        if (waiting >= DWORD(live_frame_size - live_partial.size()))
            break;
        if (slept >= loop_for_ms)
            return false;
        QThread::msleep(1);
    }
    if (waiting >= 2 * live_frame_size)
        qDebug() << "Enqueued mesages:" << waiting / live_frame_size;
    return true;
}

void rq7_worker::check_log_data_for_period(uint loop_for_ms)
{
    if (posted_to_worker("check_log_data_for_period", Q_ARG(uint, loop_for_ms)))
        return;
    if (!link_open()) {
        qWarning("Not connected, stopping logging");
        live_poll_timer->stop();
        return;
    }
    if (!live_frame_waiting(loop_for_ms))
        return;

    // One frame per poll, even when more are waiting: a backlog is worked off tick by tick.
    if (!read_live_frame())
        return;
    QByteArray bytes;
    bytes.swap(live_partial);
    if (quint8(bytes.at(68)) != 0xAA || quint8(bytes.at(69)) != 0xBB) {
        qWarning("Log message not valid, stopping logging");
        stop_live_logging(true);
        return;
    }
    const rq7_frame frame(bytes);
    const unsigned int mark =
        record_live_frame(frame, live_log, logged_marks, live_log_file, logging_to_file);
    if (logging_to_file && mark == 0)
        give_up_log_file(live_log_file.error_string());
    emit log_data_ready(frame);
}

// A short read takes bytes of the stream all the same: they are the start of the frame, and
// the next poll reads only the rest. Thrown away, they would shift every later frame by their
// length, and the next end marker check would stop logging.
bool rq7_worker::read_live_frame()
{
    const int need = live_frame_size - live_partial.size();
    char bytes[live_frame_size];
    DWORD read = 0;
    if (ft_read_wrap(handle, bytes, DWORD(need), &read) != FT_OK) {
        qCritical("Could not read from device");
        return false;
    }
    live_partial.append(bytes, int(qMin(read, DWORD(need))));
    if (read < DWORD(need)) {
        qCritical("Did not read out the expected number of bytes: exp_bytes=%ld, read bytes=%ld",
                  long(need), long(read));
        return false;
    }
    return true;
}

void rq7_worker::set_log_file(QString filename)
{
    if (posted_to_worker("set_log_file", Q_ARG(QString, filename)))
        return;
    live_log_file.set_file_name(filename);
}

void rq7_worker::enable_log_to_file(bool enable)
{
    if (posted_to_worker("enable_log_to_file", Q_ARG(bool, enable)))
        return;
    if (!enable) {
        logging_to_file = false;
        live_log_file.close();
        return;
    }
    if (live_log_file.is_open()) {
        logging_to_file = true;
        return;
    }
    const QString name = live_log_file.file_name();
    qDebug().noquote() << "Writing live log to:" << name;
    QByteArray section;
    QString reason;
    if (settings_section(section, reason) && !live_log_file.open_for_append(section))
        reason = live_log_file.error_string();
    if (!reason.isEmpty()) {
        qCritical().noquote() << "Could not open file for writing:" << name << "-" << reason;
        logging_to_file = false;
        emit log_file_failed(name, reason);
        return;
    }
    logging_to_file = true;
    if (!write_pre_trigger_samples())
        give_up_log_file(live_log_file.error_string());
}

void rq7_worker::give_up_log_file(const QString& reason)
{
    const QString name = live_log_file.file_name();
    logging_to_file = false;
    live_log_file.close(); // what reached the file stays there
    emit log_file_failed(name, reason);
}

void rq7_worker::set_log_settings(QList<QByteArray> tables, QList<quint32> ints)
{
    if (posted_to_worker("set_log_settings", Q_ARG(QList<QByteArray>, tables),
                         Q_ARG(QList<quint32>, ints)))
        return;
    log_settings_tables = tables;
    log_settings_ints = ints;
}

void rq7_worker::set_log_pre_trigger(uint seconds)
{
    if (posted_to_worker("set_log_pre_trigger", Q_ARG(uint, seconds)))
        return;
    pre_trigger_ms = qint64(seconds) * 1000;
}

// The moments before the start condition are often the interesting ones: a new file begins
// with the samples of the last pre-trigger seconds that the store already holds, marked as
// logged to file like every sample written after them.
bool rq7_worker::write_pre_trigger_samples()
{
    const int n = live_log.size();
    if (pre_trigger_ms <= 0 || n == 0 || !live_poll_timer->isActive())
        return true;
    const tsafe_qvector<qint64>& times = live_log.timestamps();
    const qint64 from_time = times.at(n - 1) - pre_trigger_ms;
    int first = n;
    while (first > 0 && times.at(first - 1) >= from_time)
        --first;
    qDebug() << "Writing" << n - first << "samples from before the start of logging";
    for (int i = first; i < n; ++i) {
        if (!live_log_file.write_frame(live_log.at(i)))
            return false;
        logged_marks.replace(i, 1);
    }
    return true;
}

// The section is made by the settings writer in a file aside and appended from there: the
// writer would rewrite a whole file (dropping an earlier run's samples) and could not say
// why it failed.
bool rq7_worker::settings_section(QByteArray& section, QString& reason)
{
    rq7_vars snapshot(this);
    rq7_vars* from = vars;
    if (!log_settings_tables.isEmpty() || !log_settings_ints.isEmpty()) {
        for (int t = 0; t < qMin(log_settings_tables.size(), snapshot.tables.size()); ++t)
            snapshot.tables[t] = log_settings_tables.at(t);
        for (int i = 0; i < qMin(log_settings_ints.size(), snapshot.ints.size()); ++i)
            snapshot.ints[i] = log_settings_ints.at(i);
        settings_files::queue_complete(snapshot);
        for (int t = 0; t < snapshot.tables.size(); ++t)
            if (snapshot.tables.at(t).isEmpty())
                snapshot.changed_tables.remove(table_index(t));
        from = &snapshot;
    }
    const QTemporaryDir aside;
    const QString section_name = aside.filePath("settings.vkini");
    QFile made(section_name);
    if (!aside.isValid() || !from->vars_to_file(section_name) || !made.open(QIODevice::ReadOnly)) {
        reason =
            QString("the settings section could not be made in %1: %2")
                .arg(QDir::tempPath(), aside.isValid() ? made.errorString() : aside.errorString());
        return false;
    }
    section = made.readAll();
    return true;
}
