// SPDX-License-Identifier: GPL-3.0-or-later
// Backups in the window: every Read keeps one, Write All reads the unit into one before it
// writes anything, and a unit that cannot be backed up is written only when the user says so.
#include "box_answerer.h"
#include "rq7_vars.h"
#include "rq7_worker.h"
#include "settings_backup.h"
#include "window_fixture.h"

#include <QAction>
#include <QDir>
#include <QSpinBox>
#include <QtTest>

class test_mainwindow_backups : public QObject, public window_fixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { stop(); }
    void read_and_write_all_keep_what_the_unit_held();
    void write_all_without_a_backup_asks();

private:
    QStringList backups() const;
};

void test_mainwindow_backups::init()
{
    QDir(settings_backup::default_folder()).removeRecursively();
    start();
    connect_unit();
}

QStringList test_mainwindow_backups::backups() const
{
    const QDir dir(settings_backup(settings_backup::default_folder()).unit_folder("RQ7SIM01"));
    QStringList names;
    for (const QString& name : dir.entryList({"*.vkini"}, QDir::Files, QDir::Name))
        names << dir.filePath(name);
    return names;
}

void test_mainwindow_backups::read_and_write_all_keep_what_the_unit_held()
{
    box_answerer boxes;
    sim->unit->set_pump_prime_delay(3);
    run("act_read");
    QCOMPARE(backups().size(), 1);

    child<QSpinBox>(window.get(), "pump_prime_delay")->setValue(130);
    run("act_write_all");
    QCOMPARE(sim->unit->pump_prime_delay(), quint16(10));
    const QStringList kept = backups();
    QCOMPARE(kept.size(), 2);
    rq7_vars before(nullptr);
    QList<QString> warnings;
    QVERIFY(before.file_to_vars(kept.last(), warnings));
    QCOMPARE(before.ints[i_pump_prime_delay], quint32(3));
    QVERIFY(boxes.boxes.isEmpty());
}

void test_mainwindow_backups::write_all_without_a_backup_asks()
{
    box_answerer boxes;
    run("act_read");
    sim->unit->fault_ignore_param(0xA9); // the MAIN table: the backup's read fails
    sim->unit->clear_received_frames();
    boxes.press = QMessageBox::Cancel;
    run("act_write_all");
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes.first().text, QString("Could not back up the unit's settings"));
    QVERIFY(boxes.boxes.first().informative_text.startsWith(
        "The unit's settings could not be read for a backup"));
    for (const QByteArray& frame : sim->unit->received_frames())
        QCOMPARE(quint8(frame.at(1)), quint8(msg_read_param)); // nothing written

    boxes.press = QMessageBox::Ok;
    run("act_write_all");
    QCOMPARE(boxes.boxes.size(), 2);
    QVERIFY(sim->unit->received_frames().size() > 20); // now everything went out

    // Read, but the backup cannot be kept: the box says so, not that the read failed.
    sim->unit->clear_faults();
    const QString folder =
        settings_backup(settings_backup::default_folder()).unit_folder("RQ7SIM01");
    QVERIFY(QDir(folder).removeRecursively());
    QFile in_the_way(folder);
    QVERIFY(in_the_way.open(QIODevice::WriteOnly));
    in_the_way.close();
    boxes.press = QMessageBox::Cancel;
    run("act_write_all");
    QCOMPARE(boxes.boxes.size(), 3);
    QVERIFY2(boxes.boxes.last().informative_text.contains("were read but could not be kept"),
             qPrintable(boxes.boxes.last().informative_text));
    QVERIFY(boxes.boxes.last().informative_text.contains(folder));
    QVERIFY(in_the_way.remove());
}

QTEST_MAIN(test_mainwindow_backups)
#include "test_mainwindow_backups.moc"
