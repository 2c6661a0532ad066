// SPDX-License-Identifier: GPL-3.0-or-later
// A table page's log coverage: computes it from the stored log on the table's current axes
// with the choices of its coverage_bar, shows it in the table, and computes it again when
// the axes, the choices or the log change. Copy puts the grid on the clipboard.
#pragma once

#include "log_coverage.h"
#include "rq7_log_view.h"

#include <QObject>
#include <QStringList>

#include <functional>

class QTimer;
class converter;
class coverage_bar;
class duty_table;

class table_coverage : public QObject
{
    Q_OBJECT

public:
    /// What the coverage needs to know about the table's page.
    struct page_info
    {
        std::function<int()> source;      // vertical source: 0 MAP, 1 analog A, 2 analog B
        std::function<double()> min_duty; // the output's minimum duty in percent
        e_data duty = e_main_duty;        // the output's duty in the log
        /// The quantity an analog input shows (true: input A), for names and units.
        std::function<QString(bool)> quantity;
    };

    table_coverage(duty_table* table, coverage_bar* bar, const converter* conv, page_info info,
                   QObject* parent);

    void set_log(const rq7_log_view& log);
    /// Off while live updates run: the log then grows and is no run to look at.
    void set_available(bool available);
    const log_coverage& current() const { return coverage; }

public slots:
    /// Computes again soon (once for a burst of changes, such as every header of an axis).
    void recompute_soon();
    /// Computes and shows now.
    void recompute();
    void copy_to_clipboard();

private:
    log_coverage::axes table_axes() const;
    QString unit_of(log_coverage::channel which) const;
    void show_in_table();
    /// Names the chooser's channels with their units as they are now.
    void name_channels();

    duty_table* table;
    coverage_bar* bar;
    const converter* conv;
    page_info info;
    rq7_log_view log;
    log_coverage coverage;
    QTimer* pending;
    bool available = true;
    QStringList channel_names;
};
