// The application's message handler: every qDebug/qWarning/qCritical/qFatal of both threads
// becomes one time-stamped line of the debug log.
#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <functional>

/// The identifier of the calling thread as the operating system numbers it.
qint64 current_thread_number();

/// One debug-log line: "[time] {thread} message" for debug and info, and
/// "[time] {thread} [Warning] function: message" (Critical, Fatal) for the others.
QString format_log_line(QtMsgType type, const QMessageLogContext& context, const QString& message,
                        const QDateTime& when, qint64 thread);

/// Where formatted lines go besides the console (the window's log view, once it exists).
/// Called on the thread that logged; null for console only.
void set_debug_log_sink(std::function<void(QtMsgType, const QString&)> sink);

/// Writes one formatted line to the console (standard error for warnings and worse) and
/// appends it with "\r\n" to the file `file_name`, opened for this line alone. Callable from
/// any thread: lines never interleave. False when the file could not be written.
bool write_log_line(QtMsgType type, const QString& line, const QString& file_name);

/// The process-wide handler to pass to qInstallMessageHandler.
void debug_log_handler(QtMsgType type, const QMessageLogContext& context, const QString& message);
