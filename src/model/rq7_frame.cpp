// SPDX-License-Identifier: GPL-3.0-or-later
#include "rq7_frame.h"

#include "blank_text.h"

#include <QDateTime>
#include <QDebug>

#include <charconv>
#include <cstring>

namespace {

// Bytes per value in the live record, in field order. The record has no gaps, so the offsets
// follow from the widths; the widths also say how many low bits a parsed value keeps.
constexpr int value_widths[rq7_frame::value_count] = {
    2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, // batt_adc .. gpo2_duty
    1, 1, 1,                                     // gpi1_state, gpi2_state, aux_master
    2, 1, 1, 2, 2,                               // inj_pulse_width .. current_pos
    4, 1, 4, 4, 4, 4, 2, 4,                      // error .. result
};

constexpr int sum_of_widths()
{
    int sum = 0;
    for (int width : value_widths)
        sum += width;
    return sum;
}
static_assert(sum_of_widths() == rq7_frame::record_value_bytes, "live record layout");

// Longest text a bad line is shown with: a log of 10 MB lines must stay readable.
constexpr int max_reported_bytes = 512;

// One comma-separated part as a number: surrounding blanks are allowed, nothing else.
template <typename T>
bool parse_part(const char* begin, const char* end, T& value)
{
    trim_blanks(begin, end);
    if (begin == end)
        return false;
    const std::from_chars_result r = std::from_chars(begin, end, value);
    return r.ec == std::errc() && r.ptr == end;
}

char* write_number(char* out, quint64 value)
{
    return std::to_chars(out, out + 20, value).ptr;
}

} // namespace

rq7_frame::rq7_frame(qint64 timestamp_, quint16 batt_adc_, quint16 map_adc_, quint16 an1_adc_,
                     quint16 afr_, quint16 an2_adc_, quint16 aux_current_, quint16 main_current_,
                     quint16 rpm_, quint16 aux_duty_, quint16 main_duty_, quint16 gpo1_duty_,
                     quint16 boost_target_low_, quint16 boost_target_high_,
                     quint16 pot_boost_target_, quint16 gpo2_duty_, quint8 gpi1_state_,
                     quint8 gpi2_state_, quint8 aux_master_, quint16 inj_pulse_width_,
                     quint8 error_pol_, quint8 coarse_mode_, quint16 command_, quint16 current_pos_,
                     quint32 error_, quint8 previous_pid_, quint32 pterm_, quint32 iterm_,
                     quint32 dterm_, quint32 istate_, quint16 istate_lu_, quint32 result_)
    : timestamp(timestamp_)
    , batt_adc(batt_adc_)
    , map_adc(map_adc_)
    , an1_adc(an1_adc_)
    , afr(afr_)
    , an2_adc(an2_adc_)
    , aux_current(aux_current_)
    , main_current(main_current_)
    , rpm(rpm_)
    , aux_duty(aux_duty_)
    , main_duty(main_duty_)
    , gpo1_duty(gpo1_duty_)
    , boost_target_low(boost_target_low_)
    , boost_target_high(boost_target_high_)
    , pot_boost_target(pot_boost_target_)
    , gpo2_duty(gpo2_duty_)
    , gpi1_state(gpi1_state_)
    , gpi2_state(gpi2_state_)
    , aux_master(aux_master_)
    , inj_pulse_width(inj_pulse_width_)
    , error_pol(error_pol_)
    , coarse_mode(coarse_mode_)
    , command(command_)
    , current_pos(current_pos_)
    , error(error_)
    , previous_pid(previous_pid_)
    , pterm(pterm_)
    , iterm(iterm_)
    , dterm(dterm_)
    , istate(istate_)
    , istate_lu(istate_lu_)
    , result(result_)
{}

rq7_frame::rq7_frame(const QByteArray& record)
    : rq7_frame(record, QDateTime::currentMSecsSinceEpoch())
{}

rq7_frame::rq7_frame(const QByteArray& record, qint64 timestamp_)
{
    // The worker only decodes records it has checked, so a short one is a caller's fault; its
    // missing bytes read as 0 rather than past the end.
    if (record.size() < record_value_bytes)
        qCritical("Live record of %d bytes is too short, expected %d", record.size(),
                  record_value_bytes);
    const auto* bytes = reinterpret_cast<const uchar*>(record.constData());
    const int available = record.size();
    quint32 values[value_count];
    int offset = 0;
    for (int i = 0; i < value_count; ++i) {
        quint32 value = 0;
        for (int b = 0; b < value_widths[i]; ++b, ++offset)
            value = (value << 8) | (offset < available ? bytes[offset] : 0u);
        values[i] = value;
    }
    *this = from_values(timestamp_, values);
}

rq7_frame::rq7_frame(const QString& csv_line)
{
    const QByteArray bytes = csv_line.toUtf8();
    const char* begin = bytes.constData();
    const char* end = begin + bytes.size();
    if (!parse_csv(begin, end, *this))
        report_bad_line(begin, end, bytes.size());
}

