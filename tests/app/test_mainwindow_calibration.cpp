// SPDX-License-Identifier: GPL-3.0-or-later
// MAP calibration and output overrides in the window, against the simulated unit: what the
// user is asked, what the window keeps, and what reaches the unit.
#include "box_answerer.h"
#include "converter.h"
#include "log_capture.h"
#include "rq7_worker.h"
#include "window_fixture.h"

#include <QAction>
#include <QDataStream>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

using namespace rq7_protocol;

namespace {

/// A MAP-cal block as the unit stores it: slopes and intercepts in thousandths, readings and
/// the deadband in counts.
QByteArray map_cal_block(quint32 base_slope, quint32 base_intercept, quint16 base_atm,
                         quint32 slope, quint32 intercept, quint16 atm, quint16 deadband)
{
    QByteArray block;
    QDataStream out(&block, QIODevice::WriteOnly); // big-endian, as the unit
    out << base_slope << base_intercept << base_atm << slope << intercept << atm << deadband
        << quint16(0xABBA) << quint32(0);
    return block;
}

} // namespace

class test_mainwindow_calibration : public QObject, public window_fixture
{
    Q_OBJECT

private slots:
    void init() { start(); }
    void cleanup() { stop(); }

    void calibrate_measures_and_writes_the_active_set();
    void calibrate_cancelled_or_failed();
    void values_from_the_unit_are_asked_about();
    void edit_defaults_locks_and_unlocks_the_factory_set();
    void overrides_reach_the_unit();
};

void test_mainwindow_calibration::calibrate_measures_and_writes_the_active_set()
{
    connect_unit();
    read();
    sim->unit->set_map_sensor(240);
    QSignalSpy samples(window->worker(), &rq7_worker::map_cal_data_ready);
    box_answerer boxes;
    w<QPushButton>("map_cal_calibrate")->click();
    QCOMPARE(boxes.boxes.value(0).text, QString("WARNING: Turn your engine OFF!!"));
    QTRY_VERIFY_WITH_TIMEOUT(!w<QPushButton>("map_cal_calibrate")->isChecked(), 10000);

    int sum = 0;
    for (quint16 value : samples.at(0).at(0).value<QList<quint16>>())
        sum += value;
    const int reading = sum / 5;
    const double intercept = std::round((reading + 222.312 - 223) * 1000) / 1000;
    QCOMPARE(w<QDoubleSpinBox>("active_atm")->value(), double(reading));
    QCOMPARE(w<QDoubleSpinBox>("active_intercept")->value(), intercept);
    // Atmosphere reads as 0 boost again.
    QVERIFY(qAbs(window->unit_converter()->adc2boost(quint16(reading))) < 0.1);

    sim->unit->clear_received_frames();
    run("act_write");
    QCOMPARE(sent().size(), 1);
    QCOMPARE(sim->unit->map_cal_block(),
             map_cal_block(16122, 222312, 223, 16122, quint32(std::lround(intercept * 1000)),
                           quint16(reading), 48));
}

