// Live data to log files: the Log to File command, the start countdown, the pre-trigger
// seconds, the log folder, and opening a log file to browse it.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "file_dialog.h"
#include "message_box.h"
#include "rq7_worker.h"

#include <QDateTime>
#include <QDebug>
#include <QTimer>

void MainWindow::on_act_live_log_to_file_toggled(bool checked)
{
    if (!checked) {
        stop_logging_to_file();
        ui->live_log_to_file->setText("Log to file");
        return;
    }
    ui->live_log_file_name->clear();
    ui->live_log_to_file->setText("Stop logging to file");
    if (!live)
        return;
    if (ui->live_log_use_timer->isChecked())
        arm_live_log_countdown();
    else
        start_logging_to_file();
}

// ---- the countdown ----

void MainWindow::arm_live_log_countdown()
{
    if (!ui->act_live_log_to_file->isChecked() || !ui->live_log_use_timer->isChecked())
        return;
    if (ui->live_log_timer->text().toInt() < 1) {
        start_logging_to_file();
        return;
    }
    ui->act_live_log_to_file->setIcon(yellow_icon);
    ui->act_live_log_to_file->setStatusTip(
        "Will log live update data to file when triggers are met");
    live_log_countdown->start();
}

void MainWindow::when_live_log_timer_expires()
{
    // Live updates may have stopped meanwhile: a file started now would get no sample.
    if (!ui->act_live_log_to_file->isChecked() || !ui->live_log_use_timer->isChecked() || !live) {
        stop_logging_to_file();
        return;
    }
    const int remaining = ui->live_log_timer->text().toInt();
    if (remaining <= 1) {
        ui->live_log_timer->setText("0");
        start_logging_to_file();
        return;
    }
    ui->live_log_timer->setText(QString::number(remaining - 1));
    live_log_countdown->start();
}

void MainWindow::on_live_log_use_timer_toggled(bool checked)
{
    ui->live_log_timer->setText(checked ? ui->live_log_timer_start->text() : "0");
}

void MainWindow::on_live_log_timer_start_valueChanged(QString text)
{
    if (ui->live_log_use_timer->isChecked())
        ui->live_log_timer->setText(text);
}

void MainWindow::on_live_log_pre_trigger_valueChanged(int seconds)
{
    worker()->set_log_pre_trigger(uint(seconds));
}

// ---- writing ----

QString MainWindow::new_live_log_file_name() const
{
    return live_log_folder_name + "/quorvane_log_" +
           QDateTime::currentDateTime().toString("yyyy-MM-dd_hh-mm-ss") + ".vklog";
}

void MainWindow::start_logging_to_file()
{
    live_log_countdown->stop();
    const QString name = new_live_log_file_name();
    ui->live_log_file_name->setText(name);
    worker()->set_log_file(name);
    all_fields_to_vars(); // the file's settings section shows what the window shows
    worker()->enable_log_to_file(true);
    const QString writing = "Writing live update data to file";
    ui->act_live_log_to_file->setIcon(green_icon);
    ui->act_live_log_to_file->setStatusTip(writing);
    statusBar()->showMessage(writing);
    ui->live_log_timer_group->setEnabled(false);
}

void MainWindow::stop_logging_to_file()
{
    live_log_countdown->stop();
    worker()->enable_log_to_file(false);
    const QString not_writing = "Not logging live update data to file";
    ui->act_live_log_to_file->setIcon(red_icon);
    ui->act_live_log_to_file->setStatusTip(not_writing);
    statusBar()->showMessage(not_writing);
    ui->live_log_timer->setText(
        ui->live_log_use_timer->isChecked() ? ui->live_log_timer_start->text() : "0");
    ui->live_log_timer_group->setEnabled(true);
}

// ---- folder and files ----

void MainWindow::on_set_live_log_folder_clicked()
{
    if (live) {
        const QString text = "Cannot change folder while live updates enabled";
        qWarning().noquote() << text;
        message_box::show(this, QMessageBox::Warning, text,
                          "You cannot change the live logging folder while live updates is "
                          "enabled\n\nTurn off live updates, select a new folder, and turn on "
                          "live updates again to use the new folder.");
        return;
    }
    const QString folder = file_dialog::folder(this, "Log file folder", live_log_folder_name);
    if (folder.isEmpty())
        return;
    live_log_folder_name = folder;
    ui->live_log_folder->setText(folder);
}

void MainWindow::on_open_live_log_file_clicked()
{
    if (!may_open_log_file())
        return;
    const QString name = file_dialog::open_file(
        this, "Open existing log file", live_log_folder_name, "Quorvane logs (*.vklog);;All (*.*)");
    if (!name.isEmpty())
        open_log_file(name);
}

bool MainWindow::may_open_log_file()
{
    if (live)
        return false;
    if (!changes_pending)
        return true;
    const QMessageBox::StandardButton answer = message_box::show(
        this, QMessageBox::Warning, "WARNING: About to overwrite local changes",
        "Opening a log file will also import the settings used to make that log file.\nYou "
        "have unsaved changes that you need to either write out to a unit or save to a "
        "file.\n\nDo you still want to continue loading the log file, overwriting your "
        "changes?",
        QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
    if (answer == QMessageBox::Cancel) {
        qDebug("Not overwriting local changes with log file");
        return false;
    }
    if (answer != QMessageBox::Ok) {
        qCritical("Should not have gotten here");
        return false;
    }
    qDebug("Overwriting local changes with log file");
    return true;
}

void MainWindow::open_log_file(const QString& name)
{
    live_log_file_name_before_open = ui->live_log_file_name->text();
    ui->live_log_file_name->setText(name);
    worker()->parse_log_file(name);
}

void MainWindow::when_log_file_refused(QString file_name, QString reason)
{
    if (ui->live_log_file_name->text() == file_name)
        ui->live_log_file_name->setText(live_log_file_name_before_open);
    message_box::show(this, QMessageBox::Warning, reason,
                      "Nothing of it was loaded; the log shown before is kept.");
}
