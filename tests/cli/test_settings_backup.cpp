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

QTEST_GUILESS_MAIN(test_settings_backup)
#include "test_settings_backup.moc"
