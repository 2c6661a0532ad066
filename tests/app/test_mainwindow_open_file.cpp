// SPDX-License-Identifier: GPL-3.0-or-later
// A file named on the command line (a double-click in the file manager): the window opens a
// settings file or a live-log file as its own Open commands do, without asking for a name.
#include "box_answerer.h"
#include "dialog_answerer.h"
#include "duty_table.h"
#include "log_graph.h"
#include "mainwindow.h"
#include "rq7_log_file.h"
#include "rq7_worker.h"
#include "sim_fixture.h"
#include "window_access.h"

#include <qwt_plot_curve.h>

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class test_mainwindow_open_file : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void settings_file_opens_its_values_once_connected();
    void log_file_shows_its_samples();
    void unreadable_names_are_reported_data();
    void unreadable_names_are_reported();

private:
    /// Saves a window's settings to `name` through Save As, as a user would.
    void save_settings(MainWindow* window, const QString& name);

    std::unique_ptr<sim_fixture> sim;
    QTemporaryDir dir;
};

void test_mainwindow_open_file::init()
{
    QSettings().clear();
    sim = std::make_unique<sim_fixture>();
}

void test_mainwindow_open_file::cleanup()
{
    sim.reset();
}

void test_mainwindow_open_file::save_settings(MainWindow* window, const QString& name)
{
    dialog_answerer dialogs;
    dialogs.answers << name;
    child<QAction>(window, "act_save_as")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(name).size() > 0, 10000);
    QTest::qWait(200); // the worker finishes the file it started
}

void test_mainwindow_open_file::settings_file_opens_its_values_once_connected()
{
    const QString name = dir.filePath("given.vkini");
    QByteArray saved_gpo1;
    {
        MainWindow first;
        child<QSpinBox>(&first, "max_engine_speed")->setValue(12000);
        child<QSpinBox>(&first, "main_min_duty")->setValue(35);
        child<QComboBox>(&first, "gpo2_vert_axis")->setCurrentIndex(1);
        child<duty_table>(&first, "gpo1_table")->item(3, 9)->setText("77");
        saved_gpo1 = first.gui_to_byteArray(t_gpo1);
        save_settings(&first, name);
    }

    // As the program starts with a FILE: connect, then open what was given.
    MainWindow window;
    window.show();
    box_answerer boxes;
    dialog_answerer dialogs;
    QSignalSpy loaded(window.worker(), &rq7_worker::read_file);
    window.connect_attempt();
    window.open_given_file(name);
    QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(
        child<QLabel>(&window, "connection_status")->text().startsWith("Connected fw"), 10000);
    QTRY_COMPARE(child<QSpinBox>(&window, "max_engine_speed")->value(), 12000);
    QCOMPARE(child<QSpinBox>(&window, "main_min_duty")->value(), 35);
    QCOMPARE(child<QComboBox>(&window, "gpo2_vert_axis")->currentIndex(), 1);
    QCOMPARE(window.gui_to_byteArray(t_gpo1), saved_gpo1);
    QVERIFY(dialogs.asked.isEmpty()); // no file dialog
    QVERIFY(boxes.boxes.isEmpty());   // same version, nothing missing
    // As with File > Open, a Write sends the opened settings to the unit.
    QVERIFY(window.changes_are_pending());
    QCOMPARE(child<QAction>(&window, "act_save")->statusTip(),
             QString("Save this settings file (%1)").arg(name));
}

