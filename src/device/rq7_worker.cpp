#include "rq7_worker.h"

#include "rq7_vars.h"

#include <QDebug>
#include <QTimer>

rq7_worker::rq7_worker(QObject* parent)
    : QObject(parent)
    , vars(new rq7_vars(this))
    , live_poll_timer(new QTimer(this))
{
    qRegisterMetaType<rq7_variant>("rq7_variant");
    connect(live_poll_timer, &QTimer::timeout, this, &rq7_worker::check_log_data);
}

void rq7_worker::not_available_yet(const char* operation) const
{
    qDebug() << operation << "is not available yet";
}

void rq7_worker::start_fw_program(QString fw_location)
{
    if (posted_to_worker("start_fw_program", Q_ARG(QString, fw_location)))
        return;
    not_available_yet("start_fw_program");
}

void rq7_worker::set_log_file(QString filename)
{
    if (posted_to_worker("set_log_file", Q_ARG(QString, filename)))
        return;
    not_available_yet("set_log_file");
}

void rq7_worker::enable_log_to_file(bool enable)
{
    if (posted_to_worker("enable_log_to_file", Q_ARG(bool, enable)))
        return;
    not_available_yet("enable_log_to_file");
}

void rq7_worker::start_live_logging()
{
    if (posted_to_worker("start_live_logging"))
        return;
    not_available_yet("start_live_logging");
}

void rq7_worker::stop_live_logging()
{
    if (posted_to_worker("stop_live_logging"))
        return;
    stop_live_logging(false);
}

void rq7_worker::clear_live_logs()
{
    if (posted_to_worker("clear_live_logs"))
        return;
    not_available_yet("clear_live_logs");
}

void rq7_worker::parse_log_file(QString filename)
{
    if (posted_to_worker("parse_log_file", Q_ARG(QString, filename)))
        return;
    not_available_yet("parse_log_file");
}

void rq7_worker::recall_frame_at(QPointF point)
{
    if (posted_to_worker("recall_frame_at", Q_ARG(QPointF, point)))
        return;
    not_available_yet("recall_frame_at");
}

void rq7_worker::start_map_cal()
{
    if (posted_to_worker("start_map_cal"))
        return;
    not_available_yet("start_map_cal");
}

void rq7_worker::set_override(table_index output, uint duty)
{
    if (posted_to_worker("set_override", Q_ARG(table_index, output), Q_ARG(uint, duty)))
        return;
    not_available_yet("set_override");
}

void rq7_worker::reset_override(table_index output)
{
    if (posted_to_worker("reset_override", Q_ARG(table_index, output)))
        return;
    not_available_yet("reset_override");
}

void rq7_worker::check_log_data()
{
    if (posted_to_worker("check_log_data"))
        return;
    check_log_data_for_period(0);
}

void rq7_worker::check_log_data_for_period(uint loop_for_ms)
{
    if (posted_to_worker("check_log_data_for_period", Q_ARG(uint, loop_for_ms)))
        return;
    not_available_yet("check_log_data_for_period");
}
