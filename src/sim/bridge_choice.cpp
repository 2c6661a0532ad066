// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge_choice.h"

#include "sim_backend.h"
#include "tty_backend.h"

#include <QtGlobal>

void install_bridge_backend(bool simulate, const QString& port)
{
    if (simulate || qEnvironmentVariableIntValue("QUORVANE_SIMULATE")) {
        if (!port.isEmpty())
            qWarning("--port is ignored with --simulate");
        auto sim = std::make_shared<sim_backend>();
        sim->attach_unit();
        d2xx_install_backend(sim);
        return;
    }
    d2xx_install_backend(std::make_shared<tty_backend>("/sys", "/dev", port));
}