void test_mainwindow_open_file::log_file_shows_its_samples()
{
    // A live-log file: the settings it was recorded with, then its samples.
    const QString name = dir.filePath("given.vklog");
    {
        MainWindow first;
        child<QDoubleSpinBox>(&first, "pulses_per_rev")->setValue(7);
        save_settings(&first, name);
    }
    rq7_log_file file;
    file.set_file_name(name);
    QVERIFY(file.open_for_append());
    QList<rq7_frame> frames;
    for (int i = 0; i < 200; ++i) {
        quint32 values[rq7_frame::value_count] = {};
        values[1] = quint32(300 + i); // MAP counts
        values[7] = quint32(1000 + 10 * i);
        frames << rq7_frame::from_values(1700000000000 + 20 * i, values);
        QVERIFY(file.write_frame(frames.last()));
    }
    file.close();
    // Three damaged lines at the end, as another program might add.
    QFile appended(name);
    QVERIFY(appended.open(QIODevice::ReadOnly));
    const int first_damaged = int(appended.readAll().count('\n')) + 1;
    appended.close();
    QVERIFY(appended.open(QIODevice::Append));
    appended.write("garbage\r\ngarbage\r\ngarbage\r\n");
    appended.close();

    MainWindow window;
    window.show();
    QVERIFY(child<QDoubleSpinBox>(&window, "pulses_per_rev")->value() != 7.0);
    QSignalSpy parsed(window.worker(), &rq7_worker::parsed_log_file);
    window.open_given_file(name);
    QTRY_COMPARE_WITH_TIMEOUT(parsed.count(), 1, 10000);
    QCOMPARE(child<QTabWidget>(&window, "main_tab")->currentWidget()->objectName(),
             QString("live"));
    QTRY_COMPARE(child<QDoubleSpinBox>(&window, "pulses_per_rev")->value(), 7.0);
    // The spy hears the worker at once; the window takes the news (and asks the graph for a
    // redraw) when its own queued slot runs, which the status bar shows.
    QTRY_COMPARE(window.statusBar()->currentMessage(),
                 QString("Opened %1: 200 samples; 3 damaged lines were skipped, the first at "
                         "line %2")
                     .arg(name)
                     .arg(first_damaged));
    auto* graph = child<log_graph>(&window, "live_log_graph");
    QTRY_VERIFY(!graph->replot_pending());
    const QwtSeriesData<QPointF>* map = graph->get_curve("MAP")->data();
    QCOMPARE(int(map->size()), frames.size());
    QCOMPARE(map->sample(0), QPointF(frames.first().timestamp, 300));
    QCOMPARE(map->sample(map->size() - 1), QPointF(frames.last().timestamp, 499));

    // Text of another program is refused, and the log shown stays.
    const QString junk = dir.filePath("junk.vklog");
    QFile junk_file(junk);
    QVERIFY(junk_file.open(QIODevice::WriteOnly));
    for (int i = 0; i < 20000; ++i)
        junk_file.write("x\n");
    junk_file.close();
    box_answerer boxes;
    window.open_given_file(junk);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.boxes.size(), 1, 10000);
    QCOMPARE(boxes.boxes.first().text, junk + " is not a live-log file");
    QCOMPARE(boxes.boxes.first().informative_text,
             QString("Nothing of it was loaded; the log shown before is kept."));
    QCOMPARE(child<QLineEdit>(&window, "live_log_file_name")->text(), name);
    QTRY_VERIFY(!graph->replot_pending());
    QCOMPARE(int(graph->get_curve("MAP")->data()->size()), frames.size());
    QCOMPARE(parsed.count(), 1);
}

void test_mainwindow_open_file::unreadable_names_are_reported_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << dir.filePath("nothing.vkini") << "There is no such file.";
    QTest::newRow("folder") << dir.path() << "It is not a file this program can read.";
}

void test_mainwindow_open_file::unreadable_names_are_reported()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    MainWindow window;
    window.show();
    const QString settings_tip = child<QAction>(&window, "act_save")->statusTip();
    box_answerer boxes;
    QSignalSpy loaded(window.worker(), &rq7_worker::read_file);
    window.open_given_file(name);
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes.first().icon, QMessageBox::Warning);
    QCOMPARE(boxes.boxes.first().text, "Cannot open " + name);
    QCOMPARE(boxes.boxes.first().informative_text, reason);
    QTest::qWait(300);
    QVERIFY(loaded.isEmpty());
    QVERIFY(!window.changes_are_pending());
    QCOMPARE(child<QAction>(&window, "act_save")->statusTip(), settings_tip);
}

QTEST_MAIN(test_mainwindow_open_file)
#include "test_mainwindow_open_file.moc"
