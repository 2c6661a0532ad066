// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter.h"
#include "log_coverage.h"
#include "log_playback.h"
#include "rq7_log.h"
#include "rq7_log_view.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>

namespace {

constexpr qint64 step_ms = 13;
constexpr qint64 start_ms = 1700000000000;

rq7_frame sample(qint64 t, quint16 rpm, quint16 map, quint16 an1, quint16 main_duty)
{
    rq7_frame f;
    f.timestamp = t;
    f.rpm = rpm;
    f.map_adc = map;
    f.an1_adc = an1;
    f.main_duty = main_duty;
    return f;
}

/// Breakpoints of a table: columns left to right, rows top first.
log_coverage::axes make_axes(QVector<double> rpm, double bottom, double top, int source)
{
    log_coverage::axes a;
    a.rpm = rpm;
    for (int r = 0; r < 16; ++r)
        a.vertical.append(top - r * (top - bottom) / 15);
    a.source = source;
    return a;
}

QVector<double> rpm_axis(double first, double step)
{
    QVector<double> v = {0};
    for (int i = 1; i < 16; ++i)
        v.append(first + (i - 1) * step);
    return v;
}

/// The nearest breakpoint by looking at every one: the smallest distance, of equal distances
/// the lower breakpoint, of equal breakpoints the one lowest on the axis.
int nearest(const QVector<double>& axis, double v, bool top_first)
{
    int best = -1;
    for (int k = 0; k < axis.size(); ++k) {
        const int i = top_first ? axis.size() - 1 - k : k;
        if (best < 0) {
            best = i;
            continue;
        }
        const double d = std::abs(v - axis[i]), bd = std::abs(v - axis[best]);
        if (d < bd || (d == bd && axis[i] < axis[best]))
            best = i;
    }
    return best;
}

} // namespace

class test_log_coverage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void counts_and_means_match_a_plain_count_data();
    void counts_and_means_match_a_plain_count();
    void axis_change_moves_samples();
    void ties_edges_and_gaps();
    void filters_and_copy();
    void playback_plays_in_order_and_skips_gaps();
    void playback_moves_by_hand();

private:
    rq7_log log;
    converter conv;
};

// Samples all over the table, 13 ms apart, with a 5-minute pause between two recordings.
void test_log_coverage::init()
{
    log.clear();
    QRandomGenerator random(28);
    qint64 t = start_ms;
    for (int i = 0; i < 600; ++i) {
        if (i == 300)
            t += 5 * 60 * 1000;
        log.append(sample(t, quint16(random.bounded(9000)), quint16(random.bounded(1100)),
                          quint16(random.bounded(1024)), quint16(random.bounded(1024))));
        t += step_ms;
    }
    QVector<double> table(1024);
    for (int c = 0; c < 1024; ++c)
        table[c] = 10 + c * 0.02; // a wideband sensor's AFR, say
    QVERIFY(conv.set_cust_ana(table));
}

void test_log_coverage::counts_and_means_match_a_plain_count_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<double>("bottom");
    QTest::addColumn<double>("top");
    QTest::newRow("MAP 0..30 PSI") << int(log_coverage::v_map) << 0.0 << 30.0;
    QTest::newRow("MAP -5..40 PSI") << int(log_coverage::v_map) << -5.0 << 40.0;
    QTest::newRow("analog A 0.5..4.5 V") << int(log_coverage::v_analog_a) << 0.5 << 4.5;
}

