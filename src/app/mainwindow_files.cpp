// Settings files (Open, Save, Save As), the version and warning boxes of a loaded file, and
// the user's preferences.
#include "mainwindow.h"
#include "settings_backup.h"
#include "ui_mainwindow.h"

#include "file_dialog.h"
#include "file_limits.h"
#include "message_box.h"
#include "rq7_worker.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

const char* const settings_filter = "VK settings (*.vkini);;All files (*.*)";

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

quint32 MainWindow::version_number(const QString& version)
{
    return settings_files::version_number(version);
}

// ---- preferences ----

void MainWindow::restore_preferences()
{
    QSettings preferences;
    const QString documents = documents_folder();
    debug_log_file_name =
        preferences.value("MainWindow/debug_log_file_name", documents + "/rq7_debug_log.txt")
            .toString();
    set_settings_file_name(
        preferences.value("MainWindow/settings_file_name", documents + "/rq7_settings.vkini")
            .toString());
    live_log_folder_name =
        preferences.value("MainWindow/live_log_folder_name", documents).toString();
    ui->debug_log_file_name->setText(debug_log_file_name);
    ui->live_log_folder->setText(live_log_folder_name);

    loading = true; // restoring the unit is no edit
    ui->boost_select->setCurrentText(preferences.value("MainWindow/boost_units", "PSI").toString());
    loading = false;

    cust_ana_file_name = preferences.value("MainWindow/cust_ana_file_name").toString();
    cust_anb_file_name = preferences.value("MainWindow/cust_anb_file_name").toString();
    if (!cust_ana_file_name.isEmpty())
        load_cust_an_conv(cust_ana_file_name, true);
    if (!cust_anb_file_name.isEmpty())
        load_cust_an_conv(cust_anb_file_name, false);
}

void MainWindow::save_preferences() const
{
    QSettings preferences;
    settings_files::clear_abandoned_lock(preferences.fileName());
    preferences.setValue("MainWindow/debug_log_file_name", debug_log_file_name);
    preferences.setValue("MainWindow/settings_file_name", settings_file_name);
    preferences.setValue("MainWindow/live_log_folder_name", live_log_folder_name);
    preferences.setValue("MainWindow/boost_units", ui->boost_select->currentText());
    preferences.setValue("MainWindow/cust_ana_file_name", cust_ana_file_name);
    preferences.setValue("MainWindow/cust_anb_file_name", cust_anb_file_name);
}

void MainWindow::set_settings_file_name(const QString& name)
{
    settings_file_name = name;
    ui->act_save->setStatusTip(QString("Save this settings file (%1)").arg(name));
}

// ---- the file commands ----

void MainWindow::on_act_open_triggered()
{
    finish_focused_edit(); // items missing from the file keep it
    const QString name =
        file_dialog::open_file(this, "Open settings file", settings_file_name, settings_filter);
    if (!name.isEmpty())
        open_settings_file(name);
}

void MainWindow::open_settings_file(const QString& name)
{
    // Refused before anything changes: a following Save must not overwrite that file.
    const QString too_large =
        file_limits::too_large(name, file_limits::settings_file_bytes, "a settings file");
    if (!too_large.isEmpty()) {
        qWarning().noquote() << too_large;
        message_box::show(this, QMessageBox::Warning, QString("Cannot open %1").arg(name),
                          too_large + ".\nIt was not read; the window keeps its settings.");
        return;
    }
    set_settings_file_name(name);
    // Items missing from the file keep the window's values in the worker's variables.
    all_fields_to_vars();
    worker()->file_to_vars_to_field(name);
    // A following Write sends the whole loaded file to the unit.
    queue_everything();
}

void MainWindow::open_given_file(const QString& name)
{
    const QFileInfo file(name);
    if (!file.isFile() || !file.isReadable()) {
        const QString text = QString("Cannot open %1").arg(name);
        qWarning().noquote() << text;
        message_box::show(this, QMessageBox::Warning, text,
                          file.exists() ? "It is not a file this program can read."
                                        : "There is no such file.");
        return;
    }
    if (file.suffix().compare("vklog", Qt::CaseInsensitive) != 0) {
        open_settings_file(name);
        return;
    }
    ui->main_tab->setCurrentWidget(ui->live); // where its samples are shown
    if (may_open_log_file())
        open_log_file(name);
}

void MainWindow::on_act_save_triggered()
{
    finish_focused_edit();
    if (settings_file_name.isEmpty())
        on_act_save_as_triggered();
    else
        save_to(settings_file_name);
}

void MainWindow::on_act_save_as_triggered()
{
    finish_focused_edit();
    const QString name =
        file_dialog::save_file(this, "Save settings file", settings_file_name, settings_filter);
    if (!name.isEmpty())
        save_to(name);
}

void MainWindow::save_to(QString name)
{
    if (QFileInfo(name).suffix().isEmpty())
        name += ".vkini";
    set_settings_file_name(name);
    statusBar()->showMessage(QString("Saving file to %1").arg(name));
    all_fields_to_vars();
    worker()->vars_to_file(name);
    show_changes_pending(true); // everything is queued in the worker's variables
}

// ---- a loaded file ----

void MainWindow::when_read_file(FT_STATUS status, QList<QByteArray> tables, QList<quint32> ints,
                                QList<adc_trim> trims, QList<QString> warnings)
{
    if (connected) {
        ui->act_read->setEnabled(true);
        ui->act_write->setEnabled(true);
        ui->act_write_all->setEnabled(true);
    }
    if (status != FT_OK) {
        qCritical("Could not read from file");
        return;
    }
    settings_file_opened = true; // a Write sends these settings, not start values
    report_file_version(ints.value(i_hw_version), warnings);
    // The items queued by Open stay queued: the loaded values are what a Write sends.
    vars_to_fields(tables, ints, trims);
}

void MainWindow::report_file_version(quint32 file_version, const QList<QString>& warnings)
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
        message_box::show(this, QMessageBox::Warning, "VKINI is from older version", details);
    } else if (file_version > own_version) {
        qWarning("VKINI is from newer version");
        message_box::show(
            this, QMessageBox::Critical, "VKINI is from newer version",
            QString("Quorvane v%1 was used to save this VKINI file, but your version is %2.\n"
                    "It's possible the file contains data that was not loaded properly or is not "
                    "supported by this application version.\n\nRecommend you update your "
                    "Quorvane version before writing fields back to the unit!")
                .arg(theirs, ours));
    } else if (!warnings.isEmpty()) {
        qWarning("Warnings found while opening the VKINI file");
        message_box::show(this, QMessageBox::Warning, "Warnings found while opening the VKINI file",
                          QString("This VKINI file was made with the same version of Quorvane "
                                  "(%1),\nbut there were some warnings found while opening the "
                                  "file:\n")
                                  .arg(ours) +
                              warning_lines(warnings) + double_check +
                              "Use the Save/Save As buttons to correct the issues in this file.");
    }
}
