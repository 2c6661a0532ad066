// SPDX-License-Identifier: GPL-3.0-or-later
// The Debug Log page: every formatted message of both threads goes to the console and the
// debug log file at once, on the thread that logged it, and into the log view on the window's
// thread. Lines from other threads are shown in batches, at most one append per pass of the
// window's event loop, and the view keeps only the newest max_view_lines: read/write tracing
// or a flood of messages costs the window little and its memory stays bounded. Open Log File
// shows the file in the desktop's viewer, as a fatal message does before the program ends.
#pragma once

#include "debug_log_file.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <mutex>

namespace Ui {
class MainWindow;
}
class QLineEdit;
class QPlainTextEdit;

class debug_log_panel : public QObject
{
    Q_OBJECT

public:
    static constexpr int max_view_lines = 20000;
    /// Lines appended in one pass of the event loop (about 30 ms once the view is full).
    static constexpr int max_lines_per_append = 500;

    /// Shows lines in `view`, which lives on this object's thread.
    debug_log_panel(QPlainTextEdit* view, QObject* parent);
    /// The Debug Log page of the window's form.
    debug_log_panel(Ui::MainWindow& ui, QObject* form_root, QObject* parent);

    /// The debug log file, also shown on the page.
    void set_file_name(const QString& name);
    QString file_name() const { return log_file_name; }

    /// Writes `line` to the console and the file, then shows it after the lines logged
    /// before it: at once on the view's thread (unless many of those still wait), otherwise
    /// with the next batch. Callable from any thread.
    void add_line(QtMsgType type, const QString& line);

public slots:
    /// Appends the lines waiting for the view.
    void show_pending();
    /// Writes one formatted line as add_line does; a fatal one also opens the file in the
    /// viewer, since the program ends when the message returns. Callable from any thread.
    void when_update_log(QtMsgType type, QString formatted);

private slots:
    void on_open_debug_log_file_clicked();

private:
    QPlainTextEdit* view;
    QLineEdit* file_name_field = nullptr;
    QString log_file_name;
    debug_log_file log_file;
    std::atomic<bool> file_failure_shown{false};

    std::mutex pending_mutex;
    QStringList pending;
    bool show_posted = false;
};
