#include "debug_log_panel.h"

#include "debug_log.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QThread>

debug_log_panel::debug_log_panel(QPlainTextEdit* view_, QObject* parent)
    : QObject(parent)
    , view(view_)
{
    view->setMaximumBlockCount(max_view_lines);
}

void debug_log_panel::set_file_name(const QString& name)
{
    log_file_name = name;
    log_file.set_file_name(name);
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
    QStringList lines;
    {
        std::lock_guard<std::mutex> lock(pending_mutex);
        lines.swap(pending);
        show_posted = false;
    }
    if (lines.isEmpty())
        return;
    view->appendPlainText(lines.join('\n'));
    QScrollBar* scroll = view->verticalScrollBar();
    scroll->setValue(scroll->maximum());
}
