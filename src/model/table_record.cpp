// SPDX-License-Identifier: GPL-3.0-or-later
#include "table_record.h"

#include <cmath>

namespace {

quint16 be16(const QByteArray& b, int at)
{
    return quint16((quint8(b.at(at)) << 8) | quint8(b.at(at + 1)));
}

/// Only the low two bits of a 10-bit field's high byte carry the count.
quint16 counts10(const QByteArray& b, int at)
{
    return quint16((quint8(b.at(at)) & 0x03) * 256 + quint8(b.at(at + 1)));
}

} // namespace

bool table_record::decode(const QByteArray& record, table_record& out)
{
    if (record.size() != size)
        return false;
    quint8 check = 0;
    for (int n = 0; n < size - 1; ++n)
        check ^= quint8(record.at(n));
    if (check != quint8(record.at(size - 1)))
        return false;

    table_record r;
    // The cell block runs from the bottom row up, each row left to right.
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            r.cells[row][column] = counts10(record, ((rows - 1 - row) * columns + column) * 2);
    for (int n = 0; n < rows; ++n)
        r.vertical[rows - 1 - n] = counts10(record, 512 + 2 * n);
    for (int n = 0; n < columns; ++n)
        r.horizontal[n] = be16(record, 544 + 2 * n);
    r.has_header = quint8(record.at(608)) == 0xCC;
    r.min_duty_or_act_delay = be16(record, 609);
    r.deact_delay = be16(record, 611);
    r.undercurrent = counts10(record, 613);
    r.overcurrent = counts10(record, 615);
    r.time_delay = (quint32(be16(record, 617)) << 16) | be16(record, 619);
    r.vertical_threshold = counts10(record, 630);
    r.horizontal_threshold = be16(record, 632);
    const quint8 code = quint8(record.at(638));
    r.source = code >= 0xA1 && code <= 0xA4 ? code - 0xA1 : 0;
    out = r;
    return true;
}

int table_record::percent(quint16 counts)
{
    return int(std::lround(qMin<int>(counts, 1023) * 100 / 1023.0));
}
