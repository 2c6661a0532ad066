// SPDX-License-Identifier: GPL-3.0-or-later
#include "debug_log.h"

#include <QThread>

#include <cstdio>
#include <mutex>

#ifdef Q_OS_LINUX
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

std::mutex sink_mutex;
std::function<void(QtMsgType, const QString&)> log_sink;

const char* level_name(QtMsgType type)
{
    switch (type) {
    case QtWarningMsg:
        return "Warning";
    case QtCriticalMsg:
        return "Critical";
    case QtFatalMsg:
        return "Fatal";
    default:
        return nullptr;
    }
}

} // namespace

qint64 current_thread_number()
{
#ifdef Q_OS_LINUX
    return static_cast<qint64>(syscall(SYS_gettid));
#else
    return reinterpret_cast<qint64>(QThread::currentThreadId());
#endif
}

QString format_log_line(QtMsgType type, const QMessageLogContext& context, const QString& message,
                        const QDateTime& when, qint64 thread)
{
    const QString stamp = when.toString("[yyyy-MM-dd HH:mm:ss.zzz]");
    const QString thread_text = QString("%1").arg(thread, 5);
    const char* level = level_name(type);
    if (!level)
        return QString("%1 {%2} %3").arg(stamp, thread_text, message);
    return QString("%1 {%2} [%3] %4: %5")
        .arg(stamp, thread_text, QLatin1String(level), QString::fromUtf8(context.function),
             message);
}

void set_debug_log_sink(std::function<void(QtMsgType, const QString&)> sink)
{
    std::lock_guard<std::mutex> lock(sink_mutex);
    log_sink = std::move(sink);
}

void write_console_line(QtMsgType type, const QByteArray& line)
{
    static std::mutex write_mutex;
    std::lock_guard<std::mutex> lock(write_mutex);
    // A windowed program may have no console streams; writing to them is then harmless.
    FILE* stream = (type == QtDebugMsg || type == QtInfoMsg) ? stdout : stderr;
    std::fprintf(stream, "%s\n", line.constData());
    std::fflush(stream);
}

void debug_log_handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const QString line = format_log_line(type, context, message, QDateTime::currentDateTime(),
                                         current_thread_number());
    std::function<void(QtMsgType, const QString&)> sink;
    {
        std::lock_guard<std::mutex> lock(sink_mutex);
        sink = log_sink;
    }
    if (sink)
        sink(type, line);
    else
        write_console_line(type, line.toLocal8Bit()); // without a window, the console is the log
}
