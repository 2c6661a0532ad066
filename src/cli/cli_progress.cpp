// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli_progress.h"

#include <QtGlobal>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int bar_width = 30;

} // namespace

cli_progress::cli_progress(const QString& task_)
    : task(task_)
    , terminal(on_terminal())
{}

cli_progress::~cli_progress()
{
    if (!finished && last_shown >= 0 && terminal)
        std::fputc('\n', stderr);
}

bool cli_progress::on_terminal()
{
    return isatty(STDERR_FILENO) == 1;
}

void cli_progress::update(int percent, const QString& detail)
{
    percent = qBound(0, percent, 100);
    if (terminal) {
        const int filled = percent * bar_width / 100;
        const QByteArray bar = QByteArray(filled, '#') + QByteArray(bar_width - filled, ' ');
        std::fprintf(stderr, "\r%s [%s] %3d%% %s\033[K", qPrintable(task), bar.constData(), percent,
                     qPrintable(detail));
        std::fflush(stderr);
        last_shown = percent;
        return;
    }
    if (last_shown >= 0 && percent / 10 == last_shown / 10 && percent != 100)
        return;
    if (percent == last_shown)
        return;
    std::fprintf(stderr, "%s: %d%% %s\n", qPrintable(task), percent, qPrintable(detail));
    last_shown = percent;
}

void cli_progress::finish(const QString& outcome)
{
    finished = true;
    if (terminal && last_shown >= 0)
        std::fprintf(stderr, "\r%s: %s\033[K\n", qPrintable(task), qPrintable(outcome));
    else
        std::fprintf(stderr, "%s: %s\n", qPrintable(task), qPrintable(outcome));
}
