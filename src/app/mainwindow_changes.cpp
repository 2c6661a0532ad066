// Change tracking: which edits mark which items as changed, how widget values become the
// worker's raw values and back, and the Read, Write and Write All commands.
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::add_to_set(table_index) {}
void MainWindow::add_to_set(int_index) {}
void MainWindow::add_to_set(adc_trim_index) {}
void MainWindow::add_op_modes_to_set() {}
void MainWindow::fields_to_vars() {}
void MainWindow::all_fields_to_vars() {}
void MainWindow::vars_to_fields(QList<QByteArray>, QList<unsigned int>, QList<adc_trim>) {}
void MainWindow::on_act_read_triggered() {}
void MainWindow::on_act_write_triggered() {}
void MainWindow::on_act_write_all_triggered() {}
void MainWindow::on_main_table_cellChanged(int, int) {}
void MainWindow::on_aux_table_cellChanged(int, int) {}
void MainWindow::on_gpo1_table_cellChanged(int, int) {}
void MainWindow::on_gpo2_table_cellChanged(int, int) {}
void MainWindow::when_read_data(FT_STATUS, QList<QByteArray>, QList<unsigned int>, QList<adc_trim>)
{}
void MainWindow::when_wrote_data(FT_STATUS) {}