void test_mainwindow_calibration::calibrate_cancelled_or_failed()
{
    connect_unit();
    read();
    box_answerer boxes;
    boxes.press = QMessageBox::Cancel;
    w<QPushButton>("map_cal_calibrate")->click();
    QVERIFY(!w<QPushButton>("map_cal_calibrate")->isChecked());
    QVERIFY(sent().isEmpty());

    // A unit that does not answer: the failure is shown, the button comes up, the calibration
    // stays, and the live updates the measurement paused run again.
    w<QAction>("act_logging")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(sim->unit->streaming(), 5000);
    sim->unit->set_map_sensor(300);
    sim->unit->fault_ignore_param(param_map_sensor);
    boxes.press = QMessageBox::Ok;
    boxes.boxes.clear();
    log_capture log;
    w<QPushButton>("map_cal_calibrate")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w<QPushButton>("map_cal_calibrate")->isChecked(), 15000);
    QVERIFY(log.contains("Cannot read from device...", QtCriticalMsg));
    QCOMPARE(boxes.boxes.size(), 2);
    QCOMPARE(boxes.boxes[1].icon, QMessageBox::Critical);
    QCOMPARE(boxes.boxes[1].text, QString("Calibration failed"));
    QCOMPARE(w<QDoubleSpinBox>("active_atm")->value(), 223.0);
    QVERIFY(!window->changes_are_pending());
    QTRY_VERIFY_WITH_TIMEOUT(w<QAction>("act_logging")->isChecked(), 5000);
    QVERIFY(sim->unit->streaming());

    // An unplugged sensor reads 0, which no calibration can hold: it is refused.
    sim->unit->clear_faults();
    sim->unit->set_map_sensor(0);
    w<QPushButton>("map_cal_calibrate")->click();
    QVERIFY(log.wait_for("MAP sensor reading out of range", 15000, QtCriticalMsg));
    QVERIFY(!w<QPushButton>("map_cal_calibrate")->isChecked());
    QCOMPARE(window->unit_converter()->active_atm, quint16(223));
    QVERIFY(!window->changes_are_pending());
}

void test_mainwindow_calibration::values_from_the_unit_are_asked_about()
{
    box_answerer boxes;
    connect_unit();
    read();
    QVERIFY(boxes.boxes.isEmpty()); // the unit's calibration is the window's

    sim->unit->set_map_cal_block(map_cal_block(150000, 230000, 230, 20000, 240500, 241, 60));
    boxes.press = QMessageBox::No;
    log_capture log;
    read();
    QVERIFY(log.contains("Read base slope out of range: 150", QtWarningMsg));
    QCOMPARE(boxes.boxes.size(), 2);
    QCOMPARE(boxes.boxes[0].default_button, QMessageBox::No);
    QVERIFY(boxes.boxes[0].informative_text.startsWith(
        "Factory Defaults:\n\tSlope:\t\t16.122 to 16.122\n\tIntercept:\t222.312 to "
        "230.000\n\tAtm:\t\t223 to 230\n\nNote that"));
    QVERIFY(boxes.boxes[1].informative_text.startsWith(
        "Current Active:\n\tSlope:\t\t16.122 to 20.000\n\tIntercept:\t222.312 to "
        "240.500\n\tAtm:\t\t223 to 241\n\tDeadband:\t3 to 3\n\nNote that"));
    const converter* conv = window->unit_converter();
    QCOMPARE(conv->base_intercept, 222.312);
    QCOMPARE(conv->active_slope, 16.122);

    boxes.press = QMessageBox::Yes;
    read();
    QCOMPARE(w<QDoubleSpinBox>("base_slope")->value(), 16.122); // 150 was refused
    QCOMPARE(conv->base_intercept, 230.0);
    QCOMPARE(conv->active_slope, 20.0);
    QCOMPARE(conv->active_intercept, 240.5); // loaded as read, not recalculated
    QCOMPARE(w<QDoubleSpinBox>("active_deadband")->value(), 3.0);
    // The deadband goes back in counts of the slope it was read with.
    run("act_write_all");
    QCOMPARE(sim->unit->map_cal_block(), map_cal_block(16122, 230000, 230, 20000, 240500, 241, 60));

    // A slope of 0 is refused; boost is never divided by it.
    sim->unit->set_map_cal_block(map_cal_block(16122, 230000, 230, 0, 240500, 241, 60));
    read();
    QVERIFY(log.contains("Read act slope out of range: 0", QtWarningMsg));
    QCOMPARE(conv->active_slope, 20.0);
}

