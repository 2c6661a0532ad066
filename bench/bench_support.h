// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the benchmarks: realistic live samples and the process's memory figures.
#pragma once

#include "rq7_frame.h"

#include <QFile>
#include <QtMath>

#include <cstdio>

namespace bench {

// A live record as the unit sends it while an engine runs: slowly moving sensor values, duty
// cycles following the engine speed, controller terms that are sometimes negative (and so
// large unsigned numbers), the end marker.
inline QByteArray live_record(int i)
{
    const double phase = i / 500.0;
    const auto put16 = [](QByteArray& r, int at, quint32 v) {
        r[at] = char(v >> 8);
        r[at + 1] = char(v);
    };
    const auto put32 = [](QByteArray& r, int at, quint32 v) {
        for (int b = 0; b < 4; ++b)
            r[at + b] = char(v >> (24 - 8 * b));
    };
    QByteArray r(70, '\0');
    const quint32 rpm = quint32(3500 + 3000 * qSin(phase));
    put16(r, 0, 720 + i % 7);                            // battery
    put16(r, 2, quint32(400 + 350 * qSin(phase * 1.3))); // MAP
    put16(r, 4, 512 + i % 13);                           // analog A
    put16(r, 6, 300 + i % 50);                           // AFR
    put16(r, 8, 200 + i % 11);                           // analog B
    put16(r, 10, rpm / 12);                              // AUX current
    put16(r, 12, rpm / 10);                              // MAIN current
    put16(r, 14, rpm);                                   // engine speed
    put16(r, 16, rpm * 1023 / 7000);                     // AUX duty
    put16(r, 18, rpm * 900 / 7000);                      // MAIN duty
    put16(r, 20, i % 1024);                              // GPO1 duty
    put16(r, 22, 400);                                   // boost targets
    put16(r, 24, 800);
    put16(r, 26, 612);
    put16(r, 28, 1023 - i % 1024); // GPO2 duty
    r[30] = char((i / 700) % 2);   // GPI1, GPI2, AUX master
    r[31] = char((i / 1100) % 2);
    r[32] = 1;
    put16(r, 33, 2000 + i % 500); // injector pulse width
    r[35] = char(i % 2);
    r[36] = 0;
    put16(r, 37, 4000 + i % 300); // command, position
    put16(r, 39, 3900 + i % 310);
    put32(r, 41, quint32(qint32(100 * qSin(phase * 5)))); // error, may be negative
    r[45] = 3;
    put32(r, 46, quint32(qint32(20000 * qSin(phase * 5)))); // PID terms
    put32(r, 50, quint32(i * 37));
    put32(r, 54, quint32(qint32(-300 * qCos(phase * 5))));
    put32(r, 58, quint32(i * 11));
    put16(r, 62, 12000 + i % 1000);
    put32(r, 64, quint32(qint32(25000 * qSin(phase * 5))));
    r[68] = char(0xAA);
    r[69] = char(0xBB);
    return r;
}

// A value of /proc/self/status in kB (VmHWM: peak resident memory, VmRSS: current).
inline qint64 status_kb(const char* key)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Resets the peak to the current resident size, so that one phase can be measured alone.
inline bool reset_peak()
{
    QFile refs("/proc/self/clear_refs");
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

} // namespace bench
