// SPDX-License-Identifier: GPL-3.0-or-later
// A panel on its own: the MAP calibration panel built on the window's form, with a worker on
// the simulated unit and no MainWindow around it.
#include "box_answerer.h"
#include "change_sets.h"
#include "converter.h"
#include "map_calibration.h"
#include "rq7_controller.h"
#include "rq7_protocol.h"
#include "rq7_worker.h"
#include "sim_fixture.h"
#include "ui_mainwindow.h"

#include <QSignalSpy>
#include <QtTest>

/// Takes the form's wiring of the table pages' fields, which the window forwards.
class form_host : public QMainWindow
{
    Q_OBJECT

public slots:
    void main_field_changed() {}
    void aux_field_changed() {}
    void gpo1_field_changed() {}
    void gpo2_field_changed() {}
};

class test_map_calibration : public QObject
{
    Q_OBJECT

private slots:
    void calibrates_without_the_window();
};

/// Calibrate measures the atmosphere through the worker and queues the active set for the
/// next Write; nothing is written by the measurement itself.
void test_map_calibration::calibrates_without_the_window()
{
    sim_fixture sim;
    form_host host;
    Ui::MainWindow ui;
    ui.setupUi(&host);
    rq7_controller controller;
    rq7_worker* worker = controller.worker();
    converter conv;
    change_sets changes;
    map_calibration panel(ui, &host, worker, &conv, changes, nullptr);
    QVERIFY(!ui.map_cal_calibrate->isEnabled());

    QSignalSpy opened(worker, &rq7_worker::opened);
    worker->open();
    QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 1, 10000);
    panel.set_connected(true);
    sim.unit->clear_received_frames();
    sim.unit->set_map_sensor(240);
    QSignalSpy samples(worker, &rq7_worker::map_cal_data_ready);
    box_answerer boxes;
    ui.map_cal_calibrate->click();
    QCOMPARE(boxes.boxes.value(0).text, QString("WARNING: Turn your engine OFF!!"));
    QTRY_VERIFY_WITH_TIMEOUT(!ui.map_cal_calibrate->isChecked(), 10000);

    QCOMPARE(samples.count(), 1);
    const QList<quint16> values = samples.at(0).at(0).value<QList<quint16>>();
    QVERIFY(!values.isEmpty());
    int sum = 0;
    for (quint16 value : values)
        sum += value;
    const quint16 reading = quint16(sum / values.size());
    QCOMPARE(ui.active_atm->value(), double(reading));
    QCOMPARE(conv.active_atm, reading);
    QCOMPARE(changes.queued().parameters,
             (QSet<int_index>{i_active_slope, i_active_intercept, i_active_atmospheric,
                              i_active_deadband}));
    QVERIFY(changes.changes_are_pending());
    for (const QByteArray& frame : sim.unit->received_frames())
        QVERIFY(quint8(frame.at(1)) != msg_write_active_map_cal);
}

QTEST_MAIN(test_map_calibration)
#include "test_map_calibration.moc"
