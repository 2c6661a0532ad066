// SPDX-License-Identifier: GPL-3.0-or-later
#include "cust_an_csv.h"

#include "file_limits.h"

#include <QDebug>
#include <QFile>
#include <QStringList>

#include <cmath>

namespace {

constexpr int table_size = 1024;
// A real table is some 15 KB of short lines. These bounds keep a wrong choice of file (a
// binary, a huge log without line ends) from taking the GUI thread's time or memory; the
// file's size is checked before reading, the bytes read bound what has no size (a pipe).
constexpr qint64 max_line_bytes = 4096;
constexpr qint64 max_file_bytes = file_limits::cust_an_csv_bytes;
const char* const what = "a conversion table";

// Reads raw lines (with their line end) of at most max_line_bytes; longer lines are
// reported as such after the rest of them has been skipped without keeping it.
class line_reader
{
public:
    enum result { got_line, got_long_line, at_end, too_big };

    explicit line_reader(QFile& f)
        : file(f)
    {}

    result next(QByteArray& out)
    {
        qint64 n = file.readLine(buf, sizeof buf);
        if (n <= 0)
            return at_end;
        if (!count(n))
            return too_big;
        out = QByteArray(buf, int(n));
        if (buf[n - 1] == '\n' || n < max_line_bytes || file.atEnd())
            return got_line;
        while ((n = file.readLine(buf, sizeof buf)) > 0) {
            if (!count(n))
                return too_big;
            if (buf[n - 1] == '\n')
                break;
        }
        return got_long_line;
    }

private:
    bool count(qint64 n)
    {
        consumed += n;
        return consumed <= max_file_bytes;
    }

    QFile& file;
    qint64 consumed = 0;
    char buf[max_line_bytes + 1];
};

// Spreadsheets save either UTF-8 or a Windows code page; a line that is not valid UTF-8 is
// taken as Latin-1 so that a name such as "°C" survives.
QString decode(const QByteArray& raw)
{
    const QString text = QString::fromUtf8(raw);
    if (text.contains(QChar::ReplacementCharacter) && !raw.contains("\xEF\xBF\xBD"))
        return QString::fromLatin1(raw);
    return text;
}

void fail(const QString& message)
{
    qCritical().noquote() << message;
}

// One data line; false after logging its problem.
bool parse_data_line(const QStringList& fields, int line_no, int expected, double& value)
{
    if (fields.size() != 2) {
        fail(QString("Value on line %1 needs two values separated by a comma").arg(line_no));
        return false;
    }
    bool ok = false;
    const int adc = fields[0].simplified().toInt(&ok, 10);
    if (!ok) {
        fail(QString("Error converting ADC on line %1: '%2'").arg(line_no).arg(fields[0]));
        return false;
    }
    if (adc != expected) {
        fail(QString("ADC on line %1 not the expected value of %2").arg(line_no).arg(adc));
        return false;
    }
    value = fields[1].simplified().toDouble(&ok);
    // "inf" and "nan" convert, but are no use as a reading.
    if (!ok || !std::isfinite(value)) {
        fail(QString("Error converting value on line %1: '%2'").arg(line_no).arg(fields[1]));
        return false;
    }
    return true;
}

} // namespace

bool parse_cust_an_csv(QString path, QString& name, QVector<double>& table)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(file.errorString());
        return false;
    }
    const QString too_large = file_limits::too_large(path, max_file_bytes, what);
    if (!too_large.isEmpty()) {
        fail(too_large);
        return false;
    }
    name.clear();
    table.clear();
    table.reserve(table_size);

    line_reader reader(file);
    QByteArray raw;
    bool have_header = false;
    int line_no = 0;
    int values = 0;
    for (;;) {
        const line_reader::result r = reader.next(raw);
        if (r == line_reader::at_end)
            break;
        if (r == line_reader::too_big) {
            fail(QString("%1 is larger than %2, the limit for %3")
                     .arg(path, file_limits::size_text(max_file_bytes), what));
            return false;
        }
        ++line_no;
        if (line_no == 1 && raw.startsWith("\xEF\xBB\xBF"))
            raw.remove(0, 3);
        if (raw.startsWith('#'))
            continue;
        if (r == line_reader::got_long_line) {
            fail(QString("Line %1 is longer than %2 characters").arg(line_no).arg(max_line_bytes));
            return false;
        }
        const QStringList fields = decode(raw).split(',');
        if (!have_header) {
            name = fields[0].simplified();
            have_header = true;
            continue;
        }
        double value = 0;
        if (!parse_data_line(fields, line_no, values, value))
            return false;
        // Past 1024 the file is wrong anyway; only the count is kept, for the message.
        if (values < table_size)
            table.append(value);
        ++values;
    }
    if (file.error() != QFileDevice::NoError) {
        fail(file.errorString());
        return false;
    }
    if (values != table_size) {
        fail(QString("Missing %1 values, must have 1024").arg(table_size - values));
        return false;
    }
    return true;
}
