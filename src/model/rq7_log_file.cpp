// SPDX-License-Identifier: GPL-3.0-or-later
#include "rq7_log_file.h"

#include "rq7_log.h"

#include <QDebug>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// How often the written lines are pushed from the operating system's cache to the disk, so
// that a power cut costs at most this much of a recording.
constexpr qint64 sync_interval_ms = 1000;

/// True for a file that is empty, missing, or whose last byte ends a line.
bool ends_a_line(const QString& name)
{
    QFile existing(name);
    if (!existing.open(QIODevice::ReadOnly) || existing.size() == 0)
        return true;
    existing.seek(existing.size() - 1);
    return existing.read(1) == "\n";
}

} // namespace

rq7_log_file::~rq7_log_file()
{
    close();
}

void rq7_log_file::set_file_name(const QString& name)
{
    close();
    file.setFileName(name);
}

QByteArray rq7_log_file::log_header(const QString& file_name)
{
    return QByteArrayLiteral("[rq7_log]\r\n") + "# Velkaro Quorvane RQ7-NVS log " +
           file_name.toLocal8Bit() + "\r\n" +
           "# Add comments in this log by starting it with a '#' character, like this line";
}

bool rq7_log_file::open_for_append(QByteArray settings_section)
{
    if (file.isOpen())
        return true;
    // An earlier run may end inside its comment line; the section must start a line.
    if (!settings_section.isEmpty() && !ends_a_line(file.fileName()))
        settings_section.prepend("\r\n");
    // Unbuffered: each write goes straight to write(2), nothing waits in a buffer of ours.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    if (!write_all(settings_section + log_header(file.fileName()))) {
        file.close();
        return false;
    }
    line.reserve(1024); // reserved capacity survives resize(0)
    pending = true;
    failing = false;
    since_sync.start();
    return true;
}

bool rq7_log_file::write_frame(const rq7_frame& frame)
{
    if (!file.isOpen())
        return false;
    line.resize(0);
    if (pending) {
        line.append("\r\n"); // ends the comment line of the log header
        line.append(rq7_frame::csv_header_bytes());
    }
    frame.append_csv_line(line);
    if (!write_all(line)) {
        if (!failing)
            qCritical().noquote() << "Could not write to live log file" << file.fileName() << ":"
                                  << file.errorString();
        failing = true;
        return false;
    }
    pending = false;
    failing = false;
    if (since_sync.elapsed() >= sync_interval_ms)
        sync_now();
    return true;
}

void rq7_log_file::close()
{
    if (!file.isOpen())
        return;
    sync_now();
    file.close();
    pending = false;
    failing = false;
}

// A write cut short (the disk filled up) reports no error of its own; writing the rest gets
// the system's reason for it.
bool rq7_log_file::write_all(const QByteArray& bytes)
{
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

void rq7_log_file::sync_now()
{
    const int fd = file.handle();
    if (fd >= 0) {
#ifdef Q_OS_WIN
        _commit(fd);
#else
        ::fdatasync(fd);
#endif
    }
    since_sync.restart();
}

unsigned int record_live_frame(const rq7_frame& frame, rq7_log& log,
                               tsafe_qvector<unsigned int>& marks, rq7_log_file& file, bool to_file)
{
    const unsigned int mark = to_file && file.is_open() && file.write_frame(frame) ? 1 : 0;
    marks.append(mark);
    log.append(frame);
    return mark;
}
