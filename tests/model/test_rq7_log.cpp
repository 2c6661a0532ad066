// SPDX-License-Identifier: GPL-3.0-or-later
#include "log_capture.h"
#include "rq7_log.h"

#include <QMultiHash>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>

namespace {

// A frame whose values all derive from `tag`, so a frame read back tells where it came from.
rq7_frame tagged(qint64 timestamp, quint32 tag)
{
    quint32 values[rq7_frame::value_count];
    for (int c = 0; c < rq7_frame::value_count; ++c)
        values[c] = tag * 31 + quint32(c);
    return rq7_frame::from_values(timestamp, values);
}

// The bucket look-up done the plain way: a multi-map from bucket to every position, walked
// from the newest position down; the best changes on a strictly smaller distance, an exact
// hit ends the walk.
class reference_index
{
public:
    void append(qint64 t)
    {
        stamps.append(t);
        index.insert(t >> 5, stamps.size() - 1);
    }
    int roughly_index(qint64 t) const
    {
        QList<int> candidates = index.values(t >> 5);
        if (candidates.isEmpty())
            return -1;
        std::sort(candidates.begin(), candidates.end(), std::greater<int>());
        int best = candidates.first();
        for (int p : candidates) {
            if (stamps[p] == t) {
                best = p;
                break;
            }
            if (qAbs(stamps[p] - t) < qAbs(stamps[best] - t))
                best = p;
        }
        return best;
    }
    /// The bucket's answer, else the nearest sample in time: the earlier on a tie, and of
    /// equal timestamps the first appended. Searched in one sorted copy of all samples.
    int recall_index(qint64 t)
    {
        const int found = roughly_index(t);
        if (found >= 0 || stamps.isEmpty())
            return found;
        if (sorted.size() != stamps.size()) {
            sorted.clear();
            for (int p = 0; p < stamps.size(); ++p)
                sorted.append({stamps[p], p});
            std::sort(sorted.begin(), sorted.end());
        }
        const auto first_of = [&](qint64 stamp) {
            return std::lower_bound(sorted.begin(), sorted.end(), qMakePair(stamp, -1));
        };
        const auto after = first_of(t);
        if (after == sorted.begin())
            return after->second;
        const auto before = first_of((after - 1)->first);
        if (after == sorted.end() || t - before->first <= after->first - t)
            return before->second;
        return after->second;
    }

private:
    QMultiHash<qint64, int> index;
    QVector<qint64> stamps;
    QVector<QPair<qint64, int>> sorted;
};

} // namespace

class test_rq7_log : public QObject
{
    Q_OBJECT

private slots:
    void append_and_at_round_trip();
    void columns_hold_widened_values();
    void at_out_of_range_data();
    void at_out_of_range();
    void roughly_at_examples_data();
    void roughly_at_examples();
    void roughly_at_matches_multimap_data();
    void roughly_at_matches_multimap();
    void clear_empties_everything();
    void batch_append_equals_single_appends();
    void copy_range_is_clamped_and_aligned();
    void tsafe_qvector_bounds();
};

void test_rq7_log::append_and_at_round_trip()
{
    rq7_log log;
    QByteArray record(70, '\0');
    for (int i = 0; i < 68; ++i)
        record[i] = char(0xF0 ^ i);
    const rq7_frame a(record, 1000);
    const rq7_frame b = tagged(1001, 7);
    log.append(a);
    log.append(b);
    QCOMPARE(log.size(), 2);
    QCOMPARE(log.at(0), a);
    QCOMPARE(log.at(1), b);
    QCOMPARE(log.last(), b);
    QCOMPARE(log.timestamps().at(1), 1001);
}

void test_rq7_log::columns_hold_widened_values()
{
    rq7_log log;
    QByteArray record(70, '\0');
    record.replace(41, 4, QByteArray::fromHex("FFFFFFFE")); // error
    record[32] = char(0xFE);                                // aux_master
    log.append(rq7_frame(record, 3));
    QCOMPARE(log.const_data(e_error).at(0), 4294967294u);
    QCOMPARE(log.const_data(e_aux_master).at(0), 0xFEu);
    QCOMPARE(log.const_data(e_result).size(), 1);
    QCOMPARE(log.const_data(e_batt_adc).at(0), 0u);
}

