// SPDX-License-Identifier: GPL-3.0-or-later
#include "fw_image.h"

#include "file_limits.h"

#include <QList>

namespace fw_image {

namespace {

constexpr int record_overhead = 5; // count, two address bytes, type, checksum
constexpr quint8 type_data = 0x00;
constexpr quint8 type_end_of_file = 0x01;
constexpr quint8 last_known_type = 0x05;

bool is_hex_digit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

QString hex_byte(int value)
{
    return "0x" + QString("%1").arg(value & 0xFF, 2, 16, QChar('0')).toUpper();
}

/// The problem of one Intel HEX record (as sent, starting with ':'), or an empty text; `type`
/// and `data_bytes` describe a sound record.
QString record_problem(const QByteArray& record, quint8* type, int* data_bytes)
{
    const QByteArray digits = record.mid(1);
    for (char c : digits)
        if (!is_hex_digit(c))
            return QString("'%1' is not a hexadecimal digit").arg(QChar::fromLatin1(c));
    if (digits.size() < 2 * record_overhead)
        return "the record is too short for an Intel HEX record";
    if (digits.size() % 2 != 0)
        return "the record has an odd number of hexadecimal digits";
    const QByteArray bytes = QByteArray::fromHex(digits);
    const int announced = static_cast<quint8>(bytes.at(0));
    if (bytes.size() != announced + record_overhead)
        return QString("the record announces %1 data bytes but holds %2")
            .arg(announced)
            .arg(bytes.size() - record_overhead);
    int sum = 0;
    for (int i = 0; i + 1 < bytes.size(); ++i)
        sum += static_cast<quint8>(bytes.at(i));
    const int needed = (0x100 - (sum & 0xFF)) & 0xFF;
    const int given = static_cast<quint8>(bytes.at(bytes.size() - 1));
    if (given != needed)
        return QString("bad checksum: the record ends in %1, its bytes need %2")
            .arg(hex_byte(given), hex_byte(needed));
    *type = static_cast<quint8>(bytes.at(3));
    *data_bytes = announced;
    if (*type > last_known_type)
        return QString("unknown record type %1").arg(hex_byte(*type));
    return {};
}

/// True for a line that holds a record the sender would skip: the record starts after white
/// space or a byte-order mark instead of at the start of the line.
bool hidden_record(const QByteArray& line)
{
    QByteArray rest = line;
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest.remove(0, 3);
    rest = rest.trimmed();
    return rest.startsWith(':') && !line.startsWith(':');
}

check_result problem_at(int line, const QString& problem, int lines_sent)
{
    check_result result;
    result.line = line;
    result.problem = problem;
    result.lines_sent = lines_sent;
    return result;
}

} // namespace

QByteArray line_to_send(const QByteArray& line)
{
    if (!line.startsWith(':') && !line.startsWith('|'))
        return {};
    return line.left(max_line_length).trimmed();
}

check_result check(const QByteArray& image)
{
    const QList<QByteArray> lines = image.split('\n');
    int sent = 0;
    qint64 data = 0;
    bool end_seen = false;
    bool data_seen = false;
    for (int n = 0; n < lines.size(); ++n) {
        const QByteArray& line = lines.at(n);
        const int number = n + 1;
        if (hidden_record(line))
            return problem_at(number, "the record does not start the line, so it would be skipped",
                              sent);
        const QByteArray record = line_to_send(line);
        if (record.isEmpty())
            continue;
        ++sent;
        const int length = line.trimmed().size();
        if (length > max_line_length)
            return problem_at(number,
                              QString("the line is %1 characters long; the bootloader takes at "
                                      "most %2")
                                  .arg(length)
                                  .arg(max_line_length),
                              sent);
        if (end_seen)
            return problem_at(number, "a line follows the end-of-file record", sent);
        if (record.startsWith('|'))
            continue;
        quint8 type = 0;
        int data_bytes = 0;
        const QString problem = record_problem(record, &type, &data_bytes);
        if (!problem.isEmpty())
            return problem_at(number, problem, sent);
        end_seen = type == type_end_of_file;
        if (type == type_data)
            data += data_bytes;
        if (data > file_limits::fw_image_data_bytes)
            return problem_at(0,
                              QString("the records carry more than %1 of data, the limit for a "
                                      "firmware image")
                                  .arg(file_limits::size_text(file_limits::fw_image_data_bytes)),
                              sent);
        data_seen = data_seen || (type == type_data && data_bytes > 0);
    }
    if (!end_seen)
        return problem_at(0, "the image has no end-of-file record (:00000001FF)", sent);
    // The bootloader would erase the firmware and program nothing in its place.
    if (!data_seen)
        return problem_at(0, "the image holds no data record: there is no firmware in it", sent);
    check_result result;
    result.valid = true;
    result.lines_sent = sent;
    return result;
}

QString too_large(const QString& path)
{
    return file_limits::too_large(path, file_limits::fw_image_file_bytes, "a firmware image");
}

QString describe(const check_result& result)
{
    if (result.valid)
        return {};
    return result.line > 0 ? QString("line %1: %2").arg(result.line).arg(result.problem)
                           : result.problem;
}

} // namespace fw_image
