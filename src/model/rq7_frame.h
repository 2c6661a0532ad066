// One live-data sample of the unit: the PC's timestamp and the 31 raw values of a frame.
#pragma once

#include <QMetaType>
#include <QtGlobal>

struct rq7_frame
{
    qint64 timestamp = 0; // milliseconds since 1970-01-01 UTC, PC clock
    quint16 batt_adc = 0;
    quint16 map_adc = 0;
    quint16 an1_adc = 0;
    quint16 afr = 0;
    quint16 an2_adc = 0;
    quint16 aux_current = 0;
    quint16 main_current = 0;
    quint16 rpm = 0;
    quint16 aux_duty = 0;
    quint16 main_duty = 0;
    quint16 gpo1_duty = 0;
    quint16 boost_target_low = 0;
    quint16 boost_target_high = 0;
    quint16 pot_boost_target = 0;
    quint16 gpo2_duty = 0;
    quint8 gpi1_state = 0;
    quint8 gpi2_state = 0;
    quint8 aux_master = 0;
    quint16 inj_pulse_width = 0;
    quint8 error_pol = 0;
    quint8 coarse_mode = 0;
    quint16 command = 0;
    quint16 current_pos = 0;
    quint32 error = 0;
    quint8 previous_pid = 0;
    quint32 pterm = 0;
    quint32 iterm = 0;
    quint32 dterm = 0;
    quint32 istate = 0;
    quint16 istate_lu = 0;
    quint32 result = 0;
};

Q_DECLARE_METATYPE(rq7_frame)
