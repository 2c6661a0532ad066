// SPDX-License-Identifier: GPL-3.0-or-later
// Firmware images: Intel HEX text sent to the unit's bootloader line by line. The bootloader
// only learns that an image is broken while it is overwriting the firmware, so an image is
// checked whole, from memory, before the unit is touched at all.
#pragma once

#include <QByteArray>
#include <QString>

namespace fw_image {

/// The unit's bootloader takes at most this many characters of a line.
constexpr int max_line_length = 63;

/// The extended linear address record for upper address 0, which the bootloader expects
/// before any data.
constexpr const char* base_address_record = ":020000040000FA";

/// What is sent of one line of an image (without its line end): the line cut to
/// `max_line_length` characters and trimmed; empty for a line that is not sent (only
/// Intel HEX records, starting with ':', and '|' lines are sent).
QByteArray line_to_send(const QByteArray& line);

/// Outcome of checking a whole image.
struct check_result
{
    bool valid = false;
    int line = 0;       // 1-based line of the first problem; 0 for the image as a whole
    QString problem;    // what is wrong, for the user; empty when valid
    int lines_sent = 0; // lines that would be sent (records and '|' lines)
};

/// Checks that `image` is an Intel HEX image that goes to the bootloader unchanged: every
/// record hexadecimal with a matching length and checksum, none longer than the bootloader
/// takes, none hidden behind leading white space, at least one data record, an end-of-file
/// record after the last, and no more data than file_limits::fw_image_data_bytes (the transfer
/// takes about 5 ms per record: an image of endless valid records would keep the unit in its
/// bootloader for hours).
check_result check(const QByteArray& image);

/// "line 12: bad checksum ..." or the problem alone when it concerns the whole image.
QString describe(const check_result& result);

/// Empty, or why the image file at `path` is refused before it is read: it is larger than
/// file_limits::fw_image_file_bytes.
QString too_large(const QString& path);

} // namespace fw_image
