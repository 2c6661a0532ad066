// SPDX-License-Identifier: GPL-3.0-or-later
// What serves the D2XX calls in the programs: the simulated unit when asked for
// (--simulate or QUORVANE_SIMULATE=1), else the real bridges through the kernel's serial
// driver (only the given port with --port). The window and quorvane-cli choose alike.
#pragma once

#include <QString>

void install_bridge_backend(bool simulate, const QString& port);
