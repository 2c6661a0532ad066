// SPDX-License-Identifier: GPL-3.0-or-later
// Firmware images for tests and benchmarks: Intel HEX records with correct checksums.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace fw_text {

/// One record without line end, such as ":10010000...".
inline QByteArray record(quint8 type, quint16 address, const QByteArray& data)
{
    QByteArray bytes;
    bytes.append(static_cast<char>(data.size()));
    bytes.append(static_cast<char>(address >> 8));
    bytes.append(static_cast<char>(address & 0xFF));
    bytes.append(static_cast<char>(type));
    bytes.append(data);
    quint8 sum = 0;
    for (char b : bytes)
        sum = static_cast<quint8>(sum + static_cast<quint8>(b));
    bytes.append(static_cast<char>(0x100 - sum));
    return ':' + bytes.toHex().toUpper();
}

inline QByteArray data_record(int n)
{
    QByteArray data(16, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(n * 7 + i); // 0x11 and 0x13 among them
    return record(0x00, static_cast<quint16>(n * 16), data);
}

const QByteArray address_record = ":020000040000FA";
const QByteArray end_record = ":00000001FF";

/// `data_records` data records then the end-of-file record, each line ending in a line feed,
/// preceded by the address record when asked for.
inline QByteArray image(int data_records, bool with_address_record = false)
{
    QByteArray text;
    if (with_address_record)
        text += address_record + '\n';
    for (int n = 0; n < data_records; ++n)
        text += data_record(n) + '\n';
    return text + end_record + '\n';
}

/// `text` behind comment lines that make it exactly `size` bytes long.
inline QByteArray padded(const QByteArray& text, int size)
{
    QByteArray comments;
    while (size - text.size() - comments.size() > 160)
        comments += "# " + QByteArray(77, '-') + '\n';
    comments += '#' + QByteArray(size - text.size() - comments.size() - 2, '-') + '\n';
    return comments + text;
}

inline bool write_file(const QString& name, const QByteArray& text)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace fw_text
