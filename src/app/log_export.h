// SPDX-License-Identifier: GPL-3.0-or-later
// File > Export Live Log as CSV...: the stored log written as quorvane-cli export writes it,
// with a progress dialog while a long log is written.
#pragma once

#include <QString>

class QWidget;
class converter;
class rq7_log_view;

namespace log_export {

/// Asks for a file and writes the log into it. Tells the user the outcome: a failure in a box
/// (with the file and the system's reason), success in `status` (may be empty). A cancelled
/// dialog or export writes nothing and leaves an existing file as it was.
void export_with_dialog(QWidget* window, const rq7_log_view& log, const converter& conv,
                        const QString& folder, QString& status);

/// Writes the log into `path` with a progress dialog that shows when it takes long; false
/// with `error` on failure, false with `error` empty when the user cancelled.
bool write_with_progress(QWidget* window, const QString& path, const rq7_log_view& log,
                         const converter& conv, QString& error);

} // namespace log_export
