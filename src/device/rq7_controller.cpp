// SPDX-License-Identifier: GPL-3.0-or-later
#include "rq7_controller.h"

#include "rq7_worker.h"

rq7_controller::rq7_controller(QObject* parent)
    : QObject(parent)
    , worker_(new rq7_worker)
{
    worker_->moveToThread(&thread);

    qRegisterMetaType<FT_STATUS>("FT_STATUS");
    qRegisterMetaType<adc_trim>("adc_trim");
    qRegisterMetaType<table_index>("table_index");
    qRegisterMetaType<int_index>("int_index");
    qRegisterMetaType<adc_trim_index>("adc_trim_index");
    qRegisterMetaType<QList<QByteArray>>("QList<QByteArray>");
    qRegisterMetaType<QList<quint32>>("QList<quint32>");
    qRegisterMetaType<QList<quint16>>("QList<quint16>");
    qRegisterMetaType<QList<adc_trim>>("QList<adc_trim>");
    qRegisterMetaType<QList<QString>>("QList<QString>");
    qRegisterMetaType<rq7_frame>("rq7_frame");

    connect(&thread, &QThread::finished, worker_, &QObject::deleteLater);
    thread.start(QThread::InheritPriority);
}

rq7_controller::~rq7_controller()
{
    thread.quit();
    thread.wait();
}
