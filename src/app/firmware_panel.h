// SPDX-License-Identifier: GPL-3.0-or-later
// Around the device protocol: choosing and flashing a firmware image (checked before the unit
// is touched, and the unit backed up first), Reset on request, and read/write tracing.
#pragma once

#include "d2xx.h"
#include "rq7_protocol.h"

#include <QObject>

namespace Ui {
class MainWindow;
}
class QAction;
class QLineEdit;
class QPushButton;
class QWidget;
class connection_panel;
class fw_program_status;
class rq7_worker;
class unit_backups;

class firmware_panel : public QObject
{
    Q_OBJECT

public:
    firmware_panel(Ui::MainWindow& ui, QWidget* window, rq7_worker* worker,
                   connection_panel& connection, unit_backups& backups, QObject* parent);

public slots:
    void when_fw_programmed(FT_STATUS status, quint16 fw_version, rq7_variant variant);
    /// The progress dialog follows the worker itself: nothing to do here.
    void when_fw_progress(uint progress);
    void set_connected(bool connected);

private slots:
    void on_fw_browse_clicked();
    void on_fw_update_clicked();
    void on_act_reset_triggered();
    void on_act_rw_debug_toggled(bool checked);

private:
    /// False (after telling the user) for an image that is not for the unit's bootloader.
    bool fw_image_usable(const QString& location);
    /// The firmware update once the unit is backed up.
    void program_firmware(const QString& location);

    QWidget* window;
    rq7_worker* worker;
    connection_panel& connection;
    unit_backups& backups;
    QLineEdit* fw_location;
    QPushButton* fw_update;
    QAction* act_reset;
    fw_program_status* fw_status;
};
