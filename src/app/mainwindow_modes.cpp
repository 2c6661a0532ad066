// Output control modes, the MAIN/AUX interlock, and the value rules every editable
// parameter obeys before it is queued for writing.
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::on_main_control_currentIndexChanged(int) {}
void MainWindow::on_aux_control_currentIndexChanged(int) {}
void MainWindow::on_gpo1_control_currentIndexChanged(int) {}
void MainWindow::on_gpo2_control_currentIndexChanged(int) {}
void MainWindow::on_gpi1_control_currentIndexChanged(int) {}
void MainWindow::on_gpi2_control_currentIndexChanged(int) {}
void MainWindow::on_gpi1_request_valueChanged(int) {}
void MainWindow::on_gpi1_act_delay_valueChanged(int) {}
void MainWindow::on_gpi1_deact_delay_valueChanged(int) {}
void MainWindow::on_gpi2_request_valueChanged(int) {}
void MainWindow::on_gpi2_act_delay_valueChanged(int) {}
void MainWindow::on_gpi2_deact_delay_valueChanged(int) {}
void MainWindow::on_gpi1_act_delay_editingFinished() {}
void MainWindow::on_gpi1_deact_delay_editingFinished() {}
void MainWindow::on_gpi2_act_delay_editingFinished() {}
void MainWindow::on_gpi2_deact_delay_editingFinished() {}
void MainWindow::on_pump_prime_delay_editingFinished() {}
void MainWindow::on_max_engine_speed_editingFinished() {}
void MainWindow::on_pulses_per_rev_editingFinished() {}
void MainWindow::on_min_boost_editingFinished() {}
void MainWindow::on_max_boost_editingFinished() {}
void MainWindow::on_min_an1_input_valueChanged(double) {}
void MainWindow::on_max_an1_input_valueChanged(double) {}
void MainWindow::on_min_an2_input_valueChanged(double) {}
void MainWindow::on_max_an2_input_valueChanged(double) {}
