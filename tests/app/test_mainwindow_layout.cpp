// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's form: every named action, menu, page and widget the window's code and
// the user rely on, with their classes, pages, ranges, start values and texts.
#include "duty_table.h"
#include "log_capture.h"
#include "mainwindow.h"
#include "sim_fixture.h"
#include "vertical_label.h"
#include "window_access.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QtTest>

#include <cmath>
#include <memory>

class test_mainwindow_layout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void opens_on_settings_with_pages_in_order();
    void every_named_object_is_present_once_data();
    void every_named_object_is_present_once();
    void parameter_widgets_start_in_range_data();
    void parameter_widgets_start_in_range();
    void combo_lists_data();
    void combo_lists();
    void texts_data();
    void texts();
    void actions_data();
    void actions();
    void controls_start_disabled();
    void tables_start_empty_on_default_axes();
    // These change the window; they come last.
    void tables_fill_their_viewport_exactly();
    void every_slot_binds_by_name();

private:
    void check_fills_viewport(const char* name);

    std::unique_ptr<sim_fixture> sim;
    std::unique_ptr<MainWindow> window;
};

void test_mainwindow_layout::initTestCase()
{
    QCoreApplication::setApplicationVersion("2.11.0");
    sim = std::make_unique<sim_fixture>(false);
    // One window for all: the checks only read it, except the last ones.
    QSettings().clear(); // every window starts from the default preferences
    window = std::make_unique<MainWindow>();
}

void test_mainwindow_layout::cleanupTestCase()
{
    window.reset();
    sim.reset();
}

void test_mainwindow_layout::opens_on_settings_with_pages_in_order()
{
    auto* tabs = child<QTabWidget>(window.get(), "main_tab");
    const QStringList names = {"basic", "main", "aux", "gpo1", "gpo2", "log", "live"};
    const QStringList texts = {"Settings",   "Main Table", "AUX Table", "GPO1 Table",
                               "GPO2 Table", "Debug Log",  "Live View"};
    QCOMPARE(tabs->count(), names.size());
    for (int i = 0; i < tabs->count(); ++i) {
        QCOMPARE(tabs->widget(i)->objectName(), names.at(i));
        QCOMPARE(tabs->tabText(i), texts.at(i));
    }
    window->show();
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->currentWidget()->objectName(), QString("basic"));
}

namespace {

void add_named(const QString& name, const char* cls, const QString& page)
{
    QTest::newRow(qPrintable(name)) << name << QString(cls) << page;
}

void add_table_page(const QString& t)
{
    add_named(t + "_vert_axis_label", "VerticalLabel", t);
    add_named(t + "_horz_axis_label", "QLabel", t);
    add_named(t + "_table", "duty_table", t);
    add_named(t + "_vert_axis", "QComboBox", t);
    add_named(t + "_vert_axis_name", "QLabel", t);
    add_named(t + "_vert_axis_gt", "QDoubleSpinBox", t);
    add_named(t + "_vert_axis_units", "QLabel", t);
    add_named(t + "_horz_axis_gt", "QSpinBox", t);
    add_named(t + "_control", "QComboBox", t);
    add_named(t + "_vert_axis_name_2", "QLabel", t);
    add_named(t + "_vert_live_value", "QDoubleSpinBox", t);
    add_named(t + "_vert_axis_units_2", "QLabel", t);
    add_named(t + "_horz_live_value", "QSpinBox", t);
    add_named(t + "_duty_live_value", "QSpinBox", t);
    add_named(t + "_graph", "QWidget", t);
}

} // namespace

