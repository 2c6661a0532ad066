// SPDX-License-Identifier: GPL-3.0-or-later
#include "file_limits.h"

#include <QFileInfo>

namespace file_limits {

QString size_text(qint64 bytes)
{
    if (bytes % (1024 * 1024) == 0)
        return QString("%1 MiB").arg(bytes / (1024 * 1024));
    if (bytes % (1000 * 1000) == 0)
        return QString("%1 MB").arg(bytes / (1000 * 1000));
    return QString("%1 bytes").arg(bytes);
}

QString too_large(const QString& path, qint64 limit, const QString& kind)
{
    const QFileInfo info(path);
    // A device or a pipe has no size to go by; its reader bounds what it takes.
    if (!info.isFile() || info.size() <= limit)
        return {};
    return QString("%1 is larger than %2 (%3 bytes), the limit for %4")
        .arg(path, size_text(limit))
        .arg(info.size())
        .arg(kind);
}

} // namespace file_limits
