// SPDX-License-Identifier: GPL-3.0-or-later
// A simulated bridge with one attached unit, installed as the D2XX backend for the lifetime
// of the fixture.
#pragma once

#include "d2xx_backend.h"
#include "sim_backend.h"

#include <memory>

struct sim_fixture
{
    std::shared_ptr<sim_backend> sim = std::make_shared<sim_backend>();
    std::shared_ptr<rq7_sim_unit> unit;

    explicit sim_fixture(bool attach = true)
    {
        if (attach)
            unit = sim->attach_unit();
        d2xx_install_backend(sim);
    }
    ~sim_fixture() { d2xx_install_backend(nullptr); }
};