void test_mainwindow_layout::every_named_object_is_present_once_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("cls");
    QTest::addColumn<QString>("page"); // empty: not on a page

    for (const char* action :
         {"act_reconnect", "act_open", "act_save", "act_save_as", "act_read", "act_write",
          "act_reset", "act_logging", "act_rw_debug", "act_write_all", "act_live_log_to_file"})
        add_named(action, "QAction", "");
    for (const char* menu : {"menuMenu", "menuDevice", "menuSettings"})
        add_named(menu, "QMenu", "");
    add_named("toolBar", "QToolBar", "");
    add_named("statusBar", "QStatusBar", "");
    add_named("main_tab", "QTabWidget", "");
    add_named("connection_status", "QLabel", "");

    const QString basic = "basic";
    for (const char* name : {"gpi1_control", "gpi2_control", "boost_select"})
        add_named(name, "QComboBox", basic);
    for (const char* name :
         {"gpi1_request",    "gpi2_request",     "gpi1_act_delay",    "gpi1_deact_delay",
          "gpi2_act_delay",  "gpi2_deact_delay", "main_override",     "aux_override",
          "gpo1_override",   "gpo2_override",    "max_engine_speed",  "main_min_duty",
          "main_time_delay", "aux_min_duty",     "aux_time_delay",    "battery_trim",
          "an_a_trim",       "an_b_trim",        "main_current_trim", "aux_current_trim"})
        add_named(name, "QSpinBox", basic);
    for (const char* name :
         {"pulses_per_rev", "min_boost", "max_boost", "min_an1_input", "max_an1_input",
          "min_an2_input", "max_an2_input", "main_overcurrent_limit", "main_undercurrent_limit",
          "aux_overcurrent_limit", "aux_undercurrent_limit", "active_slope", "active_intercept",
          "active_atm", "active_deadband", "base_slope", "base_intercept", "base_atm"})
        add_named(name, "QDoubleSpinBox", basic);
    for (const char* name :
         {"main_override_set", "main_override_reset", "aux_override_set", "aux_override_reset",
          "gpo1_override_set", "gpo1_override_reset", "gpo2_override_set", "gpo2_override_reset",
          "btn_settings_wizard", "cust_ana_load_file", "cust_ana_defaults", "cust_anb_load_file",
          "cust_anb_defaults", "map_cal_calibrate", "map_cal_default", "map_cal_edit_defaults",
          "fw_browse", "fw_update"})
        add_named(name, "QPushButton", basic);
    for (const char* name : {"boost_lbl_1", "boost_lbl_2", "boost_lbl_4"})
        add_named(name, "QLabel", basic);
    for (const char* name : {"cust_ana_filename", "cust_anb_filename", "fw_location"})
        add_named(name, "QLineEdit", basic);
    add_named("textEdit", "QTextEdit", basic);

    for (const char* t : {"main", "aux", "gpo1", "gpo2"})
        add_table_page(t);
    add_named("pump_prime_delay_2", "QSpinBox", "main");
    add_named("pump_prime_delay", "QSpinBox", "aux");
    for (const char* g : {"gpo1", "gpo2"}) {
        const QString prefix = g;
        add_named(prefix + "_act_delay", "QSpinBox", g);
        add_named(prefix + "_deact_delay", "QSpinBox", g);
        add_named(prefix + "_vert_comp_label", "QLabel", g);
        add_named(prefix + "_horz_comp_label", "QLabel", g);
        add_named(prefix + "_operate_label", "QLabel", g);
    }

    add_named("open_debug_log_file", "QPushButton", "log");
    add_named("debug_log_file_name", "QLineEdit", "log");
    add_named("debug_log_text", "QPlainTextEdit", "log");

    const QString live = "live";
    for (const char* name :
         {"live_collapse", "set_live_log_folder", "open_live_log_file", "live_log_to_file"})
        add_named(name, "QPushButton", live);
    for (const char* name : {"live_data_group", "live_log_settings_group", "live_log_timer_group",
                             "live_log_event_group"})
        add_named(name, "QGroupBox", live);
    add_named("live_display_format", "QComboBox", live);
    for (const char* name :
         {"live_rpm", "live_map", "live_an_a_voltage", "live_an_b_voltage", "live_battery_voltage",
          "live_main_duty", "live_aux_duty", "live_gpo1_duty", "live_gpo2_duty",
          "live_main_current", "live_aux_current", "live_gpi1_state", "live_gpi2_state",
          "live_aux_master", "live_log_file_name", "live_log_folder"})
        add_named(name, "QLineEdit", live);
    for (const char* name : {"boost_lbl_3", "live_an_a_units", "live_an_b_units", "live_log_timer"})
        add_named(name, "QLabel", live);
    add_named("live_log_use_timer", "QCheckBox", live);
    add_named("live_log_timer_start", "QSpinBox", live);
    add_named("live_log_timer_stop", "QSpinBox", live);
    add_named("live_log_graph", "QWidget", live);
}

