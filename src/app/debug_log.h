// SPDX-License-Identifier: GPL-3.0-or-later
// The application's message handler: every qDebug/qWarning/qCritical/qFatal of both threads
// becomes one time-stamped line of the debug log.
#pragma once

#include <QByteArray>
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

/// Writes one formatted line to the console: standard error for warnings and worse, standard
/// output for the others. Callable from any thread: lines never interleave.
void write_console_line(QtMsgType type, const QByteArray& line);

/// The process-wide handler to pass to qInstallMessageHandler.
void debug_log_handler(QtMsgType type, const QMessageLogContext& context, const QString& message);
