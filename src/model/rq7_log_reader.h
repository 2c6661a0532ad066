// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a live-log file back into the log store: the settings section goes to a temporary
// file handed to a callback, every sample line becomes a frame with its logged-to-file mark.
// The file is read in large chunks and lines are never held longer than max_line_length, so
// neither a huge file nor a line of binary junk takes memory beyond the samples kept. A last
// sample line without its line end is what a crash leaves of a line being written: it is
// reported like any damaged line and not stored. Only the first damaged lines are reported
// one by one, the rest are counted: a file of another program costs a few messages, not one
// per line.
#pragma once

#include "rq7_frame.h"
#include "tsafe_qvector.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>

class QIODevice;
class QTemporaryFile;
class rq7_log;

class rq7_log_reader
{
public:
    enum parse_status {
        p_parsed,
        p_cannot_open_file,     // nothing was changed
        p_cannot_open_tempfile, // the samples before the settings section were kept
        p_read_failed,          // the samples before the failure were kept
        p_not_a_log,            // no sample and no settings section: nothing was changed
    };
    /// Gets the name of a temporary file holding one complete settings section; the file is
    /// removed when the call returns.
    using settings_handler = std::function<void(const QString& temp_file_name)>;

    /// A line is held up to this length; a longer one counts only by its start.
    static constexpr int max_line_length = 64 * 1024;
    /// Two runs of a recording more than this far apart are not shaded as one.
    static constexpr qint64 max_gap_ms = 50;
    /// Damaged lines reported one by one; those after them are only counted.
    static constexpr int max_reported_lines = 10;

    rq7_log_reader(rq7_log& log, tsafe_qvector<unsigned int>& marks,
                   settings_handler on_settings = settings_handler());
    ~rq7_log_reader();
    rq7_log_reader(const rq7_log_reader&) = delete;
    rq7_log_reader& operator=(const rq7_log_reader&) = delete;

    /// Opens the file and reads it into the log and the marks, which are emptied once the file
    /// has shown a sample or a settings section: a file with neither (p_not_a_log) leaves
    /// them as they were.
    parse_status parse(const QString& file_name);
    /// Reads an opened device to its end, appending to what the log and the marks hold.
    parse_status parse(QIODevice& in);
    /// Reads a whole log held in memory, appending to what the log and the marks hold.
    parse_status parse_bytes(const QByteArray& bytes);

    /// Folder of the temporary settings files; the system's temporary folder by default.
    void set_temp_folder(const QString& folder) { temp_folder = folder; }

    /// The temporary file that could not be opened (for the report of p_cannot_open_tempfile).
    QString temp_file_name() const { return failed_temp_name; }
    /// Lines of the last parse that were not valid samples; the first max_reported_lines
    /// were reported one by one, then their number.
    int bad_lines() const { return bad_line_count; }
    /// The line number (from 1) of the first of them; 0 when there was none.
    qint64 first_bad_line() const { return first_bad_line_number; }

private:
    enum line_end { line_ended, line_cut };
    void begin_parse(const QString& source_name);
    parse_status take_chunk(const char* p, const char* end);
    parse_status end_parse(parse_status status);
    void take_part_of_line(const char* begin, const char* end);
    parse_status take_line(const char* begin, const char* end, qint64 full_length,
                           line_end ending = line_ended);
    parse_status begin_settings(const char* begin, const char* end, bool overlong);
    void take_settings_line(const char* begin, const char* end, bool overlong);
    void end_settings();
    void take_sample(const char* begin, const char* end, qint64 length);
    void add_sample(const rq7_frame& frame);
    void bad_line(const char* begin, const char* end, qint64 length);
    void found_content();
    void flush();

    rq7_log& log;
    tsafe_qvector<unsigned int>& marks;
    settings_handler on_settings;

    // A line cut by the end of a chunk: its first max_line_length bytes and its full length.
    QByteArray partial;
    qint64 partial_length = 0;
    bool partial_ends_line = false; // its last byte is the "\r" of a line end

    QString source;                // the file's name in messages
    bool clear_on_content = false; // parse(file_name) empties the store once there is content
    bool content = false;          // a sample or a settings section was taken

    QString temp_folder;
    std::unique_ptr<QTemporaryFile> settings;
    bool settings_write_failed = false;
    qint64 settings_bytes = 0;
    bool settings_too_large = false;
    QString failed_temp_name;

    // Samples go to the store in batches, each column's lock taken once per batch.
    QVector<rq7_frame> pending_frames;
    QVector<unsigned int> pending_marks;
    bool have_last = false;
    qint64 last_stamp = 0;
    qint64 line_number = 0;
    int bad_line_count = 0;
    qint64 first_bad_line_number = 0;
};
