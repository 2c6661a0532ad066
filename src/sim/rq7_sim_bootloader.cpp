// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated unit's resident bootloader: entered on request (parameter C0), it takes the
// new firmware as Intel HEX lines under a byte handshake and restarts into it.
#include "rq7_sim_unit.h"

#include <cctype>

namespace {

constexpr char carriage_return = 0x0D;
constexpr char xoff = 0x13;
constexpr char ack = 0x06;
constexpr char nak = 0x15;
constexpr char xon = 0x11;
constexpr int max_line = 1024; // a longer "line" is noise; the bootloader's buffer wraps
constexpr auto restart_time = std::chrono::milliseconds(10);

/// The record's type (0..5) when it is a well-formed Intel HEX record, else -1.
int record_type(const QByteArray& line)
{
    const QByteArray digits = line.mid(1);
    for (char c : digits)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return -1;
    const QByteArray bytes = QByteArray::fromHex(digits);
    if (digits.size() % 2 != 0 || bytes.size() < 5 ||
        bytes.size() != static_cast<quint8>(bytes.at(0)) + 5)
        return -1;
    quint8 sum = 0;
    for (char b : bytes)
        sum = static_cast<quint8>(sum + static_cast<quint8>(b));
    const int type = static_cast<quint8>(bytes.at(3));
    return sum == 0 && type <= 5 ? type : -1;
}

} // namespace

void rq7_sim_unit::enter_bootloader_locked(sim_clock::time_point now)
{
    bootloader = true;
    stream_on = false;
    ++boot_entries;
    boot_line.clear();
    lines_taken = 0;
    image_broken = false;
    if (!greeting.isEmpty())
        send_at_locked(greeting, now + link_delay + restart_time);
}

void rq7_sim_unit::bootloader_input_locked(const QByteArray& bytes, sim_clock::time_point now)
{
    for (char c : bytes) {
        if (!bootloader)
            return; // restarted into the new firmware: the rest is the application's
        if (c != carriage_return) {
            if (boot_line.size() >= max_line)
                boot_line.clear();
            boot_line.append(c);
            continue;
        }
        const QByteArray line = boot_line;
        boot_line.clear();
        take_line_locked(line, now);
    }
}

void rq7_sim_unit::take_line_locked(const QByteArray& line, sim_clock::time_point now)
{
    // Only records and '|' lines are taken. Anything else (a lone carriage return, noise)
    // is dropped and makes the bootloader start over with a new transfer.
    if (!line.startsWith(':') && !line.startsWith('|')) {
        lines_taken = 0;
        image_broken = false;
        return;
    }
    boot_lines.append(line);
    ++lines_taken;
    if (consume(no_reply))
        return;
    const int type = line.startsWith('|') ? 0 : record_type(line);
    const sim_clock::time_point taken = now + link_delay;
    if (type < 0 || lines_taken == refused_line || image_broken) {
        image_broken = true;
        send_at_locked(QByteArray() + xoff + nak, taken);
        send_at_locked(QByteArray(1, xon), taken + line_time);
        return;
    }
    send_at_locked(QByteArray() + xoff + ack, taken);
    send_at_locked(QByteArray(1, xon), taken + line_time);
    if (type == 1) { // end of file: the image is complete
        send_at_locked(QByteArray() + ack + xon, taken + line_time);
        bootloader = false;
        fw_version = update_version;
    }
}