void test_mainwindow_layout::every_named_object_is_present_once()
{
    QFETCH(QString, name);
    QFETCH(QString, cls);
    QFETCH(QString, page);

    const QList<QObject*> found = window->findChildren<QObject*>(name);
    QCOMPARE(found.size(), 1);
    QObject* object = found.first();
    QVERIFY2(object->inherits(qPrintable(cls)),
             qPrintable(name + " is a " + object->metaObject()->className()));
    if (!page.isEmpty()) {
        auto* widget = qobject_cast<QWidget*>(object);
        QVERIFY(widget);
        QVERIFY2(child<QWidget>(window.get(), qPrintable(page))->isAncestorOf(widget),
                 qPrintable(name + " is not on page " + page));
    }
}

void test_mainwindow_layout::parameter_widgets_start_in_range_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum"); // NaN: not fixed
    QTest::addColumn<double>("step");    // NaN: not fixed
    QTest::addColumn<int>("decimals");   // -1: an integer spin box
    QTest::addColumn<double>("value");

    const double any = std::nan("");
    auto row = [](const QString& name, double min, double max, double step, int decimals,
                  double value) {
        QTest::newRow(qPrintable(name)) << name << min << max << step << decimals << value;
    };
    for (const QString t : {"main", "aux"}) {
        row(t + "_min_duty", 0, 100, 5, -1, 15);
        row(t + "_undercurrent_limit", 0, 25, any, 1, 2.0);
        row(t + "_overcurrent_limit", 0, 20, any, 1, 20.0); // 25 asked, held at the maximum
        row(t + "_time_delay", 0, 10000, 100, -1, 500);
    }
    for (const QString t : {"main", "aux", "gpo1", "gpo2"}) {
        row(t + "_vert_axis_gt", -300, 300, 1, 0, 4);
        row(t + "_horz_axis_gt", 0, 30000, 100, -1, 1500);
    }
    for (const QString delay :
         {"gpo1_act_delay", "gpo1_deact_delay", "gpo2_act_delay", "gpo2_deact_delay",
          "gpi1_act_delay", "gpi1_deact_delay", "gpi2_act_delay", "gpi2_deact_delay",
          "pump_prime_delay", "pump_prime_delay_2"})
        row(delay, 0, 10010, 13, -1, 0);
    row("gpi1_request", 0, 100, 5, -1, 0);
    row("gpi2_request", 0, 100, 5, -1, 0);
    row("max_engine_speed", 1000, 20000, 500, -1, 8000);
    row("pulses_per_rev", 0.5, 64, 0.5, 1, 0.5);
    row("min_boost", 0, 400, 1, 0, 0);
    row("max_boost", 0, 400, 1, 0, 36);
    row("min_an1_input", 0, 5, 0.1, 1, 0);
    row("max_an1_input", 0, 5, 0.1, 1, 4.7);
    row("min_an2_input", 0, 5, 0.1, 1, 0);
    row("max_an2_input", 0, 5, 0.1, 1, 4.7);
    row("base_slope", 0.1, 99, any, 3, 16.122);
    row("base_intercept", 0.1, 1023, any, 3, 222.312);
    row("base_atm", 1, 1023, any, 0, 223);
    row("active_slope", 0.1, 99, any, 3, 16.122);
    row("active_intercept", 0.1, 1023, any, 3, 222.312);
    row("active_atm", 1, 1023, any, 0, 223);
    row("active_deadband", 1, any, any, 0, 3);
    for (const QString t : {"main", "aux", "gpo1", "gpo2"})
        row(t + "_override", -1, 100, 1, -1, -1);
    row("live_log_timer_start", 0, 10000, any, -1, 5);
}

