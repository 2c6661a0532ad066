// SPDX-License-Identifier: GPL-3.0-or-later
// Identities of the unit's tables, integer parameters and ADC trims. The display names are
// also the keys of settings files and the words of log messages: never reword them.
#pragma once

#include <QList>
#include <QMetaType>
#include <QStringList>

enum table_index {
    t_aux = 0,
    t_main = 1,
    t_gpo1 = 2,
    t_gpo2 = 3,
    t_wide_band = 4,
    t_afr = 5,
    t_last = 6,
};

enum int_index {
    i_rpm_scaler = 0,
    i_pump_prime_delay = 1,
    i_boost_step = 2,
    i_battery_value = 3,
    i_map_value = 4,
    i_wide_band_value = 5,
    i_aux_current = 6,
    i_main_current = 7,
    i_spare_adc = 8,
    i_main_pulse_width = 9,
    i_pid_parameters = 10,
    i_gpi1_state = 11,
    i_gpi2_state = 12,
    i_main_mode = 13,
    i_aux_mode = 14,
    i_gpo1_mode = 15,
    i_gpo2_mode = 16,
    i_gpi1_mode = 17,
    i_gpi1_request = 18,
    i_gpi2_mode = 19,
    i_gpi2_request = 20,
    i_base_slope = 21,
    i_base_intercept = 22,
    i_base_atmospheric = 23,
    i_active_slope = 24,
    i_active_intercept = 25,
    i_active_atmospheric = 26,
    i_active_deadband = 27,
    i_variant = 28,
    i_min_boost = 29,
    i_max_boost = 30,
    i_min_ana_input = 31,
    i_max_ana_input = 32,
    i_min_anb_input = 33,
    i_max_anb_input = 34,
    i_gpi1_act_delay = 35,
    i_gpi1_deact_delay = 36,
    i_gpi2_act_delay = 37,
    i_gpi2_deact_delay = 38,
    i_hw_version = 39,
    i_fw_version = 40,
    i_last = 41,
};

enum adc_trim_index {
    a_battery = 0,
    a_map = 1,
    a_aux_current = 2,
    a_main_current = 3,
    a_wide_band_current = 4,
    a_spare = 5,
    a_last = 6,
};

struct adc_trim
{
    bool pol = true;
    quint16 value = 0;

    bool operator==(const adc_trim& other) const
    {
        return pol == other.pol && value == other.value;
    }
    bool operator!=(const adc_trim& other) const { return !(*this == other); }
};

/// Display names by index, each list ending with "LAST".
extern const QStringList table_names;
extern const QStringList int_names;
extern const QStringList trim_names;

Q_DECLARE_METATYPE(adc_trim)
Q_DECLARE_METATYPE(table_index)
Q_DECLARE_METATYPE(int_index)
Q_DECLARE_METATYPE(adc_trim_index)
