// SPDX-License-Identifier: GPL-3.0-or-later
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
    qRegisterMetaType<rq7_bridge_info>("rq7_bridge_info");
    qRegisterMetaType<QList<rq7_bridge_info>>("QList<rq7_bridge_info>");
    connect(live_poll_timer, &QTimer::timeout, this, &rq7_worker::check_log_data);
}