void test_mainwindow_layout::parameter_widgets_start_in_range()
{
    QFETCH(QString, name);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(double, step);
    QFETCH(int, decimals);
    QFETCH(double, value);

    auto* widget = window->findChild<QAbstractSpinBox*>(name);
    QVERIFY(widget);
    double min = 0, max = 0, single_step = 0, current = 0;
    if (decimals < 0) {
        auto* spin = qobject_cast<QSpinBox*>(widget);
        QVERIFY2(spin, "an integer spin box");
        min = spin->minimum();
        max = spin->maximum();
        single_step = spin->singleStep();
        current = spin->value();
    } else {
        auto* spin = qobject_cast<QDoubleSpinBox*>(widget);
        QVERIFY2(spin, "a double spin box");
        QCOMPARE(spin->decimals(), decimals);
        min = spin->minimum();
        max = spin->maximum();
        single_step = spin->singleStep();
        current = spin->value();
    }
    QCOMPARE(min, minimum);
    if (!std::isnan(maximum))
        QCOMPARE(max, maximum);
    if (!std::isnan(step))
        QCOMPARE(single_step, step);
    QCOMPARE(current, value);
}

void test_mainwindow_layout::combo_lists_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");

    const QStringList gpo_common = {"Output OFF",
                                    "Duty table",
                                    "ON above setpoint, OFF below it",
                                    "OFF above setpoint, ON below it",
                                    "ON when MAIN faulted, OFF otherwise",
                                    "OFF when MAIN faulted, ON otherwise"};
    QTest::newRow("main_control") << "main_control"
                                  << QStringList{"Output OFF", "Duty table",
                                                 "Duty table + pump delay"};
    QTest::newRow("aux_control") << "aux_control"
                                 << QStringList{
                                        "Output OFF", "Duty table", "Duty table + pump delay",
                                        "Duty table + OEM control", "OEM control pass-through"};
    QTest::newRow("gpo1_control") << "gpo1_control"
                                  << gpo_common +
                                         QStringList{"ON while AUX faulted, OFF otherwise",
                                                     "OFF while AUX faulted, ON otherwise"};
    QTest::newRow("gpo2_control") << "gpo2_control"
                                  << gpo_common + QStringList{"ON when AUX faulted, OFF otherwise",
                                                              "OFF when AUX faulted, ON otherwise"};
    const QStringList gpi = {"Not used", "Override Main when high", "Override AUX when high",
                             "Override GPO1 when high", "Override GPO2 when high"};
    QTest::newRow("gpi1_control") << "gpi1_control" << gpi;
    QTest::newRow("gpi2_control") << "gpi2_control" << gpi;
    QTest::newRow("boost_select") << "boost_select" << QStringList{"PSI", "Bar", "kPa"};
    const QStringList sources = {"MAP Sensor", "Analog Input A (0-5V)", "Analog Input B (0-5V)"};
    for (const QString t : {"main", "aux", "gpo1", "gpo2"})
        QTest::newRow(qPrintable(t + "_vert_axis")) << t + "_vert_axis" << sources;
    QTest::newRow("live_display_format")
        << "live_display_format" << QStringList{"Physical", "Raw decimal", "Raw hex"};
}

void test_mainwindow_layout::combo_lists()
{
    QFETCH(QString, name);
    QFETCH(QStringList, items);
    auto* combo = child<QComboBox>(window.get(), qPrintable(name));
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i)
        shown << combo->itemText(i);
    QCOMPARE(shown, items);
    QCOMPARE(combo->currentIndex(), 0);
}

