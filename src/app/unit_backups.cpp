// SPDX-License-Identifier: GPL-3.0-or-later
#include "unit_backups.h"

#include "connect_slots_by_name.h"
#include "guide_sections.h"
#include "message_box.h"
#include "rq7_worker.h"
#include "settings_backup.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QStatusBar>
#include <QUrl>

unit_backups::unit_backups(QWidget* window_, rq7_worker* worker_, QStatusBar* status_,
                           QObject* parent)
    : QObject(parent)
    , window(window_)
    , worker(worker_)
    , status(status_)
{
    setObjectName("unit_backups");
    connect_slots_by_name(this, window);
    connect(worker, &rq7_worker::backed_up, this, &unit_backups::when_backed_up);
    // Comes before backed_up: why a unit that was read could not be kept.
    connect(worker, &rq7_worker::backup_saved, this,
            [this](const QString&, const QString& error) { save_error = error; });
}

void unit_backups::backup_then(const QString& going_on_, std::function<void()> next)
{
    going_on = going_on_;
    after_backup = std::move(next);
    save_error.clear();
    emit started();
    status->showMessage("Backing up the unit's settings...");
    worker->start_backup();
}

void unit_backups::when_backed_up(FT_STATUS status_code, QString file_name)
{
    const std::function<void()> next = std::exchange(after_backup, nullptr);
    emit finished();
    if (!next)
        return;
    if (status_code == FT_OK) {
        status->showMessage(QString("Backup saved to %1").arg(file_name));
    } else if (!go_on_without_backup()) {
        qDebug("Nothing written: the unit could not be backed up");
        return;
    }
    next();
}

bool unit_backups::go_on_without_backup() const
{
    const QString why =
        save_error.isEmpty()
            ? QString("The unit's settings could not be read for a backup")
            : QString("The unit's settings were read but could not be kept as a backup (%1)")
                  .arg(save_error);
    return message_box::show_with_help(
               guide_sections::backups, window, QMessageBox::Warning,
               "Could not back up the unit's settings",
               QString("%1, so there would be no copy of what it holds now.\n\nGo on %2 "
                       "without a backup?")
                   .arg(why, going_on),
               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel,
               {{QMessageBox::Ok, "Go on"}}) == QMessageBox::Ok;
}

void unit_backups::on_act_open_backups_triggered()
{
    const QString folder = worker->backup_store().folder();
    QDir().mkpath(folder);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        message_box::show(window, QMessageBox::Information, "Backups folder",
                          QString("The backups are kept in %1").arg(folder));
}
