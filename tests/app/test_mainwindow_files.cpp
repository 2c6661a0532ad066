// SPDX-License-Identifier: GPL-3.0-or-later
// Settings files from the window: Save, Open, the version boxes, and the preferences that
// outlive the window.
#include "box_answerer.h"
#include "dialog_answerer.h"
#include "duty_table.h"
#include "mainwindow.h"
#include "rq7_vars.h"
#include "rq7_worker.h"
#include "sim_fixture.h"
#include "window_access.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

/// The values a user sees, for comparing two windows.
QStringList shown_values(MainWindow* window)
{
    QStringList values;
    for (const char* name : {"pulses_per_rev", "max_engine_speed", "min_boost", "max_boost",
                             "min_an1_input", "max_an2_input", "gpi1_request", "gpi2_act_delay",
                             "main_min_duty", "aux_overcurrent_limit", "gpo1_horz_axis_gt",
                             "gpo2_act_delay", "pump_prime_delay", "main_time_delay"}) {
        auto* box = window->findChild<QAbstractSpinBox*>(name);
        values << QString(name) + "=" + box->text();
    }
    for (const char* name :
         {"main_control", "aux_control", "gpo1_control", "gpi2_control", "gpo2_vert_axis"})
        values << QString(name) + "=" + window->findChild<QComboBox*>(name)->currentText();
    for (table_index t : {t_aux, t_main, t_gpo1, t_gpo2})
        values << window->gui_to_byteArray(t).toHex();
    return values;
}

} // namespace

class test_mainwindow_files : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void saved_file_opens_with_the_same_values();
    void file_names_get_the_settings_suffix_data();
    void file_names_get_the_settings_suffix();
    void cancelled_dialogs_change_nothing();
    void file_versions_data();
    void file_versions();
    void preferences_outlive_the_window();

private:
    std::unique_ptr<MainWindow> fresh_window();
    /// Saves through Save As to `name` and waits until the file is there.
    void save_as(MainWindow* window, const QString& name);
    void open(MainWindow* window, const QString& name);

    std::unique_ptr<sim_fixture> sim;
    QTemporaryDir dir;
};

void test_mainwindow_files::init()
{
    QSettings().clear();
    sim = std::make_unique<sim_fixture>(false); // no unit: files only
}

void test_mainwindow_files::cleanup()
{
    sim.reset();
}

std::unique_ptr<MainWindow> test_mainwindow_files::fresh_window()
{
    auto window = std::make_unique<MainWindow>();
    window->show();
    return window;
}

void test_mainwindow_files::save_as(MainWindow* window, const QString& name)
{
    dialog_answerer dialogs;
    dialogs.answers << name;
    child<QAction>(window, "act_save_as")->trigger();
    const QString saved = QFileInfo(name).suffix().isEmpty() ? name + ".vkini" : name;
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(saved), 10000);
}

void test_mainwindow_files::open(MainWindow* window, const QString& name)
{
    QSignalSpy loaded(window->worker(), &rq7_worker::read_file);
    dialog_answerer dialogs;
    dialogs.answers << name;
    child<QAction>(window, "act_open")->trigger();
    // The spy records on the worker's thread, possibly before a wait() could start.
    QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), 10000);
    QCoreApplication::processEvents(); // the window's own, queued, slot
}

void test_mainwindow_files::saved_file_opens_with_the_same_values()
{
    auto first = fresh_window();
    child<QSpinBox>(first.get(), "max_engine_speed")->setValue(12000);
    child<QDoubleSpinBox>(first.get(), "max_boost")->setValue(30);
    QMetaObject::invokeMethod(child<QDoubleSpinBox>(first.get(), "max_boost"), "editingFinished");
    child<QSpinBox>(first.get(), "main_min_duty")->setValue(35);
    child<QSpinBox>(first.get(), "gpo2_act_delay")->setValue(26);
    child<QComboBox>(first.get(), "gpo2_vert_axis")->setCurrentIndex(1);
    child<QDoubleSpinBox>(first.get(), "max_an2_input")->setValue(4.2);
    child<duty_table>(first.get(), "gpo1_table")->item(0, 15)->setText("77");
    const QStringList values = shown_values(first.get());
    save_as(first.get(), dir.filePath("round_trip"));
    first.reset();

    auto second = fresh_window();
    box_answerer boxes;
    open(second.get(), dir.filePath("round_trip.vkini"));
    QCOMPARE(shown_values(second.get()), values);
    QVERIFY(boxes.boxes.isEmpty());         // saved by this version, nothing missing
    QVERIFY(second->changes_are_pending()); // a following Write sends what was loaded
}

void test_mainwindow_files::file_names_get_the_settings_suffix_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("written");
    QTest::newRow("no suffix") << "plain"
                               << "plain.vkini";
    QTest::newRow("other suffix") << "notes.txt"
                                  << "notes.txt";
}

