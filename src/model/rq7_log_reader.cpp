// SPDX-License-Identifier: GPL-3.0-or-later
#include "rq7_log_reader.h"

#include "blank_text.h"
#include "file_limits.h"
#include "rq7_log.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <cstring>

namespace {

constexpr qint64 chunk_size = 1 << 20;
constexpr int batch_size = 4096;

template <int n>
bool starts_with(const char* begin, const char* end, const char (&prefix)[n])
{
    return end - begin >= n - 1 && std::memcmp(begin, prefix, n - 1) == 0;
}

// Where the 32 parts of a sample end within the held start of an overlong line: at the comma
// after the 32nd part when it is there (later parts do not count), otherwise at the last
// comma, so that the part cut off by the limit is not taken for a number.
const char* end_of_held_parts(const char* begin, const char* end)
{
    const char* last_comma = begin;
    int commas = 0;
    for (const char* p = begin; p < end; ++p) {
        if (*p != ',')
            continue;
        last_comma = p;
        if (++commas == rq7_frame::value_count + 1)
            return p;
    }
    return last_comma;
}

} // namespace

rq7_log_reader::rq7_log_reader(rq7_log& log_, tsafe_qvector<unsigned int>& marks_,
                               settings_handler on_settings_)
    : log(log_)
    , marks(marks_)
    , on_settings(std::move(on_settings_))
{}

rq7_log_reader::~rq7_log_reader() = default;

rq7_log_reader::parse_status rq7_log_reader::parse(const QString& file_name)
{
    QFile in(file_name);
    if (!in.open(QIODevice::ReadOnly))
        return p_cannot_open_file;
    clear_on_content = true;
    const parse_status status = parse(in);
    clear_on_content = false;
    return status;
}

rq7_log_reader::parse_status rq7_log_reader::parse(QIODevice& in)
{
    const auto* file = qobject_cast<const QFileDevice*>(&in);
    begin_parse(file ? file->fileName() : QString("the log"));
    parse_status status = p_parsed;
    QByteArray chunk(int(chunk_size), Qt::Uninitialized);
    while (status == p_parsed) {
        const qint64 got = in.read(chunk.data(), chunk_size);
        if (got < 0) {
            status = p_read_failed;
            break;
        }
        if (got == 0)
            break;
        status = take_chunk(chunk.constData(), chunk.constData() + got);
    }
    return end_parse(status);
}

rq7_log_reader::parse_status rq7_log_reader::parse_bytes(const QByteArray& bytes)
{
    begin_parse(QString("the log"));
    const parse_status status = take_chunk(bytes.constData(), bytes.constData() + bytes.size());
    return end_parse(status);
}

void rq7_log_reader::begin_parse(const QString& source_name)
{
    source = source_name;
    content = false;
    have_last = log.size() > 0;
    last_stamp = log.timestamps().last();
    partial.clear();
    partial_length = 0;
    partial_ends_line = false;
    line_number = 0;
    bad_line_count = 0;
    first_bad_line_number = 0;
}

// The lines of [p, end); a line not ended there is held until the next chunk or the end.
rq7_log_reader::parse_status rq7_log_reader::take_chunk(const char* p, const char* end)
{
    parse_status status = p_parsed;
    while (p < end && status == p_parsed) {
        const auto* newline = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        if (!newline) {
            take_part_of_line(p, end);
            break;
        }
        if (partial_length == 0) {
            status = take_line(p, newline, newline - p);
        } else {
            take_part_of_line(p, newline);
            status = take_line(partial.constData(), partial.constData() + partial.size(),
                               partial_length);
            partial.resize(0);
            partial_length = 0;
        }
        p = newline + 1;
    }
    return status;
}

rq7_log_reader::parse_status rq7_log_reader::end_parse(parse_status status)
{
    if (status == p_parsed && partial_length > 0) // a last line without a line end
        status = take_line(partial.constData(), partial.constData() + partial.size(),
                           partial_length, partial_ends_line ? line_ended : line_cut);
    partial = QByteArray();
    partial_length = 0;
    // A settings section that runs to the end of the file is complete; one cut by a failure
    // is not loaded.
    if (settings) {
        if (status == p_parsed)
            end_settings();
        settings.reset();
    }
    flush();
    if (bad_line_count > max_reported_lines)
        qCritical().noquote() << QString("%1 more lines of %2 could not be read")
                                     .arg(bad_line_count - max_reported_lines)
                                     .arg(source);
    if (status == p_parsed && !content)
        return p_not_a_log;
    return status;
}

void rq7_log_reader::take_part_of_line(const char* begin, const char* end)
{
    const qint64 room = max_line_length - partial.size();
    partial.append(begin, int(qMin<qint64>(room, end - begin)));
    partial_length += end - begin;
    if (end > begin)
        partial_ends_line = end[-1] == '\r';
}

