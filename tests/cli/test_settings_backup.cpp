// SPDX-License-Identifier: GPL-3.0-or-later
// Backups of a unit's settings: complete, named by time, the newest 50 kept per unit, and
// never a file name taken from what the unit reports.
#include "rq7_vars.h"
#include "settings_backup.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class test_settings_backup : public QObject
{
    Q_OBJECT

private slots:
    void keeps_the_newest_fifty_complete_files();
    void keeps_the_newest_by_time_of_writing();
};

void test_settings_backup::keeps_the_newest_fifty_complete_files()
{
    QTemporaryDir root;
    const settings_backup backups(root.path());
    rq7_vars vars(nullptr);
    vars.tables[t_main] = QByteArray(640, '\0');
    vars.ints[i_pump_prime_delay] = 42;

    // More than ten in a second: the eleventh ("-10") must not count as older than "-2".
    QStringList saved;
    for (int n = 0; n < settings_backup::kept_per_unit + 11; ++n)
        saved << backups.save("../RQ7/01", vars.tables, vars.ints, vars.trims);
    QVERIFY(!saved.contains(QString()));
    const QString folder = backups.unit_folder("../RQ7/01");
    QCOMPARE(QFileInfo(folder).dir().absolutePath(), QDir(root.path()).absolutePath());
    const QStringList left = QDir(folder).entryList({"*.vkini"}, QDir::Files, QDir::Name);
    QCOMPARE(left.size(), settings_backup::kept_per_unit);
    for (int n = 0; n < saved.size(); ++n)
        QVERIFY2(QFileInfo::exists(saved[n]) ==
                     (n >= saved.size() - settings_backup::kept_per_unit),
                 qPrintable(saved[n]));
    // Nothing half-written is left beside them.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), left.size());

    rq7_vars back(nullptr);
    QList<QString> warnings;
    QVERIFY(back.file_to_vars(saved.last(), warnings));
    QCOMPARE(back.ints[i_pump_prime_delay], quint32(42));
    QCOMPARE(back.tables[t_main], vars.tables[t_main]);
}

/// `count` backups named by a clock `name_offset_s` from now, written `written_offset_s` from
/// now, a second apart; their names, oldest first.
QStringList put_backups(const QString& folder, int count, qint64 name_offset_s,
                        qint64 written_offset_s)
{
    QDir().mkpath(folder);
    const QDateTime now = QDateTime::currentDateTime();
    QStringList names;
    for (int n = 0; n < count; ++n) {
        names << now.addSecs(name_offset_s + n).toString("yyyyMMdd-HHmmss") + ".vkini";
        QFile file(folder + '/' + names.last());
        if (!file.open(QIODevice::WriteOnly) ||
            !file.setFileTime(now.addSecs(written_offset_s + n), QFileDevice::FileModificationTime))
            return {};
    }
    return names;
}

void test_settings_backup::keeps_the_newest_by_time_of_writing()
{
    rq7_vars vars(nullptr);
    // Written in the last hour under names up to an hour ahead (the clock went back an hour):
    // by name the backup just made is the oldest; it stays, the first written goes.
    QTemporaryDir root;
    const settings_backup backups(root.path());
    const QString folder = backups.unit_folder("RQ7SIM01");
    const QStringList earlier = put_backups(folder, settings_backup::kept_per_unit, 3000, -3600);
    QCOMPARE(earlier.size(), settings_backup::kept_per_unit);
    const QString made = backups.save("RQ7SIM01", vars.tables, vars.ints, vars.trims);
    QVERIFY(QFileInfo::exists(made));
    QStringList left = QDir(folder).entryList({"*.vkini"}, QDir::Files);
    QCOMPARE(left.size(), settings_backup::kept_per_unit);
    QVERIFY(!left.contains(earlier.first()));

    // A clock set back a year: everything written since is newer than all before it.
    QTemporaryDir other;
    const settings_backup reset(other.path());
    QCOMPARE(put_backups(reset.unit_folder("RQ7SIM01"), settings_backup::kept_per_unit, 365 * 86400,
                         365 * 86400)
                 .size(),
             settings_backup::kept_per_unit);
    const QString first = reset.save("RQ7SIM01", vars.tables, vars.ints, vars.trims);
    const QString second = reset.save("RQ7SIM01", vars.tables, vars.ints, vars.trims);
    QVERIFY(QFileInfo::exists(first) && QFileInfo::exists(second));
    QCOMPARE(QDir(reset.unit_folder("RQ7SIM01")).entryList({"*.vkini"}, QDir::Files).size(),
             settings_backup::kept_per_unit);
}

QTEST_GUILESS_MAIN(test_settings_backup)
#include "test_settings_backup.moc"
