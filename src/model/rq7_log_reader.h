// Reads a live-log file back into the log store: the settings section goes to a temporary
// file handed to a callback, every sample line becomes a frame with its logged-to-file mark.
// The file is read in large chunks and lines are never held longer than max_line_length, so
// neither a huge file nor a line of binary junk takes memory beyond the samples kept. A last
// sample line without its line end is what a crash leaves of a line being written: it is
// reported like any damaged line and not stored.
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
    };
    /// Gets the name of a temporary file holding one complete settings section; the file is
    /// removed when the call returns.
    using settings_handler = std::function<void(const QString& temp_file_name)>;

    /// A line is held up to this length; a longer one counts only by its start.
    static constexpr int max_line_length = 64 * 1024;
    /// Two runs of a recording more than this far apart are not shaded as one.
    static constexpr qint64 max_gap_ms = 50;

    rq7_log_reader(rq7_log& log, tsafe_qvector<unsigned int>& marks,
                   settings_handler on_settings = settings_handler());
    ~rq7_log_reader();
    rq7_log_reader(const rq7_log_reader&) = delete;
    rq7_log_reader& operator=(const rq7_log_reader&) = delete;

    /// Opens the file, empties the log and the marks, and reads the file into them.
    parse_status parse(const QString& file_name);
    /// Reads an opened device to its end, appending to what the log and the marks hold.
    parse_status parse(QIODevice& in);
    /// Reads a whole log held in memory, appending to what the log and the marks hold.
    parse_status parse_bytes(const QByteArray& bytes);

    /// Folder of the temporary settings files; the system's temporary folder by default.
    void set_temp_folder(const QString& folder) { temp_folder = folder; }

    /// The temporary file that could not be opened (for the report of p_cannot_open_tempfile).
    QString temp_file_name() const { return failed_temp_name; }
    /// Lines that were not valid samples, each reported once.
    int bad_lines() const { return bad_line_count; }

private:
    enum line_end { line_ended, line_cut };
    void begin_parse();
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
    void flush();

    rq7_log& log;
    tsafe_qvector<unsigned int>& marks;
    settings_handler on_settings;

    // A line cut by the end of a chunk: its first max_line_length bytes and its full length.
    QByteArray partial;
    qint64 partial_length = 0;
    bool partial_ends_line = false; // its last byte is the "\r" of a line end

    QString temp_folder;
    std::unique_ptr<QTemporaryFile> settings;
    bool settings_write_failed = false;
    QString failed_temp_name;

    // Samples go to the store in batches, each column's lock taken once per batch.
    QVector<rq7_frame> pending_frames;
    QVector<unsigned int> pending_marks;
    bool have_last = false;
    qint64 last_stamp = 0;
    int bad_line_count = 0;
};
