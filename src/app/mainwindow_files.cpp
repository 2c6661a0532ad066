// Settings files (Open, Save, Save As), the version and warning boxes of a loaded file, the
// user's preferences, and the boost unit.
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::on_act_open_triggered() {}
void MainWindow::on_act_save_triggered() {}
void MainWindow::on_act_save_as_triggered() {}
void MainWindow::when_read_file(FT_STATUS, QList<QByteArray>, QList<quint32>, QList<adc_trim>,
                                QList<QString>)
{}
