// SPDX-License-Identifier: GPL-3.0-or-later
// The live view of the real window against the simulated unit: Live Updates, the read-outs in
// their three formats, Log to File with the countdown and the pre-trigger seconds, the log
// folder, and a recorded log file opened again and clicked through on the graph.
#include "box_answerer.h"
#include "dialog_answerer.h"
#include "duty_table.h"
#include "log_capture.h"
#include "log_graph.h"
#include "rq7_catalogue.h"
#include "rq7_worker.h"
#include "window_fixture.h"

#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

/// The samples of a log file, in order.
QList<rq7_frame> samples_in(const QString& name)
{
    QFile file(name);
    file.open(QIODevice::ReadOnly);
    QList<rq7_frame> frames;
    bool in_log = false;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QByteArray text = line.trimmed();
        if (text.startsWith("[rq7_log]"))
            in_log = true;
        else if (in_log && !text.isEmpty() && !text.startsWith('#') && !text.startsWith("time"))
            frames << rq7_frame(QString::fromLatin1(text));
    }
    return frames;
}

/// The settings section at the start of a log file, as a settings file of its own.
QByteArray settings_section_of(const QString& name)
{
    QFile file(name);
    file.open(QIODevice::ReadOnly);
    const QByteArray text = file.readAll();
    return text.left(text.indexOf("[rq7_log]"));
}

} // namespace

class test_mainwindow_live : public QObject, public window_fixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { stop(); }

    void live_updates_show_the_units_frames();
    void read_outs_in_each_format();
    void log_to_file_after_the_countdown_with_pre_trigger();
    void unchecking_during_the_countdown_leaves_no_file();
    void folder_cannot_change_during_live_updates();
    void recorded_file_opens_and_points_recall_their_frames();
    void recording_leaves_pending_edits_alone();
    void log_folder_below_a_plain_file();
    void timed_recording_runs_through_a_read_and_stops_itself();
    void table_live_position_follows_its_analog_input();

private:
    void set_live(bool on);
    QStringList log_files() const;
    /// Message types the unit received other than reads and live start/stop requests.
    QList<quint8> writes_received() const;

    QTemporaryDir folder;
};

void test_mainwindow_live::initTestCase()
{
    QCoreApplication::setApplicationVersion("2.11.0");
}

void test_mainwindow_live::init()
{
    prepare();
    QSettings().setValue("MainWindow/live_log_folder_name", folder.path());
    for (const QString& name : log_files())
        QFile::remove(folder.filePath(name));
    open(QSize(1280, 900));
    w<QTabWidget>("main_tab")->setCurrentWidget(w<QWidget>("live"));
}

