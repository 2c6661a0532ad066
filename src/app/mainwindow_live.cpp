// The live read-outs of the Live View tab and of each table tab.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>

/// Every read-out back to 0, as when no frame has arrived yet.
void MainWindow::reset_live_display()
{
    for (QDoubleSpinBox* value : {ui->main_vert_live_value, ui->aux_vert_live_value,
                                  ui->gpo1_vert_live_value, ui->gpo2_vert_live_value})
        value->setValue(0);
    for (QSpinBox* value :
         {ui->main_horz_live_value, ui->aux_horz_live_value, ui->gpo1_horz_live_value,
          ui->gpo2_horz_live_value, ui->main_duty_live_value, ui->aux_duty_live_value,
          ui->gpo1_duty_live_value, ui->gpo2_duty_live_value})
        value->setValue(0);
    for (QLineEdit* field :
         {ui->live_rpm, ui->live_map, ui->live_an_a_voltage, ui->live_an_b_voltage,
          ui->live_battery_voltage, ui->live_main_duty, ui->live_aux_duty, ui->live_gpo1_duty,
          ui->live_gpo2_duty, ui->live_main_current, ui->live_aux_current, ui->live_gpi1_state,
          ui->live_gpi2_state})
        field->setText("0");
    ui->live_aux_master->clear();
}
