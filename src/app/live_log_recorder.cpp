// SPDX-License-Identifier: GPL-3.0-or-later
#include "live_log_recorder.h"
#include "ui_mainwindow.h"

#include "change_sets.h"
#include "change_tracker.h"
#include "connect_slots_by_name.h"
#include "file_dialog.h"
#include "guide_sections.h"
#include "live_view.h"
#include "message_box.h"
#include "rq7_worker.h"

#include <QDateTime>
#include <QDebug>
#include <QStatusBar>
#include <QTimer>

live_log_recorder::live_log_recorder(Ui::MainWindow& ui, QWidget* window_, rq7_worker* worker_,
                                     const live_view& live_, const change_sets& changes_,
                                     const change_tracker& tracker_, QStatusBar* status_,
                                     QObject* parent)
    : QObject(parent)
    , window(window_)
    , worker(worker_)
    , live(live_)
    , changes(changes_)
    , tracker(tracker_)
    , status(status_)
    , act_live_log_to_file(ui.act_live_log_to_file)
    , live_log_to_file(ui.live_log_to_file)
    , live_log_use_timer(ui.live_log_use_timer)
    , live_log_timer_start(ui.live_log_timer_start)
    , live_log_timer_stop(ui.live_log_timer_stop)
    , live_log_timer(ui.live_log_timer)
    , live_log_timer_group(ui.live_log_timer_group)
    , live_log_file_name(ui.live_log_file_name)
    , live_log_folder(ui.live_log_folder)
{
    setObjectName("live_log_recorder");
    act_live_log_to_file->setIcon(QIcon(":/icon/redled.ico"));
    connect_slots_by_name(this, window);
    connect(worker, &rq7_worker::log_started, this, &live_log_recorder::when_log_started);
    connect(worker, &rq7_worker::log_paused, this, &live_log_recorder::when_log_paused);
    connect(worker, &rq7_worker::log_stopped, this, &live_log_recorder::when_log_stopped);
    connect(worker, &rq7_worker::log_file_failed, this, &live_log_recorder::when_log_file_failed);
    connect(worker, &rq7_worker::log_file_refused, this, &live_log_recorder::when_log_file_refused);

    live_log_countdown = new QTimer(this);
    live_log_countdown->setSingleShot(true);
    live_log_countdown->setInterval(1000);
    connect(live_log_countdown, &QTimer::timeout, this,
            &live_log_recorder::when_live_log_timer_expires);
    live_log_stop_timer = new QTimer(this);
    live_log_stop_timer->setSingleShot(true);
    connect(live_log_stop_timer, &QTimer::timeout, this,
            &live_log_recorder::when_live_log_stop_time_reached);

    // The page's button is the Log to File command in another place.
    connect(live_log_to_file, &QPushButton::toggled, act_live_log_to_file, &QAction::setChecked);
    connect(act_live_log_to_file, &QAction::toggled, live_log_to_file, &QPushButton::setChecked);
    connect(act_live_log_to_file, &QAction::changed, this,
            [this] { live_log_to_file->setEnabled(act_live_log_to_file->isEnabled()); });
    live_log_to_file->setEnabled(act_live_log_to_file->isEnabled());
    set_connected(false);
}

void live_log_recorder::set_connected(bool connected)
{
    act_live_log_to_file->setEnabled(connected);
    act_live_log_to_file->setChecked(false);
}

void live_log_recorder::link_closed()
{
    pause = live_pause::none;
}

// ---- the stream ----

void live_log_recorder::when_log_started()
{
    pause = live_pause::none;
    // After a pause the file being written, or its countdown, simply carries on.
    if (!act_live_log_to_file->isChecked() || recording_to_file || live_log_countdown->isActive())
        return;
    if (live_log_use_timer->isChecked())
        arm_live_log_countdown();
    else
        start_logging_to_file();
}

void live_log_recorder::when_log_paused()
{
    pause = live_pause::asked;
}

void live_log_recorder::when_log_stopped()
{
    // The stop of a pause keeps the recording; any other stop (the user's, the unit's, a
    // pause that could not start the stream again) ends it.
    const bool pausing = pause == live_pause::asked;
    pause = pausing ? live_pause::stopped : live_pause::none;
    if (!pausing)
        stop_logging_to_file();
}

void live_log_recorder::on_act_live_log_to_file_toggled(bool checked)
{
    if (!checked) {
        stop_logging_to_file();
        live_log_to_file->setText("Log to file");
        return;
    }
    live_log_file_name->clear();
    live_log_to_file->setText("Stop logging to file");
    if (!live.is_live())
        return;
    if (live_log_use_timer->isChecked())
        arm_live_log_countdown();
    else
        start_logging_to_file();
}

// ---- the countdown ----

void live_log_recorder::arm_live_log_countdown()
{
    if (!act_live_log_to_file->isChecked() || !live_log_use_timer->isChecked())
        return;
    if (live_log_timer->text().toInt() < 1) {
        start_logging_to_file();
        return;
    }
    act_live_log_to_file->setIcon(QIcon(":/icon/yellowled.ico"));
    act_live_log_to_file->setStatusTip("Will log live update data to file when triggers are met");
    live_log_countdown->start();
}

void live_log_recorder::when_live_log_timer_expires()
{
    // Live updates may have stopped meanwhile: a file started now would get no sample. A
    // pause is no stop: the file opened now gets the samples once the stream resumes.
    const bool streaming = live.is_live() || pause != live_pause::none;
    if (!act_live_log_to_file->isChecked() || !live_log_use_timer->isChecked() || !streaming) {
        stop_logging_to_file();
        return;
    }
    const int remaining = live_log_timer->text().toInt();
    if (remaining <= 1) {
        live_log_timer->setText("0");
        start_logging_to_file();
        return;
    }
    live_log_timer->setText(QString::number(remaining - 1));
    live_log_countdown->start();
}

