// SPDX-License-Identifier: GPL-3.0-or-later
// The live-log file being written: after the settings section (written by the variable
// store) it gets the log header, then the column header with the first sample and one line
// per sample. Every line reaches the operating system as it is written, so a crash of the
// program loses nothing recorded; the file is also synced to disk about once a second.
#pragma once

#include "rq7_frame.h"
#include "tsafe_qvector.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

class rq7_log;

class rq7_log_file
{
public:
    rq7_log_file() = default;
    ~rq7_log_file();
    rq7_log_file(const rq7_log_file&) = delete;
    rq7_log_file& operator=(const rq7_log_file&) = delete;

    /// Closes the file if it is open, then takes the new name.
    void set_file_name(const QString& name);
    QString file_name() const { return file.fileName(); }
    bool is_open() const { return file.isOpen(); }
    /// True after `open_for_append` until the first frame is written.
    bool header_pending() const { return pending; }

    /// Opens the named file for appending and writes `settings_section` (starting a new line
    /// when the file holds an earlier run), then the log header: "[rq7_log]", the comment
    /// naming the file and the comment that says how to add comments (without a line end:
    /// the first frame supplies it). False, with nothing left open, when the file cannot be
    /// opened or they could not be written; `error_string` says why.
    bool open_for_append(QByteArray settings_section = QByteArray());
    /// Writes the column header first if it is pending, then the frame's line, in one write.
    /// False when the line did not reach the file (reported once per run of failures).
    bool write_frame(const rq7_frame& frame);
    /// Syncs and closes; nothing happens when the file is not open.
    void close();
    QString error_string() const { return file.errorString(); }

    /// The log header exactly as `open_for_append` writes it for a file of that name.
    static QByteArray log_header(const QString& file_name);

private:
    bool write_all(const QByteArray& bytes);
    void sync_now();

    QFile file;
    bool pending = false;
    bool failing = false;
    QByteArray line; // reused: no allocation per frame
    QElapsedTimer since_sync;
};

/// One live sample on its way in: when `to_file` is set and the file is open its line is
/// written first, then its logged-to-file mark is appended (1 only when the line reached the
/// file) and then the sample itself, so that a reader bounding its index by the number of
/// samples always finds the mark. Returns the mark.
unsigned int record_live_frame(const rq7_frame& frame, rq7_log& log,
                               tsafe_qvector<unsigned int>& marks, rq7_log_file& file,
                               bool to_file);
