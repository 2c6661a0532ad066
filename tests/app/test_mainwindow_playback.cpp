// SPDX-License-Identifier: GPL-3.0-or-later
// Tuning from a log in the real window: a log written here with known samples played back
// (read-outs, graph marker, table lines, nothing sent to the unit), its coverage on a table
// page counted independently and following the axes, and a log recorded from the simulated
// unit exported from the window byte for byte as quorvane-cli exports it.
#include "box_answerer.h"
#include "dialog_answerer.h"
#include "duty_table.h"
#include "log_graph.h"
#include "log_playback.h"
#include "rq7_protocol.h"
#include "rq7_worker.h"
#include "window_fixture.h"

#include <qwt_plot_marker.h>
#include <qwt_scale_div.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <cmath>

namespace {

constexpr qint64 start_ms = 1700000000000;
constexpr int known_samples = 120;

/// Sample i of the known log: two recordings of 60 samples 20 ms apart, ten minutes between
/// them; engine speed on the 8000 RPM axis's breakpoints, MAP and analog A stepping.
rq7_frame known(int i)
{
    rq7_frame f;
    f.timestamp = start_ms + i * 20 + (i >= 60 ? 600000 : 0);
    f.rpm = quint16(1000 + (i % 12) * 500);
    f.map_adc = quint16(250 + (i % 7) * 90);
    f.an1_adc = quint16(100 + i * 7);
    f.main_duty = quint16((i % 3) * 400);
    f.aux_master = 9;
    return f;
}

/// The cell of a value on an axis by looking at every breakpoint: nearest, ties to the lower.
int nearest(const QVector<double>& axis, double v)
{
    int best = 0;
    for (int i = 1; i < axis.size(); ++i) {
        const double d = std::abs(v - axis[i]), bd = std::abs(v - axis[best]);
        if (d < bd || (d == bd && axis[i] < axis[best]))
            best = i;
    }
    return best;
}

} // namespace

class test_mainwindow_playback : public QObject, public window_fixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { stop(); }

    void playback_shows_each_sample_and_sends_nothing();
    void coverage_counts_follow_the_axes_and_copy();
    void export_from_the_window_equals_the_cli_export();

private:
    QString write_known_log();
    void open_log(const QString& name);
    QList<quint8> frames_received() const;

    QTemporaryDir folder;
};

void test_mainwindow_playback::initTestCase()
{
    QCoreApplication::setApplicationVersion("2.11.0");
}

