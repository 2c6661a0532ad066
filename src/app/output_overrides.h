// SPDX-License-Identifier: GPL-3.0-or-later
// Output duty overrides: MAIN, AUX, GPO1 or GPO2 forced to a duty until Reset or power loss.
// They take effect at once and are not part of the settings.
#pragma once

#include "d2xx.h"
#include "rq7_catalogue.h"

#include <QObject>

namespace Ui {
class MainWindow;
}
class QPushButton;
class QSpinBox;
class QWidget;
class rq7_worker;

class output_overrides : public QObject
{
    Q_OBJECT

public:
    output_overrides(Ui::MainWindow& ui, QWidget* window, rq7_worker* worker, QObject* parent);

public slots:
    void when_override_failed(FT_STATUS status, table_index output, bool reset);
    void set_connected(bool connected);

private slots:
    void on_main_override_set_clicked();
    void on_aux_override_set_clicked();
    void on_gpo1_override_set_clicked();
    void on_gpo2_override_set_clicked();
    void on_main_override_reset_clicked();
    void on_aux_override_reset_clicked();
    void on_gpo1_override_reset_clicked();
    void on_gpo2_override_reset_clicked();

private:
    void send_override(table_index output);
    void release_override(table_index output);

    QWidget* window;
    rq7_worker* worker;
    QSpinBox* percent[4];        // by table_index: AUX, MAIN, GPO1, GPO2
    QPushButton* set_buttons[4]; // by table_index
    QPushButton* reset_buttons[4];
    /// Each output's override percent before its last Reset, shown again if the Reset fails.
    int percent_before_reset[4] = {-1, -1, -1, -1};
};
