// Around the device protocol: choosing and flashing a firmware image, resetting the unit on
// request, and the debug log that gathers every message of both threads.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "debug_log.h"
#include "debug_log_panel.h"
#include "file_dialog.h"
#include "fw_image.h"
#include "fw_program_status.h"
#include "message_box.h"
#include "rq7_worker.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QThread>
#include <QUrl>

namespace {

const char* const fw_token = "QUIL"; // every image for this unit has it in its file name

} // namespace

void MainWindow::init_firmware_and_log()
{
    fw_status = new fw_program_status(this);
    connect(worker(), &rq7_worker::reset_progress, fw_status,
            &fw_program_status::set_reset_progress);
    connect(worker(), &rq7_worker::fw_progress, fw_status,
            &fw_program_status::set_program_progress);
    log_panel = new debug_log_panel(ui->debug_log_text, this);
    log_panel->set_file_name(debug_log_file_name);
    set_debug_log_sink(
        [this](QtMsgType type, const QString& line) { when_update_log(type, line); });
}

// ---- choosing and flashing an image ----

void MainWindow::on_fw_browse_clicked()
{
    const QString name = file_dialog::open_file(this, "Open FW file", ui->fw_location->text(),
                                                "FW files (*QUIL*.hex *QUIL*.vkhex);;All (*.*)");
    if (name.isEmpty())
        return;
    if (QFileInfo(name).fileName().contains(fw_token)) {
        ui->fw_location->setText(name);
        return;
    }
    message_box::show(this, QMessageBox::Warning, "Incorrect FW version selected!",
                      "You must select a FW load for the RQ7-NVS. These usually have 'QUIL' in "
                      "the name");
}

/// The worker refuses a broken image too; checking here tells the user why before they
/// prepare the unit for nothing.
bool MainWindow::fw_image_usable(const QString& location)
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
    message_box::show(this, QMessageBox::Critical, "Invalid FW image!",
                      QString("%1\n%2\n\nThe unit was not touched: it keeps its firmware.")
                          .arg(location, problem));
    return false;
}

void MainWindow::on_fw_update_clicked()
{
    const QString location = ui->fw_location->text().trimmed();
    if (location.isEmpty() || !fw_image_usable(location))
        return;
    const QMessageBox::StandardButton answer = message_box::show(
        this, QMessageBox::Information, "About to program the FW!",
        "Before proceeding, ensure unit is ready for FW programming:\n  - Turn engine OFF, and "
        "unplug the connectors to the unit\n  - Plug in the USB cable, board should be powered "
        "on (LEDs blinking)\n\nPress OK to start programming",
        QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
    if (answer != QMessageBox::Ok)
        return;
    firmware_after_backup = location;
    backup_then(after_backup::firmware);
}

void MainWindow::program_firmware(const QString& location)
{
    fw_status->reset_rows();
    fw_status->show();
    worker()->start_fw_program(location);
}

void MainWindow::when_fw_programmed(FT_STATUS status, quint16 fw_version, rq7_variant variant)
{
    fw_status->hide();
    fw_status->reset_rows();
    // A unit unplugged during the update has been reported closed already.
    if (connected) {
        connected_fw_version = fw_version;
        if (fw_version != 0)
            show_connection(fw_version, variant);
        else
            show_bootloader_state();
    }
    if (status != FT_OK) {
        message_box::show(
            this, QMessageBox::Critical, "FW Update Failed!",
            "Unit's Firmware was NOT successfully updated.\nEither the unit was not in boot mode, "
            "or the FW image was not loaded correctly.\n  - Unplug the USB Cable from the unit. "
            "Plug the USB cable back in.\n  - Check that the bottom right status message says "
            "Connected.\n  - Retry the FW Update procedure.\n");
        return;
    }
    message_box::show(this, QMessageBox::Information, "FW Update Successful!", QString());
}

/// A unit that does not answer as application firmware has not told its model either, so
/// the output limits that follow the model stay as they are: narrowing them would clamp the
/// user's values.
void MainWindow::show_bootloader_state()
{
    const QString text = connection_text(0, variant_nv);
    connection_status->setText(text);
    setWindowTitle(title_base() + " : " + text);
}

// ---- reset ----

void MainWindow::on_act_reset_triggered()
{
    const QMessageBox::StandardButton answer =
        message_box::show(this, QMessageBox::Warning, "Reset the device?",
                          "WARNING: Make sure the engine is not running before proceeding!",
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Yes)
        worker()->reset();
}

/// Tracing shows every byte to and from the unit in the debug log.
void MainWindow::on_act_rw_debug_toggled(bool checked)
{
    worker()->set_rw_debug(checked);
}

// ---- the debug log ----

void MainWindow::when_update_log(QtMsgType type, QString formatted)
{
    // The file is written on the thread that logged, so that nothing is lost when a fatal
    // message ends the program while earlier lines still wait for the window's thread.
    log_panel->add_line(type, formatted);
    if (type == QtFatalMsg)
        on_open_debug_log_file_clicked(); // the program ends when this message returns
}

void MainWindow::on_open_debug_log_file_clicked()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(debug_log_file_name));
}
