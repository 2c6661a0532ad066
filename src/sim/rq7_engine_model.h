// SPDX-License-Identifier: GPL-3.0-or-later
// A small engine for the simulated unit's live stream: engine speed sweeps from idle to the
// redline and back, boost follows speed, the outputs run their duty tables, the inputs toggle
// now and then. Pure function of time and the unit's tables, so the stream is reproducible.
#pragma once

#include <QByteArray>

struct rq7_engine_state
{
    quint16 rpm = 0;
    quint16 map_adc = 0;
    quint16 batt_adc = 0;
    quint16 an1_adc = 0;
    quint16 an2_adc = 0;
    quint16 afr = 0;
    quint16 duty[4] = {0, 0, 0, 0}; // AUX, MAIN, GPO1, GPO2, 10-bit counts
    quint16 aux_current = 0;
    quint16 main_current = 0;
    quint8 gpi1 = 0;
    quint8 gpi2 = 0;
};

class rq7_engine_model
{
public:
    /// The engine `seconds` after the unit powered up, with the outputs driven by `tables`
    /// (AUX, MAIN, GPO1, GPO2 records) unless `overrides` (counts, negative: none) say else.
    /// `atm_counts` is the MAP sensor's reading at atmospheric pressure.
    static rq7_engine_state state_at(double seconds, const QByteArray tables[4],
                                     const int overrides[4], int atm_counts = 223);
    /// The 70-byte live frame of a state, ending AA BB.
    static QByteArray frame(const rq7_engine_state& state, quint32 sequence);
    /// Duty counts that a table record gives at an engine speed and vertical reading (counts).
    static quint16 table_duty(const QByteArray& record, int rpm, int vertical_counts);
};
