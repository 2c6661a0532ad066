// SPDX-License-Identifier: GPL-3.0-or-later
// The worker's work per live frame: decode the 70-byte record, store it, write its line to
// the live-log file (one write per line) and note the logged-to-file mark.
#include "bench_support.h"
#include "rq7_log.h"
#include "rq7_log_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QVector>

#include <cstdio>

namespace {

constexpr int frame_count = 1000000;

struct result
{
    double seconds;
    qint64 file_bytes;
};

result run(const QVector<QByteArray>& records, const QString& file_name)
{
    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    rq7_log_file file;
    const bool to_file = !file_name.isEmpty();
    if (to_file) {
        file.set_file_name(file_name);
        if (!file.open_for_append()) {
            std::printf("cannot open %s\n", qPrintable(file_name));
            return {0, 0};
        }
    }
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < frame_count; ++i) {
        const rq7_frame frame(records[i % records.size()]);
        record_live_frame(frame, log, marks, file, to_file);
    }
    file.close();
    const double seconds = timer.nsecsElapsed() / 1e9;
    return {seconds, to_file ? QFileInfo(file_name).size() : 0};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QVector<QByteArray> records;
    for (int i = 0; i < 4096; ++i)
        records.append(bench::live_record(i));

    QTemporaryDir dir(QDir::tempPath() + "/quorvane_bench_XXXXXX");
    const QString name = dir.filePath("frames.vklog");

    const result memory_only = run(records, QString());
    const result with_file = run(records, name);
    std::printf("frame path, %d frames (decode + store + mark):\n", frame_count);
    std::printf("  without file: %.3f s, %.0f frames/s, %.2f us/frame\n", memory_only.seconds,
                frame_count / memory_only.seconds, memory_only.seconds * 1e6 / frame_count);
    std::printf("  with file line: %.3f s, %.0f frames/s, %.2f us/frame, %.1f MB written to %s\n",
                with_file.seconds, frame_count / with_file.seconds,
                with_file.seconds * 1e6 / frame_count, with_file.file_bytes / 1e6,
                qPrintable(QFileInfo(name).absolutePath()));
    std::printf("  target: at least 300000 frames/s with the file line\n");
    return 0;
}