void test_log_coverage::counts_and_means_match_a_plain_count()
{
    QFETCH(int, source);
    QFETCH(double, bottom);
    QFETCH(double, top);
    const log_coverage::axes axes = make_axes(rpm_axis(1000, 500), bottom, top, source);
    const log_coverage c = log_coverage::compute(rq7_log_view(log), axes, log_coverage::filter(),
                                                 log_coverage::c_analog_a, conv);
    QCOMPARE(c.rows(), 16);
    QCOMPARE(c.columns(), 16);

    int samples[16][16] = {};
    double sums[16][16] = {};
    double maxima[16][16] = {};
    for (int i = 0; i < log.size(); ++i) {
        const rq7_frame f = log.at(i);
        const double v = source == log_coverage::v_map
                             ? conv.adc2boost(qMin<quint16>(f.map_adc, 1023))
                             : qMin<quint16>(f.an1_adc, 1023) / 204.6;
        const int row = nearest(axes.vertical, v, true);
        const int column = nearest(axes.rpm, f.rpm, false);
        const double afr = 10 + qMin<quint16>(f.an1_adc, 1023) * 0.02;
        maxima[row][column] = samples[row][column] ? qMax(maxima[row][column], afr) : afr;
        sums[row][column] += afr;
        ++samples[row][column];
    }
    int visited = 0;
    for (int row = 0; row < 16; ++row) {
        for (int column = 0; column < 16; ++column) {
            const log_coverage::cell& cell = c.at(row, column);
            QCOMPARE(cell.samples, samples[row][column]);
            // Every sample stands for one 13 ms step; the pause counts as one step too.
            QVERIFY(qFuzzyCompare(1 + cell.seconds, 1 + samples[row][column] * 0.013));
            if (samples[row][column] == 0)
                continue;
            ++visited;
            QVERIFY(qFuzzyCompare(cell.mean(), sums[row][column] / samples[row][column]));
            QCOMPARE(cell.max, maxima[row][column]);
        }
    }
    QVERIFY(visited > 50);
    QVERIFY(qFuzzyCompare(c.total_seconds(), 600 * 0.013));
}

void test_log_coverage::axis_change_moves_samples()
{
    log.clear();
    log.append(sample(start_ms, 2600, 0, 0, 0));
    const auto cell_of_sample = [&](const log_coverage::axes& axes) {
        const log_coverage c = log_coverage::compute(
            rq7_log_view(log), axes, log_coverage::filter(), log_coverage::c_time, conv);
        for (int row = 0; row < c.rows(); ++row)
            for (int column = 0; column < c.columns(); ++column)
                if (c.at(row, column).samples == 1)
                    return QPoint(column, row);
        return QPoint(-1, -1);
    };
    // 2600 RPM at 8000 RPM (1000, 1500, ... ) is nearest 2500, column 4; at 4000 RPM (500,
    // 750, ...) it is nearest 2500, column 9. MAP 0 counts is vacuum: the bottom row.
    QCOMPARE(cell_of_sample(make_axes(rpm_axis(1000, 500), 0, 30, 0)), QPoint(4, 15));
    QCOMPARE(cell_of_sample(make_axes(rpm_axis(500, 250), 0, 30, 0)), QPoint(9, 15));
}

void test_log_coverage::ties_edges_and_gaps()
{
    log.clear();
    const quint16 atm = conv.boost2adc(0);
    log.append(sample(start_ms, 1250, atm, 0, 0));       // halfway 1000..1500: 1000
    log.append(sample(start_ms + 20, 9500, 1023, 0, 0)); // beyond both axes: top right
    log.append(sample(start_ms + 40, 750, 0, 0, 0));     // halfway 500..1000: 500
    log.append(sample(start_ms + 5040, 60000, 0, 0, 0)); // after a 5 s pause
    log.append(sample(start_ms + 5000, 0, 0, 0, 0));     // the clock went back
    const log_coverage c =
        log_coverage::compute(rq7_log_view(log), make_axes(rpm_axis(500, 500), 0, 30, 0),
                              log_coverage::filter(), log_coverage::c_time, conv);
    QCOMPARE(c.at(15, 2).samples, 1);
    QCOMPARE(c.at(0, 15).samples, 1);
    QCOMPARE(c.at(15, 1).samples, 1);
    QCOMPARE(c.at(15, 15).samples, 1);
    QCOMPARE(c.at(15, 0).samples, 1);
    // Steps 20, 20, then the pause and the step back count as the usual step (20), and the
    // last sample too.
    QCOMPARE(c.at(15, 1).seconds, 0.020);
    QCOMPARE(c.at(15, 15).seconds, 0.020);
    QVERIFY(qFuzzyCompare(c.total_seconds(), 0.1));
    QVERIFY(qFuzzyCompare(c.share(0, 15), 0.2));
}