void test_mainwindow_live::set_live(bool on)
{
    w<QAction>("act_logging")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(w<QLineEdit>("live_rpm")->isEnabled(), on, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(sim->unit->streaming(), on, 5000);
}

QStringList test_mainwindow_live::log_files() const
{
    return QDir(folder.path()).entryList({"*.vklog"}, QDir::Files);
}

QList<quint8> test_mainwindow_live::writes_received() const
{
    QList<quint8> types;
    for (const QByteArray& frame : sim->unit->received_frames()) {
        const quint8 type = quint8(frame.at(1));
        if (type != msg_read_param && type != msg_live_data)
            types << type;
    }
    return types;
}

void test_mainwindow_live::live_updates_show_the_units_frames()
{
    connect_window();
    QSignalSpy frames(window->worker(), &rq7_worker::log_data_ready);
    set_live(true);
    QVERIFY(w<QAction>("act_logging")->isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(frames.count() >= 40, 5000);
    // What the window shows is a frame the unit sent, on the Live View and the table tabs.
    auto shown_rpm_was_sent = [&] {
        const QString rpm = w<QLineEdit>("live_rpm")->text();
        for (const QList<QVariant>& frame : frames)
            if (QString::number(frame.at(0).value<rq7_frame>().rpm) == rpm)
                return w<QSpinBox>("gpo2_horz_live_value")->text() == rpm;
        return false;
    };
    QTRY_VERIFY(shown_rpm_was_sent());
    QCOMPARE(w<QLineEdit>("live_aux_master")->text(), QString("RQ7 PWM"));
    // The graph follows: its newest RPM point is a frame of the unit.
    auto* graph = w<log_graph>("live_log_graph");
    QTRY_VERIFY(!graph->replot_pending());
    const QwtSeriesData<QPointF>* rpm = graph->get_curve("RPM")->data();
    QVERIFY(rpm->size() > 10);
    QVERIFY(rpm->size() < size_t(frames.count()) + 3);

    set_live(false);
    // Frames keep coming between two redraws while streaming; once it stops, the marker and
    // the curve end on the same sample.
    QTRY_VERIFY(!graph->replot_pending());
    QCOMPARE(graph->time_marker()->xValue(), rpm->sample(rpm->size() - 1).x());
    QVERIFY(!w<QAction>("act_logging")->isChecked());
    QCOMPARE(w<QLineEdit>("live_rpm")->text(), QString("0"));
    QCOMPARE(w<QLineEdit>("live_aux_master")->text(), QString());
    QCOMPARE(w<QSpinBox>("main_horz_live_value")->value(), 0);
}

// Shown through a recalled frame, which is displayed exactly as a live one.
void test_mainwindow_live::read_outs_in_each_format()
{
    auto* format = w<QComboBox>("live_display_format");
    rq7_frame f;
    f.batt_adc = 2000; // beyond 10 bits: shown as full scale where converted
    f.map_adc = 200;   // below atmosphere
    f.rpm = 0x1A2B;
    f.main_duty = 2000; // beyond 1023
    f.aux_duty = 512;
    f.main_current = 41;
    f.gpi1_state = 1;
    f.gpi2_state = 0;
    f.aux_master = 5;
    window->when_recall_data_ready(f);
    QCOMPARE(w<QLineEdit>("live_map")->text(), QString("VAC"));
    QCOMPARE(w<QLineEdit>("live_battery_voltage")->text(), QString("18.9"));
    QCOMPARE(w<QLineEdit>("live_main_duty")->text(), QString("100"));
    QCOMPARE(w<QLineEdit>("live_aux_duty")->text(), QString("50"));
    QCOMPARE(w<QLineEdit>("live_main_current")->text(), QString("2.0"));
    QCOMPARE(w<QLineEdit>("live_gpi1_state")->text(), QString("High"));
    QCOMPARE(w<QLineEdit>("live_gpi2_state")->text(), QString("Low"));
    QCOMPARE(w<QLineEdit>("live_aux_master")->text(), QString("T771 PWM"));
    QCOMPARE(w<QSpinBox>("main_duty_live_value")->value(), 100);
    QCOMPARE(w<QDoubleSpinBox>("main_vert_live_value")->value(), 0.0); // vacuum shows 0
    QColor text, background;
    duty_table::calc_cell_colors(100, text, background);
    QCOMPARE(w<QSpinBox>("main_duty_live_value")->palette().color(QPalette::Base), background);

    format->setCurrentIndex(2); // the frame shown is shown again in the new format
    QCOMPARE(w<QLineEdit>("live_battery_voltage")->text(), QString("0x7D0"));
    QCOMPARE(w<QLineEdit>("live_map")->text(), QString("0x0C8"));
    QCOMPARE(w<QLineEdit>("live_rpm")->text(), QString("0x1A2B"));
    QCOMPARE(w<QLineEdit>("live_aux_master")->text(), QString("0x05"));
    QCOMPARE(w<QLineEdit>("live_gpi1_state")->text(), QString("1"));
    f.rpm = 7;
    f.aux_master = 9;
    window->when_recall_data_ready(f);
    QCOMPARE(w<QLineEdit>("live_rpm")->text(), QString("0x0007"));
    QCOMPARE(w<QSpinBox>("main_horz_live_value")->value(), 7);

    format->setCurrentIndex(1);
    QCOMPARE(w<QLineEdit>("live_main_duty")->text(), QString("2000"));
    QCOMPARE(w<QLineEdit>("live_aux_master")->text(), QString("9"));
    format->setCurrentIndex(0);
    QCOMPARE(w<QLineEdit>("live_aux_master")->text(), QString("RQ7 PWM"));
    f.aux_master = 3;
    f.map_adc = 400;
    window->when_recall_data_ready(f);
    QCOMPARE(w<QLineEdit>("live_aux_master")->text(), QString("Unknown"));
    QCOMPARE(w<QLineEdit>("live_map")->text(), QString("11.0"));
}

void test_mainwindow_live::log_to_file_after_the_countdown_with_pre_trigger()
{
    connect_window();
    w<QCheckBox>("live_log_use_timer")->setChecked(true);
    w<QSpinBox>("live_log_timer_start")->setValue(2);
    w<QSpinBox>("live_log_pre_trigger")->setValue(1);
    QCOMPARE(w<QLabel>("live_log_timer")->text(), QString("2"));
    w<QAction>("act_live_log_to_file")->trigger();
    QVERIFY(w<QPushButton>("live_log_to_file")->isChecked());
    QCOMPARE(w<QPushButton>("live_log_to_file")->text(), QString("Stop logging to file"));
    set_live(true);
    QCOMPARE(w<QAction>("act_live_log_to_file")->statusTip(),
             QString("Will log live update data to file when triggers are met"));
    QTRY_COMPARE_WITH_TIMEOUT(w<QLabel>("live_log_timer")->text(), QString("1"), 3000);
    QVERIFY(log_files().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(w<QLabel>("live_log_timer")->text(), QString("0"), 3000);
    const qint64 started = QDateTime::currentMSecsSinceEpoch();
    QCOMPARE(window->statusBar()->currentMessage(), QString("Writing live update data to file"));
    QVERIFY(!w<QWidget>("live_log_timer_group")->isEnabled());
    QTRY_COMPARE(log_files().size(), 1);
    const QString name = log_files().first();
    QVERIFY(QRegularExpression("^quorvane_log_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d\\.vklog$")
                .match(name)
                .hasMatch());
    QCOMPARE(w<QLineEdit>("live_log_file_name")->text(), folder.filePath(name));
    QTest::qWait(500);
    set_live(false); // stopping live updates stops writing
    QCOMPARE(window->statusBar()->currentMessage(),
             QString("Not logging live update data to file"));
    QCOMPARE(w<QLabel>("live_log_timer")->text(), QString("2"));

    // The file begins with the second before the countdown ran out.
    const QList<rq7_frame> frames = samples_in(folder.filePath(name));
    QVERIFY(frames.size() >= 76 + 20);
    QVERIFY(frames.first().timestamp <= started - 800);
    QVERIFY(frames.first().timestamp >= started - 1500);
    // The graph shades exactly the samples written: the worker's marks match the file.
    const auto& times = window->worker()->log_times();
    const auto& marks = window->worker()->logged_to_file_marks();
    int marked = 0;
    for (int i = 0; i < times.size(); ++i)
        marked += marks.at(i);
    QCOMPARE(marked, frames.size());
}

void test_mainwindow_live::unchecking_during_the_countdown_leaves_no_file()
{
    connect_window();
    w<QCheckBox>("live_log_use_timer")->setChecked(true);
    w<QSpinBox>("live_log_timer_start")->setValue(2);
    w<QPushButton>("live_log_to_file")->click(); // the page's button is the command
    QVERIFY(w<QAction>("act_live_log_to_file")->isChecked());
    set_live(true);
    QTRY_COMPARE_WITH_TIMEOUT(w<QLabel>("live_log_timer")->text(), QString("1"), 3000);
    w<QPushButton>("live_log_to_file")->click();
    QVERIFY(!w<QAction>("act_live_log_to_file")->isChecked());
    QCOMPARE(w<QPushButton>("live_log_to_file")->text(), QString("Log to file"));
    QTest::qWait(2500);
    QVERIFY(log_files().isEmpty());
    QCOMPARE(w<QLabel>("live_log_timer")->text(), QString("2"));

    // With the delay at 0, writing starts as soon as live updates do.
    set_live(false);
    w<QSpinBox>("live_log_timer_start")->setValue(0);
    w<QPushButton>("live_log_to_file")->click();
    set_live(true);
    QTRY_COMPARE(log_files().size(), 1);
    QCOMPARE(window->statusBar()->currentMessage(), QString("Writing live update data to file"));
    // The countdown must not outlive live updates either.
    set_live(false);
    w<QSpinBox>("live_log_timer_start")->setValue(1);
    for (const QString& name : log_files())
        QFile::remove(folder.filePath(name));
    set_live(true);
    set_live(false);
    QTest::qWait(1500);
    QVERIFY(log_files().isEmpty());

    // Timer based logging unchecked during the countdown: nothing will record, so Log to File
    // goes off with it.
    w<QSpinBox>("live_log_timer_start")->setValue(3);
    set_live(true);
    QTRY_COMPARE_WITH_TIMEOUT(w<QLabel>("live_log_timer")->text(), QString("2"), 3000);
    w<QCheckBox>("live_log_use_timer")->setChecked(false);
    QVERIFY(!w<QAction>("act_live_log_to_file")->isChecked());
    QCOMPARE(w<QPushButton>("live_log_to_file")->text(), QString("Log to file"));
    QTest::qWait(1500);
    QVERIFY(log_files().isEmpty());
}

void test_mainwindow_live::folder_cannot_change_during_live_updates()
{
    connect_window();
    set_live(true);
    box_answerer boxes;
    dialog_answerer dialogs;
    dialogs.answers << QDir::tempPath();
    w<QPushButton>("set_live_log_folder")->click();
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes.first().icon, QMessageBox::Warning);
    QCOMPARE(boxes.boxes.first().text, QString("Cannot change folder while live updates enabled"));
    QVERIFY(boxes.boxes.first().informative_text.startsWith(
        "You cannot change the live logging folder while live updates is enabled\n\n"));
    QVERIFY(dialogs.asked.isEmpty());
    QCOMPARE(w<QLineEdit>("live_log_folder")->text(), folder.path());

    set_live(false);
    w<QPushButton>("set_live_log_folder")->click();
    QCOMPARE(dialogs.asked.size(), 1);
    QCOMPARE(dialogs.asked.first().title, QString("Log file folder"));
    QCOMPARE(w<QLineEdit>("live_log_folder")->text(), QDir::tempPath());
}

void test_mainwindow_live::recorded_file_opens_and_points_recall_their_frames()
{
    connect_window();
    w<QDoubleSpinBox>("pulses_per_rev")->setValue(7);
    w<QAction>("act_live_log_to_file")->trigger(); // no timer: writes from the start
    set_live(true);
    QTRY_COMPARE(log_files().size(), 1);
    QTest::qWait(1000);
    set_live(false);
    const QString name = folder.filePath(log_files().first());
    const QList<rq7_frame> frames = samples_in(name);
    QVERIFY(frames.size() > 50);

    // Opening it brings back its samples and the settings it was made with.
    w<QDoubleSpinBox>("pulses_per_rev")->setValue(3);
    QMetaObject::invokeMethod(w<QDoubleSpinBox>("pulses_per_rev"), "editingFinished");
    box_answerer boxes;
    dialog_answerer dialogs;
    dialogs.answers << name;
    QSignalSpy parsed(window->worker(), &rq7_worker::parsed_log_file);
    w<QPushButton>("open_live_log_file")->click();
    QCOMPARE(boxes.boxes.size(), 1); // there were changes to lose
    QCOMPARE(boxes.boxes.first().text, QString("WARNING: About to overwrite local changes"));
    QCOMPARE(dialogs.asked.first().filter, QString("Quorvane logs (*.vklog);;All (*.*)"));
    QTRY_COMPARE(parsed.count(), 1);
    QTRY_COMPARE(w<QDoubleSpinBox>("pulses_per_rev")->value(), 7.0);
    QCOMPARE(w<QLineEdit>("live_log_file_name")->text(), name);
    auto* graph = w<log_graph>("live_log_graph");
    QTRY_VERIFY(!graph->replot_pending());
    const QwtSeriesData<QPointF>* map = graph->get_curve("MAP")->data();
    QVERIFY(map->size() > 50);
    QCOMPARE(map->sample(map->size() - 1), QPointF(frames.last().timestamp, frames.last().map_adc));

    // A left click on the plot shows the values of the sample at that time.
    const rq7_frame& picked = frames.at(frames.size() / 2);
    const int x = int(graph->transform(QwtPlot::xBottom, double(picked.timestamp)));
    QTest::mouseClick(graph->canvas(), Qt::LeftButton, {},
                      QPoint(x, graph->canvas()->height() / 2));
    QTRY_COMPARE(w<QLineEdit>("live_rpm")->text() != "0", true);
    const qint64 marked = qint64(graph->time_marker()->xValue());
    const auto recalled = std::find_if(frames.begin(), frames.end(),
                                       [&](const rq7_frame& f) { return f.timestamp == marked; });
    QVERIFY(recalled != frames.end()); // the marker is on a sample of the file
    QVERIFY(qAbs(marked - picked.timestamp) < 40);
    QCOMPARE(w<QLineEdit>("live_rpm")->text(), QString::number(recalled->rpm));
    QCOMPARE(w<QSpinBox>("aux_horz_live_value")->value(), int(recalled->rpm));
}

void test_mainwindow_live::recording_leaves_pending_edits_alone()
{
    box_answerer boxes;
    connect_window();
    w<QAction>("act_read")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(w<QAction>("act_write")->isEnabled(), 15000);
    set_live(true);
    auto record = [this] {
        QTest::qWait(1100); // a file of its own: names go by the second
        const int files = log_files().size();
        w<QAction>("act_live_log_to_file")->trigger();
        QTRY_COMPARE(log_files().size(), files + 1);
        QTest::qWait(300);
        w<QAction>("act_live_log_to_file")->trigger();
    };

    // Recording with nothing edited leaves nothing to write.
    record();
    QVERIFY(!window->changes_are_pending());
    sim->unit->clear_received_frames();
    log_capture log;
    w<QAction>("act_write")->trigger();
    QVERIFY(log.contains("No changes to write to device"));
    QTest::qWait(300);
    QVERIFY(writes_received().isEmpty());

    // An edit made before a recording is the only thing Write sends after it, and a failed
    // Write keeps it; the file shows the edit all the same.
    w<duty_table>("main_table")->item(3, 3)->setText("55");
    record();
    const QString name = folder.filePath(log_files().last()); // the newest
    QVERIFY(window->changes_are_pending());
    QTemporaryDir aside;
    QFile section(aside.filePath("section.vkini"));
    QVERIFY(section.open(QIODevice::WriteOnly));
    section.write(settings_section_of(name));
    section.close();
    QSettings shown(section.fileName(), QSettings::IniFormat);
    shown.beginGroup("rq7_vars");
    shown.beginReadArray("tables");
    shown.setArrayIndex(t_main);
    QCOMPARE(shown.value(table_names[t_main]).toByteArray(), window->gui_to_byteArray(t_main));

    sim->unit->fault_wrong_ack(5);
    w<QAction>("act_write")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.boxes.size(), 1, 15000);
    QCOMPARE(boxes.boxes[0].text, QString("Error writing data to device"));
    QVERIFY(window->changes_are_pending());
    sim->unit->clear_received_frames();
    w<QAction>("act_write")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!window->changes_are_pending(), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(writes_received(),
                              QList<quint8>{quint8(msg_write_aux_table + t_main)}, 5000);
    QCOMPARE(sim->unit->table(t_main), window->gui_to_byteArray(t_main));
}

void test_mainwindow_live::log_folder_below_a_plain_file()
{
    QFile plain(folder.filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    dialog_answerer dialogs;
    dialogs.answers << plain.fileName() + "/logs";
    w<QPushButton>("set_live_log_folder")->click();
    connect_window();
    box_answerer boxes;
    w<QAction>("act_live_log_to_file")->trigger();
    QSignalSpy frames(window->worker(), &rq7_worker::log_data_ready);
    set_live(true);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.boxes.size(), 1, 5000);
    QCOMPARE(boxes.boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(boxes.boxes[0].text, QString("Could not write the live log file"));
    QVERIFY(boxes.boxes[0].informative_text.startsWith(plain.fileName() + "/logs/quorvane_log_"));
    QVERIFY(boxes.boxes[0].informative_text.contains("Not a directory"));
    QVERIFY(!w<QAction>("act_live_log_to_file")->isChecked());
    QCOMPARE(w<QPushButton>("live_log_to_file")->text(), QString("Log to file"));
    QCOMPARE(w<QAction>("act_live_log_to_file")->statusTip(),
             QString("Not logging live update data to file"));
    QCOMPARE(window->statusBar()->currentMessage(),
             QString("Not logging live update data to file"));
    // Live updates go on.
    const int seen = frames.count();
    QTRY_VERIFY_WITH_TIMEOUT(frames.count() > seen + 20, 5000);
    QVERIFY(w<QAction>("act_logging")->isChecked());
    QVERIFY(sim->unit->streaming());
}

void test_mainwindow_live::timed_recording_runs_through_a_read_and_stops_itself()
{
    box_answerer boxes;
    connect_window();
    w<QCheckBox>("live_log_use_timer")->setChecked(true);
    w<QSpinBox>("live_log_timer_start")->setValue(0);
    w<QSpinBox>("live_log_timer_stop")->setValue(3);
    w<QAction>("act_live_log_to_file")->trigger();
    set_live(true);
    QTRY_COMPARE(log_files().size(), 1);
    QTest::qWait(1000);
    w<QAction>("act_read")->trigger(); // pauses live updates
    QTRY_VERIFY_WITH_TIMEOUT(w<QAction>("act_read")->isEnabled(), 15000);
    QVERIFY(w<QAction>("act_live_log_to_file")->isChecked());

    // Three seconds after it started the recording ends; live updates go on.
    QTRY_VERIFY_WITH_TIMEOUT(!w<QAction>("act_live_log_to_file")->isChecked(), 5000);
    QCOMPARE(window->statusBar()->currentMessage(),
             QString("Not logging live update data to file"));
    QVERIFY(w<QAction>("act_logging")->isChecked());
    QCOMPARE(log_files().size(), 1);
    const QList<rq7_frame> frames = samples_in(folder.filePath(log_files().first()));
    int gap_at = 1;
    for (int i = 1; i < frames.size(); ++i)
        if (frames[i].timestamp - frames[i - 1].timestamp >
            frames[gap_at].timestamp - frames[gap_at - 1].timestamp)
            gap_at = i;
    // The Read stands out as the one long gap between samples.
    const qint64 gap = frames[gap_at].timestamp - frames[gap_at - 1].timestamp;
    QVector<qint64> steps;
    for (int i = 1; i < frames.size(); ++i)
        steps << frames[i].timestamp - frames[i - 1].timestamp;
    std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
    const qint64 usual = steps[steps.size() / 2];
    QVERIFY2(gap > 3 * usual, qPrintable(QString("%1 vs %2").arg(gap).arg(usual)));
    QVERIFY2(gap_at > 40 && frames.size() - gap_at > 40, qPrintable(QString::number(gap_at)));
    const qint64 span = frames.last().timestamp - frames.first().timestamp;
    QVERIFY2(span > 2000 && span < 3500, qPrintable(QString::number(span)));
}

// Frames recalled from the graph are shown exactly as live ones.
void test_mainwindow_live::table_live_position_follows_its_analog_input()
{
    rq7_frame a_low;
    a_low.rpm = 3000;
    a_low.an1_adc = 300;
    a_low.an2_adc = 700;
    rq7_frame b_low = a_low;
    std::swap(b_low.an1_adc, b_low.an2_adc);
    auto* line = w<duty_table>("main_table")->findChild<QFrame*>("horz_frame");
    auto* read_out = w<QDoubleSpinBox>("main_vert_live_value");
    auto line_for = [&](const rq7_frame& frame) {
        QTest::qWait(120); // the lines move at most ten times a second
        window->when_recall_data_ready(frame);
        return line->y();
    };
    for (int input : {1, 2}) { // Analog A, then Analog B
        w<QComboBox>("main_vert_axis")->setCurrentIndex(input);
        const rq7_frame& low = input == 1 ? a_low : b_low;
        const rq7_frame& high = input == 1 ? b_low : a_low;
        const int low_y = line_for(low);
        QVERIFY2(qAbs(read_out->value() - 300 / 204.6) < 0.05, qPrintable(read_out->text()));
        const int high_y = line_for(high);
        QVERIFY2(qAbs(read_out->value() - 700 / 204.6) < 0.05, qPrintable(read_out->text()));
        QVERIFY2(high_y < low_y, qPrintable(QString("%1 %2").arg(high_y).arg(low_y)));
    }
}

QTEST_MAIN(test_mainwindow_live)
#include "test_mainwindow_live.moc"