void live_log_recorder::on_live_log_use_timer_toggled(bool checked)
{
    // Unchecked during the countdown: nothing will record, so Log to File goes off.
    if (!checked && live_log_countdown->isActive()) {
        live_log_countdown->stop();
        act_live_log_to_file->setChecked(false);
    }
    live_log_timer->setText(checked ? live_log_timer_start->text() : "0");
}

void live_log_recorder::when_live_log_stop_time_reached()
{
    qDebug("Stop time reached, not logging to file any more");
    act_live_log_to_file->setChecked(false);
}

void live_log_recorder::on_live_log_timer_start_valueChanged(QString text)
{
    if (live_log_use_timer->isChecked())
        live_log_timer->setText(text);
}

void live_log_recorder::on_live_log_pre_trigger_valueChanged(int seconds)
{
    worker->set_log_pre_trigger(uint(seconds));
}

// ---- writing ----

QString live_log_recorder::new_live_log_file_name() const
{
    return live_log_folder_name + "/quorvane_log_" +
           QDateTime::currentDateTime().toString("yyyy-MM-dd_hh-mm-ss") + ".vklog";
}

void live_log_recorder::send_log_settings()
{
    QList<QByteArray> tables;
    QList<quint32> ints;
    tracker.current_settings(tables, ints);
    worker->set_log_settings(tables, ints);
}

void live_log_recorder::start_logging_to_file()
{
    live_log_countdown->stop();
    const QString name = new_live_log_file_name();
    live_log_file_name->setText(name);
    worker->set_log_file(name);
    // The file's settings section shows what the window shows; what waits to be written to
    // the unit stays as it is.
    send_log_settings();
    worker->enable_log_to_file(true);
    recording_to_file = true;
    const int stop_after = live_log_timer_stop->value();
    if (live_log_use_timer->isChecked() && stop_after > 0)
        live_log_stop_timer->start(stop_after * 1000);
    const QString writing = "Writing live update data to file";
    act_live_log_to_file->setIcon(QIcon(":/icon/greenled.ico"));
    act_live_log_to_file->setStatusTip(writing);
    status->showMessage(writing);
    live_log_timer_group->setEnabled(false);
}

void live_log_recorder::stop_logging_to_file()
{
    live_log_countdown->stop();
    live_log_stop_timer->stop();
    recording_to_file = false;
    worker->enable_log_to_file(false);
    const QString not_writing = "Not logging live update data to file";
    act_live_log_to_file->setIcon(QIcon(":/icon/redled.ico"));
    act_live_log_to_file->setStatusTip(not_writing);
    status->showMessage(not_writing);
    live_log_timer->setText(live_log_use_timer->isChecked() ? live_log_timer_start->text() : "0");
    live_log_timer_group->setEnabled(true);
}

void live_log_recorder::when_log_file_failed(QString file_name, QString reason)
{
    // A failure of an earlier file must not end the recording that followed it.
    if (act_live_log_to_file->isChecked() && file_name == live_log_file_name->text())
        act_live_log_to_file->setChecked(false);
    const QString text = "Could not write the live log file";
    qWarning().noquote() << text << file_name << ":" << reason;
    message_box::show_with_help(guide_sections::recording_failed, window, QMessageBox::Critical,
                                text,
                                QString("%1\n\n%2\n\nLogging to file is off; live updates go on. "
                                        "Anything recorded before stays in the file.")
                                    .arg(file_name, reason));
}

// ---- folder and files ----

void live_log_recorder::set_folder(const QString& folder)
{
    live_log_folder_name = folder;
    live_log_folder->setText(folder);
}

void live_log_recorder::on_set_live_log_folder_clicked()
{
    if (live.is_live()) {
        const QString text = "Cannot change folder while live updates enabled";
        qWarning().noquote() << text;
        message_box::show_with_help(
            guide_sections::recording, window, QMessageBox::Warning, text,
            "You cannot change the live logging folder while live updates is "
            "enabled\n\nTurn off live updates, select a new folder, and turn on "
            "live updates again to use the new folder.");
        return;
    }
    const QString folder = file_dialog::folder(window, "Log file folder", live_log_folder_name);
    if (!folder.isEmpty())
        set_folder(folder);
}

void live_log_recorder::on_open_live_log_file_clicked()
{
    if (!may_open_log_file())
        return;
    const QString name =
        file_dialog::open_file(window, "Open existing log file", live_log_folder_name,
                               "Quorvane logs (*.vklog);;All (*.*)");
    if (!name.isEmpty())
        open_log_file(name);
}

void live_log_recorder::open_given_log_file(const QString& name)
{
    if (may_open_log_file())
        open_log_file(name);
}

bool live_log_recorder::may_open_log_file()
{
    if (live.is_live())
        return false;
    if (!changes.changes_are_pending())
        return true;
    const QMessageBox::StandardButton answer = message_box::show_with_help(
        guide_sections::opening_logs, window, QMessageBox::Warning,
        "WARNING: About to overwrite local changes",
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

void live_log_recorder::open_log_file(const QString& name)
{
    live_log_file_name_before_open = live_log_file_name->text();
    live_log_file_name->setText(name);
    worker->parse_log_file(name);
}

void live_log_recorder::when_log_file_refused(QString file_name, QString reason)
{
    if (live_log_file_name->text() == file_name)
        live_log_file_name->setText(live_log_file_name_before_open);
    message_box::show_with_help(guide_sections::opening_logs, window, QMessageBox::Warning, reason,
                                "Nothing of it was loaded; the log shown before is kept.");
}
