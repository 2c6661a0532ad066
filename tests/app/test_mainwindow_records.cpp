// SPDX-License-Identifier: GPL-3.0-or-later
// The 640-byte table records built from and loaded into the window's widgets, the axes
// they produce, and the handlers of a table's vertical source and threshold.
#include "converter.h"
#include "duty_table.h"
#include "log_capture.h"
#include "vertical_label.h"
#include "window_fixture.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QtTest>

#include <memory>

namespace {

quint8 at(const QByteArray& record, int offset)
{
    return quint8(record.at(offset));
}

quint16 u16(const QByteArray& record, int offset)
{
    return quint16(at(record, offset) << 8 | at(record, offset + 1));
}

/// Puts a correct check byte back after a test changed a record.
QByteArray with_check(QByteArray record)
{
    quint8 check = 0;
    for (int i = 0; i < 639; ++i)
        check ^= at(record, i);
    record[639] = char(check);
    return record;
}

} // namespace

class test_mainwindow_records : public QObject, public window_fixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void vertical_source_codes_data();
    void vertical_source_codes();
    void main_record_layout();
    void main_record_round_trip();
    void gpo_record_round_trip_on_analog_input();
    void wrong_length_changes_nothing_data();
    void wrong_length_changes_nothing();
    void bad_check_byte_changes_nothing();
    void record_without_header_marker_keeps_header_widgets();
    void unknown_source_a4_becomes_map_sensor_without_range();
    void invalid_source_code_becomes_map_sensor_with_range();
    void first_rpm_breakpoint_not_zero_is_warned();
    void vertical_source_relabels_the_tab_data();
    void vertical_source_relabels_the_tab();
    void boost_threshold_is_kept_measurable_data();
    void boost_threshold_is_kept_measurable();
    void gpo_delays_snap_to_13_ms();
    void global_ranges_rebuild_the_axes();

private:
    /// MAIN on the MAP sensor, 5..30 PSI, 9000 RPM, with a recognisable header and cells.
    void set_up_main();
    /// Sets every MAIN widget a record carries to something else, so a load shows.
    void move_main_page_away();

    converter defaults; // the window's converter starts with the same calibration
};

void test_mainwindow_records::initTestCase()
{
    QCoreApplication::setApplicationVersion("2.11.0");
    sim = std::make_unique<sim_fixture>(false);
}

void test_mainwindow_records::init()
{
    QSettings().clear(); // every window starts from the default preferences
    window = std::make_unique<MainWindow>();
}

void test_mainwindow_records::cleanup()
{
    window.reset();
}

void test_mainwindow_records::move_main_page_away()
{
    w<QDoubleSpinBox>("min_boost")->setValue(0);
    w<QDoubleSpinBox>("max_boost")->setValue(40);
    w<QSpinBox>("max_engine_speed")->setValue(6000);
    w<QSpinBox>("main_min_duty")->setValue(50);
    w<QDoubleSpinBox>("main_undercurrent_limit")->setValue(5.5);
    w<QDoubleSpinBox>("main_overcurrent_limit")->setValue(12);
    w<QSpinBox>("main_time_delay")->setValue(100);
    w<QDoubleSpinBox>("main_vert_axis_gt")->setValue(-3);
    w<QSpinBox>("main_horz_axis_gt")->setValue(0);
    w<duty_table>("main_table")->fill_all("0");
}

void test_mainwindow_records::set_up_main()
{
    w<QDoubleSpinBox>("min_boost")->setValue(5);
    w<QDoubleSpinBox>("max_boost")->setValue(30);
    w<QSpinBox>("max_engine_speed")->setValue(9000);
    w<QSpinBox>("main_min_duty")->setValue(15);
    w<QDoubleSpinBox>("main_undercurrent_limit")->setValue(2.0);
    w<QDoubleSpinBox>("main_overcurrent_limit")->setValue(7.5);
    w<QSpinBox>("main_time_delay")->setValue(700);
    w<QDoubleSpinBox>("main_vert_axis_gt")->setValue(10);
    w<QSpinBox>("main_horz_axis_gt")->setValue(2300);
    auto* table = w<duty_table>("main_table");
    table->item(0, 15)->setText("100");
    table->item(15, 0)->setText("15");
    table->item(7, 8)->setText("42");
}

