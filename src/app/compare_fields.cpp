// SPDX-License-Identifier: GPL-3.0-or-later
#include "compare_fields.h"

#include "rq7_catalogue.h"

#include <algorithm>
#include <cmath>

const char* compare_fields::parameter_field(int parameter)
{
    switch (parameter) {
    case i_rpm_scaler:
        return "pulses_per_rev";
    case i_pump_prime_delay:
        return "pump_prime_delay";
    case i_main_mode:
        return "main_control";
    case i_aux_mode:
        return "aux_control";
    case i_gpo1_mode:
        return "gpo1_control";
    case i_gpo2_mode:
        return "gpo2_control";
    case i_gpi1_mode:
        return "gpi1_control";
    case i_gpi1_request:
        return "gpi1_request";
    case i_gpi2_mode:
        return "gpi2_control";
    case i_gpi2_request:
        return "gpi2_request";
    case i_base_slope:
        return "base_slope";
    case i_base_intercept:
        return "base_intercept";
    case i_base_atmospheric:
        return "base_atm";
    case i_active_slope:
        return "active_slope";
    case i_active_intercept:
        return "active_intercept";
    case i_active_atmospheric:
        return "active_atm";
    case i_active_deadband:
        return "active_deadband";
    case i_gpi1_act_delay:
        return "gpi1_act_delay";
    case i_gpi1_deact_delay:
        return "gpi1_deact_delay";
    case i_gpi2_act_delay:
        return "gpi2_act_delay";
    case i_gpi2_deact_delay:
        return "gpi2_deact_delay";
    default:
        return nullptr;
    }
}

int compare_fields::percent_of(quint32 counts)
{
    return int(std::lround(std::min<quint32>(counts, 1023) * 100 / 1023.0));
}
