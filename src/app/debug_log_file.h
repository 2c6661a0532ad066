// SPDX-License-Identifier: GPL-3.0-or-later
// The debug log file. It stays open and every line reaches the operating system as it is
// written, so that a crash of the program loses nothing logged before it. Once it passes
// rotate_bytes it is renamed to NAME.1.txt (replacing the one kept before) and started anew:
// however much is logged, the two files stay near 20 MB together.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <mutex>

class debug_log_file
{
public:
    static constexpr qint64 rotate_bytes = 10 * 1000 * 1000;

    debug_log_file() = default;
    debug_log_file(const debug_log_file&) = delete;
    debug_log_file& operator=(const debug_log_file&) = delete;

    /// Closes the file written so far; the next line opens `name`.
    void set_file_name(const QString& name);
    /// Appends `line` and "\r\n". False when the file cannot be opened or written (each line
    /// tries again). Callable from any thread; lines never interleave.
    bool write(const QByteArray& line);

    /// The name the file gets when a new one is started: "rq7_debug_log.1.txt" for
    /// "rq7_debug_log.txt".
    static QString old_file_name(const QString& name);

private:
    bool open_for_append();
    void start_anew();

    std::mutex mutex;
    QString file_name;
    QFile file;
    qint64 size = 0;
    qint64 rotate_at = rotate_bytes;
};
