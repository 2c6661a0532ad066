// SPDX-License-Identifier: GPL-3.0-or-later
// Recording live data to log files (.vklog): the Log to File command, started at once or
// after a countdown, stopped by itself after "Stop logging after" seconds, keeping up to
// 60 seconds from before its start; a worker operation that pauses the stream leaves the
// recording going. Also the log folder, and opening a log file to browse it.
#pragma once

#include <QObject>
#include <QString>

namespace Ui {
class MainWindow;
}
class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QTimer;
class QWidget;
class change_sets;
class change_tracker;
class live_view;
class rq7_worker;

class live_log_recorder : public QObject
{
    Q_OBJECT

public:
    live_log_recorder(Ui::MainWindow& ui, QWidget* window, rq7_worker* worker,
                      const live_view& live, const change_sets& changes,
                      const change_tracker& tracker, QStatusBar* status, QObject* parent);

    /// The folder new log files go to.
    QString folder() const { return live_log_folder_name; }
    void set_folder(const QString& folder);
    /// Opens a log file to browse it, as Open log file does but without the dialog: not
    /// while live updates run, and only if the user agrees to lose pending edits.
    void open_given_log_file(const QString& name);

public slots:
    void when_log_started();
    void when_log_paused();
    void when_log_stopped();
    /// The live-log file failed: Log to File goes off and the user is told why.
    void when_log_file_failed(QString file_name, QString reason);
    /// The file was not opened as a live log: says why; the log shown stays.
    void when_log_file_refused(QString file_name, QString reason);
    void set_connected(bool connected);
    /// The link is closed: no paused stream will resume.
    void link_closed();

private slots:
    void on_act_live_log_to_file_toggled(bool checked);
    void on_live_log_use_timer_toggled(bool checked);
    void on_live_log_timer_start_valueChanged(QString text);
    void when_live_log_timer_expires();
    void when_live_log_stop_time_reached();
    void on_live_log_pre_trigger_valueChanged(int seconds);
    void on_set_live_log_folder_clicked();
    void on_open_live_log_file_clicked();

private:
    void arm_live_log_countdown();
    /// Gives the worker what the window shows, for the settings section of a new log file.
    void send_log_settings();
    void start_logging_to_file();
    void stop_logging_to_file();
    QString new_live_log_file_name() const;
    /// False while live updates run, or when the user keeps pending changes.
    bool may_open_log_file();
    void open_log_file(const QString& name);

    QWidget* window;
    rq7_worker* worker;
    const live_view& live;
    const change_sets& changes;
    const change_tracker& tracker;
    QStatusBar* status;
    QAction* act_live_log_to_file;
    QPushButton* live_log_to_file;
    QCheckBox* live_log_use_timer;
    QSpinBox* live_log_timer_start;
    QSpinBox* live_log_timer_stop;
    QLabel* live_log_timer;
    QGroupBox* live_log_timer_group;
    QLineEdit* live_log_file_name;
    QLineEdit* live_log_folder;

    QTimer* live_log_countdown;
    /// Ends a recording after "Stop logging after" seconds.
    QTimer* live_log_stop_timer;
    /// Between start_logging_to_file and stop_logging_to_file.
    bool recording_to_file = false;
    /// A worker operation pauses the stream (log_paused, log_stopped, later log_started): the
    /// recording and its countdown carry on across it.
    enum class live_pause { none, asked, stopped };
    live_pause pause = live_pause::none;
    QString live_log_folder_name;
    /// The log file name shown before a log file was asked for, shown again if it is refused.
    QString live_log_file_name_before_open;
};