void test_rq7_log::at_out_of_range_data()
{
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("message");
    QTest::newRow("last of empty") << 0 << -2 << "Index i=-1 >= length=0";
    QTest::newRow("past the end") << 2 << 5 << "Index i=5 >= length=2";
    QTest::newRow("at size") << 2 << 2 << "Index i=2 >= length=2";
    QTest::newRow("negative") << 2 << -3 << "Index i=-3 >= length=2";
}

void test_rq7_log::at_out_of_range()
{
    QFETCH(int, samples);
    QFETCH(int, index);
    QFETCH(QString, message);
    rq7_log log;
    for (int i = 0; i < samples; ++i)
        log.append(tagged(i, quint32(i + 1)));
    log_capture capture;
    const rq7_frame frame = index == -2 ? log.last() : log.at(index);
    QCOMPARE(frame, rq7_frame());
    QCOMPARE(capture.count(message, QtCriticalMsg), 1);
    QCOMPARE(capture.entries().size(), 1);
}

void test_rq7_log::roughly_at_examples_data()
{
    QTest::addColumn<QList<qint64>>("stamps");
    QTest::addColumn<qint64>("t");
    QTest::addColumn<int>("expected"); // position, -1 for a default frame

    QTest::newRow("1031 finds only 1030") << QList<qint64>{1000, 1030} << qint64(1031) << 1;
    QTest::newRow("1023 finds 1000") << QList<qint64>{1000, 1030} << qint64(1023) << 0;
    QTest::newRow("equal distance, newer wins") << QList<qint64>{640, 650} << qint64(645) << 1;
    QTest::newRow("neighbouring bucket is not searched")
        << QList<qint64>{1023} << qint64(1024) << -1;
    QTest::newRow("empty log") << QList<qint64>{} << qint64(5) << -1;
    QTest::newRow("exact hit, newest of equal stamps")
        << QList<qint64>{640, 645, 645, 650} << qint64(645) << 2;
    QTest::newRow("nearest, not newest") << QList<qint64>{641, 660, 670} << qint64(643) << 0;
    QTest::newRow("before 1970: floor bucket") << QList<qint64>{-1, -33} << qint64(-32) << 0;
    QTest::newRow("empty bucket between two, equally near")
        << QList<qint64>{1000, 1064} << qint64(1032) << -1;
}

void test_rq7_log::roughly_at_examples()
{
    QFETCH(QList<qint64>, stamps);
    QFETCH(qint64, t);
    QFETCH(int, expected);
    rq7_log log;
    for (int i = 0; i < stamps.size(); ++i)
        log.append(tagged(stamps[i], quint32(i + 1)));
    log_capture capture;
    QCOMPARE(log.roughly_index(t), expected);
    reference_index reference;
    for (qint64 stamp : stamps)
        reference.append(stamp);
    QCOMPARE(log.recall_index(t), reference.recall_index(t));
    const rq7_frame frame = log.roughly_at(t);
    QCOMPARE(frame, expected < 0 ? rq7_frame() : tagged(stamps[expected], quint32(expected + 1)));
    QCOMPARE(capture.entries().size(), 0);
}

void test_rq7_log::roughly_at_matches_multimap_data()
{
    QTest::addColumn<int>("pattern");
    QTest::addColumn<int>("samples");
    QTest::newRow("rising with repeats and gaps") << 0 << 5000;
    QTest::newRow("random order") << 1 << 600;
    QTest::newRow("runs appended out of order") << 2 << 6000;
    QTest::newRow("rising around zero") << 3 << 3000;
    QTest::newRow("rising with stray zeros") << 4 << 5000;
}

