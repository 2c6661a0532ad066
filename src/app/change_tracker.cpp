// SPDX-License-Identifier: GPL-3.0-or-later
#include "change_tracker.h"
#include "ui_mainwindow.h"

#include "axis_ranges.h"
#include "connect_slots_by_name.h"
#include "connection_panel.h"
#include "guide_sections.h"
#include "live_view.h"
#include "map_calibration.h"
#include "message_box.h"
#include "output_modes.h"
#include "rq7_worker.h"
#include "settings_backup.h"
#include "table_pages.h"
#include "unfinished_edits.h"
#include "unit_backups.h"

#include <QDebug>
#include <QThread>

namespace {

const char* const connect_to_enable = "Connect to device to enable this button";

} // namespace

change_tracker::change_tracker(Ui::MainWindow& ui, QWidget* window_, rq7_worker* worker_,
                               change_sets& changes_, unfinished_edits& edits_, const pages& shown_,
                               const connection_panel& connection_, unit_backups& backups_,
                               QObject* parent)
    : QObject(parent)
    , window(window_)
    , worker(worker_)
    , changes(changes_)
    , edits(edits_)
    , shown(shown_)
    , connection(connection_)
    , backups(backups_)
    , act_read(ui.act_read)
    , act_write(ui.act_write)
    , act_write_all(ui.act_write_all)
    , red_icon(":/icon/redled.ico")
    , green_icon(":/icon/greenled.ico")
    , own_version(settings_files::version_number(QUORVANE_VERSION))
{
    setObjectName("change_tracker");
    act_write->setIcon(green_icon);
    connect_slots_by_name(this, window);
    connect(worker, &rq7_worker::read_data, this, &change_tracker::when_read_data);
    connect(worker, &rq7_worker::wrote_data, this, &change_tracker::when_wrote_data);
    set_connected(false);
}

void change_tracker::show_changes_pending(bool pending)
{
    act_write->setIcon(pending ? red_icon : green_icon);
}

/// Enables exactly the commands that need the unit, and tells the user why they are greyed out.
void change_tracker::set_connected(bool on)
{
    for (QAction* action : {act_read, act_write, act_write_all})
        action->setEnabled(on);
    act_read->setStatusTip(
        on ? "Read from the device, will overwrite all changes in the application!"
           : connect_to_enable);
    act_write->setStatusTip(on ? "Green: no changes to set    Red: will write changes to device"
                               : connect_to_enable);
    act_write_all->setStatusTip(on ? "Write all settings to device, regardless of what changed"
                                   : connect_to_enable);
}

void change_tracker::enable_commands()
{
    if (!connection.is_connected())
        return;
    act_read->setEnabled(true);
    act_write->setEnabled(true);
    act_write_all->setEnabled(true);
}

void change_tracker::backup_started()
{
    act_write->setEnabled(false);
    act_write_all->setEnabled(false);
}

void change_tracker::backup_finished()
{
    if (!connection.is_connected())
        return;
    act_write->setEnabled(true);
    act_write_all->setEnabled(true);
}

// ---- widgets to the worker's variables ----

quint32 change_tracker::field_to_var(int_index parameter) const
{
    if (parameter == i_hw_version)
        return own_version;
    if (parameter == i_fw_version)
        return connection.firmware_version();
    quint32 raw = 0;
    if (shown.modes->field_to_var(parameter, raw) || shown.ranges->field_to_var(parameter, raw) ||
        shown.calibration->field_to_var(parameter, raw))
        return raw;
    return 0; // live values and the variant are not the window's to send
}

void change_tracker::fields_to_vars()
{
    const queued_items items = changes.take();
    for (table_index table : items.tables) {
        const QByteArray record = shown.tables->gui_to_byteArray(table);
        // A record that could not be built (reported there) must not replace a good one.
        if (!record.isEmpty())
            worker->add_field_to_var(record, table);
    }
    for (int_index parameter : items.parameters) {
        shown.calibration->announce_factory_write(parameter);
        worker->add_field_to_var(uint(field_to_var(parameter)), parameter);
    }
}

void change_tracker::all_fields_to_vars()
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, "all_fields_to_vars", Qt::QueuedConnection);
        return;
    }
    changes.clear();
    changes.show_changes_pending(false);
    worker->remove_all_sets();
    changes.queue_everything();
    fields_to_vars();
}

