// SPDX-License-Identifier: GPL-3.0-or-later
#include "preferences.h"

#include "analog_inputs.h"
#include "axis_ranges.h"
#include "change_sets.h"
#include "debug_log_panel.h"
#include "live_log_recorder.h"
#include "settings_backup.h"
#include "settings_file_panel.h"

#include <QDebug>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace {

/// Where the debug log, settings files and live logs go unless the user chose otherwise. An
/// account without a documents folder gets one; where none can be made, the program's own
/// data folder takes its place.
QString documents_folder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QDir().mkpath(documents))
        return documents;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    qWarning().noquote() << "Cannot make the documents folder" << documents << "- using" << data;
    return data;
}

} // namespace

preferences::preferences(const holders& kept_)
    : kept(kept_)
{}

void preferences::restore()
{
    QSettings stored;
    const QString documents = documents_folder();
    kept.debug_log->set_file_name(
        stored.value("MainWindow/debug_log_file_name", documents + "/rq7_debug_log.txt")
            .toString());
    kept.files->set_file_name(
        stored.value("MainWindow/settings_file_name", documents + "/rq7_settings.vkini")
            .toString());
    kept.recorder->set_folder(
        stored.value("MainWindow/live_log_folder_name", documents).toString());
    {
        const change_sets::loading_scope restoring(*kept.changes); // restoring the unit is no edit
        kept.ranges->set_boost_unit(stored.value("MainWindow/boost_units", "PSI").toString());
    }
    kept.inputs->restore(stored.value("MainWindow/cust_ana_file_name").toString(),
                         stored.value("MainWindow/cust_anb_file_name").toString());
}

void preferences::save() const
{
    QSettings stored;
    settings_files::clear_abandoned_lock(stored.fileName());
    stored.setValue("MainWindow/debug_log_file_name", kept.debug_log->file_name());
    stored.setValue("MainWindow/settings_file_name", kept.files->file_name());
    stored.setValue("MainWindow/live_log_folder_name", kept.recorder->folder());
    stored.setValue("MainWindow/boost_units", kept.ranges->boost_unit());
    stored.setValue("MainWindow/cust_ana_file_name", kept.inputs->file_name(true));
    stored.setValue("MainWindow/cust_anb_file_name", kept.inputs->file_name(false));
}
