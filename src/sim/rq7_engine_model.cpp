// SPDX-License-Identifier: GPL-3.0-or-later
#include "rq7_engine_model.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double idle_rpm = 850.0;
constexpr double redline_rpm = 7200.0;
constexpr double sweep_seconds = 24.0; // idle to redline and back
constexpr int frame_size = 70;

quint16 be16(const QByteArray& b, int at)
{
    return static_cast<quint16>((quint8(b.at(at)) << 8) | quint8(b.at(at + 1)));
}

void put(QByteArray& frame, int at, quint32 value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i, value >>= 8)
        frame[at + i] = static_cast<char>(value & 0xFF);
}

quint16 clamp10(double counts)
{
    return static_cast<quint16>(std::clamp(std::lround(counts), 0L, 1023L));
}

} // namespace

quint16 rq7_engine_model::table_duty(const QByteArray& record, int rpm, int vertical_counts)
{
    if (record.size() != 640)
        return 0;
    // Breakpoints: 16 vertical counts (bottom row first) at 512, 16 RPM values at 544.
    int column = 0;
    for (int c = 1; c < 16; ++c)
        if (be16(record, 544 + 2 * c) <= rpm)
            column = c;
    int row = 0; // counted from the bottom
    for (int r = 1; r < 16; ++r)
        if ((be16(record, 512 + 2 * r) & 0x3FF) <= vertical_counts)
            row = r;
    return be16(record, (row * 16 + column) * 2) & 0x3FF;
}

rq7_engine_state rq7_engine_model::state_at(double seconds, const QByteArray tables[4],
                                            const int overrides[4], int atm_counts)
{
    rq7_engine_state s;
    const double phase = std::fmod(seconds, sweep_seconds) / sweep_seconds; // 0..1
    const double sweep = phase < 0.5 ? phase * 2.0 : (1.0 - phase) * 2.0;   // up, then down
    const double rpm = idle_rpm + (redline_rpm - idle_rpm) * sweep;
    s.rpm = static_cast<quint16>(std::lround(rpm + 15.0 * std::sin(seconds * 7.0)));

    // Boost builds once the turbo spools, up to about 22 PSI at the redline.
    const double psi = std::max(0.0, (rpm - 2600.0) / (redline_rpm - 2600.0)) * 22.0;
    s.map_adc = clamp10(atm_counts - 0.7 + psi * 16.122 + 1.5 * std::sin(seconds * 13.0));
    s.batt_adc = clamp10(13.9 * 54.2117647 + 3.0 * std::sin(seconds * 0.7));
    s.an1_adc = clamp10(512.0 + 300.0 * std::sin(seconds * 0.31));
    s.an2_adc = clamp10(200.0 + 150.0 * sweep);
    s.afr = static_cast<quint16>(std::lround(147.0 - 30.0 * sweep));

    for (int n = 0; n < 4; ++n) {
        const int vertical = (tables[n].size() == 640 && quint8(tables[n].at(638)) != 0xA1)
                                 ? s.an1_adc // analog-input axis
                                 : s.map_adc;
        s.duty[n] = overrides[n] >= 0 ? static_cast<quint16>(overrides[n])
                                      : table_duty(tables[n], s.rpm, vertical);
    }
    // Injector current rises with duty, about 8 A at full duty.
    s.aux_current = clamp10(s.duty[0] / 1023.0 * 8.0 * 20.48);
    s.main_current = clamp10(s.duty[1] / 1023.0 * 8.0 * 20.48);
    s.gpi1 = std::fmod(seconds, 7.0) > 5.5 ? 1 : 0;
    s.gpi2 = std::fmod(seconds, 11.0) > 9.0 ? 1 : 0;
    return s;
}

QByteArray rq7_engine_model::frame(const rq7_engine_state& s, quint32 sequence)
{
    QByteArray f(frame_size, '\0');
    put(f, 0, s.batt_adc, 2);
    put(f, 2, s.map_adc, 2);
    put(f, 4, s.an1_adc, 2);
    put(f, 6, s.afr, 2);
    put(f, 8, s.an2_adc, 2);
    put(f, 10, s.aux_current, 2);
    put(f, 12, s.main_current, 2);
    put(f, 14, s.rpm, 2);
    put(f, 16, s.duty[0], 2);
    put(f, 18, s.duty[1], 2);
    put(f, 20, s.duty[2], 2);
    put(f, 22, 300, 2); // boost target low
    put(f, 24, 480, 2); // boost target high
    put(f, 26, 0, 2);   // pot boost target
    put(f, 28, s.duty[3], 2);
    f[30] = static_cast<char>(s.gpi1);
    f[31] = static_cast<char>(s.gpi2);
    f[32] = 9;                      // the RQ7 drives AUX itself
    put(f, 33, s.duty[1] * 12u, 2); // injector pulse width
    put(f, 37, s.map_adc, 2);       // command
    put(f, 39, s.map_adc, 2);       // current position
    put(f, 45, sequence & 0xFF, 1);
    put(f, 64, sequence, 4); // result: a running count, handy when reading logs
    f[68] = static_cast<char>(0xAA);
    f[69] = static_cast<char>(0xBB);
    return f;
}
