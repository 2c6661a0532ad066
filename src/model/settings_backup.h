// SPDX-License-Identifier: GPL-3.0-or-later
// Complete settings files written in one piece, and the backups of every unit's settings
// that the program keeps before anything overwrites them: one file per read, named by the
// time, in a folder per serial number, the newest 50 (by the time each was written) kept.
#pragma once

#include "rq7_catalogue.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class rq7_vars;

namespace settings_files {

/// Marks what the window's Save writes: the four output tables, the pulses per revolution,
/// the pump prime delay and every parameter from the MAIN mode on.
void queue_complete(rq7_vars& vars);

/// "2.11.0" as settings files record a program's version: (major << 24) | (minor << 8) | patch.
quint32 version_number(const QString& version);

/// Writes a settings file with everything `queue_complete` names, taken from the lists, and
/// this program's version (the application's version) as the file's writer. The
/// file is written beside its final name and renamed into place, so a crash never leaves a
/// half-written file and an older file of that name holds nothing stale. False, with
/// `error` saying why, when it could not be written.
bool write_complete(const QString& path, const QList<QByteArray>& tables,
                    const QList<quint32>& ints, const QList<adc_trim>& trims,
                    QString* error = nullptr);

/// QSettings holds "<file>.lock" while it saves a file. Killed between creating the lock and
/// writing its process id into it, a program leaves it empty, and every later save of that
/// file would wait 30 s before taking the lock for stale. No live saver leaves its lock empty
/// for more than a moment, so one still empty after abandoned_lock_ms is removed.
void clear_abandoned_lock(const QString& settings_path);
constexpr int abandoned_lock_ms = 100;

/// Reads a settings file without applying it anywhere (quorvane-cli, a comparison in the
/// window). The lists come in with the values that items missing from the file keep, as
/// opening it in the window would (empty lists: the store's start values). False, with
/// `error` for the user and the lists untouched, when the file is missing, unreadable, too
/// large or no settings file; `warnings` name missing or damaged items.
bool read_file(const QString& path, QList<QByteArray>& tables, QList<quint32>& ints,
               QList<adc_trim>& trims, QStringList& warnings, QString& error);

} // namespace settings_files

class settings_backup
{
public:
    static constexpr int kept_per_unit = 50;

    /// Backups go below `folder`, one subfolder per serial number.
    explicit settings_backup(const QString& folder = default_folder());

    /// "<per-user data folder>/backups".
    static QString default_folder();
    QString folder() const { return root; }
    /// The unit's own folder; characters a file name must not hold are replaced.
    QString unit_folder(const QString& serial_number) const;

    /// Saves a backup named by the local time and removes the oldest beyond `kept_per_unit`,
    /// never the one it just saved. Returns the file's path, or an empty string (with `error`
    /// naming the folder or file and the system's reason) when it failed.
    QString save(const QString& serial_number, const QList<QByteArray>& tables,
                 const QList<quint32>& ints, const QList<adc_trim>& trims,
                 QString* error = nullptr) const;

private:
    void prune(const QString& dir, const QString& keep) const;

    QString root;
};
