// SPDX-License-Identifier: GPL-3.0-or-later
// One live-data sample of the unit: the PC's timestamp and the 31 raw values of a frame.
#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QtGlobal>

struct rq7_frame
{
    /// Number of raw values after the timestamp (the columns of the log store).
    static constexpr int value_count = 31;
    /// Bytes 0..67 of a live record carry the values; 68 and 69 are the end marker.
    static constexpr int record_value_bytes = 68;

    qint64 timestamp = 0; // milliseconds since 1970-01-01 UTC, PC clock
    quint16 batt_adc = 0;
    quint16 map_adc = 0;
    quint16 an1_adc = 0;
    quint16 afr = 0;
    quint16 an2_adc = 0;
    quint16 aux_current = 0;
    quint16 main_current = 0;
    quint16 rpm = 0;
    quint16 aux_duty = 0;
    quint16 main_duty = 0;
    quint16 gpo1_duty = 0;
    quint16 boost_target_low = 0;
    quint16 boost_target_high = 0;
    quint16 pot_boost_target = 0;
    quint16 gpo2_duty = 0;
    quint8 gpi1_state = 0;
    quint8 gpi2_state = 0;
    quint8 aux_master = 0;
    quint16 inj_pulse_width = 0;
    quint8 error_pol = 0;
    quint8 coarse_mode = 0;
    quint16 command = 0;
    quint16 current_pos = 0;
    quint32 error = 0;
    quint8 previous_pid = 0;
    quint32 pterm = 0;
    quint32 iterm = 0;
    quint32 dterm = 0;
    quint32 istate = 0;
    quint16 istate_lu = 0;
    quint32 result = 0;

    rq7_frame() = default;
    rq7_frame(qint64 timestamp, quint16 batt_adc, quint16 map_adc, quint16 an1_adc, quint16 afr,
              quint16 an2_adc, quint16 aux_current, quint16 main_current, quint16 rpm,
              quint16 aux_duty, quint16 main_duty, quint16 gpo1_duty, quint16 boost_target_low,
              quint16 boost_target_high, quint16 pot_boost_target, quint16 gpo2_duty,
              quint8 gpi1_state, quint8 gpi2_state, quint8 aux_master, quint16 inj_pulse_width,
              quint8 error_pol, quint8 coarse_mode, quint16 command, quint16 current_pos,
              quint32 error, quint8 previous_pid, quint32 pterm, quint32 iterm, quint32 dterm,
              quint32 istate, quint16 istate_lu, quint32 result);
    /// Decodes a live record (at least 68 bytes), stamped with the PC's current time.
    explicit rq7_frame(const QByteArray& record);
    /// Decodes a live record with a given timestamp.
    rq7_frame(const QByteArray& record, qint64 timestamp);
    /// Parses one CSV line of a log file; a line that does not parse is logged and yields
    /// the fields up to the first bad part.
    explicit rq7_frame(const QString& csv_line);

    /// Builds a frame from a timestamp and the 31 values in field order, each narrowed to its
    /// field's width (low bits kept).
    static rq7_frame from_values(qint64 timestamp, const quint32* values);
    /// The 31 values in field order, widened to 32 bits.
    void to_values(quint32* values) const;

    /// Parses the CSV line [begin, end) into `frame` without logging. Returns false when a
    /// part is not a number or fewer than 32 parts are there; `frame` then holds the fields
    /// before the bad part and zeros after it.
    static bool parse_csv(const char* begin, const char* end, rq7_frame& frame);
    /// Logs "Could not parse line in log:" with the line; `full_length` is the line's real
    /// length when only the start of it is at hand.
    static void report_bad_line(const char* begin, const char* end, qint64 full_length);

    /// The line of this frame ended by "\r\n".
    QString to_csv_line() const;
    /// Appends the line of this frame ended by "\r\n" to `out`.
    void append_csv_line(QByteArray& out) const;
    /// The column header line ended by "\r\n".
    static QString csv_header();
    static const QByteArray& csv_header_bytes();

    bool operator==(const rq7_frame& other) const;
    bool operator!=(const rq7_frame& other) const { return !(*this == other); }
};

Q_DECLARE_METATYPE(rq7_frame)
