// SPDX-License-Identifier: GPL-3.0-or-later
// Backups of the unit's settings before anything overwrites them: Write All and a firmware
// update first read the unit into a backup (a Read keeps one by itself), asking whether to go
// on when that fails; and File > Open Backups Folder shows where they are kept.
#pragma once

#include "d2xx.h"

#include <QObject>
#include <QString>

#include <functional>

class QStatusBar;
class QWidget;
class rq7_worker;

class unit_backups : public QObject
{
    Q_OBJECT

public:
    unit_backups(QWidget* window, rq7_worker* worker, QStatusBar* status, QObject* parent);

    /// Reads the unit into a backup, then runs `next`; when the backup fails the user is
    /// asked first whether to go on `going_on` ("writing") without one.
    void backup_then(const QString& going_on, std::function<void()> next);

public slots:
    /// The backup asked for: goes on with what waited for it.
    void when_backed_up(FT_STATUS status, QString file_name);

signals:
    /// A backup runs: nothing else may write to the unit meanwhile.
    void started();
    void finished();

private slots:
    void on_act_open_backups_triggered();

private:
    bool go_on_without_backup() const;

    QWidget* window;
    rq7_worker* worker;
    QStatusBar* status;
    QString going_on;
    /// Why the last backup's file could not be saved; empty when it was, or was not read.
    QString save_error;
    std::function<void()> after_backup;
};