void test_mainwindow_records::vertical_source_codes_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("valid");
    QTest::newRow("MAP sensor") << 0 << 0xA1 << true;
    QTest::newRow("analog A") << 1 << 0xA2 << true;
    QTest::newRow("analog B") << 2 << 0xA3 << true;
    QTest::newRow("unit only") << 3 << 0xA4 << true;
    QTest::newRow("beyond") << 4 << 0xA5 << false;
    QTest::newRow("negative") << -1 << 0xA0 << false;
}

void test_mainwindow_records::vertical_source_codes()
{
    QFETCH(int, index);
    QFETCH(int, code);
    QFETCH(bool, valid);
    log_capture log;
    QCOMPARE(int(MainWindow::encode_vertical_source(index)), valid ? code : 0);
    QCOMPARE(MainWindow::decode_vertical_source(quint8(code)), valid ? index : 0);
    QCOMPARE(log.count("Unhandled vert axis", QtCriticalMsg), valid ? 0 : 2);
}

void test_mainwindow_records::main_record_layout()
{
    set_up_main();
    const QByteArray record = window->gui_to_byteArray(t_main);
    QCOMPARE(record.size(), 640);
    quint8 all = 0;
    for (char c : record)
        all ^= quint8(c);
    QCOMPARE(int(all), 0); // the check byte closes the XOR of the whole record

    // Cells: bottom row first; row 15, column 0 holds 15 % = 153 counts.
    QCOMPARE(u16(record, 0), quint16(153));
    QCOMPARE(u16(record, (15 * 16 + 15) * 2), quint16(1023));
    // Vertical ends in MAP counts, horizontal ends in RPM.
    QCOMPARE(u16(record, 512), defaults.boost2adc(5));
    QCOMPARE(u16(record, 542), defaults.boost2adc(30));
    QCOMPARE(u16(record, 544), quint16(0));
    QCOMPARE(u16(record, 574), quint16(9000));
    QCOMPARE(record.mid(576, 32), QByteArray(32, '\0'));
    QCOMPARE(int(at(record, 608)), 0xCC);
    QCOMPARE(u16(record, 609), quint16(153));                 // 15 %
    QCOMPARE(u16(record, 611), quint16(0));                   //
    QCOMPARE(u16(record, 613), converter::current2adc(2.0));  // 41
    QCOMPARE(u16(record, 615), converter::current2adc(7.5));  // 154
    QCOMPARE(u16(record, 617) << 16 | u16(record, 619), 700); // loops
    QCOMPARE(record.mid(621, 9), QByteArray(9, '\0'));
    QCOMPARE(u16(record, 630), defaults.boost2adc(10));
    QCOMPARE(u16(record, 632), quint16(2300));
    QCOMPARE(int(at(record, 638)), 0xA1);
}

void test_mainwindow_records::main_record_round_trip()
{
    set_up_main();
    const QByteArray record = window->gui_to_byteArray(t_main);

    // Everything else, then the record back.
    move_main_page_away();

    window->byteArray_to_gui(t_main, record);
    QCOMPARE(w<QDoubleSpinBox>("min_boost")->value(), 5.0);
    QCOMPARE(w<QDoubleSpinBox>("max_boost")->value(), 30.0);
    QCOMPARE(w<QSpinBox>("max_engine_speed")->value(), 9000);
    QCOMPARE(w<QSpinBox>("main_min_duty")->value(), 15);
    QCOMPARE(w<QDoubleSpinBox>("main_undercurrent_limit")->value(), 2.0);
    QCOMPARE(w<QDoubleSpinBox>("main_overcurrent_limit")->value(), 7.5);
    QCOMPARE(w<QSpinBox>("main_time_delay")->value(), 700);
    QCOMPARE(w<QDoubleSpinBox>("main_vert_axis_gt")->value(), 10.0);
    QCOMPARE(w<QSpinBox>("main_horz_axis_gt")->value(), 2300);
    auto* table = w<duty_table>("main_table");
    QCOMPARE(table->item(0, 15)->text(), QString("100"));
    QCOMPARE(table->item(15, 0)->text(), QString("15"));
    QCOMPARE(table->item(7, 8)->text(), QString("42"));
    // Every table's axes follow the loaded ranges.
    for (const char* name : {"main_table", "aux_table", "gpo1_table", "gpo2_table"}) {
        auto* grid = w<duty_table>(name);
        QCOMPARE(grid->vert_header_at(15), 5.0);
        QCOMPARE(grid->vert_header_at(0), 30.0);
        QCOMPARE(grid->horz_header_at(15), 9000);
    }
    // Nothing drifts: the widgets give the same record again.
    QCOMPARE(window->gui_to_byteArray(t_main), record);
}