void test_mainwindow_files::file_names_get_the_settings_suffix()
{
    QFETCH(QString, given);
    QFETCH(QString, written);
    auto window = fresh_window();
    save_as(window.get(), dir.filePath(given));
    QVERIFY(QFile::exists(dir.filePath(written)));
    QCOMPARE(child<QAction>(window.get(), "act_save")->statusTip(),
             QString("Save this settings file (%1)").arg(dir.filePath(written)));
}

void test_mainwindow_files::cancelled_dialogs_change_nothing()
{
    auto window = fresh_window();
    const int files = QDir(dir.path()).entryList(QDir::Files).size();
    const QString tip = child<QAction>(window.get(), "act_save")->statusTip();
    QSignalSpy loaded(window->worker(), &rq7_worker::read_file);
    dialog_answerer dialogs; // answers every dialog with an empty name: cancel
    child<QAction>(window.get(), "act_open")->trigger();
    child<QAction>(window.get(), "act_save_as")->trigger();
    QCOMPARE(dialogs.asked.size(), 2);
    QCOMPARE(dialogs.asked[0].title, QString("Open settings file"));
    QCOMPARE(dialogs.asked[1].filter, QString("VK settings (*.vkini);;All files (*.*)"));
    QTest::qWait(200);
    QVERIFY(loaded.isEmpty());
    QCOMPARE(child<QAction>(window.get(), "act_save")->statusTip(), tip);
    QVERIFY(!window->changes_are_pending());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), files);
}

void test_mainwindow_files::file_versions_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("informative");
    QTest::newRow("older, complete")
        << "2.10.5" << true << "VKINI is from older version"
        << "Quorvane v2.10.5 was used to save this VKINI file, but your version is 2.11.0.\nIt "
           "seems all the necessary data was in the file, so this warning can be ignored\nUse the "
           "Save/Save As buttons to update this file with this newer version of Quorvane";
    QTest::newRow("older, incomplete")
        << "1.2.3" << false << "VKINI is from older version"
        << "Quorvane v1.2.3 was used to save this VKINI file, but your version is 2.11.0.\nThere "
           "were some fields missing from the file:\n  * Table GPO2 duty table does not exist in "
           "settings file, keeping the current settings.\n\nDouble-check these values in the "
           "application to make sure they are correct!\nUse the Save/Save As buttons to update "
           "this file with this newer version of Quorvane";
    QTest::newRow("newer") << "2.12.0" << true << "VKINI is from newer version"
                           << "Quorvane v2.12.0 was used to save this VKINI file, but your version "
                              "is 2.11.0.\nIt's possible the file contains data that was not "
                              "loaded properly or is not supported by this application "
                              "version.\n\nRecommend you update your Quorvane version before "
                              "writing fields back to the unit!";
    QTest::newRow("same, incomplete")
        << "2.11.0" << false << "Warnings found while opening the VKINI file"
        << "This VKINI file was made with the same version of Quorvane (2.11.0),\nbut there were "
           "some warnings found while opening the file:\n  * Table GPO2 duty table does not "
           "exist in settings file, keeping the current settings.\n\nDouble-check these values "
           "in the application to make sure they are correct!\nUse the Save/Save As buttons to "
           "correct the issues in this file.";
    QTest::newRow("same, complete") << "2.11.0" << true << QString() << QString();
}

void test_mainwindow_files::file_versions()
{
    QFETCH(QString, version);
    QFETCH(bool, complete);
    QFETCH(QString, box);
    QFETCH(QString, informative);
    const QString name = dir.filePath(QString("%1.vkini").arg(QTest::currentDataTag()));
    {
        auto window = fresh_window();
        save_as(window.get(), name);
    }
    QSettings file(name, QSettings::IniFormat);
    const QStringList parts = version.split('.');
    file.setValue("rq7_vars/ints/40/RQ7-NVS HW Version",
                  (parts[0].toUInt() << 24) | (parts[1].toUInt() << 8) | parts[2].toUInt());
    if (!complete)
        file.remove("rq7_vars/tables/4/GPO2 duty table");
    file.sync();

    auto window = fresh_window();
    box_answerer boxes;
    open(window.get(), name);
    QCOMPARE(boxes.boxes.size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty()) {
        QCOMPARE(boxes.boxes[0].text, box);
        QCOMPARE(boxes.boxes[0].informative_text, informative);
    }
}

void test_mainwindow_files::preferences_outlive_the_window()
{
    {
        auto window = fresh_window();
        save_as(window.get(), dir.filePath("kept.vkini"));
    }
    auto window = fresh_window();
    QCOMPARE(child<QAction>(window.get(), "act_save")->statusTip(),
             QString("Save this settings file (%1)").arg(dir.filePath("kept.vkini")));
    dialog_answerer dialogs;
    child<QAction>(window.get(), "act_open")->trigger();
    QCOMPARE(dialogs.asked.value(0).start, dir.filePath("kept.vkini"));
    QCOMPARE(QSettings().value("MainWindow/boost_units").toString(), QString("PSI"));
}

QTEST_MAIN(test_mainwindow_files)
#include "test_mainwindow_files.moc"