rq7_log_reader::parse_status rq7_log_reader::take_line(const char* begin, const char* end,
                                                       qint64 full_length, line_end ending)
{
    ++line_number;
    if (end - begin > max_line_length)
        end = begin + max_line_length;
    const bool overlong = full_length > end - begin;
    trim_blanks(begin, end);

    // Every line the program writes ends in "\r\n", each in one write: a last line without
    // its end was cut by a crash or a full disk, and a number cut short would still read as
    // one (1234 as 12).
    const bool cut = ending == line_cut && begin < end;
    if (settings) {
        if (starts_with(begin, end, "[rq7_log]"))
            end_settings();
        else if (cut)
            qWarning() << "Skipped the unfinished last line of the settings section of the log";
        else
            take_settings_line(begin, end, overlong);
        return p_parsed;
    }
    if (begin == end && !overlong)
        return p_parsed;
    if (begin < end && *begin == '#')
        return p_parsed;
    if (starts_with(begin, end, "[rq7_vars]"))
        return begin_settings(begin, end, overlong);
    // The column header, and a "[rq7_log]" left without its settings section by hand editing:
    // lines of the layout, not samples.
    if (starts_with(begin, end, "timestamp") || starts_with(begin, end, "[rq7_log]"))
        return p_parsed;
    if (cut) {
        bad_line(begin, end, overlong ? full_length : end - begin);
        return p_parsed;
    }
    take_sample(begin, end, overlong ? full_length : end - begin);
    return p_parsed;
}

rq7_log_reader::parse_status rq7_log_reader::begin_settings(const char* begin, const char* end,
                                                            bool overlong)
{
    const QString folder = temp_folder.isEmpty() ? QDir::tempPath() : temp_folder;
    settings =
        std::make_unique<QTemporaryFile>(folder + QStringLiteral("/quorvane_log_XXXXXX.vkini"));
    if (!settings->open()) {
        failed_temp_name =
            settings->fileName().isEmpty() ? settings->fileTemplate() : settings->fileName();
        settings.reset();
        return p_cannot_open_tempfile;
    }
    settings_write_failed = false;
    settings_bytes = 0;
    settings_too_large = false;
    take_settings_line(begin, end, overlong);
    return p_parsed;
}

void rq7_log_reader::take_settings_line(const char* begin, const char* end, bool overlong)
{
    if (settings_too_large)
        return;
    // A settings file of that size would be refused: the rest is not even copied.
    const qint64 length = end - begin;
    settings_bytes += overlong ? max_line_length : length + 2;
    if (settings_bytes > file_limits::settings_file_bytes) {
        settings_too_large = true;
        qCritical().noquote()
            << QString("The settings section of %1 is larger than %2, the limit for a settings "
                       "file; it was not loaded")
                   .arg(source, file_limits::size_text(file_limits::settings_file_bytes));
        return;
    }
    // No line of the settings writer comes near the limit; a longer one is no setting.
    if (overlong) {
        qWarning() << "Skipped a line of more than" << max_line_length
                   << "bytes in the settings section of the log";
        return;
    }
    if (settings->write(begin, length) != length || settings->write("\r\n", 2) != 2)
        settings_write_failed = true;
}

void rq7_log_reader::end_settings()
{
    flush();
    if (settings_too_large) {
        settings.reset();
        return;
    }
    found_content();
    if (!settings->flush())
        settings_write_failed = true;
    settings->close();
    if (settings_write_failed)
        qCritical().noquote() << "Could not write the settings of the log to"
                              << settings->fileName() << ":" << settings->errorString();
    if (on_settings)
        on_settings(settings->fileName());
    settings.reset(); // removes the temporary file
}

// `length` is that of the whole trimmed line; more than [begin, end) when it was overlong.
void rq7_log_reader::take_sample(const char* begin, const char* end, qint64 length)
{
    const bool overlong = length > end - begin;
    const char* parts_end = overlong ? end_of_held_parts(begin, end) : end;
    rq7_frame frame;
    if (!rq7_frame::parse_csv(begin, parts_end, frame)) {
        // A line cut short by a crash or a line of junk is no sample: stored, its missing
        // fields would read as zeros, and its timestamp would break the logged stretches.
        bad_line(begin, end, length);
        return;
    }
    add_sample(frame);
}

void rq7_log_reader::bad_line(const char* begin, const char* end, qint64 length)
{
    if (++bad_line_count == 1)
        first_bad_line_number = line_number;
    if (bad_line_count <= max_reported_lines)
        rq7_frame::report_bad_line(begin, end, length);
}

/// The store is emptied only now, so that a file that is no log leaves the log shown.
void rq7_log_reader::found_content()
{
    if (content)
        return;
    content = true;
    if (!clear_on_content)
        return;
    log.clear();
    marks.clear();
    have_last = false;
}

void rq7_log_reader::add_sample(const rq7_frame& frame)
{
    found_content();
    // A jump of more than max_gap_ms separates two recordings in one file: neither the last
    // sample before it nor the first after it belongs to a logged stretch. The difference is
    // taken unsigned so that extreme timestamps cannot overflow it.
    const bool gap = have_last && frame.timestamp > last_stamp &&
                     quint64(frame.timestamp) - quint64(last_stamp) > quint64(max_gap_ms);
    if (gap) {
        if (!pending_marks.isEmpty())
            pending_marks.last() = 0;
        else
            marks.replace(marks.size() - 1, 0);
    }
    pending_marks.append(gap ? 0 : 1);
    pending_frames.append(frame);
    have_last = true;
    last_stamp = frame.timestamp;
    if (pending_frames.size() >= batch_size)
        flush();
}

void rq7_log_reader::flush()
{
    if (pending_frames.isEmpty())
        return;
    // Marks first: a reader bounding its index by the number of samples finds each mark.
    marks.append(pending_marks);
    log.append(pending_frames);
    pending_marks.resize(0);
    pending_frames.resize(0);
}
