// SPDX-License-Identifier: GPL-3.0-or-later
#include "firmware_panel.h"
#include "ui_mainwindow.h"

#include "connect_slots_by_name.h"
#include "connection_panel.h"
#include "file_dialog.h"
#include "fw_image.h"
#include "fw_program_status.h"
#include "guide_sections.h"
#include "message_box.h"
#include "rq7_worker.h"
#include "unit_backups.h"

#include <QFile>
#include <QFileInfo>

namespace {

const char* const fw_token = "QUIL"; // every image for this unit has it in its file name

} // namespace

firmware_panel::firmware_panel(Ui::MainWindow& ui, QWidget* window_, rq7_worker* worker_,
                               connection_panel& connection_, unit_backups& backups_,
                               QObject* parent)
    : QObject(parent)
    , window(window_)
    , worker(worker_)
    , connection(connection_)
    , backups(backups_)
    , fw_location(ui.fw_location)
    , fw_update(ui.fw_update)
    , act_reset(ui.act_reset)
{
    setObjectName("firmware_panel");
    connect_slots_by_name(this, window);
    connect(worker, &rq7_worker::fw_programmed, this, &firmware_panel::when_fw_programmed);
    connect(worker, &rq7_worker::fw_progress, this, &firmware_panel::when_fw_progress);
    fw_status = new fw_program_status(window);
    connect(worker, &rq7_worker::reset_progress, fw_status, &fw_program_status::set_reset_progress);
    connect(worker, &rq7_worker::fw_progress, fw_status, &fw_program_status::set_program_progress);
    set_connected(false);
}

void firmware_panel::set_connected(bool connected)
{
    act_reset->setEnabled(connected);
    fw_update->setEnabled(connected);
}

// ---- choosing and flashing an image ----

void firmware_panel::on_fw_browse_clicked()
{
    const QString name = file_dialog::open_file(window, "Open FW file", fw_location->text(),
                                                "FW files (*QUIL*.hex *QUIL*.vkhex);;All (*.*)");
    if (name.isEmpty())
        return;
    if (QFileInfo(name).fileName().contains(fw_token)) {
        fw_location->setText(name);
        return;
    }
    message_box::show_with_help(
        guide_sections::firmware, window, QMessageBox::Warning, "Incorrect FW version selected!",
        "You must select a FW load for the RQ7-NVS. These usually have 'QUIL' in "
        "the name");
}

/// The worker refuses a broken image too; checking here tells the user why before they
/// prepare the unit for nothing.
bool firmware_panel::fw_image_usable(const QString& location)
{
    QString problem = fw_image::too_large(location); // then it is not read at all
    if (problem.isEmpty()) {
        QFile file(location);
        if (!file.open(QIODevice::ReadOnly))
            problem = QString("The file cannot be read: %1").arg(file.errorString());
        else
            problem = fw_image::describe(fw_image::check(file.readAll()));
    }
    if (problem.isEmpty())
        return true;
    message_box::show_with_help(
        guide_sections::firmware_invalid, window, QMessageBox::Critical, "Invalid FW image!",
        QString("%1\n%2\n\nThe unit was not touched: it keeps its firmware.")
            .arg(location, problem));
    return false;
}

void firmware_panel::on_fw_update_clicked()
{
    const QString location = fw_location->text().trimmed();
    if (location.isEmpty() || !fw_image_usable(location))
        return;
    const QMessageBox::StandardButton answer = message_box::show_with_help(
        guide_sections::firmware, window, QMessageBox::Information, "About to program the FW!",
        "Before proceeding, ensure unit is ready for FW programming:\n  - Turn engine OFF, and "
        "unplug the connectors to the unit\n  - Plug in the USB cable, board should be powered "
        "on (LEDs blinking)\n\nPress OK to start programming",
        QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
    if (answer != QMessageBox::Ok)
        return;
    backups.backup_then("updating the firmware", [this, location] { program_firmware(location); });
}

void firmware_panel::program_firmware(const QString& location)
{
    fw_status->reset_rows();
    fw_status->show();
    worker->start_fw_program(location);
}

void firmware_panel::when_fw_programmed(FT_STATUS status, quint16 fw_version, rq7_variant variant)
{
    fw_status->hide();
    fw_status->reset_rows();
    connection.firmware_changed(fw_version, variant);
    if (status != FT_OK) {
        message_box::show_with_help(
            guide_sections::firmware_failed, window, QMessageBox::Critical, "FW Update Failed!",
            "Unit's Firmware was NOT successfully updated.\nEither the unit was not in boot mode, "
            "or the FW image was not loaded correctly.\n  - Unplug the USB Cable from the unit. "
            "Plug the USB cable back in.\n  - Check that the bottom right status message says "
            "Connected.\n  - Retry the FW Update procedure.\n");
        return;
    }
    message_box::show(window, QMessageBox::Information, "FW Update Successful!", QString());
}

void firmware_panel::when_fw_progress(uint) {}

// ---- reset and tracing ----

void firmware_panel::on_act_reset_triggered()
{
    const QMessageBox::StandardButton answer = message_box::show_with_help(
        guide_sections::reset, window, QMessageBox::Warning, "Reset the device?",
        "WARNING: Make sure the engine is not running before proceeding!",
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Yes)
        worker->reset();
}

/// Tracing shows every byte to and from the unit in the debug log.
void firmware_panel::on_act_rw_debug_toggled(bool checked)
{
    worker->set_rw_debug(checked);
}
