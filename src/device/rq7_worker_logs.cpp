// SPDX-License-Identifier: GPL-3.0-or-later
// Operations on the live log held in memory: clearing it, recalling the frame nearest a
// time, and loading a live-log file into it.
#include "rq7_log_reader.h"
#include "rq7_worker.h"

#include <QDebug>
#include <QTimer>

void rq7_worker::clear_live_logs()
{
    if (posted_to_worker("clear_live_logs"))
        return;
    live_log.clear();
    logged_marks.clear();
}

void rq7_worker::recall_frame_at(QPointF point)
{
    if (posted_to_worker("recall_frame_at", Q_ARG(QPointF, point)))
        return;
    // Only a sample the log really holds is recalled: an all-zero frame would look like data.
    const int position = live_log.recall_index(static_cast<qint64>(point.x()));
    if (position >= 0)
        emit recall_data_ready(live_log.at(position));
}

void rq7_worker::parse_log_file(QString filename)
{
    if (posted_to_worker("parse_log_file", Q_ARG(QString, filename)))
        return;
    if (live_poll_timer->isActive()) {
        qCritical("Cannot open log file while actively logging from the unit");
        return;
    }
    rq7_log_reader reader(live_log, logged_marks,
                          [this](const QString& settings) { file_to_vars_to_field(settings); });
    switch (reader.parse(filename)) {
    case rq7_log_reader::p_cannot_open_file:
        qCritical().noquote() << "Could not open file for reading:" << filename;
        emit log_file_refused(filename, QString("%1 cannot be opened").arg(filename));
        return;
    case rq7_log_reader::p_cannot_open_tempfile:
        qCritical().noquote() << "Could not open tempfile needed to parse log. Log:" << filename
                              << " tempfile:" << reader.temp_file_name();
        return;
    case rq7_log_reader::p_not_a_log: {
        const QString reason = QString("%1 is not a live-log file").arg(filename);
        qCritical().noquote() << reason;
        emit log_file_refused(filename, reason);
        return;
    }
    case rq7_log_reader::p_read_failed:
        // What was read before the failure stays in the log and is shown.
        qCritical().noquote() << "Could not read all of" << filename;
        break;
    case rq7_log_reader::p_parsed:
        break;
    }
    qDebug().noquote() << "Parsed file" << filename << "with" << live_log.size() << "lines.";
    emit parsed_log_file(filename, live_log.size(), reader.bad_lines(), reader.first_bad_line());
}
