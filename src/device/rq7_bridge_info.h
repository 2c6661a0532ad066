// One USB-serial bridge as `list_bridges` reports it.
#pragma once

#include "rq7_protocol.h"

#include <QList>
#include <QMetaType>
#include <QString>

struct rq7_bridge_info
{
    QString serial_number;
    QString description;
    QString port; // where the system reaches it ("/dev/ttyUSB0"); empty when unknown
    /// True when it answered the firmware-version request as a unit in application mode.
    bool is_unit = false;
    quint16 fw_version = 0;
    rq7_variant variant = variant_nv;
};

Q_DECLARE_METATYPE(rq7_bridge_info)
Q_DECLARE_METATYPE(QList<rq7_bridge_info>)