void test_log_coverage::filters_and_copy()
{
    log.clear();
    // Three samples in one cell, one of them with the output off; one alone in another.
    log.append(sample(start_ms, 1000, 0, 100, 1023));
    log.append(sample(start_ms + 10, 1000, 0, 200, 0));
    log.append(sample(start_ms + 20, 1000, 0, 300, 512));
    log.append(sample(start_ms + 30, 8000, 0, 400, 1023));
    const auto axes = make_axes(rpm_axis(1000, 500), 0, 30, 0);
    log_coverage::filter f;
    f.min_samples = 2;
    log_coverage c =
        log_coverage::compute(rq7_log_view(log), axes, f, log_coverage::c_analog_a, conv);
    QVERIFY(c.shown_at(15, 1));
    QVERIFY(!c.shown_at(15, 15));
    QVERIFY(qFuzzyCompare(c.value(15, 1, false), 10 + 200 * 0.02));
    QVERIFY(qFuzzyCompare(c.value(15, 1, true), 10 + 300 * 0.02));
    const QStringList rows = c.to_tsv(false).split('\n');
    QCOMPARE(rows.size(), 17); // 16 rows, each ended by a newline
    QCOMPARE(rows[15], "\t14.00" + QString(14, '\t'));
    QCOMPARE(rows[0], QString(15, '\t'));

    // Above a 60 % minimum only: the samples at 100 %, not the one at 50 %.
    f.min_samples = 1;
    f.only_active = true;
    f.duty = e_main_duty;
    f.min_duty = 60;
    c = log_coverage::compute(rq7_log_view(log), axes, f, log_coverage::c_analog_a, conv);
    QCOMPARE(c.at(15, 1).samples, 1);
    QCOMPARE(c.at(15, 15).samples, 1);
    QVERIFY(qFuzzyCompare(c.value(15, 1, false), 10 + 100 * 0.02));
    QCOMPARE(c.total_samples(), 4);
}

// Two recordings 20 ms a sample, 10 minutes apart: at 16 times the pace the whole run, the
// pause as one step, takes about 100 samples x 20 ms / 16, far below the pause's real length.
void test_log_coverage::playback_plays_in_order_and_skips_gaps()
{
    log.clear();
    for (int i = 0; i < 100; ++i)
        log.append(sample(start_ms + i * 20 + (i >= 50 ? 600000 : 0), quint16(i), 0, 0, 0));
    log_playback playback;
    playback.set_log(rq7_log_view(log));
    QSignalSpy shown(&playback, &log_playback::frame_shown);
    QSignalSpy playing(&playback, &log_playback::playing_changed);
    QVERIFY(playback.set_speed(16));
    QVERIFY(!playback.set_speed(3));
    QCOMPARE(playback.speed(), 16);
    QElapsedTimer clock;
    clock.start();
    playback.play();
    QVERIFY(playback.is_playing());
    QTRY_VERIFY_WITH_TIMEOUT(!playback.is_playing(), 3000);
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(playback.position(), 99);
    int last = -1;
    for (const QList<QVariant>& s : shown) {
        const int index = s[0].toInt();
        QVERIFY(index > last);
        QCOMPARE(int(s[1].value<rq7_frame>().rpm), index);
        last = index;
    }
    QCOMPARE(last, 99);
    QCOMPARE(playing.size(), 2);
}

void test_log_coverage::playback_moves_by_hand()
{
    log.clear();
    for (int i = 0; i < 10; ++i)
        log.append(sample(start_ms + i * 13, quint16(i), 0, 0, 0));
    log_playback playback;
    QSignalSpy shown(&playback, &log_playback::frame_shown);
    playback.set_log(rq7_log_view(log));
    QCOMPARE(shown.size(), 0); // nothing until the user plays or moves
    playback.step_back();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(playback.position(), 0);
    playback.step_forward();
    playback.step_forward();
    QCOMPARE(playback.position(), 2);
    playback.end();
    QCOMPARE(playback.position(), 9);
    QCOMPARE(shown.last()[1].value<rq7_frame>().rpm, quint16(9));
    playback.step_forward();
    QCOMPARE(playback.position(), 9);
    playback.seek(-5);
    QCOMPARE(playback.position(), 0);
    playback.seek(4);
    QCOMPARE(playback.position_time(), start_ms + 4 * 13);
    playback.home();
    QCOMPARE(playback.position(), 0);

    // An emptied log shows nothing and cannot play.
    log.clear();
    playback.reload();
    QCOMPARE(playback.size(), 0);
    playback.play();
    QVERIFY(!playback.is_playing());
    playback.step_forward();
    QCOMPARE(playback.size(), 0);
}

QTEST_GUILESS_MAIN(test_log_coverage)
#include "test_log_coverage.moc"