void test_mainwindow_records::gpo_record_round_trip_on_analog_input()
{
    w<QComboBox>("gpo1_vert_axis")->setCurrentIndex(1);
    w<QDoubleSpinBox>("min_an1_input")->setValue(0.5);
    w<QDoubleSpinBox>("max_an1_input")->setValue(4.5);
    w<QDoubleSpinBox>("gpo1_vert_axis_gt")->setValue(2.37);
    w<QSpinBox>("gpo1_horz_axis_gt")->setValue(3000);
    w<QSpinBox>("gpo1_act_delay")->setValue(100);
    w<QSpinBox>("gpo1_deact_delay")->setValue(26);
    const QByteArray record = window->gui_to_byteArray(t_gpo1);
    QCOMPARE(record.size(), 640);
    QCOMPARE(u16(record, 512), converter::volt2adc(0.5));
    QCOMPARE(u16(record, 542), converter::volt2adc(4.5));
    QCOMPARE(u16(record, 609), quint16(8)); // 100 ms in 13 ms steps
    QCOMPARE(u16(record, 611), quint16(2));
    QCOMPARE(record.mid(613, 8), QByteArray(8, '\0'));
    QCOMPARE(u16(record, 630), converter::volt2adc(2.37));
    QCOMPARE(int(at(record, 638)), 0xA2);

    w<QComboBox>("gpo1_vert_axis")->setCurrentIndex(0);
    w<QDoubleSpinBox>("min_an1_input")->setValue(0);
    w<QDoubleSpinBox>("max_an1_input")->setValue(5);
    w<QSpinBox>("gpo1_act_delay")->setValue(0);
    w<QSpinBox>("gpo1_deact_delay")->setValue(0);

    window->byteArray_to_gui(t_gpo1, record);
    QCOMPARE(w<QComboBox>("gpo1_vert_axis")->currentIndex(), 1);
    QCOMPARE(w<QDoubleSpinBox>("min_an1_input")->value(), 0.5);
    QCOMPARE(w<QDoubleSpinBox>("max_an1_input")->value(), 4.5);
    // Volts keep two decimals, so the threshold comes back as it went out.
    QCOMPARE(w<QDoubleSpinBox>("gpo1_vert_axis_gt")->value(), 2.37);
    QCOMPARE(w<QSpinBox>("gpo1_horz_axis_gt")->value(), 3000);
    QCOMPARE(w<QSpinBox>("gpo1_act_delay")->value(), 104);
    QCOMPARE(w<QSpinBox>("gpo1_deact_delay")->value(), 26);
    QCOMPARE(w<duty_table>("gpo1_table")->vert_header_at(0), 4.5);
    QCOMPARE(w<duty_table>("gpo1_table")->vert_header_at(15), 0.5);
    QCOMPARE(window->gui_to_byteArray(t_gpo1), record);
}

void test_mainwindow_records::wrong_length_changes_nothing_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("639") << 639;
    QTest::newRow("641") << 641;
    QTest::newRow("empty") << 0;
}

