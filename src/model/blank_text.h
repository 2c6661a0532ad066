// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Blanks around numbers and lines in the unit's text files (logs, frames): what the C library
// counts as white space, without its locale.
inline bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

/// Moves `begin` and `end` inwards past blanks.
inline void trim_blanks(const char*& begin, const char*& end)
{
    while (begin < end && is_blank(*begin))
        ++begin;
    while (end > begin && is_blank(end[-1]))
        --end;
}
