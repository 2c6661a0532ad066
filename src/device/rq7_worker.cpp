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
