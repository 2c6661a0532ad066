// SPDX-License-Identifier: GPL-3.0-or-later
// Change tracking: the Read, Write and Write All commands with their completions, and the
// mapping between what the pages show and the worker's variables (fields_to_vars,
// vars_to_fields). The panels that own the fields queue their edits in change_sets and
// convert their own values; a write takes what was queued, and puts it back if it fails.
#pragma once

#include "change_sets.h"
#include "d2xx.h"
#include "rq7_catalogue.h"

#include <QIcon>
#include <QList>
#include <QObject>

namespace Ui {
class MainWindow;
}
class QAction;
class QWidget;
class axis_ranges;
class connection_panel;
class live_view;
class map_calibration;
class output_modes;
class rq7_worker;
class table_pages;
class unfinished_edits;
class unit_backups;

class change_tracker : public QObject
{
    Q_OBJECT

public:
    /// The panels whose fields show the unit's settings.
    struct pages
    {
        table_pages* tables;
        axis_ranges* ranges;
        output_modes* modes;
        map_calibration* calibration;
        live_view* live;
    };

    change_tracker(Ui::MainWindow& ui, QWidget* window, rq7_worker* worker, change_sets& changes,
                   unfinished_edits& edits, const pages& shown, const connection_panel& connection,
                   unit_backups& backups, QObject* parent);

    /// The raw value of a parameter as the window shows it.
    quint32 field_to_var(int_index parameter) const;
    /// Copies every queued item into the worker's variables and empties the sets.
    void fields_to_vars();
    /// Fills the widgets from the worker's variables; nothing counts as an edit.
    void vars_to_fields(QList<QByteArray> tables, QList<unsigned int> ints, QList<adc_trim> trims);
    /// What the window shows: every table's record and every parameter (for a log file).
    void current_settings(QList<QByteArray>& tables, QList<quint32>& ints) const;
    /// Settings opened from a file are shown: a Write sends them without asking.
    void settings_file_loaded() { settings_file_opened = true; }
    /// Read, Write and Write All again, once the worker is done (only while connected).
    void enable_commands();

public slots:
    /// Queues everything and copies it into the worker's variables.
    void all_fields_to_vars();
    void when_read_data(FT_STATUS status, QList<QByteArray> tables, QList<unsigned int> ints,
                        QList<adc_trim> trims);
    void when_wrote_data(FT_STATUS status);
    void set_connected(bool connected);
    /// A unit answered: whatever the window shows, it was not read from this unit.
    void unit_connected() { unit_settings_known = false; }
    /// The write button shows red while edits wait.
    void show_changes_pending(bool pending);
    /// A backup runs, or ended: nothing else may write meanwhile.
    void backup_started();
    void backup_finished();

signals:
    /// A write reached the unit.
    void settings_written();
    /// A write reached the unit with these items (before settings_written).
    void items_written(const queued_items& items);

private slots:
    void on_act_read_triggered();
    void on_act_write_triggered();
    void on_act_write_all_triggered();

private:
    /// Whether a write may replace the unit's settings; asks when nothing was read from the
    /// unit, written to it or opened from a file since it connected.
    bool may_write_over_unit();
    void start_write();
    /// Write All once the unit is backed up.
    void write_everything();

    QWidget* window;
    rq7_worker* worker;
    change_sets& changes;
    unfinished_edits& edits;
    pages shown;
    const connection_panel& connection;
    unit_backups& backups;
    QAction* act_read;
    QAction* act_write;
    QAction* act_write_all;
    QIcon red_icon;
    QIcon green_icon;
    /// This program's version as settings files record it: (major << 24) | (minor << 8) | patch.
    quint32 own_version;
    /// What the running write carries: queued again if it fails, so that Write sends it anew.
    queued_items writing;
    /// The window holds the connected unit's settings (read from or written to it).
    bool unit_settings_known = false;
    /// The window holds settings opened from a file.
    bool settings_file_opened = false;
};
