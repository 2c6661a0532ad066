// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_file_panel.h"
#include "ui_mainwindow.h"

#include "change_sets.h"
#include "change_tracker.h"
#include "connect_slots_by_name.h"
#include "file_dialog.h"
#include "file_limits.h"
#include "guide_sections.h"
#include "message_box.h"
#include "rq7_worker.h"
#include "settings_backup.h"
#include "unfinished_edits.h"

#include <QDebug>
#include <QFileInfo>
#include <QStatusBar>

namespace {

const char* const settings_filter = "VK settings (*.vkini);;All files (*.*)";

/// A version as settings files record it, "major.minor.patch".
QString version_text(quint32 version)
{
    return QString("%1.%2.%3").arg(version >> 24).arg((version >> 8) & 0xFFFF).arg(version & 0xFF);
}

QString warning_lines(const QList<QString>& warnings)
{
    QString lines;
    for (const QString& warning : warnings)
        lines += "  * " + warning + "\n";
    return lines;
}

} // namespace

settings_file_panel::settings_file_panel(Ui::MainWindow& ui, QWidget* window_, rq7_worker* worker_,
                                         change_sets& changes_, change_tracker& tracker_,
                                         unfinished_edits& edits_, QStatusBar* status_,
                                         QObject* parent)
    : QObject(parent)
    , window(window_)
    , worker(worker_)
    , changes(changes_)
    , tracker(tracker_)
    , edits(edits_)
    , status(status_)
    , act_save(ui.act_save)
    , own_version(settings_files::version_number(QUORVANE_VERSION))
{
    setObjectName("settings_file_panel");
    connect_slots_by_name(this, window);
    connect(worker, &rq7_worker::read_file, this, &settings_file_panel::when_read_file);
    connect(worker, &rq7_worker::settings_saved, this, &settings_file_panel::when_settings_saved);
}

void settings_file_panel::set_file_name(const QString& name)
{
    settings_file_name = name;
    act_save->setStatusTip(QString("Save this settings file (%1)").arg(name));
}

// ---- the file commands ----

void settings_file_panel::on_act_open_triggered()
{
    edits.finish_focused_edit(); // items missing from the file keep it
    const QString name =
        file_dialog::open_file(window, "Open settings file", settings_file_name, settings_filter);
    if (!name.isEmpty())
        open_settings_file(name);
}

void settings_file_panel::open_settings_file(const QString& name)
{
    // Refused before anything changes: a following Save must not overwrite that file.
    const QString too_large =
        file_limits::too_large(name, file_limits::settings_file_bytes, "a settings file");
    if (!too_large.isEmpty()) {
        qWarning().noquote() << too_large;
        message_box::show_with_help(guide_sections::settings_files, window, QMessageBox::Warning,
                                    QString("Cannot open %1").arg(name),
                                    too_large +
                                        ".\nIt was not read; the window keeps its settings.");
        return;
    }
    set_file_name(name);
    // Items missing from the file keep the window's values in the worker's variables.
    tracker.all_fields_to_vars();
    worker->file_to_vars_to_field(name);
    // A following Write sends the whole loaded file to the unit.
    changes.queue_everything();
}

void settings_file_panel::on_act_save_triggered()
{
    edits.finish_focused_edit();
    if (settings_file_name.isEmpty())
        on_act_save_as_triggered();
    else
        save_to(settings_file_name);
}

void settings_file_panel::on_act_save_as_triggered()
{
    edits.finish_focused_edit();
    const QString name =
        file_dialog::save_file(window, "Save settings file", settings_file_name, settings_filter);
    if (!name.isEmpty())
        save_to(name);
}

void settings_file_panel::save_to(QString name)
{
    if (QFileInfo(name).suffix().isEmpty())
        name += ".vkini";
    set_file_name(name);
    status->showMessage(QString("Saving file to %1").arg(name));
    // A snapshot of what the window shows: what waits to be written to the unit stays as it
    // was, so a later Write sends only the user's edits.
    QList<QByteArray> tables;
    QList<quint32> ints;
    tracker.current_settings(tables, ints);
    worker->settings_to_file(name, tables, ints);
}

void settings_file_panel::when_settings_saved(QString file_name, QString error)
{
    if (error.isEmpty()) {
        status->showMessage(QString("Saved settings to %1").arg(file_name));
        return;
    }
    status->showMessage(QString("Could not save %1").arg(file_name));
    message_box::show_with_help(guide_sections::settings_files, window, QMessageBox::Critical,
                                QString("Could not save %1").arg(file_name),
                                QString("The settings were not saved: %1.").arg(error));
}

// ---- a loaded file ----

void settings_file_panel::when_read_file(FT_STATUS status_code, QList<QByteArray> tables,
                                         QList<quint32> ints, QList<adc_trim> trims,
                                         QList<QString> warnings)
{
    tracker.enable_commands();
    if (status_code != FT_OK) {
        qCritical("Could not read from file");
        return;
    }
    tracker.settings_file_loaded(); // a Write sends these settings, not start values
    report_file_version(ints.value(i_hw_version), warnings);
    // The items queued by Open stay queued: the loaded values are what a Write sends.
    tracker.vars_to_fields(tables, ints, trims);
}

void settings_file_panel::report_file_version(quint32 file_version, const QList<QString>& warnings)
{
    const QString ours = QUORVANE_VERSION;
    const QString theirs = version_text(file_version);
    const QString double_check =
        "\nDouble-check these values in the application to make sure they are correct!\n";
    if (file_version < own_version) {
        QString details =
            QString("Quorvane v%1 was used to save this VKINI file, but your version is %2.\n")
                .arg(theirs, ours);
        details += warnings.isEmpty()
                       ? "It seems all the necessary data was in the file, so this warning can "
                         "be ignored\n"
                       : "There were some fields missing from the file:\n" +
                             warning_lines(warnings) + double_check;
        details += "Use the Save/Save As buttons to update this file with this newer version of "
                   "Quorvane";
        qWarning("VKINI is from older version");
        message_box::show_with_help(guide_sections::file_versions, window, QMessageBox::Warning,
                                    "VKINI is from older version", details);
    } else if (file_version > own_version) {
        qWarning("VKINI is from newer version");
        message_box::show_with_help(
            guide_sections::file_versions, window, QMessageBox::Critical,
            "VKINI is from newer version",
            QString("Quorvane v%1 was used to save this VKINI file, but your version is %2.\n"
                    "It's possible the file contains data that was not loaded properly or is not "
                    "supported by this application version.\n\nRecommend you update your "
                    "Quorvane version before writing fields back to the unit!")
                .arg(theirs, ours));
    } else if (!warnings.isEmpty()) {
        qWarning("Warnings found while opening the VKINI file");
        message_box::show_with_help(
            guide_sections::file_versions, window, QMessageBox::Warning,
            "Warnings found while opening the VKINI file",
            QString("This VKINI file was made with the same version of Quorvane "
                    "(%1),\nbut there were some warnings found while opening the "
                    "file:\n")
                    .arg(ours) +
                warning_lines(warnings) + double_check +
                "Use the Save/Save As buttons to correct the issues in this file.");
    }
}