void test_mainwindow_records::wrong_length_changes_nothing()
{
    QFETCH(int, length);
    set_up_main();
    QByteArray record = window->gui_to_byteArray(t_main);
    record.resize(length);
    w<QDoubleSpinBox>("min_boost")->setValue(1);
    w<QSpinBox>("main_min_duty")->setValue(50);
    w<duty_table>("main_table")->fill_all("7");

    log_capture log;
    window->byteArray_to_gui(t_main, record);
    QVERIFY2(
        log.contains(QString("data not the right size, should be 640, is actually %1").arg(length),
                     QtCriticalMsg),
        qPrintable(log.dump()));
    QCOMPARE(w<QDoubleSpinBox>("min_boost")->value(), 1.0);
    QCOMPARE(w<QSpinBox>("main_min_duty")->value(), 50);
    QCOMPARE(w<duty_table>("main_table")->cell_values(), QVector<double>(256, 7));
}

void test_mainwindow_records::bad_check_byte_changes_nothing()
{
    set_up_main();
    QByteArray record = window->gui_to_byteArray(t_main);
    const int stored = at(record, 639) ^ 0x10;
    record[639] = char(stored);
    const int calculated = stored ^ 0x10;
    w<QSpinBox>("main_min_duty")->setValue(50);
    w<duty_table>("main_table")->fill_all("7");

    log_capture log;
    window->byteArray_to_gui(t_main, record);
    QVERIFY2(log.contains("data checksum incorrect, read again!", QtCriticalMsg),
             qPrintable(log.dump()));
    QVERIFY(log.contains(QString("calculated= %1").arg(calculated)));
    QVERIFY(log.contains(QString("read= %1").arg(stored)));
    QCOMPARE(w<QSpinBox>("main_min_duty")->value(), 50);
    QCOMPARE(w<duty_table>("main_table")->cell_values(), QVector<double>(256, 7));
}

void test_mainwindow_records::record_without_header_marker_keeps_header_widgets()
{
    set_up_main();
    QByteArray record = window->gui_to_byteArray(t_main);
    record[608] = 0;
    record = with_check(record);
    move_main_page_away();

    window->byteArray_to_gui(t_main, record);
    // Grid, axis ends and source arrive...
    QCOMPARE(w<duty_table>("main_table")->item(7, 8)->text(), QString("42"));
    QCOMPARE(w<QDoubleSpinBox>("min_boost")->value(), 5.0);
    QCOMPARE(w<QSpinBox>("max_engine_speed")->value(), 9000);
    // ...the header does not.
    QCOMPARE(w<QSpinBox>("main_min_duty")->value(), 50);
    QCOMPARE(w<QDoubleSpinBox>("main_overcurrent_limit")->value(), 12.0);
    QCOMPARE(w<QSpinBox>("main_time_delay")->value(), 100);
    QCOMPARE(w<QDoubleSpinBox>("main_vert_axis_gt")->value(), -3.0);
    QCOMPARE(w<QSpinBox>("main_horz_axis_gt")->value(), 0);
}

void test_mainwindow_records::unknown_source_a4_becomes_map_sensor_without_range()
{
    set_up_main();
    QByteArray record = window->gui_to_byteArray(t_main);
    record[638] = char(0xA4);
    record = with_check(record);
    w<QComboBox>("main_vert_axis")->setCurrentIndex(2);
    w<QDoubleSpinBox>("min_boost")->setValue(3);
    w<QDoubleSpinBox>("max_boost")->setValue(33);

    log_capture log;
    window->byteArray_to_gui(t_main, record);
    QVERIFY2(log.contains("will be replaced with MAP sensor", QtWarningMsg),
             qPrintable(log.dump()));
    QVERIFY(!log.contains("Unhandled vert axis", QtCriticalMsg));
    QCOMPARE(w<QComboBox>("main_vert_axis")->currentIndex(), 0);
    QCOMPARE(w<VerticalLabel>("main_vert_axis_label")->text(), QString("Boost Pressure (PSI)"));
    QCOMPARE(w<QDoubleSpinBox>("min_boost")->value(), 3.0);
    QCOMPARE(w<QDoubleSpinBox>("max_boost")->value(), 33.0);
    QCOMPARE(w<QSpinBox>("main_min_duty")->value(), 15);
}

