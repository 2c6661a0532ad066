// SPDX-License-Identifier: GPL-3.0-or-later
// The worker appends and clears while the live graph reads sizes, columns and whole frames
// from the GUI thread. Every value written depends only on its position, so whatever a reader
// gets must be the value of that position, or 0 where a clear got in between.
#include "log_capture.h"
#include "rq7_log.h"
#include "rq7_log_file.h"

#include <QElapsedTimer>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <atomic>

namespace {

constexpr qint64 base_time = 1700000000000;

rq7_frame frame_for(int position)
{
    quint32 values[rq7_frame::value_count];
    for (int c = 0; c < rq7_frame::value_count; ++c)
        values[c] = quint32(position) * 31u + quint32(c) + 1u;
    return rq7_frame::from_values(base_time + position, values);
}

unsigned int mark_for(int position)
{
    return position % 3 == 0 ? 1 : 0;
}

// True when every field of `got` is that of the frame at `position` or 0.
bool plausible(const rq7_frame& got, int position)
{
    quint32 have[rq7_frame::value_count];
    quint32 want[rq7_frame::value_count];
    got.to_values(have);
    frame_for(position).to_values(want);
    if (got.timestamp != 0 && got.timestamp != base_time + position)
        return false;
    for (int c = 0; c < rq7_frame::value_count; ++c)
        if (have[c] != 0 && have[c] != want[c])
            return false;
    return true;
}

} // namespace

class test_rq7_log_concurrency : public QObject
{
    Q_OBJECT

private slots:
    void graph_reads_while_worker_appends_and_clears();
};

void test_rq7_log_concurrency::graph_reads_while_worker_appends_and_clears()
{
    log_capture capture; // at() may report a sample cleared between a size and a read
    rq7_log log;
    tsafe_qvector<unsigned int> marks;
    rq7_log_file no_file;
    std::atomic<bool> stop{false};
    std::atomic<int> clears{0};
    std::atomic<int> written{0};
    // QThread::wait() joins inside Qt, where the thread sanitizer does not see it; the flag
    // shows it that the writer is done before the log goes away.
    std::atomic<bool> writer_done{false};

    QThread* writer = QThread::create([&] {
        int next = 0;
        int clear_at = 2000;
        while (!stop.load()) {
            record_live_frame(frame_for(next), log, marks, no_file, false);
            marks.replace(next, mark_for(next));
            ++next;
            ++written;
            if (next % 97 == 0)
                (void)log.roughly_index(base_time + next / 2);
            if (next == clear_at) { // as clear_live_logs does
                log.clear();
                marks.clear();
                next = 0;
                clear_at = 1000 + (clear_at * 7) % 9000;
                ++clears;
            }
        }
        writer_done = true;
    });
    writer->start();

    QString failure;
    int reads = 0;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 3000 && failure.isEmpty()) {
        const int n = log.size();
        // What the live graph does: a series over the time column and one value column, each
        // element under its own lock.
        const tsafe_qvector<qint64>& times = log.timestamps();
        const tsafe_qvector<unsigned int>& rpm = log.const_data(e_rpm);
        for (int i = qMax(0, n - 50); i < n; ++i) {
            const qint64 t = times.at(i);
            const unsigned int v = rpm.at(i);
            const unsigned int m = marks.at(i);
            if ((t != 0 && t != base_time + i) || (v != 0 && v != quint16(i * 31 + 8)) ||
                (m != 0 && m != mark_for(i)))
                failure =
                    QStringLiteral("element %1: t=%2 rpm=%3 mark=%4").arg(i).arg(t).arg(v).arg(m);
        }
        if (n > 0 && !plausible(log.at(n - 1), n - 1))
            failure = QStringLiteral("frame %1 mixed up").arg(n - 1);

        QVector<qint64> stamps;
        QVector<unsigned int> values;
        const int from = qMax(0, n - 200);
        const int got = log.copy_range(e_result, from, n, stamps, values);
        if (got != stamps.size() || got != values.size())
            failure = QStringLiteral("copy_range sizes differ");
        for (int k = 0; k < got; ++k)
            if (stamps[k] != base_time + from + k || values[k] != quint32(from + k) * 31u + 31u)
                failure = QStringLiteral("copy_range element %1 wrong").arg(from + k);

        const bool sorted = times.read_locked([](const QVector<qint64>& all) {
            return std::is_sorted(all.constBegin(), all.constEnd());
        });
        if (!sorted)
            failure = QStringLiteral("time column out of order");
        ++reads;
    }
    stop = true;
    writer->wait();
    delete writer;
    QVERIFY(writer_done.load());

    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QVERIFY(reads > 100);
    QVERIFY(clears.load() > 0);
    QVERIFY(written.load() > 10000);
    // Only the bounds message can come up, never anything else.
    QCOMPARE(capture.count("Index i="), capture.entries().size());
}

QTEST_GUILESS_MAIN(test_rq7_log_concurrency)
#include "test_rq7_log_concurrency.moc"
