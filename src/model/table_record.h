// SPDX-License-Identifier: GPL-3.0-or-later
// A duty table's 640-byte record taken apart without a window: the cells, both axes and the
// output's header, as the unit and settings files hold them. The command-line tool compares
// and prints tables through it.
#pragma once

#include <QByteArray>
#include <QtGlobal>

struct table_record
{
    static constexpr int size = 640;
    static constexpr int rows = 16;
    static constexpr int columns = 16;

    /// Duty counts (0..1023) by row and column; row 0 is the top row (highest vertical value).
    quint16 cells[rows][columns] = {};
    /// Vertical breakpoints in counts by row (row 0 the top), horizontal ones in RPM.
    quint16 vertical[rows] = {};
    quint16 horizontal[columns] = {};
    /// 0 MAP sensor, 1 analog input A, 2 analog input B, 3 unused by the window.
    int source = 0;
    bool has_header = false; // the 0xCC marker at offset 608
    quint16 min_duty_or_act_delay = 0;
    quint16 deact_delay = 0;
    quint16 undercurrent = 0;
    quint16 overcurrent = 0;
    quint32 time_delay = 0;
    quint16 vertical_threshold = 0;
    quint16 horizontal_threshold = 0;

    /// Takes a record apart; false (leaving `out` alone) unless it is 640 bytes with a
    /// matching check byte.
    static bool decode(const QByteArray& record, table_record& out);

    /// Percent of full duty as the tables show it: round(counts x 100 / 1023), counts capped
    /// at 1023.
    static int percent(quint16 counts);
};
