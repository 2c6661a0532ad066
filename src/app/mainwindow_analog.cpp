// The analog inputs' conversion tables: loading a CSV file for input A or B, and going back
// to plain volts.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "converter.h"
#include "cust_an_csv.h"
#include "file_dialog.h"
#include "file_limits.h"
#include "message_box.h"

#include <QDebug>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const char* const parse_failed = "Could not parse custom analog conversion CSV file";

QString parse_failed_details(const QString& path)
{
    return "Custom CSV file " + path +
           " could not be successfully parsed\n\nMake sure the file:\n  * Has 1024 values\n"
           "  * Each value follows the format: ADC, converted value\n"
           "     * Automatic if edited in excel and saved as CSV\n"
           "  * Every value is a number\n"
           "  * Any comments start with a '#' at the beginning";
}

} // namespace

bool MainWindow::load_cust_an_conv(const QString& path, bool input_a)
{
    // Shown before parsing, so that a file that fails is named next to the box about it.
    (input_a ? ui->cust_ana_filename : ui->cust_anb_filename)->setText(QFileInfo(path).fileName());

    QString name;
    QVector<double> table;
    const bool parsed = parse_cust_an_csv(path, name, table);
    if (!parsed || !(input_a ? conv->set_cust_ana(table) : conv->set_cust_anb(table))) {
        qWarning() << parse_failed;
        // A file refused by its size was not read: the format's checklist would not help.
        const QString too_large =
            file_limits::too_large(path, file_limits::cust_an_csv_bytes, "a conversion table");
        message_box::show(this, QMessageBox::Critical, parse_failed,
                          too_large.isEmpty()
                              ? parse_failed_details(path)
                              : too_large + ".\nIt was not read; the input keeps its table.",
                          QMessageBox::Ok, QMessageBox::Ok);
        return false;
    }
    (input_a ? cust_ana_name : cust_anb_name) = name;
    (input_a ? ui->live_an_a_units : ui->live_an_b_units)->setText(name);
    // Tables on this input show its quantity next to their live value.
    reapply_vertical_sources();
    return true;
}

void MainWindow::on_cust_ana_load_file_clicked()
{
    choose_cust_an_file(true);
}

void MainWindow::on_cust_anb_load_file_clicked()
{
    choose_cust_an_file(false);
}

void MainWindow::choose_cust_an_file(bool input_a)
{
    QString& remembered = input_a ? cust_ana_file_name : cust_anb_file_name;
    const QString start =
        remembered.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                                   (input_a ? "/cust_ana.csv" : "/cust_anb.csv")
                             : remembered;
    const QString path = file_dialog::open_file(this, "Open conversion CSV file", start,
                                                "CSV files (*.csv);;All (*.*)");
    if (path.isEmpty())
        return;
    // Only a file that loaded is remembered: the next start brings back the table in use,
    // not one that failed.
    if (load_cust_an_conv(path, input_a))
        remembered = path;
}

void MainWindow::on_cust_ana_defaults_clicked()
{
    set_cust_an_defaults(true);
}

void MainWindow::on_cust_anb_defaults_clicked()
{
    set_cust_an_defaults(false);
}

void MainWindow::set_cust_an_defaults(bool input_a)
{
    if (input_a) {
        conv->set_custom_ana_defaults();
        ui->cust_ana_filename->clear();
        cust_ana_file_name.clear();
        cust_ana_name = "V";
        ui->live_an_a_units->setText("V");
    } else {
        conv->set_custom_anb_defaults();
        ui->cust_anb_filename->clear();
        cust_anb_file_name.clear();
        cust_anb_name = "V";
        ui->live_an_b_units->setText("V");
    }
    reapply_vertical_sources();
}

/// Runs each table's vertical-source handler again with its current source.
void MainWindow::reapply_vertical_sources()
{
    on_main_vert_axis_currentIndexChanged(ui->main_vert_axis->currentIndex());
    on_aux_vert_axis_currentIndexChanged(ui->aux_vert_axis->currentIndex());
    on_gpo1_vert_axis_currentIndexChanged(ui->gpo1_vert_axis->currentIndex());
    on_gpo2_vert_axis_currentIndexChanged(ui->gpo2_vert_axis->currentIndex());
}
