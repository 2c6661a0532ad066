// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_backup.h"

#include "file_limits.h"
#include "rq7_vars.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

using backup_order = std::pair<QString, int>;

/// A backup's time and counter from its name ("yyyyMMdd-HHmmss" or "yyyyMMdd-HHmmss-N"): by
/// the text alone the eleventh backup of a second ("-10") would sort before the third ("-2").
backup_order order_of(const QString& base_name)
{
    const int counter_dash = base_name.indexOf('-', 9);
    if (counter_dash < 0)
        return {base_name, 0};
    return {base_name.left(counter_dash), base_name.mid(counter_dash + 1).toInt()};
}

} // namespace

namespace settings_files {

void queue_complete(rq7_vars& vars)
{
    vars.remove_all_sets();
    for (table_index table : {t_aux, t_main, t_gpo1, t_gpo2})
        vars.changed_tables.insert(table);
    vars.changed_ints.insert(i_rpm_scaler);
    vars.changed_ints.insert(i_pump_prime_delay);
    for (int parameter = i_main_mode; parameter <= i_fw_version; ++parameter)
        vars.changed_ints.insert(int_index(parameter));
}

quint32 version_number(const QString& version)
{
    const QStringList parts = version.split('.');
    return (parts.value(0).toUInt() << 24) | (parts.value(1).toUInt() << 8) |
           parts.value(2).toUInt();
}

void clear_abandoned_lock(const QString& settings_path)
{
    QFileInfo lock(settings_path + ".lock");
    if (!lock.exists() || lock.size() != 0)
        return;
    const qint64 age = lock.lastModified().msecsTo(QDateTime::currentDateTime());
    if (age >= 0 && age < abandoned_lock_ms)
        QThread::msleep(ulong(abandoned_lock_ms - age));
    lock.refresh();
    if (lock.exists() && lock.size() == 0 && QFile::remove(lock.filePath()))
        qWarning().noquote() << "Removed the lock" << lock.filePath()
                             << "left empty by a program that stopped while saving";
}

bool write_complete(const QString& path, const QList<QByteArray>& tables,
                    const QList<quint32>& ints, const QList<adc_trim>& trims, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (tables.size() < t_last || ints.size() < i_last || trims.size() < a_last)
        return fail("there are no settings to write");

    const QFileInfo target(path);
    // A fresh file beside the target: the rename below stays on one file system.
    QTemporaryFile part(target.absolutePath() + "/." + target.fileName() + ".XXXXXX");
    if (!part.open())
        return fail(QString("cannot create a file in %1: %2")
                        .arg(target.absolutePath(), part.errorString()));
    // Readable like any file the user saves; a temporary file starts private.
    part.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    part.close();

    rq7_vars vars(nullptr);
    vars.tables = tables;
    vars.ints = ints;
    vars.trims = trims;
    // Without the writer's version the window would take the file for an old one.
    vars.ints[i_hw_version] = version_number(QCoreApplication::applicationVersion());
    queue_complete(vars);
    if (!vars.vars_to_file(part.fileName()))
        return fail(QString("cannot write %1").arg(part.fileName()));
    // rename() replaces the old file in one step; QFile::rename would refuse to.
    if (std::rename(QFile::encodeName(part.fileName()).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        return fail(QString("cannot rename %1 to %2: %3")
                        .arg(part.fileName(), path, QString::fromLocal8Bit(std::strerror(errno))));
    part.setAutoRemove(false);
    return true;
}

} // namespace settings_files

settings_backup::settings_backup(const QString& folder)
    : root(folder)
{}

QString settings_backup::default_folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/backups";
}

QString settings_backup::unit_folder(const QString& serial_number) const
{
    QString name;
    for (QChar c : serial_number)
        name += c.isLetterOrNumber() || c == '-' || c == '_' ? c : QChar('_');
    return root + '/' + (name.isEmpty() ? QString("unknown") : name);
}

QString settings_backup::save(const QString& serial_number, const QList<QByteArray>& tables,
                              const QList<quint32>& ints, const QList<adc_trim>& trims,
                              QString* error) const
{
    const QString dir = unit_folder(serial_number);
    errno = 0;
    if (!QDir().mkpath(dir)) {
        const int why = errno;
        if (error)
            *error = QString("cannot create the folder %1: %2")
                         .arg(dir, why ? QString::fromLocal8Bit(std::strerror(why))
                                       : QString("a part of its path is no folder"));
        return QString();
    }
    // Backups within one second get a counter above every one that second already has: the
    // first free name could be one the pruning removed, which would sort as the oldest and go
    // at once.
    const QString stamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    QString path = dir + '/' + stamp + ".vkini";
    int last = -1;
    for (const QString& name : QDir(dir).entryList({stamp + "*.vkini"}, QDir::Files)) {
        const backup_order order = order_of(QFileInfo(name).completeBaseName());
        if (order.first == stamp)
            last = qMax(last, order.second);
    }
    if (last >= 0)
        path = dir + '/' + stamp + '-' + QString::number(last + 1) + ".vkini";
    if (!settings_files::write_complete(path, tables, ints, trims, error))
        return QString();
    prune(dir, path);
    return path;
}

void settings_backup::prune(const QString& dir, const QString& keep) const
{
    // Newest first by the time each was written (the name only breaks ties): names follow
    // the local clock, which goes back an hour every autumn. A time of writing still in the
    // future means the clock was set back since: such a file came before every file written
    // since then.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    auto newer = [&now](const QFileInfo& a, const QFileInfo& b) {
        const QDateTime when_a = a.lastModified().toUTC();
        const QDateTime when_b = b.lastModified().toUTC();
        const bool before_clock_change_a = when_a > now;
        const bool before_clock_change_b = when_b > now;
        if (before_clock_change_a != before_clock_change_b)
            return before_clock_change_b;
        if (when_a != when_b)
            return when_a > when_b;
        return order_of(a.completeBaseName()) > order_of(b.completeBaseName());
    };
    QFileInfoList files = QDir(dir).entryInfoList({"*.vkini"}, QDir::Files);
    std::sort(files.begin(), files.end(), newer);
    const QString kept = QFileInfo(keep).absoluteFilePath();
    int left = kept_per_unit - 1; // besides the backup just made, which always stays
    for (const QFileInfo& file : qAsConst(files)) {
        if (file.absoluteFilePath() == kept)
            continue;
        if (left > 0)
            --left;
        else
            QFile::remove(file.absoluteFilePath());
    }
}

bool settings_files::read_file(const QString& path, QList<QByteArray>& tables, QList<quint32>& ints,
                               QList<adc_trim>& trims, QStringList& warnings, QString& error)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        error = QString("there is no settings file %1").arg(path);
        return false;
    }
    if (!info.isReadable()) {
        error = QString("cannot read %1 (check its permissions)").arg(path);
        return false;
    }
    error = file_limits::too_large(path, file_limits::settings_file_bytes, "a settings file");
    if (!error.isEmpty())
        return false;
    rq7_vars vars(nullptr);
    if (!tables.isEmpty()) {
        vars.tables = tables;
        vars.ints = ints;
        vars.trims = trims;
    }
    QList<QString> found_warnings;
    if (!vars.file_to_vars(path, found_warnings)) {
        error = QString("%1 is not a settings file (it has no [rq7_vars] section, or it is "
                        "damaged)")
                    .arg(path);
        return false;
    }
    warnings = found_warnings;
    tables = vars.tables;
    ints = vars.ints;
    trims = vars.trims;
    return true;
}
