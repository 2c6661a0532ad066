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
    // Live updates may have stopped meanwhile: a file started now would get no sample. A
    // pause is no stop: the file opened now gets the samples once the stream resumes.
    const bool streaming = live || pause != live_pause::none;
    if (!ui->act_live_log_to_file->isChecked() || !ui->live_log_use_timer->isChecked() ||
        !streaming) {
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
    // Unchecked during the countdown: nothing will record, so Log to File goes off.
    if (!checked && live_log_countdown->isActive()) {
        live_log_countdown->stop();
        ui->act_live_log_to_file->setChecked(false);
    }
    ui->live_log_timer->setText(checked ? ui->live_log_timer_start->text() : "0");
}

void MainWindow::when_live_log_stop_time_reached()
{
    qDebug("Stop time reached, not logging to file any more");
    ui->act_live_log_to_file->setChecked(false);
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

void MainWindow::send_log_settings()
{
    QList<QByteArray> tables;
    for (table_index table : {t_aux, t_main, t_gpo1, t_gpo2}) // by index
        tables << gui_to_byteArray(table);
    QList<quint32> ints;
    for (int parameter = 0; parameter < i_last; ++parameter)
        ints << field_to_var(int_index(parameter));
    worker()->set_log_settings(tables, ints);
}

void MainWindow::start_logging_to_file()
{
    live_log_countdown->stop();
    const QString name = new_live_log_file_name();
    ui->live_log_file_name->setText(name);
    worker()->set_log_file(name);
    // The file's settings section shows what the window shows; what waits to be written to
    // the unit stays as it is.
    send_log_settings();
    worker()->enable_log_to_file(true);
    recording_to_file = true;
    const int stop_after = ui->live_log_timer_stop->value();
    if (ui->live_log_use_timer->isChecked() && stop_after > 0)
        live_log_stop_timer->start(stop_after * 1000);
    const QString writing = "Writing live update data to file";
    ui->act_live_log_to_file->setIcon(green_icon);
    ui->act_live_log_to_file->setStatusTip(writing);
    statusBar()->showMessage(writing);
    ui->live_log_timer_group->setEnabled(false);
}

void MainWindow::stop_logging_to_file()
{
    live_log_countdown->stop();
    live_log_stop_timer->stop();
    recording_to_file = false;
    worker()->enable_log_to_file(false);
    const QString not_writing = "Not logging live update data to file";
    ui->act_live_log_to_file->setIcon(red_icon);
    ui->act_live_log_to_file->setStatusTip(not_writing);
    statusBar()->showMessage(not_writing);
    ui->live_log_timer->setText(
        ui->live_log_use_timer->isChecked() ? ui->live_log_timer_start->text() : "0");
    ui->live_log_timer_group->setEnabled(true);
}

void MainWindow::when_log_file_failed(QString file_name, QString reason)
{
    // A failure of an earlier file must not end the recording that followed it.
    if (ui->act_live_log_to_file->isChecked() && file_name == ui->live_log_file_name->text())
        ui->act_live_log_to_file->setChecked(false);
    const QString text = "Could not write the live log file";
    qWarning().noquote() << text << file_name << ":" << reason;
    message_box::show(this, QMessageBox::Critical, text,
                      QString("%1\n\n%2\n\nLogging to file is off; live updates go on. "
                              "Anything recorded before stays in the file.")
                          .arg(file_name, reason));
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