void test_mainwindow_layout::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QString>("text");

    auto row = [](const QString& name, const char* property, const QString& text) {
        QTest::newRow(qPrintable(name + "." + property)) << name << QString(property) << text;
    };
    row("menuMenu", "title", "&File");
    row("menuDevice", "title", "&Device");
    row("menuSettings", "title", "Settings");
    row("toolBar", "statusTip", "Connect to device to enable this button");
    for (const QString t : {"main", "aux", "gpo1", "gpo2"}) {
        row(t + "_vert_axis_label", "text", "Boost Pressure (PSI)");
        row(t + "_horz_axis_label", "text", "Engine RPM");
        row(t + "_vert_axis_name", "text", "MAP sensor");
        row(t + "_vert_axis_units", "text", "PSI");
    }
    for (const QString g : {"gpo1", "gpo2"}) {
        row(g + "_vert_comp_label", "text", "is equal to or greater than:");
        row(g + "_horz_comp_label", "text", "is equal to or greater than:");
        row(g + "_operate_label", "text", "Duty table is not used.");
    }
    row("pump_prime_delay_2", "toolTip", "Set this in the AUX tab.");
    row("pulses_per_rev", "statusTip",
        "4cyl engine normally has 0.5 pulses/revolution. Must be multiples of 0.5");
    for (const char* label : {"boost_lbl_1", "boost_lbl_2", "boost_lbl_3"})
        row(label, "text", "PSI");
    row("live_an_a_units", "text", "V");
    row("live_an_b_units", "text", "V");
    row("btn_settings_wizard", "text", "Open Settings Wizard");
    for (const QString t : {"main", "aux", "gpo1", "gpo2"}) {
        row(t + "_override_set", "text", "Set");
        row(t + "_override_reset", "text", "Reset");
        row(t + "_override", "specialValueText", "__");
    }
    row("cust_ana_load_file", "text", "Load from CSV");
    row("cust_ana_defaults", "text", "Set to Default (Volts)");
    row("cust_anb_load_file", "text", "Load from CSV");
    row("cust_anb_defaults", "text", "Set to Default (Volts)");
    row("map_cal_calibrate", "text", "Calibrate");
    row("map_cal_default", "text", "Set to Defaults");
    row("map_cal_edit_defaults", "text", "Edit Defaults");
    row("fw_browse", "text", "Browse");
    row("fw_update", "text", "Update\nFirmware");
    row("open_debug_log_file", "text", "Open Log File");
    row("live_collapse", "text", "^^^ Hide Options ^^^");
    row("live_collapse", "statusTip", "Toggle to increase the size of the graph");
    row("live_log_use_timer", "text", "Timer based logging");
    row("live_log_event_group", "title", "Event based logging");
    row("set_live_log_folder", "text", "Set log folder");
    row("open_live_log_file", "text", "Open log file");
    row("live_log_to_file", "text", "Log to file");
    row("live_rpm", "text", "0");
    row("live_aux_master", "text", "");
    row("connection_status", "text", "Not Connected");
    row("main_settings_group", "title", "Settings");
    row("main_live_group", "title", "Live View");
    for (const char* group :
         {"GPI duty table overrides", "Output Duty Overrides", "Basic Config", "Main Output Limits",
          "AUX Output Limits", "Analog Input Calibration", "Analog Input Conversion", "Analog A",
          "Analog B", "MAP Calibration", "Current Active", "Factory Defaults",
          "Load Firmware Image", "Live Data", "Live log settings"})
        QTest::newRow(group) << QString() << "title" << QString(group);
}

/// A named object's property; without a name, some group box of the window has that title.
void test_mainwindow_layout::texts()
{
    QFETCH(QString, name);
    QFETCH(QString, property);
    QFETCH(QString, text);
    if (name.isEmpty()) {
        QStringList titles;
        for (QGroupBox* group : window->findChildren<QGroupBox*>())
            titles << group->title();
        QVERIFY2(titles.contains(text), qPrintable(text));
        return;
    }
    QObject* object = child<QObject>(window.get(), qPrintable(name));
    QCOMPARE(object->property(qPrintable(property)).toString(), text);
}

