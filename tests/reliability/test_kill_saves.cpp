// SPDX-License-Identifier: GPL-3.0-or-later
// Saved files survive the program being killed while it saves: a child (this program started
// again with --save-loop) saves one kind of file over and over, each save a new generation,
// and is killed with SIGKILL at random moments. The file it leaves always loads whole, with
// the last generation the child had finished or the one it was finishing.
#include "rq7_vars.h"
#include "settings_backup.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdio>

namespace {

constexpr int kills_per_kind = 25;
constexpr const char* backup_serial = "RQ7-0042";

// ---- the generations the child saves ----

QByteArray table_of(quint32 generation, int table)
{
    QByteArray record(640, '\0');
    char check = 0;
    for (int i = 0; i < record.size() - 1; ++i) {
        record[i] = char((generation * 7 + quint32(table) * 13 + quint32(i)) & 0xFF);
        check = char(check ^ record[i]);
    }
    record[record.size() - 1] = check;
    return record;
}

rq7_vars vars_of(quint32 generation)
{
    rq7_vars vars(nullptr);
    for (int t = t_aux; t <= t_gpo2; ++t)
        vars.tables[t] = table_of(generation, t);
    for (int i = 0; i < i_last; ++i)
        vars.ints[i] = generation;
    return vars;
}

QStringList preference_keys()
{
    return {"MainWindow/debug_log_file_name",  "MainWindow/settings_file_name",
            "MainWindow/live_log_folder_name", "MainWindow/boost_units",
            "MainWindow/cust_ana_file_name",   "MainWindow/cust_anb_file_name"};
}

/// The generation a settings file holds whole, or -1 when it does not load or is mixed.
qint64 generation_in_settings_file(const QString& path)
{
    rq7_vars vars(nullptr);
    QList<QString> warnings;
    if (!vars.file_to_vars(path, warnings))
        return -1;
    const quint32 generation = vars.ints[i_pump_prime_delay];
    for (int t = t_aux; t <= t_gpo2; ++t)
        if (vars.tables[t] != table_of(generation, t))
            return -1;
    for (int i = i_main_mode; i <= i_fw_version; ++i)
        if (i != i_hw_version && vars.ints[i] != generation)
            return -1;
    return generation;
}

qint64 generation_in_preferences()
{
    QSettings preferences;
    if (preferences.status() != QSettings::NoError)
        return -1;
    const QString first = preferences.value(preference_keys().first()).toString();
    const qint64 generation = first.section('/', -1).toLongLong();
    for (const QString& key : preference_keys())
        if (preferences.value(key).toString() != "/home/u/" + key + "/" + first.section('/', -1))
            return -1;
    return generation;
}

// ---- the child ----

bool save_generation(const QString& kind, const QString& dir, quint32 generation)
{
    rq7_vars vars = vars_of(generation);
    if (kind == "settings") { // the window's Save
        settings_files::queue_complete(vars);
        return vars.vars_to_file(dir + "/settings.vkini");
    }
    if (kind == "complete") // quorvane-cli read, and every backup
        return settings_files::write_complete(dir + "/complete.vkini", vars.tables, vars.ints,
                                              vars.trims);
    if (kind == "backup")
        return !settings_backup(dir + "/backups")
                    .save(backup_serial, vars.tables, vars.ints, vars.trims)
                    .isEmpty();
    // The window's remembered preferences, saved as the window saves them.
    QSettings preferences;
    settings_files::clear_abandoned_lock(preferences.fileName());
    for (const QString& key : preference_keys())
        preferences.setValue(key, "/home/u/" + key + "/" + QString::number(generation));
    preferences.sync();
    return preferences.status() == QSettings::NoError;
}

/// Saves generation after generation, each reported on standard output as "+N" before its
/// save begins and as "N" once it is saved.
int save_loop(const QString& kind, const QString& dir, quint32 first)
{
    for (quint32 generation = first;; ++generation) {
        std::printf("+%u\n", generation);
        std::fflush(stdout);
        if (!save_generation(kind, dir, generation))
            return 1;
        std::printf("%u\n", generation);
        std::fflush(stdout);
    }
}

struct killed_child
{
    qint64 last_saved = -1;     // the last generation the child reported saved
    bool inside_a_save = false; // killed after a save began and before it was reported
    bool crashed = false;
};

killed_child save_then_kill(const QString& kind, const QString& dir, quint32 first, int delay_ms)
{
    killed_child result;
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {"--save-loop", kind, dir, QString::number(first)});
    // Killed once it has saved, so that the kill lands among saves, not in start-up.
    QByteArray out;
    while (out.count('\n') < 2 && child.waitForReadyRead(20000))
        out += child.readAllStandardOutput();
    if (out.count('\n') < 2)
        return result;
    QThread::msleep(ulong(delay_ms));
    ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished(10000);
    result.crashed = child.exitStatus() == QProcess::CrashExit;
    out += child.readAllStandardOutput();
    const QList<QByteArray> lines = out.split('\n');
    for (const QByteArray& line : lines) {
        if (line.isEmpty())
            continue;
        result.inside_a_save = line.startsWith('+');
        if (!result.inside_a_save)
            result.last_saved = line.toLongLong();
    }
    return result;
}

} // namespace