rq7_frame rq7_frame::from_values(qint64 timestamp_, const quint32* v)
{
    // The casts keep the low bits of values too wide for their field.
    return rq7_frame(timestamp_, quint16(v[0]), quint16(v[1]), quint16(v[2]), quint16(v[3]),
                     quint16(v[4]), quint16(v[5]), quint16(v[6]), quint16(v[7]), quint16(v[8]),
                     quint16(v[9]), quint16(v[10]), quint16(v[11]), quint16(v[12]), quint16(v[13]),
                     quint16(v[14]), quint8(v[15]), quint8(v[16]), quint8(v[17]), quint16(v[18]),
                     quint8(v[19]), quint8(v[20]), quint16(v[21]), quint16(v[22]), v[23],
                     quint8(v[24]), v[25], v[26], v[27], v[28], quint16(v[29]), v[30]);
}

void rq7_frame::to_values(quint32* v) const
{
    v[0] = batt_adc;
    v[1] = map_adc;
    v[2] = an1_adc;
    v[3] = afr;
    v[4] = an2_adc;
    v[5] = aux_current;
    v[6] = main_current;
    v[7] = rpm;
    v[8] = aux_duty;
    v[9] = main_duty;
    v[10] = gpo1_duty;
    v[11] = boost_target_low;
    v[12] = boost_target_high;
    v[13] = pot_boost_target;
    v[14] = gpo2_duty;
    v[15] = gpi1_state;
    v[16] = gpi2_state;
    v[17] = aux_master;
    v[18] = inj_pulse_width;
    v[19] = error_pol;
    v[20] = coarse_mode;
    v[21] = command;
    v[22] = current_pos;
    v[23] = error;
    v[24] = previous_pid;
    v[25] = pterm;
    v[26] = iterm;
    v[27] = dterm;
    v[28] = istate;
    v[29] = istate_lu;
    v[30] = result;
}

bool rq7_frame::parse_csv(const char* begin, const char* end, rq7_frame& frame)
{
    qint64 stamp = 0;
    quint32 values[value_count] = {};
    bool ok = true;
    const char* part = begin;
    for (int i = 0; i <= value_count; ++i) {
        const auto* comma = static_cast<const char*>(std::memchr(part, ',', size_t(end - part)));
        const char* part_end = comma ? comma : end;
        ok = i == 0 ? parse_part(part, part_end, stamp) : parse_part(part, part_end, values[i - 1]);
        if (!ok)
            break;
        if (!comma && i < value_count) {
            ok = false; // fewer than 32 parts
            break;
        }
        part = part_end + 1;
    }
    frame = from_values(stamp, values);
    return ok;
}

void rq7_frame::report_bad_line(const char* begin, const char* end, qint64 full_length)
{
    const qint64 shown = qMin<qint64>(end - begin, max_reported_bytes);
    QString text = QString::fromUtf8(begin, int(shown));
    if (full_length > shown)
        text += QStringLiteral("... (%1 bytes)").arg(full_length);
    qCritical().noquote() << "Could not parse line in log:" << text;
}

void rq7_frame::append_csv_line(QByteArray& out) const
{
    // 20 characters for the timestamp, 31 values of at most 10 digits, 31 commas and "\r\n".
    char buffer[20 + value_count * 11 + 2];
    char* p = std::to_chars(buffer, buffer + 20, timestamp).ptr;
    quint32 values[value_count];
    to_values(values);
    for (quint32 value : values) {
        *p++ = ',';
        p = write_number(p, value);
    }
    *p++ = '\r';
    *p++ = '\n';
    out.append(buffer, int(p - buffer));
}

QString rq7_frame::to_csv_line() const
{
    QByteArray line;
    append_csv_line(line);
    return QString::fromLatin1(line);
}

const QByteArray& rq7_frame::csv_header_bytes()
{
    static const QByteArray header =
        QByteArrayLiteral("timestamp,batt adc,map adc,an1 adc,afr,an2 adc,aux current,main "
                          "current,rpm,") +
        QByteArrayLiteral("aux duty,main duty,gpo1 duty,boost target low,boost target "
                          "high,pot boost target,") +
        QByteArrayLiteral("gpo2 duty,gpi1 state,gpi2 state,aux master,inj pulse width,error "
                          "pol,coarse mode,") +
        QByteArrayLiteral("command,current pos,error,previous pid,pterm,iterm,dterm,istate,"
                          "istate lu,result") +
        QByteArrayLiteral("\r\n");
    return header;
}

QString rq7_frame::csv_header()
{
    return QString::fromLatin1(csv_header_bytes());
}

bool rq7_frame::operator==(const rq7_frame& other) const
{
    quint32 mine[value_count];
    quint32 theirs[value_count];
    to_values(mine);
    other.to_values(theirs);
    return timestamp == other.timestamp && std::memcmp(mine, theirs, sizeof mine) == 0;
}
