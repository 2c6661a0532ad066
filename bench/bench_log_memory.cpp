// SPDX-License-Identifier: GPL-3.0-or-later
// Peak memory per stored sample: 1,000,000 live samples with their logged-to-file marks, then
// the same number parsed from a file.
#include "bench_support.h"
#include "rq7_log.h"
#include "rq7_log_file.h"
#include "rq7_log_reader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int sample_count = 1000000;

void report(const char* what, qint64 before_kb, qint64 after_kb)
{
    const double per_sample = (after_kb - before_kb) * 1024.0 / sample_count;
    std::printf("  %s: VmHWM %lld kB -> %lld kB, %.1f bytes per sample\n", what,
                static_cast<long long>(before_kb), static_cast<long long>(after_kb), per_sample);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir(QDir::tempPath() + "/quorvane_bench_XXXXXX");
    const QString name = dir.filePath("memory.vklog");
    std::printf("memory, %d samples (31 columns x 4 + 8 timestamp + 4 mark = 136 bytes of "
                "data):\n",
                sample_count);

    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    {
        rq7_log_file file;
        file.set_file_name(name);
        file.open_for_append();
        const qint64 before = bench::status_kb("VmHWM");
        qint64 t = 1700000000000;
        for (int i = 0; i < sample_count; ++i) {
            t += 12 + i % 3;
            record_live_frame(rq7_frame(bench::live_record(i), t), log, marks, file, true);
        }
        report("live samples", before, bench::status_kb("VmHWM"));
    }

    log.clear();
    marks.clear();
    if (!bench::reset_peak()) {
        std::printf("  cannot reset the peak (/proc/self/clear_refs), parse not measured\n");
        return 0;
    }
    const qint64 before = bench::status_kb("VmRSS");
    rq7_log_reader reader(log, marks);
    reader.parse(name);
    report("parsed from file", before, bench::status_kb("VmHWM"));
    std::printf("  target: at most 200 bytes per sample\n");
    return 0;
}
