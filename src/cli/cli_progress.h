// SPDX-License-Identifier: GPL-3.0-or-later
// Progress on standard error: a bar redrawn in place on a terminal, plain lines (at most one
// per tenth) when standard error goes to a file or another program.
#pragma once

#include <QString>

class cli_progress
{
public:
    explicit cli_progress(const QString& task);
    ~cli_progress();

    /// `percent` 0..100; `detail` is shown after the bar.
    void update(int percent, const QString& detail = QString());
    /// Ends the bar's line (or prints the last plain line).
    void finish(const QString& outcome);

    static bool on_terminal();

private:
    QString task;
    bool terminal;
    int last_shown = -1;
    bool finished = false;
};