void test_mainwindow_records::invalid_source_code_becomes_map_sensor_with_range()
{
    set_up_main();
    QByteArray record = window->gui_to_byteArray(t_main);
    record[638] = 0;
    record = with_check(record);
    w<QComboBox>("main_vert_axis")->setCurrentIndex(1);
    w<QDoubleSpinBox>("min_boost")->setValue(3);
    w<QDoubleSpinBox>("max_boost")->setValue(33);

    log_capture log;
    window->byteArray_to_gui(t_main, record);
    QVERIFY2(log.contains("Unhandled vert axis", QtCriticalMsg), qPrintable(log.dump()));
    QCOMPARE(w<QComboBox>("main_vert_axis")->currentIndex(), 0);
    QCOMPARE(w<QDoubleSpinBox>("min_boost")->value(), 5.0);
    QCOMPARE(w<QDoubleSpinBox>("max_boost")->value(), 30.0);
}

void test_mainwindow_records::first_rpm_breakpoint_not_zero_is_warned()
{
    set_up_main();
    QByteArray record = window->gui_to_byteArray(t_main);
    record[544] = char(0x01);
    record[545] = char(0xF4); // 500 RPM
    record = with_check(record);
    w<QSpinBox>("max_engine_speed")->setValue(6000);

    log_capture log;
    window->byteArray_to_gui(t_main, record);
    QVERIFY2(log.contains("Horizontal minimum is not 0: 500", QtWarningMsg),
             qPrintable(log.dump()));
    QVERIFY(log.contains("Table 'MAIN duty table' generated by the GUI won't line up 100% when "
                         "writing back to the device",
                         QtWarningMsg));
    // Loaded all the same, on this window's axis.
    QCOMPARE(w<QSpinBox>("max_engine_speed")->value(), 9000);
    QCOMPARE(w<duty_table>("main_table")->horz_header_at(0), 0);
    QCOMPARE(w<QSpinBox>("main_min_duty")->value(), 15);
}

void test_mainwindow_records::vertical_source_relabels_the_tab_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("axis");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("units");
    QTest::addColumn<QString>("live_units");
    QTest::addColumn<double>("lowest");
    QTest::addColumn<double>("highest");
    for (const QString t : {"main", "gpo2"}) {
        QTest::newRow(qPrintable(t + " analog A")) << t << 1 << "Analog Input A (Volts)"
                                                   << "AN A input"
                                                   << "Volts"
                                                   << "V" << 0.0 << 5.0;
        QTest::newRow(qPrintable(t + " analog B")) << t << 2 << "Analog Input B (Volts)"
                                                   << "AN B input"
                                                   << "Volts"
                                                   << "V" << 0.0 << 5.0;
    }
    QTest::newRow("aux back to MAP") << "aux" << 0 << "Boost Pressure (PSI)"
                                     << "MAP sensor"
                                     << "PSI"
                                     << "PSI" << -300.0 << 300.0;
}

void test_mainwindow_records::vertical_source_relabels_the_tab()
{
    QFETCH(QString, table);
    QFETCH(int, index);
    QFETCH(QString, axis);
    QFETCH(QString, name);
    QFETCH(QString, units);
    QFETCH(QString, live_units);
    QFETCH(double, lowest);
    QFETCH(double, highest);
    auto* source = w<QComboBox>(qPrintable(table + "_vert_axis"));
    if (index == 0)
        source->setCurrentIndex(2); // away first, so that coming back is a change
    source->setCurrentIndex(index);

    QCOMPARE(w<VerticalLabel>(qPrintable(table + "_vert_axis_label"))->text(), axis);
    QCOMPARE(w<QLabel>(qPrintable(table + "_vert_axis_name"))->text(), name);
    QCOMPARE(w<QLabel>(qPrintable(table + "_vert_axis_name_2"))->text(), name);
    QCOMPARE(w<QLabel>(qPrintable(table + "_vert_axis_units"))->text(), units);
    QCOMPARE(w<QLabel>(qPrintable(table + "_vert_axis_units_2"))->text(), live_units);
    auto* threshold = w<QDoubleSpinBox>(qPrintable(table + "_vert_axis_gt"));
    QCOMPARE(threshold->minimum(), lowest);
    QCOMPARE(threshold->maximum(), highest);
    // The rows follow the source's range: volts 0.0..4.7 by default, or 0..36 PSI.
    auto* grid = w<duty_table>(qPrintable(table + "_table"));
    QCOMPARE(grid->vert_header_at(0), index == 0 ? 36.0 : 4.7);
}