void test_rq7_log::roughly_at_matches_multimap()
{
    QFETCH(int, pattern);
    QFETCH(int, samples);
    QRandomGenerator random(1234 + quint32(pattern));
    rq7_log log;
    reference_index reference;
    qint64 t = pattern == 3 ? -40000 : 1700000000000;
    qint64 low = t;
    qint64 high = t;
    for (int i = 0; i < samples; ++i) {
        switch (pattern) {
        case 0:
        case 3:
            t += random.bounded(0, 40);
            break;
        case 1:
            t = 1700000000000 + random.bounded(0, 3000);
            break;
        case 2: // six runs of rising time, each starting somewhere earlier or later
            if (i % (samples / 6) == 0)
                t = 1700000000000 + random.bounded(0, 40000);
            t += random.bounded(0, 25);
            break;
        case 4:
            t += random.bounded(1, 30);
            break;
        }
        const qint64 stamp = pattern == 4 && random.bounded(100) == 0 ? 0 : t;
        log.append(tagged(stamp, quint32(i)));
        reference.append(stamp);
        if (stamp != 0 || pattern == 3) {
            low = qMin(low, stamp);
            high = qMax(high, stamp);
        }
    }
    int found = 0;
    for (qint64 q = low - 70; q <= high + 70; ++q) {
        const int expected = reference.roughly_index(q);
        const int got = log.roughly_index(q);
        if (got != expected)
            QFAIL(
                qPrintable(QStringLiteral("t=%1: %2 instead of %3").arg(q).arg(got).arg(expected)));
        // Recalling a picked time never answers with a sample that is not there.
        if (log.recall_index(q) != reference.recall_index(q))
            QFAIL(qPrintable(QStringLiteral("recall t=%1: %2 instead of %3")
                                 .arg(q)
                                 .arg(log.recall_index(q))
                                 .arg(reference.recall_index(q))));
        found += expected >= 0;
    }
    for (qint64 q : {qint64(-1), qint64(0), qint64(31), qint64(32)})
        QCOMPARE(log.roughly_index(q), reference.roughly_index(q));
    QVERIFY(found > 0);
}

void test_rq7_log::clear_empties_everything()
{
    rq7_log log;
    for (int i = 0; i < 100; ++i)
        log.append(tagged(5000 - i, quint32(i))); // falling: many sorted stretches
    log.clear();
    QCOMPARE(log.size(), 0);
    QCOMPARE(log.timestamps().size(), 0);
    for (int c = 0; c < rq7_log::column_count; ++c)
        QCOMPARE(log.const_data(e_data(c)).size(), 0);
    QCOMPARE(log.roughly_index(5000), -1);

    log.append(tagged(100, 9));
    QCOMPARE(log.roughly_index(101), 0);
    QCOMPARE(log.at(0), tagged(100, 9));
}

void test_rq7_log::batch_append_equals_single_appends()
{
    rq7_log single;
    rq7_log batch;
    QVector<rq7_frame> frames;
    for (int i = 0; i < 300; ++i)
        frames.append(tagged(i % 100 == 50 ? 7 : 1000 + i * 3, quint32(i)));
    for (const rq7_frame& f : frames)
        single.append(f);
    batch.append(frames.mid(0, 120));
    batch.append(frames.mid(120));
    QCOMPARE(batch.size(), single.size());
    for (int i = 0; i < frames.size(); ++i)
        QCOMPARE(batch.at(i), frames[i]);
    for (qint64 q = 0; q < 2000; ++q)
        QCOMPARE(batch.roughly_index(q), single.roughly_index(q));
}

void test_rq7_log::copy_range_is_clamped_and_aligned()
{
    rq7_log log;
    for (int i = 0; i < 10; ++i)
        log.append(tagged(100 + i, quint32(i)));
    QVector<qint64> stamps;
    QVector<unsigned int> values;
    QCOMPARE(log.copy_range(e_rpm, 8, 20, stamps, values), 2);
    QCOMPARE(stamps, (QVector<qint64>{108, 109}));
    QCOMPARE(values, (QVector<unsigned int>{8 * 31 + 7, 9 * 31 + 7}));
    QCOMPARE(log.copy_range(e_rpm, -5, 1, stamps, values), 1);
    QCOMPARE(log.copy_range(e_rpm, 5, 5, stamps, values), 0);
    QVERIFY(stamps.isEmpty() && values.isEmpty());
}

void test_rq7_log::tsafe_qvector_bounds()
{
    tsafe_qvector<unsigned int> v;
    QCOMPARE(v.at(0), 0u);
    QCOMPARE(v.last(), 0u);
    QVERIFY(!v.replace(0, 1));
    v.append(5);
    v.append(QVector<unsigned int>{6, 7});
    QCOMPARE(v.size(), 3);
    QCOMPARE(v[2], 7u);
    QCOMPARE(v.at(3), 0u);
    QCOMPARE(v.at(-1), 0u);
    QVERIFY(v.replace(2, 9));
    QCOMPARE(v.last(), 9u);
    QCOMPARE(v.copy(1, 99), (QVector<unsigned int>{6, 9}));
    QCOMPARE(v.read_locked([](const QVector<unsigned int>& data) { return data.first(); }), 5u);
    v.clear();
    QCOMPARE(v.size(), 0);
    QCOMPARE(v.copy(0, 1), QVector<unsigned int>());
}

QTEST_GUILESS_MAIN(test_rq7_log)
#include "test_rq7_log.moc"
