// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the fuzzers' seed corpora, one folder per harness, with the program's own writers
// and the simulated unit's replies: make_fuzz_corpus OUT_FOLDER. The committed seeds under
// tests/fuzz/corpus come from it.
#include "fw_image_text.h"
#include "rq7_frame.h"
#include "rq7_link.h"
#include "rq7_log_file.h"
#include "rq7_protocol.h"
#include "rq7_sim_unit.h"
#include "rq7_vars.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace std::chrono_literals;

namespace {

QString out_root;

bool put(const char* target, const QString& name, const QByteArray& bytes)
{
    const QString folder = out_root + '/' + target;
    QDir().mkpath(folder);
    QFile file(folder + '/' + name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray read_all(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Passes every exchange to the simulated unit and keeps the bytes it answers, in the order
// the protocol harness takes them.
class recording_link : public rq7_link
{
public:
    explicit recording_link(rq7_sim_unit& sim)
        : unit(sim)
    {}

    FT_STATUS get_param(QByteArray& request, QByteArray& reply, unsigned long expected) override
    {
        const QByteArray answer = exchange(request);
        reply = answer.mid(rq7_protocol::reply_header_size, int(expected));
        return answer.size() == int(expected) + rq7_protocol::reply_header_size ? FT_OK
                                                                                : FT_OTHER_ERROR;
    }

    FT_STATUS set_param(rq7_msg_type type, QByteArray& payload) override
    {
        return rq7_protocol::is_ack(exchange(rq7_protocol::build_frame(type, payload)), type)
                   ? FT_OK
                   : FT_IO_ERROR;
    }

    QByteArray recorded;

private:
    QByteArray exchange(const QByteArray& request)
    {
        now += 1s;
        unit.host_to_unit(request, now);
        now += 1s;
        const QByteArray answer = unit.unit_to_host(now);
        recorded += answer;
        return answer;
    }

    rq7_sim_unit& unit;
    sim_clock::time_point now = sim_clock::now();
};

QList<QByteArray> live_records(rq7_sim_unit& unit, int count)
{
    auto now = sim_clock::now();
    unit.host_to_unit(rq7_protocol::build_frame(msg_live_data, QByteArray(1, '\x55')), now);
    const QByteArray stream = unit.unit_to_host(now + rq7_sim_unit::frame_period * (count + 1))
                                  .mid(3); // after the acknowledgement
    QList<QByteArray> records;
    for (int at = 0; at + 70 <= stream.size() && records.size() < count; at += 70)
        records << stream.mid(at, 70);
    return records;
}

bool write_settings(rq7_vars& vars, const QString& name)
{
    for (int n = 0; n < t_last; ++n)
        vars.changed_tables.insert(table_index(n));
    for (int n = 0; n < i_last; ++n)
        vars.changed_ints.insert(int_index(n));
    for (int n = 0; n < a_last; ++n)
        vars.changed_trims.insert(adc_trim_index(n));
    return vars.vars_to_file(name);
}

QByteArray custom_analog_csv(const QByteArray& header, bool comments)
{
    QByteArray text = header + "\r\n";
    if (comments)
        text += "# counts, reading\r\n";
    for (int n = 0; n < 1024; ++n)
        text +=
            QByteArray::number(n) + ", " + QByteArray::number(-40 + n * 0.1953125, 'g', 8) + "\r\n";
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    qSetGlobalQHashSeed(0); // the order of the writes, as the protocol harness has it
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_corpus OUT_FOLDER\n");
        return 64;
    }
    out_root = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir scratch;
    bool ok = scratch.isValid();

    rq7_sim_unit unit;
    recording_link link(unit);
    rq7_vars vars(&link);
    ok = ok && vars.rq7_to_vars() == FT_OK;
    for (int n = t_aux; n <= t_gpo2; ++n)
        vars.add_field_to_var(vars.tables[n], table_index(n));
    for (int n = 0; n < i_last; ++n)
        vars.add_field_to_var(uint(vars.ints[n]), int_index(n));
    ok = ok && vars.vars_to_rq7() == FT_OK;
    ok = ok && put("protocol_replies", "read_then_write_all", link.recorded);

    for (int n = 0; n < 4; ++n)
        ok =
            ok && put("table_record", QString("factory_%1").arg(n), rq7_sim_unit::factory_table(n));

    const QList<QByteArray> records = live_records(unit, 24);
    ok = ok && records.size() == 24;
    for (int n = 0; n < 3 && ok; ++n) {
        ok = put("frame", QString("record_%1").arg(n), records[n * 8]);
        const rq7_frame frame(records[n * 8], 1700000000000 + n * 13);
        ok = ok && put("log_line", QString("sample_%1").arg(n), frame.to_csv_line().toLatin1());
    }
    ok = ok && put("log_line", "header", rq7_frame::csv_header_bytes());

    const QString settings_name = scratch.filePath("settings.vkini");
    ok = ok && write_settings(vars, settings_name);
    ok = ok && put("vars_file", "settings.vkini", read_all(settings_name));

    // A live log as the worker writes it: settings section, log header, samples; then a second
    // recording appended to the same file after a pause.
    const QString log_name = scratch.filePath("live.vklog");
    ok = ok && write_settings(vars, log_name);
    rq7_log_file log_file;
    log_file.set_file_name(log_name);
    for (int run = 0; run < 2 && ok; ++run) {
        ok = log_file.open_for_append();
        for (int n = 0; n < 12 && ok; ++n)
            ok = log_file.write_frame(
                rq7_frame(records[run * 12 + n], 1700000000000 + run * 60000 + n * 13));
        log_file.close();
        if (run == 0)
            ok = ok && put("log_reader", "one_run.vklog", read_all(log_name));
    }
    ok = ok && put("log_reader", "two_runs.vklog", read_all(log_name));

    ok = ok && put("cust_an_csv", "temperature.csv", custom_analog_csv("Temperature", false));
    ok = ok && put("cust_an_csv", "bom_comment.csv",
                   custom_analog_csv("\xEF\xBB\xBFOil \xC2\xB0"
                                     "C",
                                     true));

    ok = ok && put("fw_image", "image.hex", fw_text::image(6, true));
    ok = ok && put("fw_image", "image_crlf.hex", fw_text::image(3, false).replace("\n", "\r\n"));

    if (!ok) {
        std::fprintf(stderr, "make_fuzz_corpus: could not write the seeds\n");
        return 1;
    }
    return 0;
}
