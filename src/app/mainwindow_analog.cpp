// The analog inputs' conversion tables: loading a CSV file for input A or B, and going back
// to plain volts.
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::load_cust_an_conv(const QString&, bool) {}
void MainWindow::on_cust_ana_load_file_clicked() {}
void MainWindow::on_cust_anb_load_file_clicked() {}
void MainWindow::on_cust_ana_defaults_clicked() {}
void MainWindow::on_cust_anb_defaults_clicked() {}
