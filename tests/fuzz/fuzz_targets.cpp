// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz_targets.h"

#include "cust_an_csv.h"
#include "fw_image.h"
#include "rq7_frame.h"
#include "rq7_link.h"
#include "rq7_log.h"
#include "rq7_log_reader.h"
#include "rq7_protocol.h"
#include "rq7_vars.h"
#include "settings_report.h"
#include "table_record.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

QByteArray bytes_of(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), int(size));
}

// A property the parser promises but broke: a crash the fuzzer keeps as a finding.
void require(bool holds)
{
    if (!holds)
        std::abort();
}

// Files for the parsers that only take a path. /dev/shm keeps millions of them off the disk.
const QString& scratch_folder()
{
    static QTemporaryDir dir(QDir("/dev/shm").exists()
                                 ? "/dev/shm/quorvane_fuzz_XXXXXX"
                                 : QDir::tempPath() + "/quorvane_fuzz_XXXXXX");
    static const QString path = dir.path();
    return path;
}

// A new name each time: the settings reader keeps files it has read in a cache checked by
// size and modification time, which a rewrite within the same millisecond would fool.
QString scratch_file(const QByteArray& contents, const char* suffix)
{
    static unsigned long serial = 0;
    const QString name = QString("%1/input_%2.%3").arg(scratch_folder()).arg(++serial).arg(suffix);
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        std::abort(); // the harness cannot work, not a finding
    return name;
}

void report_everything(const rq7_vars& vars, int boost_unit)
{
    const settings_report report(vars.tables, vars.ints, boost_unit);
    const settings_report fresh(rq7_vars(nullptr).tables, rq7_vars(nullptr).ints, 0);
    for (const settings_report::parameter& p : report.parameters())
        require(!p.name.isEmpty());
    report.parameter_differences(fresh);
    for (const settings_report::table_difference& d : report.table_differences(report))
        require(d.unreadable || d.cells == 0);
    report.table_differences(fresh);
}

// The unit's side of a read of all settings, taken from the input in order: each reply or
// acknowledgement is the next bytes; when too few are left the unit has stopped answering.
class replay_link : public rq7_link
{
public:
    replay_link(const uint8_t* data, size_t size)
        : next(reinterpret_cast<const char*>(data))
        , end(next + size)
    {}

    FT_STATUS get_param(QByteArray&, QByteArray& reply, unsigned long expected) override
    {
        reply.clear();
        const QByteArray bytes = take(int(expected) + rq7_protocol::reply_header_size);
        if (bytes.isEmpty())
            return FT_OTHER_ERROR;
        if (!rq7_protocol::is_read_reply(bytes))
            return FT_OTHER_ERROR;
        reply = bytes.right(int(expected));
        return FT_OK;
    }

    FT_STATUS set_param(rq7_msg_type type, QByteArray&) override
    {
        for (int attempt = 0; attempt < 5; ++attempt) {
            const QByteArray ack = take(3);
            if (ack.isEmpty())
                return FT_OTHER_ERROR;
            if (rq7_protocol::is_ack(ack, type))
                return FT_OK;
        }
        return FT_IO_ERROR;
    }

private:
    QByteArray take(int count)
    {
        if (end - next < count)
            return {};
        const QByteArray bytes(next, count);
        next += count;
        return bytes;
    }

    const char* next;
    const char* end;
};

void quiet_handler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg) {
        fprintf(stderr, "%s\n", qPrintable(message));
        std::abort();
    }
}

} // namespace

int fuzz_frame(const uint8_t* data, size_t size)
{
    // The worker decodes a record once its end marker is checked; the decoder itself must
    // take any length. Bytes past the record, when there, are the PC's timestamp.
    const QByteArray input = bytes_of(data, size);
    qint64 stamp = 1700000000000;
    if (size >= 78)
        std::memcpy(&stamp, data + 70, sizeof stamp);
    const rq7_frame frame(input.left(70), stamp);
    // Every decoded sample is written to the log file and must read back the same.
    QByteArray line;
    frame.append_csv_line(line);
    rq7_frame back;
    require(rq7_frame::parse_csv(line.constData(), line.constData() + line.size(), back));
    require(back == frame);
    return 0;
}

int fuzz_log_line(const uint8_t* data, size_t size)
{
    const char* begin = reinterpret_cast<const char*>(data);
    const char* end = begin + size;
    rq7_frame frame;
    if (!rq7_frame::parse_csv(begin, end, frame)) {
        rq7_frame::report_bad_line(begin, end, qint64(size));
        return 0;
    }
    QByteArray line;
    frame.append_csv_line(line);
    rq7_frame again;
    require(rq7_frame::parse_csv(line.constData(), line.constData() + line.size(), again));
    require(again == frame);
    require(rq7_frame(QString::fromUtf8(begin, int(size))) == frame);
    return 0;
}

