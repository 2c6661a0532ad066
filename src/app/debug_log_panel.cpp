// SPDX-License-Identifier: GPL-3.0-or-later
#include "debug_log_panel.h"

#include "ui_mainwindow.h"

#include "connect_slots_by_name.h"
#include "debug_log.h"

#include <QDesktopServices>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QThread>
#include <QUrl>

debug_log_panel::debug_log_panel(QPlainTextEdit* view_, QObject* parent)
    : QObject(parent)
    , view(view_)
{
    view->setMaximumBlockCount(max_view_lines);
}

debug_log_panel::debug_log_panel(Ui::MainWindow& ui, QObject* form_root, QObject* parent)
    : debug_log_panel(ui.debug_log_text, parent)
{
    setObjectName("debug_log_panel");
    file_name_field = ui.debug_log_file_name;
    // Log lines carry aligned time stamps and hex dumps.
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    connect_slots_by_name(this, form_root);
}

void debug_log_panel::set_file_name(const QString& name)
{
    log_file_name = name;
    log_file.set_file_name(name);
    if (file_name_field)
        file_name_field->setText(name);
}

void debug_log_panel::when_update_log(QtMsgType type, QString formatted)
{
    // The file is written on the thread that logged, so that nothing is lost when a fatal
    // message ends the program while earlier lines still wait for the window's thread.
    add_line(type, formatted);
    if (type == QtFatalMsg)
        on_open_debug_log_file_clicked(); // the program ends when this message returns
}

void debug_log_panel::on_open_debug_log_file_clicked()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(log_file_name));
}

void debug_log_panel::add_line(QtMsgType type, const QString& line)
{
    const QByteArray bytes = line.toLocal8Bit();
    write_console_line(type, bytes);
    QString shown = line;
    if (!log_file.write(bytes) && !file_failure_shown.exchange(true))
        shown += QString("\n(The debug log file %1 cannot be written; lines are only shown here.)")
                     .arg(log_file_name);

    const bool on_view_thread = QThread::currentThread() == thread();
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(pending_mutex);
        // Older lines than the view keeps are not held either.
        if (pending.size() >= max_view_lines)
            pending.removeFirst();
        pending.append(shown);
        post = !on_view_thread && !show_posted;
        show_posted = show_posted || post;
    }
    if (on_view_thread)
        show_pending();
    else if (post)
        QMetaObject::invokeMethod(this, "show_pending", Qt::QueuedConnection);
}

void debug_log_panel::show_pending()
{
    // A view that holds max_view_lines pays for every line it drops (about 50 us): a large
    // batch goes in parts, one per pass of the event loop, so that the window stays
    // responsive; a batch that replaces all that is shown is set as a whole instead.
    QStringList lines;
    bool more = false;
    {
        std::lock_guard<std::mutex> lock(pending_mutex);
        if (pending.size() > max_lines_per_append && pending.size() < max_view_lines) {
            lines = pending.mid(0, max_lines_per_append);
            pending.erase(pending.begin(), pending.begin() + max_lines_per_append);
            more = true;
        } else {
            lines.swap(pending);
        }
        show_posted = more;
    }
    if (more)
        QMetaObject::invokeMethod(this, "show_pending", Qt::QueuedConnection);
    if (lines.isEmpty())
        return;
    if (lines.size() >= max_view_lines)
        view->setPlainText(lines.join('\n'));
    else
        view->appendPlainText(lines.join('\n'));
    QScrollBar* scroll = view->verticalScrollBar();
    scroll->setValue(scroll->maximum());
}
