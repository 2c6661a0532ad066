// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a recorded log: a .vklog of 1,000,000 samples parsed into the store, against the
// time `wc -l` needs just to count the lines of the same file.
#include "bench_support.h"
#include "rq7_log.h"
#include "rq7_log_file.h"
#include "rq7_log_reader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int sample_count = 1000000;

// The settings section as the variable store writes it, then the log header and the samples.
bool write_log(const QString& name)
{
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block = "[rq7_vars]\r\n";
    for (int t = 1; t <= 4; ++t) {
        block += "tables\\" + QByteArray::number(t) + "\\AUX%20duty%20table=@ByteArray(";
        for (int b = 0; b < 640; ++b)
            block += "\\x" + QByteArray::number(b % 256, 16);
        block += ")\r\n";
    }
    for (int i = 1; i <= 41; ++i)
        block += "ints\\" + QByteArray::number(i) + "\\RPM%20scaler=" + QByteArray::number(i * 7) +
                 "\r\n";
    block += "ints\\size=41\r\ntables\\size=4\r\ntrims\\size=0\r\n";
    block += rq7_log_file::log_header(name) + "\r\n" + rq7_frame::csv_header_bytes();
    qint64 t = 1700000000000;
    for (int i = 0; i < sample_count; ++i) {
        t += 12 + i % 3; // the unit's pace, about 76 samples a second
        rq7_frame(bench::live_record(i), t).append_csv_line(block);
        if (block.size() > (1 << 20)) {
            if (file.write(block) != block.size())
                return false;
            block.resize(0);
        }
    }
    return file.write(block) == block.size();
}

double time_wc(const QString& name, QByteArray& output)
{
    QElapsedTimer timer;
    timer.start();
    QProcess wc;
    wc.start("wc", {"-l", name});
    wc.waitForFinished(-1);
    const double seconds = timer.nsecsElapsed() / 1e9;
    output = wc.readAllStandardOutput().trimmed();
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir(QDir::tempPath() + "/quorvane_bench_XXXXXX");
    const QString name = dir.filePath("parse.vklog");
    if (!write_log(name)) {
        std::printf("cannot write %s\n", qPrintable(name));
        return 1;
    }
    const qint64 bytes = QFileInfo(name).size();

    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    int settings_sections = 0;
    double best_parse = 1e9;
    double best_wc = 1e9;
    QByteArray wc_output;
    for (int round = 0; round < 3; ++round) { // best of three, all from the page cache
        best_wc = qMin(best_wc, time_wc(name, wc_output));
        rq7_log_reader reader(log, marks, [&](const QString&) { ++settings_sections; });
        QElapsedTimer timer;
        timer.start();
        const auto status = reader.parse(name);
        best_parse = qMin(best_parse, timer.nsecsElapsed() / 1e9);
        if (status != rq7_log_reader::p_parsed || reader.bad_lines() != 0) {
            std::printf("parse failed: status %d, %d bad lines\n", int(status), reader.bad_lines());
            return 1;
        }
    }
    std::printf("log parse, %d samples, %.1f MB, %d settings sections handed over:\n", log.size(),
                bytes / 1e6, settings_sections);
    std::printf("  parse into the store: %.3f s, %.0f MB/s, %.0f samples/s\n", best_parse,
                bytes / 1e6 / best_parse, log.size() / best_parse);
    std::printf("  wc -l (%s): %.3f s, %.0f MB/s\n", wc_output.constData(), best_wc,
                bytes / 1e6 / best_wc);
    std::printf("  parse time / wc -l time: %.2f\n", best_parse / best_wc);
    std::printf("  target: at least 100 MB/s\n");
    return 0;
}
