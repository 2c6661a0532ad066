// SPDX-License-Identifier: GPL-3.0-or-later
// The two exchanges the variable store needs from the link: read a parameter, send a typed
// request. The worker provides them; keeping them behind this seam lets the store live in the
// model without depending on the worker.
#pragma once

#include "d2xx.h"
#include "rq7_protocol.h"

#include <QByteArray>

class rq7_link
{
public:
    virtual ~rq7_link() = default;

    /// Sends a complete read request; on success `reply` holds the `expected` data bytes.
    virtual FT_STATUS get_param(QByteArray& request, QByteArray& reply, unsigned long expected) = 0;
    /// Sends `payload` as a request of `type` and waits for its acknowledgement.
    virtual FT_STATUS set_param(rq7_msg_type type, QByteArray& payload) = 0;
};