void test_mainwindow_layout::actions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tool_tip"); // empty: the text, Qt's default
    QTest::addColumn<QString>("status_tip");
    QTest::addColumn<bool>("checkable");

    const QString connect_first = "Connect to device to enable this button";
    QTest::newRow("reconnect") << "act_reconnect"
                               << "(Re)connect"
                               << "(Re)connect"
                               << "Connect or reconnect to RQ7" << false;
    QTest::newRow("open") << "act_open"
                          << "Open..."
                          << "Open..."
                          << "Open a settings file (vkini)" << false;
    QTest::newRow("save") << "act_save"
                          << "Save"
                          << "Save"
                          << "Save this settings file (%1)" << false;
    QTest::newRow("save_as") << "act_save_as"
                             << "Save As..."
                             << "Save As..."
                             << "Save a settings file (vkini)" << false;
    QTest::newRow("read") << "act_read"
                          << "Read"
                          << "Read from RQ7" << connect_first << false;
    QTest::newRow("write") << "act_write"
                           << "Write"
                           << "Write to RQ7" << connect_first << false;
    QTest::newRow("reset") << "act_reset"
                           << "Reset"
                           << "Reset"
                           << "Resets the device" << false;
    QTest::newRow("logging") << "act_logging"
                             << "Live Updates"
                             << "" << connect_first << true;
    QTest::newRow("rw_debug") << "act_rw_debug"
                              << "Read/write tracing"
                              << ""
                              << "" << true;
    QTest::newRow("write_all") << "act_write_all"
                               << "Write All"
                               << "Write all to RQ7" << connect_first << false;
    QTest::newRow("live_log_to_file") << "act_live_log_to_file"
                                      << "Log to File"
                                      << "Log live update data to a file"
                                      << "" << true;
}

void test_mainwindow_layout::actions()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, tool_tip);
    QFETCH(QString, status_tip);
    QFETCH(bool, checkable);
    auto* action = child<QAction>(window.get(), qPrintable(name));
    QCOMPARE(action->text(), text);
    QCOMPARE(action->toolTip(), tool_tip.isEmpty() ? text : tool_tip);
    // Save names the current settings file, which the preferences restore.
    const QString file = QSettings().value("MainWindow/settings_file_name").toString();
    QCOMPARE(action->statusTip(),
             status_tip.contains("%1")
                 ? status_tip.arg(file.isEmpty() ? QStandardPaths::writableLocation(
                                                       QStandardPaths::DocumentsLocation) +
                                                       "/rq7_settings.vkini"
                                                 : file)
                 : status_tip);
    QCOMPARE(action->isCheckable(), checkable);
    QVERIFY(!action->isChecked());
}

/// Before a unit is connected and a mode chosen, nothing that needs either can be used.
void test_mainwindow_layout::controls_start_disabled()
{
    QStringList disabled = {"gpi1_request",        "gpi1_act_delay",   "gpi1_deact_delay",
                            "gpi2_request",        "gpi2_act_delay",   "gpi2_deact_delay",
                            "pump_prime_delay",    "gpo1_act_delay",   "gpo1_deact_delay",
                            "gpo2_act_delay",      "gpo2_deact_delay", "base_slope",
                            "base_intercept",      "base_atm",         "live_log_event_group",
                            "map_cal_calibrate",   "fw_update",        "main_override_set",
                            "gpo2_override_reset", "live_rpm",         "main_duty_live_value"};
    for (const QString t : {"main", "aux", "gpo1", "gpo2"})
        disabled << t + "_table" << t + "_vert_axis" << t + "_vert_axis_gt" << t + "_horz_axis_gt";
    for (const QString& name : disabled)
        QVERIFY2(!child<QWidget>(window.get(), qPrintable(name))->isEnabled(), qPrintable(name));
    for (const char* name : {"act_read", "act_write", "act_write_all", "act_reset", "act_logging",
                             "act_live_log_to_file"})
        QVERIFY2(!child<QAction>(window.get(), name)->isEnabled(), name);
    for (const char* name : {"act_open", "act_save", "act_save_as", "act_reconnect"})
        QVERIFY2(child<QAction>(window.get(), name)->isEnabled(), name);
    for (const char* name : {"main_control", "aux_control", "gpo1_control", "gpi1_control",
                             "max_engine_speed", "active_slope", "map_cal_edit_defaults"})
        QVERIFY2(child<QWidget>(window.get(), name)->isEnabled(), name);
}

