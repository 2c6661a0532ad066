// SPDX-License-Identifier: GPL-3.0-or-later
// Records every message logged while it exists (from any thread), so tests can check the
// texts, levels and threads of what the code under test reported.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QThread>
#include <QVector>

#include <functional>
#include <mutex>

class log_capture
{
public:
    struct entry
    {
        QtMsgType type;
        QString text;
        QString function;
        QThread* thread;
    };

    log_capture()
    {
        instance() = this;
        previous = qInstallMessageHandler(&log_capture::handler);
    }
    ~log_capture()
    {
        qInstallMessageHandler(previous);
        instance() = nullptr;
    }

    QVector<entry> entries() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return recorded;
    }

    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        recorded.clear();
    }

    /// Number of messages of `type` (any type when -1) containing `text`.
    int count(const QString& text, int type = -1) const
    {
        std::lock_guard<std::mutex> lock(mutex);
        int n = 0;
        for (const entry& e : recorded)
            if ((type < 0 || e.type == type) && e.text.contains(text))
                ++n;
        return n;
    }

    bool contains(const QString& text, int type = -1) const { return count(text, type) > 0; }

    /// Processes events until a message containing `text` was logged or `ms` passed.
    bool wait_for(const QString& text, int ms = 5000, int type = -1) const
    {
        QElapsedTimer timer;
        timer.start();
        while (!contains(text, type)) {
            if (timer.elapsed() > ms)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        }
        return true;
    }

    /// All recorded texts, one per line, for failure messages.
    QString dump() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        QString out;
        for (const entry& e : recorded)
            out += QString::number(e.type) + " " + e.text + "\n";
        return out;
    }

    /// Passes every message on to the previous handler too (off by default: tests stay quiet).
    bool echo = qEnvironmentVariableIsSet("QUORVANE_TEST_ECHO_LOG");

private:
    static log_capture*& instance()
    {
        static log_capture* current = nullptr;
        return current;
    }

    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        log_capture* self = instance();
        if (!self)
            return;
        {
            std::lock_guard<std::mutex> lock(self->mutex);
            self->recorded.append(
                {type, text, QString::fromUtf8(context.function), QThread::currentThread()});
        }
        if (self->echo && self->previous)
            self->previous(type, context, text);
    }

    // A standard mutex, not Qt's: the thread sanitizer sees this one lock and unlock.
    mutable std::mutex mutex;
    QVector<entry> recorded;
    QtMessageHandler previous = nullptr;
};
