// SPDX-License-Identifier: GPL-3.0-or-later
// The largest files the program reads for the user. A file the user picks may be anything
// (a log of another program, a disk image): it is refused by its size, before it is read into
// memory, with a message that names the limit. Real files stay far below these.
#pragma once

#include <QString>

namespace file_limits {

/// A settings file, or the settings section of a live log (a real one is about 15 KB).
constexpr qint64 settings_file_bytes = 1000 * 1000;
/// A custom analog conversion table (a real one is about 15 KB).
constexpr qint64 cust_an_csv_bytes = 1000 * 1000;
/// A firmware image file (a full image of the unit is about 3 MB of text)...
constexpr qint64 fw_image_file_bytes = 8 * 1000 * 1000;
/// ...and the data its records carry (the unit's flash holds less).
constexpr qint64 fw_image_data_bytes = 1024 * 1024;

/// "1 MB", "8 MB", "1 MiB": a limit as the messages name it.
QString size_text(qint64 bytes);

/// Empty when the file at `path` is at most `limit` bytes long, or cannot be looked at (then
/// opening it reports why); otherwise "PATH is larger than LIMIT (N bytes), the limit for
/// KIND".
QString too_large(const QString& path, qint64 limit, const QString& kind);

} // namespace file_limits
