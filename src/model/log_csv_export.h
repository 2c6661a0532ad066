// SPDX-License-Identifier: GPL-3.0-or-later
// A live log as plain CSV in physical units, for spreadsheets and other log viewers: one
// header line naming each column with its unit, then one line per sample, its time in seconds
// from the first sample. quorvane-cli export and the window's export write it with this code,
// so both give the same bytes for the same log, calibration and boost unit.
#pragma once

#include <QString>

#include <functional>

class QIODevice;
class converter;
class rq7_log_view;

namespace log_csv_export {

enum result { r_written, r_failed, r_cancelled };

/// Told every few thousand lines how many of `total` samples are written; false cancels.
using progress_fn = std::function<bool(int done, int total)>;

/// Writes the header and every sample, each write checked: a full disk or a closed pipe is a
/// failure, not a shorter file.
result write(QIODevice& out, const rq7_log_view& log, const converter& conv,
             const progress_fn& progress = progress_fn());

/// Writes into `path`. A regular file (or a new one) is replaced in one step, so a failure or
/// a cancel leaves the old one; anything else (a pipe, a device, a symbolic link) is written
/// into directly, since renaming a file over it would destroy it. `error` names the file and
/// the system's reason.
result save(const QString& path, const rq7_log_view& log, const converter& conv, QString& error,
            const progress_fn& progress = progress_fn());

} // namespace log_csv_export
