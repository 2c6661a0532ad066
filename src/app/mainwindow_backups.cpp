// Backups of the unit's settings before anything overwrites them: Write All and a firmware
// update first read the unit into a backup (a Read keeps one by itself), and the File menu
// opens the folder where they are kept.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "message_box.h"
#include "rq7_worker.h"
#include "settings_backup.h"

#include <QDesktopServices>
#include <QDir>
#include <QStatusBar>
#include <QUrl>

void MainWindow::backup_then(after_backup next)
{
    pending_after_backup = next;
    ui->act_write->setEnabled(false);
    ui->act_write_all->setEnabled(false);
    statusBar()->showMessage("Backing up the unit's settings...");
    worker()->start_backup();
}

void MainWindow::when_backed_up(FT_STATUS status, QString file_name)
{
    const after_backup next = pending_after_backup;
    pending_after_backup = after_backup::nothing;
    if (connected) {
        ui->act_write->setEnabled(true);
        ui->act_write_all->setEnabled(true);
    }
    if (next == after_backup::nothing)
        return;
    if (status == FT_OK) {
        statusBar()->showMessage(QString("Backup saved to %1").arg(file_name));
    } else if (!go_on_without_backup(next)) {
        qDebug("Nothing written: the unit could not be backed up");
        return;
    }
    if (next == after_backup::write_all)
        write_everything();
    else
        program_firmware(firmware_after_backup);
}

bool MainWindow::go_on_without_backup(after_backup next)
{
    const QString what = next == after_backup::write_all ? "writing" : "updating the firmware";
    return message_box::show(
               this, QMessageBox::Warning, "Could not back up the unit's settings",
               QString("The unit's settings could not be read for a backup, so there would be "
                       "no copy of what it holds now.\n\nGo on %1 without a backup?")
                   .arg(what),
               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel,
               {{QMessageBox::Ok, "Go on"}}) == QMessageBox::Ok;
}

void MainWindow::on_act_open_backups_triggered()
{
    const QString folder = worker()->backup_store().folder();
    QDir().mkpath(folder);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        message_box::show(this, QMessageBox::Information, "Backups folder",
                          QString("The backups are kept in %1").arg(folder));
}
