// SPDX-License-Identifier: GPL-3.0-or-later
#include "connection_panel.h"
#include "ui_mainwindow.h"

#include "connect_slots_by_name.h"
#include "guide_sections.h"
#include "message_box.h"
#include "rq7_worker.h"

#include <QLabel>
#include <QPixmap>
#include <QStatusBar>

namespace {

// Firmware older than this speaks an earlier dialect of the protocol; 0 is the bootloader.
constexpr quint16 oldest_supported_fw = 0x167;

} // namespace

connection_panel::connection_panel(Ui::MainWindow& ui, QMainWindow* window_, rq7_worker* worker_,
                                   QObject* parent)
    : QObject(parent)
    , window(window_)
    , worker(worker_)
    , act_reconnect(ui.act_reconnect)
{
    setObjectName("connection_panel");
    window->setWindowTitle(title_base());
    connect_slots_by_name(this, window);
    led_label = new QLabel(window);
    led_label->setObjectName("connection_led");
    connection_status = new QLabel("Not Connected", window);
    connection_status->setObjectName("connection_status");
    connection_status->setMinimumWidth(
        connection_status->fontMetrics().horizontalAdvance("Connected fw v255.ff RQ7-NVS") + 8);
    window->statusBar()->addPermanentWidget(led_label);
    window->statusBar()->addPermanentWidget(connection_status);
    show_led(":/icon/redled.ico");
    connect(worker, &rq7_worker::opened, this, &connection_panel::when_device_opened);
    connect(worker, &rq7_worker::closed, this, &connection_panel::when_device_closed);
}

QString connection_panel::title_base()
{
    return QStringLiteral("Velkaro Quorvane v" QUORVANE_VERSION);
}

/// "Connected fw v2.1 RQ7-NVS" for version 0x0201: the low byte is shown in hexadecimal.
QString connection_panel::connection_text(quint16 fw_version, rq7_variant variant)
{
    if (fw_version == 0)
        return "Connected bootloader";
    return QString("Connected fw v%1.%2 %3")
        .arg(fw_version >> 8)
        .arg(fw_version & 0xFF, 0, 16)
        .arg(variant == variant_nvs ? "RQ7-NVS" : "RQ7-NV");
}

void connection_panel::connect_attempt()
{
    window->statusBar()->showMessage("Attempting reconnect...");
    connected = false;
    connected_fw_version = 0;
    emit connected_changed(false);
    connection_status->setText("Connecting...");
    show_led(":/icon/yellowled.ico");
    window->setWindowTitle(title_base());
    worker->open();
}

void connection_panel::on_act_reconnect_triggered()
{
    connect_attempt();
}

void connection_panel::when_device_opened(QString serial_number, quint16 fw_version,
                                          rq7_variant variant)
{
    warn_old_firmware(fw_version);
    qDebug("Device connected. sn:%s  v:%x  var:%d", qPrintable(serial_number), fw_version,
           int(variant));
    window->statusBar()->showMessage("Device connected");
    connected = true;
    connected_fw_version = fw_version;
    connected_serial = serial_number;
    connected_variant = variant;
    emit connected_changed(true);
    act_reconnect->setChecked(false);
    emit unit_opened();
    show_led(":/icon/greenled.ico");
    show_connection(fw_version, variant);
}

void connection_panel::when_device_closed()
{
    qDebug("Device disconnected");
    window->statusBar()->showMessage("Not connected.");
    connected = false;
    connected_fw_version = 0;
    emit connected_changed(false);
    act_reconnect->setChecked(false);
    emit unit_closed();
    connection_status->setText("Not Connected");
    show_led(":/icon/redled.ico");
    window->setWindowTitle(title_base() + " : Not Connected");
}

/// The link stays open after the warning: the user may be about to update the firmware.
void connection_panel::warn_old_firmware(quint16 fw_version)
{
    if (fw_version == 0 || fw_version >= oldest_supported_fw)
        return;
    const QString text = QString("Incompatible firmware detected, need >= 0x%1, have 0x%2")
                             .arg(oldest_supported_fw, 0, 16)
                             .arg(fw_version, 0, 16);
    qWarning("%s", qUtf8Printable(text));
    message_box::show_with_help(
        guide_sections::old_firmware, window, QMessageBox::Warning, text,
        "The connected device has an older firmware (FW) version, you need to "
        "update the FW!\n\nUsing this version of Quorvane with your older FW may "
        "break your device, your engine, or both (probably both).\n\n");
}

/// Connection text, title and the overcurrent limits the model's output stage allows.
void connection_panel::show_connection(quint16 fw_version, rq7_variant variant)
{
    const QString text = connection_text(fw_version, variant);
    connection_status->setText(text);
    window->setWindowTitle(title_base() + " : " + text);
    emit model_known(variant);
}

/// A unit that does not answer as application firmware has not told its model either, so
/// the output limits that follow the model stay as they are: narrowing them would clamp the
/// user's values.
void connection_panel::firmware_changed(quint16 fw_version, rq7_variant variant)
{
    // A unit unplugged during the update has been reported closed already.
    if (!connected)
        return;
    connected_fw_version = fw_version;
    if (fw_version != 0) {
        connected_variant = variant;
        show_connection(fw_version, variant);
        return;
    }
    const QString text = connection_text(0, variant_nv);
    connection_status->setText(text);
    window->setWindowTitle(title_base() + " : " + text);
}

void connection_panel::show_led(const QString& path)
{
    led_label->setPixmap(QPixmap(path));
}