class test_kill_saves : public QObject
{
    Q_OBJECT

private slots:
    void killed_saves_keep_the_previous_file_data();
    void killed_saves_keep_the_previous_file();
};

void test_kill_saves::killed_saves_keep_the_previous_file_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("settings file (window Save)") << "settings";
    QTest::newRow("complete settings file") << "complete";
    QTest::newRow("backups") << "backup";
    QTest::newRow("remembered preferences") << "preferences";
}

void test_kill_saves::killed_saves_keep_the_previous_file()
{
    QFETCH(QString, kind);
    const quint32 seed = qEnvironmentVariableIsSet("QUORVANE_KILL_SEED")
                             ? qgetenv("QUORVANE_KILL_SEED").toUInt()
                             : QRandomGenerator::global()->generate();
    qInfo("kill moments seeded with %u (QUORVANE_KILL_SEED=%u repeats them)", seed, seed);
    QRandomGenerator random(seed);

    QTemporaryDir dir;
    // The preferences go where QSettings puts them for this user, inside the test's folder.
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toLocal8Bit());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
    const QString backups = settings_backup(dir.filePath("backups")).unit_folder(backup_serial);
    QString saved_file = dir.filePath(kind + ".vkini");
    if (kind == "preferences")
        saved_file = QSettings().fileName();

    // A kill between QSettings creating its lock and writing into it leaves the lock empty;
    // the first child meets one (left alone, the save would wait 30 s for it to go stale).
    if (kind == "settings" || kind == "preferences") {
        QDir().mkpath(QFileInfo(saved_file).absolutePath());
        QFile lock(saved_file + ".lock");
        QVERIFY(lock.open(QIODevice::WriteOnly));
    }
    quint32 next = 1;
    int inside_a_save = 0;
    for (int n = 0; n < kills_per_kind; ++n) {
        const killed_child child = save_then_kill(kind, dir.path(), next, random.bounded(0, 100));
        const QString where =
            QString("%1, kill %2, last saved %3").arg(kind).arg(n).arg(child.last_saved);
        QVERIFY2(child.crashed && child.last_saved >= next, qPrintable(where));

        // The file holds the last generation saved, or the next one if its save was through.
        QVector<qint64> found;
        if (kind == "backup") {
            for (const QFileInfo& f : QDir(backups).entryInfoList({"*.vkini"}, QDir::Files))
                found << generation_in_settings_file(f.absoluteFilePath());
            QVERIFY2(!found.contains(-1), qPrintable(where + ": a backup does not load whole"));
            // One more than are kept when the kill came between a save and the pruning.
            QVERIFY2(found.size() <= settings_backup::kept_per_unit + 1, qPrintable(where));
            QVERIFY2(found.contains(child.last_saved), qPrintable(where));
        } else {
            const qint64 generation = kind == "preferences"
                                          ? generation_in_preferences()
                                          : generation_in_settings_file(saved_file);
            QVERIFY2(generation == child.last_saved || generation == child.last_saved + 1,
                     qPrintable(where + QString(": file holds %1").arg(generation)));
        }
        if (child.inside_a_save)
            ++inside_a_save;
        next = quint32(child.last_saved) + 2;
    }
    qInfo("%s: %d kills, %d of them inside a save, the previous file always whole",
          qPrintable(kind), kills_per_kind, inside_a_save);
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Velkaro");
    QCoreApplication::setOrganizationDomain("velkaro.com");
    QCoreApplication::setApplicationName("Quorvane");
    const QStringList args = app.arguments();
    if (args.size() == 5 && args.at(1) == "--save-loop")
        return save_loop(args.at(2), args.at(3), args.at(4).toUInt());
    test_kill_saves tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "test_kill_saves.moc"