void test_mainwindow_layout::tables_start_empty_on_default_axes()
{
    for (const char* name : {"main_table", "aux_table", "gpo1_table", "gpo2_table"}) {
        auto* table = child<duty_table>(window.get(), name);
        QCOMPARE(table->rowCount(), 16);
        QCOMPARE(table->columnCount(), 16);
        QCOMPARE(table->selectionMode(), QAbstractItemView::ContiguousSelection);
        QCOMPARE(table->gridStyle(), Qt::DashLine);
        QCOMPARE(table->conv, window->unit_converter());
        QCOMPARE(table->cell_values(), QVector<double>(256, 0.0));
        QCOMPARE(table->item(0, 0)->text(), QString("0"));
        // 0..36 PSI on the stepped axis, 0..8000 RPM.
        QCOMPARE(table->vert_header_at(15), 0.0);
        QCOMPARE(table->vert_header_at(0), 36.0);
        QCOMPARE(table->horz_header_at(0), 0);
        QCOMPARE(table->horz_header_at(1), 1000);
        QCOMPARE(table->horz_header_at(15), 8000);
    }
}

void test_mainwindow_layout::check_fills_viewport(const char* name)
{
    auto* table = child<duty_table>(window.get(), name);
    QTRY_COMPARE(table->viewport()->width(), 16 * table->columnWidth(0));
    QTRY_COMPARE(table->viewport()->height(), 16 * table->rowHeight(0));
    QCOMPARE(table->columnWidth(15), table->columnWidth(0));
    QCOMPARE(table->rowHeight(15), table->rowHeight(0));
}

/// The live-position lines divide the viewport into 16 x 16 equal cells, whatever the axes.
void test_mainwindow_layout::tables_fill_their_viewport_exactly()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    for (const char* name : {"main_table", "aux_table", "gpo1_table", "gpo2_table"}) {
        check_fills_viewport(name);
        if (QTest::currentTestFailed())
            return;
    }

    // Wider column captions, other row captions.
    child<QSpinBox>(window.get(), "max_engine_speed")->setValue(20000);
    child<QComboBox>(window.get(), "gpo1_vert_axis")->setCurrentIndex(1);
    child<QDoubleSpinBox>(window.get(), "max_boost")->setValue(400);
    for (const char* name : {"main_table", "gpo1_table"}) {
        check_fills_viewport(name);
        if (QTest::currentTestFailed())
            return;
    }
    QCOMPARE(child<duty_table>(window.get(), "main_table")->horz_header_at(15), 20000);
}

/// Every on_<object>_<signal> slot finds its widget (a typo would leave it silently unbound).
void test_mainwindow_layout::every_slot_binds_by_name()
{
    window.reset();
    log_capture log;
    QSettings().clear(); // every window starts from the default preferences
    window = std::make_unique<MainWindow>();
    QVERIFY2(!log.contains("connectSlotsByName"), qPrintable(log.dump()));
    QVERIFY2(!log.contains("No such signal"), qPrintable(log.dump()));
    QVERIFY2(!log.contains("No such slot"), qPrintable(log.dump()));
}

QTEST_MAIN(test_mainwindow_layout)
#include "test_mainwindow_layout.moc"