void test_mainwindow_playback::init()
{
    prepare();
    QSettings().setValue("MainWindow/live_log_folder_name", folder.path());
    open(QSize(1280, 900));
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

QString test_mainwindow_playback::write_known_log()
{
    const QString name = folder.filePath("known.vklog");
    QFile file(name);
    file.open(QIODevice::WriteOnly);
    file.write("[rq7_log]\r\n");
    file.write(rq7_frame::csv_header().toLatin1());
    for (int i = 0; i < known_samples; ++i)
        file.write(known(i).to_csv_line().toLatin1());
    return name;
}

void test_mainwindow_playback::open_log(const QString& name)
{
    box_answerer boxes;
    dialog_answerer dialogs;
    dialogs.answers << name;
    QSignalSpy parsed(window->worker(), &rq7_worker::parsed_log_file);
    w<QPushButton>("open_live_log_file")->click();
    QTRY_COMPARE(parsed.count(), 1);
    // The spy hears the worker at once; the window takes the file's samples a moment later.
    // Until then the bar may be on over what was stored before, and a move made there would
    // be undone when the file's samples arrive.
    const int samples = window->worker()->log_times().size();
    auto* playback = window->findChild<log_playback*>();
    QTRY_COMPARE(playback->size(), samples);
    QTRY_VERIFY(w<QWidget>("playback_bar")->isEnabled());
}

QList<quint8> test_mainwindow_playback::frames_received() const
{
    QList<quint8> types;
    for (const QByteArray& frame : sim->unit->received_frames())
        types << quint8(frame.at(1));
    return types;
}

void test_mainwindow_playback::playback_shows_each_sample_and_sends_nothing()
{
    connect_window();
    QTRY_VERIFY(!w<QWidget>("playback_bar")->isEnabled()); // nothing stored yet
    open_log(write_known_log());
    sim->unit->clear_received_frames();
    w<QTabWidget>("main_tab")->setCurrentWidget(w<QWidget>("live"));

    // Moved to a sample of the second recording: its values everywhere.
    const int k = 70;
    w<QSlider>("playback_slider")->setValue(k);
    const rq7_frame f = known(k);
    QCOMPARE(w<QLineEdit>("live_rpm")->text(), QString::number(f.rpm));
    QCOMPARE(w<QSpinBox>("main_horz_live_value")->value(), int(f.rpm));
    QCOMPARE(w<QLineEdit>("live_aux_master")->text(), QString("RQ7 PWM"));
    QCOMPARE(w<QLabel>("playback_position")->text(),
             QDateTime::fromMSecsSinceEpoch(f.timestamp).toString("yyyy-MM-dd hh:mm:ss.zzz"));
    auto* graph = w<log_graph>("live_log_graph");
    QCOMPARE(qint64(graph->time_marker()->xValue()), f.timestamp);
    QTRY_VERIFY(graph->axisScaleDiv(QwtPlot::xBottom).contains(double(f.timestamp)));

    // The MAIN table's lines stand on the cell of that sample (once their rest is over).
    auto* table = w<duty_table>("main_table");
    QVector<double> columns;
    for (int c = 0; c < table->columnCount(); ++c)
        columns << table->horz_header_at(c);
    const int column = nearest(columns, f.rpm);
    auto* line = table->viewport()->findChild<QFrame*>("vert_frame");
    QTRY_VERIFY(line->geometry().x() >= table->columnViewportPosition(column) &&
                line->geometry().x() <
                    table->columnViewportPosition(column) + table->columnWidth(column));

    // Keys on the page: Right and Left step, End and Home jump.
    QWidget* page = w<QWidget>("live");
    page->setFocus();
    QTest::keyClick(page, Qt::Key_Right);
    QCOMPARE(w<QLineEdit>("live_rpm")->text(), QString::number(known(k + 1).rpm));
    QTest::keyClick(page, Qt::Key_Left);
    QTest::keyClick(page, Qt::Key_Left);
    QCOMPARE(w<QLineEdit>("live_rpm")->text(), QString::number(known(k - 1).rpm));
    QTest::keyClick(page, Qt::Key_End);
    QCOMPARE(w<QSlider>("playback_slider")->value(), known_samples - 1);
    QTest::keyClick(page, Qt::Key_Home);
    QCOMPARE(w<QSlider>("playback_slider")->value(), 0);
    // A check box on the page keeps its Space.
    auto* timer_box = w<QCheckBox>("live_log_use_timer");
    timer_box->setFocus();
    QTest::keyClick(timer_box, Qt::Key_Space);
    QVERIFY(timer_box->isChecked());
    QVERIFY(!window->findChild<log_playback*>()->is_playing());
    timer_box->setChecked(false);
    page->setFocus();

    // Played at 16x: in order to the end, the ten-minute pause lasting one step.
    auto* playback = window->findChild<log_playback*>();
    QVERIFY(playback);
    QSignalSpy shown(playback, &log_playback::frame_shown);
    auto* speed = w<QComboBox>("playback_speed");
    speed->setCurrentIndex(speed->findData(16));
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(page, Qt::Key_Space);
    QVERIFY(playback->is_playing());
    QTRY_VERIFY_WITH_TIMEOUT(!playback->is_playing(), 5000);
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    int last = -1;
    for (const QList<QVariant>& s : shown) {
        QVERIFY(s[0].toInt() > last);
        last = s[0].toInt();
    }
    QCOMPARE(last, known_samples - 1);
    QCOMPARE(w<QLineEdit>("live_rpm")->text(), QString::number(known(known_samples - 1).rpm));
    QTest::qWait(200);
    QVERIFY2(frames_received().isEmpty(), "playback sent something to the unit");

    // Live updates take the read-outs back: no playback meanwhile.
    w<QAction>("act_logging")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(sim->unit->streaming(), 5000);
    QTRY_VERIFY(!w<QWidget>("playback_bar")->isEnabled());
    w<QAction>("act_logging")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!sim->unit->streaming(), 5000);
    QTRY_VERIFY(w<QWidget>("playback_bar")->isEnabled()); // the stored live log plays
}

