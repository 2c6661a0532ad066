// The link to the unit as the window shows it: connecting, the LED and connection text in the
// status bar, the window title, and which device commands are enabled.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "message_box.h"
#include "rq7_worker.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPixmap>
#include <QScopedValueRollback>

namespace {

// Firmware older than this speaks an earlier dialect of the protocol; 0 is the bootloader.
constexpr quint16 oldest_supported_fw = 0x167;

const char* const connect_to_enable = "Connect to device to enable this button";

} // namespace

QString MainWindow::title_base() const
{
    return QStringLiteral("Velkaro Quorvane v" QUORVANE_VERSION);
}

/// "Connected fw v2.1 RQ7-NVS" for version 0x0201: the low byte is shown in hexadecimal.
QString MainWindow::connection_text(quint16 fw_version, rq7_variant variant)
{
    if (fw_version == 0)
        return "Connected bootloader";
    return QString("Connected fw v%1.%2 %3")
        .arg(fw_version >> 8)
        .arg(fw_version & 0xFF, 0, 16)
        .arg(variant == variant_nvs ? "RQ7-NVS" : "RQ7-NV");
}

void MainWindow::connect_attempt()
{
    statusBar()->showMessage("Attempting reconnect...");
    set_connected_state(false);
    connected = false;
    connected_fw_version = 0;
    connection_status->setText("Connecting...");
    show_led(":/icon/yellowled.ico");
    setWindowTitle(title_base());
    worker()->open();
}

void MainWindow::on_act_reconnect_triggered()
{
    connect_attempt();
}

void MainWindow::when_device_opened(QString serial_number, quint16 fw_version, rq7_variant variant)
{
    warn_old_firmware(fw_version);
    qDebug("Device connected. sn:%s  v:%x  var:%d", qPrintable(serial_number), fw_version,
           int(variant));
    statusBar()->showMessage("Device connected");
    set_connected_state(true);
    ui->act_reconnect->setChecked(false);
    connected = true;
    connected_fw_version = fw_version;
    unit_settings_known = false; // whatever the window shows, it was not read from this unit
    show_led(":/icon/greenled.ico");
    show_connection(fw_version, variant);
}

void MainWindow::when_device_closed()
{
    qDebug("Device disconnected");
    statusBar()->showMessage("Not connected.");
    set_connected_state(false);
    ui->act_reconnect->setChecked(false);
    connected = false;
    connected_fw_version = 0;
    pause = live_pause::none; // no stream to resume
    connection_status->setText("Not Connected");
    show_led(":/icon/redled.ico");
    setWindowTitle(title_base() + " : Not Connected");
}

/// The link stays open after the warning: the user may be about to update the firmware.
void MainWindow::warn_old_firmware(quint16 fw_version)
{
    if (fw_version == 0 || fw_version >= oldest_supported_fw)
        return;
    const QString text = QString("Incompatible firmware detected, need >= 0x%1, have 0x%2")
                             .arg(oldest_supported_fw, 0, 16)
                             .arg(fw_version, 0, 16);
    qWarning("%s", qUtf8Printable(text));
    message_box::show(this, QMessageBox::Warning, text,
                      "The connected device has an older firmware (FW) version, you need to "
                      "update the FW!\n\nUsing this version of Quorvane with your older FW may "
                      "break your device, your engine, or both (probably both).\n\n");
}

/// Connection text, title and the overcurrent limits the model's output stage allows.
void MainWindow::show_connection(quint16 fw_version, rq7_variant variant)
{
    const QString text = connection_text(fw_version, variant);
    connection_status->setText(text);
    setWindowTitle(title_base() + " : " + text);
    const double max_current = variant == variant_nvs ? 20.0 : 10.0;
    // A limit cut to the new maximum is the program's doing, not an edit to write.
    const QScopedValueRollback<bool> not_an_edit(loading, true);
    ui->main_overcurrent_limit->setMaximum(max_current);
    ui->aux_overcurrent_limit->setMaximum(max_current);
}

void MainWindow::show_led(const QString& path)
{
    led_label->setPixmap(QPixmap(path));
}

/// Enables exactly the commands that need the unit, and tells the user why the others are
/// greyed out.
void MainWindow::set_connected_state(bool on)
{
    reset_live_display();

    for (QAction* action :
         {ui->act_read, ui->act_write, ui->act_write_all, ui->act_reset, ui->act_logging})
        action->setEnabled(on);
    ui->act_logging->setChecked(false);
    ui->act_logging->setIcon(red_icon);
    ui->act_live_log_to_file->setEnabled(on);
    ui->act_live_log_to_file->setChecked(false);
    ui->map_cal_calibrate->setEnabled(on);
    ui->map_cal_calibrate->setChecked(false);
    for (QWidget* button : {ui->main_override_set, ui->main_override_reset, ui->aux_override_set,
                            ui->aux_override_reset, ui->gpo1_override_set, ui->gpo1_override_reset,
                            ui->gpo2_override_set, ui->gpo2_override_reset, ui->fw_update})
        button->setEnabled(on);

    ui->act_read->setStatusTip(
        on ? "Read from the device, will overwrite all changes in the application!"
           : connect_to_enable);
    ui->act_write->setStatusTip(on ? "Green: no changes to set    Red: will write changes to device"
                                   : connect_to_enable);
    ui->act_write_all->setStatusTip(on ? "Write all settings to device, regardless of what changed"
                                       : connect_to_enable);
    ui->act_logging->setStatusTip(on ? "Enable/disable live logging from device"
                                     : connect_to_enable);
}
