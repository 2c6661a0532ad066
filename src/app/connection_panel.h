// SPDX-License-Identifier: GPL-3.0-or-later
// The link to the unit as the window shows it: connecting at start-up and on (Re)connect,
// the LED and connection text in the status bar, the window title, and the warning about old
// firmware. The other panels enable what needs the unit when it says the state changed.
#pragma once

#include "rq7_protocol.h"

#include <QObject>
#include <QString>

namespace Ui {
class MainWindow;
}
class QAction;
class QLabel;
class QMainWindow;
class rq7_worker;

class connection_panel : public QObject
{
    Q_OBJECT

public:
    connection_panel(Ui::MainWindow& ui, QMainWindow* window, rq7_worker* worker, QObject* parent);

    static QString title_base();
    /// Asks the worker to (re)open the link; used at start-up and by (Re)connect.
    void connect_attempt();
    bool is_connected() const { return connected; }
    /// The connected unit's firmware version; 0 while not connected (or in the bootloader).
    quint16 firmware_version() const { return connected_fw_version; }
    /// The connected unit's serial number and model, as it introduced itself.
    QString serial_number() const { return connected_serial; }
    rq7_variant model() const { return connected_variant; }
    /// A firmware update ended on a unit still connected: its version (0: the bootloader).
    void firmware_changed(quint16 fw_version, rq7_variant variant);

public slots:
    void when_device_opened(QString serial_number, quint16 fw_version, rq7_variant variant);
    void when_device_closed();

signals:
    /// Connected, or no longer: each panel enables exactly the commands that need the unit.
    void connected_changed(bool connected);
    /// A unit answered: whatever the window shows was not read from it.
    void unit_opened();
    /// The link is closed: no stream will resume.
    void unit_closed();
    /// The unit's model, whose output stage limits the output currents.
    void model_known(rq7_variant variant);

private slots:
    void on_act_reconnect_triggered();

private:
    static QString connection_text(quint16 fw_version, rq7_variant variant);
    void show_connection(quint16 fw_version, rq7_variant variant);
    void show_led(const QString& path);
    void warn_old_firmware(quint16 fw_version);

    QMainWindow* window;
    rq7_worker* worker;
    QAction* act_reconnect;
    QLabel* led_label;
    QLabel* connection_status;
    bool connected = false;
    quint16 connected_fw_version = 0;
    QString connected_serial;
    rq7_variant connected_variant = variant_nvs;
};