void test_mainwindow_playback::coverage_counts_follow_the_axes_and_copy()
{
    open_log(write_known_log());
    w<QTabWidget>("main_tab")->setCurrentWidget(w<QWidget>("main"));
    QWidget* bar = w<QWidget>("main_coverage");
    child<QCheckBox>(bar, "coverage_show")->setChecked(true);
    auto* channels = child<QComboBox>(bar, "coverage_channel");
    channels->setCurrentIndex(channels->findText("Analog A [V]"));
    auto* table = w<duty_table>("main_table");

    // Counted here from the table's own breakpoints, sample by sample.
    auto expected_counts = [&] {
        QVector<double> columns, rows;
        for (int c = 0; c < table->columnCount(); ++c)
            columns << table->horz_header_at(c);
        for (int r = 0; r < table->rowCount(); ++r)
            rows << table->vert_header_at(r);
        QMap<QPair<int, int>, QPair<int, double>> cells; // (row, column): samples, volt sum
        const double slope = w<QDoubleSpinBox>("active_slope")->value();
        const double intercept = w<QDoubleSpinBox>("active_intercept")->value();
        for (int i = 0; i < known_samples; ++i) {
            const rq7_frame f = known(i);
            const double boost = (f.map_adc - intercept) / slope;
            auto& cell = cells[{nearest(rows, boost), nearest(columns, f.rpm)}];
            ++cell.first;
            cell.second += f.an1_adc * 5.0 / 1023;
        }
        return cells;
    };
    auto check = [&] {
        const auto cells = expected_counts();
        for (int r = 0; r < table->rowCount(); ++r) {
            for (int c = 0; c < table->columnCount(); ++c) {
                const QString tip = table->item(r, c)->toolTip();
                if (!cells.contains({r, c})) {
                    QVERIFY2(tip.isEmpty(), qPrintable(tip));
                    continue;
                }
                const auto cell = cells[{r, c}];
                QVERIFY2(
                    tip.contains(QString(", %1 samples").arg(cell.first)),
                    qPrintable(
                        QString("%1,%2: %3 expected %4").arg(r).arg(c).arg(tip).arg(cell.first)));
                QVERIFY2(
                    tip.contains(QString("mean %1 V").arg(cell.second / cell.first, 0, 'f', 2)),
                    qPrintable(tip));
            }
        }
    };
    QTRY_VERIFY(table->has_coverage());
    check();

    // A new range moves the samples to the cells they now fall in.
    auto tips = [table] {
        QStringList all;
        for (int i = 0; i < table->rowCount() * table->columnCount(); ++i)
            all << table->item(i / table->columnCount(), i % table->columnCount())->toolTip();
        return all;
    };
    const QStringList before = tips();
    w<QSpinBox>("max_engine_speed")->setValue(4000);
    QTRY_VERIFY(tips() != before);
    check();

    // Copy: the grid as tab-separated text, the cells not visited empty.
    QApplication::clipboard()->clear();
    child<QPushButton>(bar, "coverage_copy")->click();
    const QStringList lines = QApplication::clipboard()->text().split('\n');
    QCOMPARE(lines.size(), table->rowCount() + 1);
    QCOMPARE(lines[0].count('\t'), table->columnCount() - 1);
}

void test_mainwindow_playback::export_from_the_window_equals_the_cli_export()
{
    connect_window();
    w<QAction>("act_live_log_to_file")->trigger();
    w<QAction>("act_logging")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(sim->unit->streaming(), 5000);
    QTest::qWait(1000);
    w<QAction>("act_logging")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!sim->unit->streaming(), 5000);
    const QStringList logs = QDir(folder.path()).entryList({"quorvane_log_*.vklog"}, QDir::Files);
    QCOMPARE(logs.size(), 1);
    const QString log = folder.filePath(logs.first());
    open_log(log);

    const QString exported = folder.filePath("window.csv");
    {
        box_answerer boxes;
        dialog_answerer dialogs;
        dialogs.answers << exported;
        w<QAction>("act_export_log_csv")->trigger();
        QCOMPARE(dialogs.asked.size(), 1);
        QVERIFY(boxes.boxes.isEmpty());
    }
    QProcess cli;
    cli.start(QUORVANE_CLI, {"export", log});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    QFile file(exported);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray window_bytes = file.readAll();
    QVERIFY(window_bytes.count('\n') > 50);
    QCOMPARE(window_bytes, cli.readAllStandardOutput());
}

QTEST_MAIN(test_mainwindow_playback)
#include "test_mainwindow_playback.moc"
