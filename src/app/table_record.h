// SPDX-License-Identifier: GPL-3.0-or-later
// The table record: the 640-byte image of one duty table that travels unchanged between the
// window, the unit and settings files. It holds the 16 x 16 cells, both axes, the output's
// header (minimum duty, current limits, time delay or GPO delays, thresholds) and the
// vertical source, closed by an XOR check byte. Multi-byte fields are big-endian; the
// 10-bit counts keep only the low two bits of their high byte.
//
// This file knows the bytes only; the table pages turn the fields into what they show.
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>

namespace table_record {

constexpr int record_size = 640;
constexpr int cell_block_size = 512;
constexpr int breakpoints = 16;

/// One record's fields in the unit's own numbers.
struct fields
{
    QByteArray cells;                        // the cell block, as duty_table codes it
    std::array<quint16, breakpoints> vert{}; // 10-bit counts, bottom row first
    std::array<quint16, breakpoints> horz{}; // RPM, column 0 first
    /// Whether a loaded record carries the output's header (its marker byte).
    bool has_header = true;
    // The header of MAIN and AUX.
    quint16 min_duty = 0;     // counts
    quint16 undercurrent = 0; // counts
    quint16 overcurrent = 0;  // counts
    quint32 time_delay = 0;   // loops
    // The header of GPO1 and GPO2: delays in the unit's 13 ms steps.
    quint16 act_delay = 0;
    quint16 deact_delay = 0;
    quint16 vert_threshold = 0; // counts
    quint16 horz_threshold = 0; // RPM
    quint8 source = 0;          // vertical source code
};

/// The record of `f`, with the header of MAIN and AUX (`limits`) or that of the GPOs.
QByteArray encode(const fields& f, bool limits);
/// Reads both kinds of header (the caller takes its table's). False, with the problem logged,
/// for a record of the wrong length or with a bad check byte.
bool decode(const QByteArray& record, fields& f);

/// Vertical source index (0 MAP sensor, 1 analog A, 2 analog B) to the record's code.
quint8 encode_vertical_source(int index);
int decode_vertical_source(quint8 code);

} // namespace table_record
