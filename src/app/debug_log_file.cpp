// SPDX-License-Identifier: GPL-3.0-or-later
#include "debug_log_file.h"

#include <QFileInfo>

void debug_log_file::set_file_name(const QString& name)
{
    std::lock_guard<std::mutex> lock(mutex);
    file.close();
    file_name = name;
}

bool debug_log_file::write(const QByteArray& line)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!file.isOpen() && !open_for_append())
        return false;
    const QByteArray text = line + "\r\n";
    const qint64 written = file.write(text);
    if (written != text.size()) {
        file.close(); // opened again for the next line: the disk may have room by then
        return false;
    }
    size += written;
    if (size > rotate_at)
        start_anew();
    return true;
}

QString debug_log_file::old_file_name(const QString& name)
{
    const QFileInfo info(name);
    const QString suffix = info.suffix();
    const QString base = suffix.isEmpty() ? name : name.left(name.size() - suffix.size() - 1);
    return base + ".1" + (suffix.isEmpty() ? QString() : "." + suffix);
}

bool debug_log_file::open_for_append()
{
    if (file_name.isEmpty())
        return false;
    file.setFileName(file_name);
    // Unbuffered: each line goes to the operating system at once.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    size = file.size();
    rotate_at = rotate_bytes;
    return true;
}

void debug_log_file::start_anew()
{
    file.close();
    const QString old = old_file_name(file_name);
    QFile::remove(old);
    const bool renamed = QFile::rename(file_name, old);
    if (!open_for_append())
        return;
    // A file that cannot be renamed (a folder without write permission) goes on growing;
    // it is tried again only after another rotate_bytes, not for every line.
    if (!renamed)
        rotate_at = size + rotate_bytes;
}