void change_tracker::current_settings(QList<QByteArray>& tables, QList<quint32>& ints) const
{
    for (table_index table : {t_aux, t_main, t_gpo1, t_gpo2}) // by index
        tables << shown.tables->gui_to_byteArray(table);
    for (int parameter = 0; parameter < i_last; ++parameter)
        ints << field_to_var(int_index(parameter));
}

// ---- the worker's variables to the widgets ----

void change_tracker::vars_to_fields(QList<QByteArray> tables, QList<unsigned int> ints,
                                    QList<adc_trim> trims)
{
    Q_UNUSED(trims); // trims are not shown yet
    const change_sets::loading_scope loading(changes);
    shown.calibration->load(ints);
    shown.modes->load(ints);
    shown.live->load(ints);
    shown.ranges->load(ints);
    for (table_index table : {t_aux, t_main, t_gpo1, t_gpo2})
        if (table < tables.size() && !tables[table].isEmpty())
            shown.tables->byteArray_to_gui(table, tables[table]);
}

// ---- commands ----

void change_tracker::on_act_read_triggered()
{
    // Taken now, so that it cannot land on the values read once the field loses the focus.
    edits.finish_focused_edit();
    act_read->setEnabled(false);
    act_write->setEnabled(false);
    act_write_all->setEnabled(false);
    worker->start_read();
}

void change_tracker::on_act_write_triggered()
{
    edits.finish_focused_edit();
    if (!changes.changes_are_pending()) {
        qDebug("No changes to write to device");
        return;
    }
    if (!may_write_over_unit())
        return; // the edits stay queued
    act_write->setEnabled(false);
    act_write_all->setEnabled(false);
    start_write();
}

void change_tracker::on_act_write_all_triggered()
{
    edits.finish_focused_edit();
    if (!may_write_over_unit())
        return;
    // Everything the unit holds is about to be replaced: keep a copy of it first.
    backups.backup_then("writing", [this] { write_everything(); });
}

void change_tracker::write_everything()
{
    act_write->setEnabled(false);
    act_write_all->setEnabled(false);
    changes.queue_everything();
    start_write();
}

void change_tracker::start_write()
{
    writing = changes.queued();
    fields_to_vars();
    worker->start_write();
}

bool change_tracker::may_write_over_unit()
{
    if (unit_settings_known || settings_file_opened)
        return true;
    // The window may show nothing but its start values (all-zero tables).
    return message_box::show_with_help(
               guide_sections::nothing_read, window, QMessageBox::Warning,
               "Nothing has been read from this unit yet. Writing replaces its "
               "settings with what the window shows.",
               QString(), QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel,
               {{QMessageBox::Ok, "Write"}}) == QMessageBox::Ok;
}

void change_tracker::when_read_data(FT_STATUS status, QList<QByteArray> tables,
                                    QList<unsigned int> ints, QList<adc_trim> trims)
{
    enable_commands();
    if (status != FT_OK) {
        qCritical("Could not read from device");
        return;
    }
    shown.ranges->keep_shown_ranges(ints);
    vars_to_fields(tables, ints, trims);
    unit_settings_known = true;
    // What was just read is what the unit holds: nothing is waiting to be written.
    changes.clear();
    changes.show_changes_pending(false);
}

void change_tracker::when_wrote_data(FT_STATUS status)
{
    act_write->setEnabled(true);
    act_write_all->setEnabled(true);
    if (status != FT_OK) {
        // The unit may hold none of it: the edits stay queued for the next Write.
        changes.requeue(writing);
    }
    const queued_items written = writing;
    writing = queued_items();
    // What was edited while the write ran is still queued and waits for the next Write.
    changes.show_changes_pending(!changes.queued().tables.isEmpty() ||
                                 !changes.queued().parameters.isEmpty());
    if (status == FT_OK) {
        // The factory calibration is editable for one write only (a failed one is retried).
        emit items_written(written);
        emit settings_written();
        unit_settings_known = true; // the unit holds what the window shows
        return;
    }
    qWarning("Error writing data to device");
    message_box::show_with_help(guide_sections::write_failed, window, QMessageBox::Critical,
                                "Error writing data to device",
                                "Could not write data to device, check the log for possible error "
                                "messages.");
}
