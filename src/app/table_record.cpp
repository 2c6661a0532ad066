// SPDX-License-Identifier: GPL-3.0-or-later
#include "table_record.h"

#include <QDebug>

namespace table_record {
namespace {

constexpr int vert_breakpoints_at = 512;
constexpr int horz_breakpoints_at = 544;
constexpr int header_marker_at = 608;
constexpr int header_at = 609;
constexpr int thresholds_at = 630;
constexpr int source_at = 638;
constexpr int check_at = 639;
constexpr quint8 header_marker = 0xCC;
constexpr quint8 first_source_code = 0xA1;
constexpr int last_source_code_index = 3; // 0xA4: known to the unit, not offered here

quint8 byte_at(const QByteArray& record, int at)
{
    return quint8(record.at(at));
}

quint16 u16_at(const QByteArray& record, int at)
{
    return quint16(byte_at(record, at) << 8 | byte_at(record, at + 1));
}

/// A 10-bit count: only the low two bits of the high byte belong to it.
quint16 counts_at(const QByteArray& record, int at)
{
    return quint16((byte_at(record, at) & 0x03) << 8 | byte_at(record, at + 1));
}

quint32 u32_at(const QByteArray& record, int at)
{
    return quint32(u16_at(record, at)) << 16 | u16_at(record, at + 2);
}

void append_u16(QByteArray& record, quint16 value)
{
    record.append(char(value >> 8));
    record.append(char(value & 0xFF));
}

void append_counts(QByteArray& record, quint16 counts)
{
    record.append(char((counts >> 8) & 0x03));
    record.append(char(counts & 0xFF));
}

void append_u32(QByteArray& record, quint32 value)
{
    append_u16(record, quint16(value >> 16));
    append_u16(record, quint16(value & 0xFFFF));
}

void append_zeros(QByteArray& record, int count)
{
    record.append(count, '\0');
}

quint8 check_byte(const QByteArray& record, int length)
{
    quint8 check = 0;
    for (int i = 0; i < length; ++i)
        check ^= byte_at(record, i);
    return check;
}

} // namespace

QByteArray encode(const fields& f, bool limits)
{
    QByteArray record;
    record.reserve(record_size);
    record.append(f.cells);
    for (quint16 counts : f.vert)
        append_counts(record, counts);
    for (quint16 rpm : f.horz)
        append_u16(record, rpm);
    append_zeros(record, 32);
    record.append(char(header_marker));
    if (limits) {
        append_counts(record, f.min_duty);
        append_zeros(record, 2);
        append_counts(record, f.undercurrent);
        append_counts(record, f.overcurrent);
        append_u32(record, f.time_delay);
    } else {
        append_u16(record, f.act_delay);
        append_u16(record, f.deact_delay);
        append_zeros(record, 2 + 2 + 4);
    }
    append_zeros(record, 9);
    append_counts(record, f.vert_threshold);
    append_u16(record, f.horz_threshold);
    append_zeros(record, 4);
    record.append(char(f.source));
    record.append(char(check_byte(record, record.size())));
    return record;
}

bool decode(const QByteArray& record, fields& f)
{
    if (record.size() != record_size) {
        qCritical() << "data not the right size, should be 640, is actually" << record.size();
        return false;
    }
    const quint8 calculated = check_byte(record, check_at);
    if (calculated != byte_at(record, check_at)) {
        qCritical() << "data checksum incorrect, read again! calculated=" << int(calculated)
                    << "read=" << int(byte_at(record, check_at));
        return false;
    }
    f.cells = record.left(cell_block_size);
    for (int i = 0; i < breakpoints; ++i) {
        f.vert[size_t(i)] = counts_at(record, vert_breakpoints_at + 2 * i);
        f.horz[size_t(i)] = u16_at(record, horz_breakpoints_at + 2 * i);
    }
    f.has_header = byte_at(record, header_marker_at) == header_marker;
    f.min_duty = counts_at(record, header_at);
    f.undercurrent = counts_at(record, header_at + 4);
    f.overcurrent = counts_at(record, header_at + 6);
    f.time_delay = u32_at(record, header_at + 8);
    f.act_delay = u16_at(record, header_at);
    f.deact_delay = u16_at(record, header_at + 2);
    f.vert_threshold = counts_at(record, thresholds_at);
    f.horz_threshold = u16_at(record, thresholds_at + 2);
    f.source = byte_at(record, source_at);
    return true;
}

quint8 encode_vertical_source(int index)
{
    if (index < 0 || index > last_source_code_index) {
        qCritical() << "Unhandled vert axis" << index;
        return 0;
    }
    return quint8(first_source_code + index);
}

int decode_vertical_source(quint8 code)
{
    const int index = code - first_source_code;
    if (index < 0 || index > last_source_code_index) {
        qCritical() << "Unhandled vert axis" << int(code);
        return 0;
    }
    return index;
}

} // namespace table_record