void test_mainwindow_records::boost_threshold_is_kept_measurable_data()
{
    QTest::addColumn<double>("entered");
    QTest::addColumn<double>("shown");
    QTest::addColumn<QString>("message");
    // With the default calibration the sensor reads -13.79 .. 49.66 PSI.
    QTest::newRow("below") << -100.0 << -13.0
                           << "At absolute minimum boost measurable by the RQ7-NVS";
    QTest::newRow("above") << 100.0 << 49.0
                           << "At absolute maximum boost measureable by the RQ7-NVS";
    QTest::newRow("inside") << 20.0 << 20.0 << "";
    QTest::newRow("lowest shown") << -13.0 << -13.0 << "";
}

void test_mainwindow_records::boost_threshold_is_kept_measurable()
{
    QFETCH(double, entered);
    QFETCH(double, shown);
    QFETCH(QString, message);
    QCOMPARE(defaults.adc2boost(0), (0 - 222.312) / 16.122);
    auto* threshold = w<QDoubleSpinBox>("gpo1_vert_axis_gt");
    window->statusBar()->clearMessage();
    threshold->setValue(entered);
    QCOMPARE(threshold->value(), shown);
    QCOMPARE(window->statusBar()->currentMessage(), message);

    // An analog source has its own 0..5 V range and no such limit.
    w<QComboBox>("gpo1_vert_axis")->setCurrentIndex(1);
    window->statusBar()->clearMessage();
    threshold->setValue(4.9);
    QCOMPARE(threshold->value(), 4.9);
    QCOMPARE(window->statusBar()->currentMessage(), QString());
}

void test_mainwindow_records::gpo_delays_snap_to_13_ms()
{
    auto* act = w<QSpinBox>("gpo1_act_delay");
    act->setValue(100);
    QMetaObject::invokeMethod(act, "editingFinished");
    QCOMPARE(act->value(), 104);
    QCOMPARE(window->statusBar()->currentMessage(),
             QString("Can only set delay in increments of 13.0"));

    window->statusBar()->clearMessage();
    auto* deact = w<QSpinBox>("gpo2_deact_delay");
    deact->setValue(130);
    QMetaObject::invokeMethod(deact, "editingFinished");
    QCOMPARE(deact->value(), 130);
    QCOMPARE(window->statusBar()->currentMessage(), QString());
    deact->setValue(10000);
    QMetaObject::invokeMethod(deact, "editingFinished");
    QCOMPARE(deact->value(), 10010);
}

void test_mainwindow_records::global_ranges_rebuild_the_axes()
{
    // Through the form's connections to the tables' field-changed slots.
    w<QSpinBox>("max_engine_speed")->setValue(4000);
    for (const char* name : {"main_table", "aux_table", "gpo1_table", "gpo2_table"})
        QCOMPARE(w<duty_table>(name)->horz_header_at(1), 500);
    w<QComboBox>("aux_vert_axis")->setCurrentIndex(2);
    w<QDoubleSpinBox>("max_an2_input")->setValue(3.0);
    w<QSpinBox>("aux_min_duty")->setValue(20); // any header field rebuilds the axes
    QCOMPARE(w<duty_table>("aux_table")->vert_header_at(0), 3.0);
    // Other units take the evenly spaced axis.
    w<QComboBox>("boost_select")->setCurrentIndex(1);
    w<QDoubleSpinBox>("max_boost")->setValue(3.0);
    w<QSpinBox>("main_min_duty")->setValue(20);
    QCOMPARE(w<duty_table>("main_table")->vert_header_at(14), 3.0 / 15);
}

QTEST_MAIN(test_mainwindow_records)
#include "test_mainwindow_records.moc"