int fuzz_log_reader(const uint8_t* data, size_t size)
{
    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    // The settings section's own reader has its harness; here it only has to be there whole.
    rq7_log_reader reader(log, marks,
                          [](const QString& section) { require(QFile::exists(section)); });
    reader.set_temp_folder(scratch_folder());
    reader.parse_bytes(bytes_of(data, size));
    // The graph and the export index the marks by sample.
    require(marks.size() == log.size());
    for (int i = 0; i < marks.size(); ++i)
        require(marks.at(i) <= 1);
    return 0;
}

int fuzz_cust_an_csv(const uint8_t* data, size_t size)
{
    const QString name = scratch_file(bytes_of(data, size), "csv");
    QString quantity;
    QVector<double> table;
    if (parse_cust_an_csv(name, quantity, table)) {
        require(table.size() == 1024);
        for (double value : table)
            require(std::isfinite(value));
    }
    QFile::remove(name);
    return 0;
}

int fuzz_vars_file(const uint8_t* data, size_t size)
{
    const QString name = scratch_file(bytes_of(data, size), "vkini");
    rq7_vars vars(nullptr);
    QList<QString> warnings;
    if (vars.file_to_vars(name, warnings)) {
        for (int n = 0; n < t_last; ++n)
            require(vars.tables[n].isEmpty() || rq7_vars::is_table_record(vars.tables[n]));
        report_everything(vars, size > 0 ? data[0] % 3 : 0);
    }
    QFile::remove(name);
    return 0;
}

int fuzz_protocol_replies(const uint8_t* data, size_t size)
{
    replay_link link(data, size);
    rq7_vars vars(&link);
    if (vars.rq7_to_vars() != FT_OK)
        return 0;
    for (int n = t_aux; n <= t_gpo2; ++n)
        require(rq7_vars::is_table_record(vars.tables[n]));
    report_everything(vars, 0);
    // Writing back what was read: the payloads are built from the unit's own values.
    for (int n = t_aux; n <= t_gpo2; ++n)
        vars.add_field_to_var(vars.tables[n], table_index(n));
    for (int n = 0; n < i_last; ++n)
        vars.add_field_to_var(uint(vars.ints[n]), int_index(n));
    vars.vars_to_rq7();
    return 0;
}

int fuzz_table_record(const uint8_t* data, size_t size)
{
    QByteArray record = bytes_of(data, size);
    table_record r;
    // The settings reader and the report judge a record alike.
    require(table_record::decode(record, r) == rq7_vars::is_table_record(record));
    if (record.size() < table_record::size)
        return 0;
    record.truncate(table_record::size);
    record[table_record::size - 1] = char(rq7_protocol::xor_of(record, 0, table_record::size - 1));
    require(table_record::decode(record, r));
    for (const auto& row : r.cells)
        for (quint16 counts : row)
            require(table_record::percent(counts) >= 0 && table_record::percent(counts) <= 100);
    rq7_vars vars(nullptr);
    for (int n = t_aux; n <= t_gpo2; ++n)
        vars.tables[n] = record;
    report_everything(vars, 0);
    return 0;
}

int fuzz_fw_image(const uint8_t* data, size_t size)
{
    const QByteArray image = bytes_of(data, size);
    const fw_image::check_result result = fw_image::check(image);
    require(result.valid == fw_image::describe(result).isEmpty());
    if (!result.valid)
        return 0;
    // A valid image goes to the bootloader line by line, each within what it takes.
    int sent = 0;
    for (const QByteArray& line : image.split('\n')) {
        const QByteArray record = fw_image::line_to_send(line);
        require(record.size() <= fw_image::max_line_length);
        sent += record.isEmpty() ? 0 : 1;
    }
    require(sent == result.lines_sent);
    return 0;
}

const fuzz_target fuzz_targets[] = {
    {"frame", fuzz_frame},
    {"log_line", fuzz_log_line},
    {"log_reader", fuzz_log_reader},
    {"cust_an_csv", fuzz_cust_an_csv},
    {"vars_file", fuzz_vars_file},
    {"protocol_replies", fuzz_protocol_replies},
    {"table_record", fuzz_table_record},
    {"fw_image", fuzz_fw_image},
};
const int fuzz_target_count = int(sizeof fuzz_targets / sizeof fuzz_targets[0]);

void fuzz_setup()
{
    qInstallMessageHandler(quiet_handler);
    // The settings are written in the order of hashed sets: with a random seed the unit's
    // acknowledgements of one input would meet different requests from run to run.
    qSetGlobalQHashSeed(0);
}