void test_mainwindow_calibration::edit_defaults_locks_and_unlocks_the_factory_set()
{
    connect_unit();
    read();
    auto* edit = w<QPushButton>("map_cal_edit_defaults");
    const auto base_enabled = [this] {
        return w<QDoubleSpinBox>("base_slope")->isEnabled() +
               w<QDoubleSpinBox>("base_intercept")->isEnabled() +
               w<QDoubleSpinBox>("base_atm")->isEnabled();
    };
    box_answerer boxes;
    edit->click();
    QCOMPARE(boxes.boxes.value(0).text, QString("WARNING: Editing factory MAP sensor defaults"));
    QCOMPARE(base_enabled(), 3);
    QVERIFY(window->changes_are_pending());
    edit->click(); // locked again: the factory set is no longer to be written
    QCOMPARE(base_enabled(), 0);
    QVERIFY(!window->changes_are_pending());

    boxes.press = QMessageBox::Cancel;
    edit->click();
    QVERIFY(!edit->isChecked());
    QCOMPARE(base_enabled(), 0);
    QVERIFY(!window->changes_are_pending());

    boxes.press = QMessageBox::Ok;
    edit->click();
    w<QDoubleSpinBox>("base_slope")->setValue(17.5);
    w<QDoubleSpinBox>("base_intercept")->setValue(230);
    w<QDoubleSpinBox>("base_atm")->setValue(231);
    w<QPushButton>("map_cal_default")->click();
    run("act_write");
    QCOMPARE(sent().size(), 2);
    QCOMPARE(sim->unit->map_cal_block(), map_cal_block(17500, 230000, 231, 17500, 230000, 231, 53));
    QVERIFY(!edit->isChecked());
    QCOMPARE(base_enabled(), 0);

    // The active intercept keeps the factory set's offset from the atmospheric reading.
    w<QDoubleSpinBox>("active_atm")->setValue(240);
    QCOMPARE(w<QDoubleSpinBox>("active_intercept")->value(), 239.0);
    QCOMPARE(window->unit_converter()->active_intercept, 239.0);
}

void test_mainwindow_calibration::overrides_reach_the_unit()
{
    connect_unit();
    sim->unit->clear_received_frames();
    w<QSpinBox>("main_override")->setValue(100);
    w<QPushButton>("main_override_set")->click();
    w<QSpinBox>("aux_override")->setValue(0);
    w<QPushButton>("aux_override_set")->click();
    w<QPushButton>("gpo1_override_set")->click(); // "__": nothing to set
    w<QSpinBox>("gpo2_override")->setValue(50);
    w<QPushButton>("gpo2_override_set")->click();
    w<QPushButton>("gpo2_override_reset")->click();
    w<QPushButton>("main_override_reset")->click();
    QTRY_COMPARE_WITH_TIMEOUT(sent().size(), 5, 10000);
    QCOMPARE(sent(), (QStringList{"02:03ff", "01:0000", "06:0200", "08:04", "08:01"}));
    QCOMPARE(w<QSpinBox>("gpo2_override")->text(), QString("__"));

    // With the live stream running, the override pauses it and starts it again.
    window->worker()->start_live_logging();
    QTRY_VERIFY_WITH_TIMEOUT(sim->unit->streaming(), 5000);
    sim->unit->clear_received_frames();
    w<QSpinBox>("main_override")->setValue(40);
    w<QPushButton>("main_override_set")->click();
    QTRY_COMPARE_WITH_TIMEOUT(sent().size(), 3, 10000);
    QCOMPARE(sent(), (QStringList{"13:00", "02:0199", "13:55"}));
    QVERIFY(sim->unit->streaming());

    // A Reset the unit does not acknowledge is shown, and so is the override still in force;
    // live updates go on.
    box_answerer boxes;
    sim->unit->fault_wrong_ack(5);
    w<QPushButton>("main_override_reset")->click();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.boxes.size(), 1, 10000);
    QCOMPARE(boxes.boxes[0].text, QString("Could not reset the override of MAIN"));
    QCOMPARE(w<QSpinBox>("main_override")->value(), 40);
    QTRY_VERIFY_WITH_TIMEOUT(sim->unit->streaming(), 5000);
}

QTEST_MAIN(test_mainwindow_calibration)
#include "test_mainwindow_calibration.moc"
