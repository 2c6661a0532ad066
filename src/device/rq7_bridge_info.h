// SPDX-License-Identifier: GPL-3.0-or-later
// One USB-serial bridge as `list_bridges` reports it.
#pragma once

#include "rq7_protocol.h"

#include <QList>
#include <QMetaType>
#include <QString>

/// The USB product string of the unit's bridge: only bridges described so are opened.
constexpr const char* unit_bridge_description = "MERIX 3";

struct rq7_bridge_info
{
    QString serial_number;
    QString description;
    QString port; // where the system reaches it ("/dev/ttyUSB0"); empty when unknown
    /// False for a bridge that was left alone: not described as the unit's bridge, or not
    /// reachable while the link to another one is open.
    bool probed = false;
    /// Why it could not be opened to ask, in the system's words ("Permission denied"); empty
    /// when it was opened, or the bridge layer cannot tell.
    QString open_error;
    /// True when it answered the firmware-version request as a unit in application mode.
    bool is_unit = false;
    quint16 fw_version = 0;
    rq7_variant variant = variant_nv;
};

Q_DECLARE_METATYPE(rq7_bridge_info)
Q_DECLARE_METATYPE(QList<rq7_bridge_info>)
