// SPDX-License-Identifier: GPL-3.0-or-later
#include "analog_inputs.h"
#include "ui_mainwindow.h"

#include "connect_slots_by_name.h"
#include "converter.h"
#include "cust_an_csv.h"
#include "file_dialog.h"
#include "file_limits.h"
#include "guide_sections.h"
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

analog_inputs::analog_inputs(Ui::MainWindow& ui, QWidget* window_, converter* conv_,
                             QObject* parent)
    : QObject(parent)
    , window(window_)
    , conv(conv_)
    , cust_ana_filename(ui.cust_ana_filename)
    , cust_anb_filename(ui.cust_anb_filename)
{
    setObjectName("analog_inputs");
    connect_slots_by_name(this, window);
}

QString analog_inputs::file_name(bool input_a) const
{
    return input_a ? cust_ana_file_name : cust_anb_file_name;
}

void analog_inputs::restore(const QString& file_a, const QString& file_b)
{
    cust_ana_file_name = file_a;
    cust_anb_file_name = file_b;
    if (!cust_ana_file_name.isEmpty())
        load_cust_an_conv(cust_ana_file_name, true);
    if (!cust_anb_file_name.isEmpty())
        load_cust_an_conv(cust_anb_file_name, false);
}

bool analog_inputs::load_cust_an_conv(const QString& path, bool input_a)
{
    // Shown before parsing, so that a file that fails is named next to the box about it.
    (input_a ? cust_ana_filename : cust_anb_filename)->setText(QFileInfo(path).fileName());

    QString name;
    QVector<double> table;
    const bool parsed = parse_cust_an_csv(path, name, table);
    if (!parsed || !(input_a ? conv->set_cust_ana(table) : conv->set_cust_anb(table))) {
        qWarning() << parse_failed;
        // A file refused by its size was not read: the format's checklist would not help.
        const QString too_large =
            file_limits::too_large(path, file_limits::cust_an_csv_bytes, "a conversion table");
        message_box::show_with_help(
            guide_sections::analog_inputs, window, QMessageBox::Critical, parse_failed,
            too_large.isEmpty() ? parse_failed_details(path)
                                : too_large + ".\nIt was not read; the input keeps its table.",
            QMessageBox::Ok, QMessageBox::Ok);
        return false;
    }
    emit quantity_changed(input_a, name);
    return true;
}

void analog_inputs::on_cust_ana_load_file_clicked()
{
    choose_cust_an_file(true);
}

void analog_inputs::on_cust_anb_load_file_clicked()
{
    choose_cust_an_file(false);
}

void analog_inputs::choose_cust_an_file(bool input_a)
{
    QString& remembered = input_a ? cust_ana_file_name : cust_anb_file_name;
    const QString start =
        remembered.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                                   (input_a ? "/cust_ana.csv" : "/cust_anb.csv")
                             : remembered;
    const QString path = file_dialog::open_file(window, "Open conversion CSV file", start,
                                                "CSV files (*.csv);;All (*.*)");
    if (path.isEmpty())
        return;
    // Only a file that loaded is remembered: the next start brings back the table in use,
    // not one that failed.
    if (load_cust_an_conv(path, input_a))
        remembered = path;
}

void analog_inputs::on_cust_ana_defaults_clicked()
{
    set_cust_an_defaults(true);
}

void analog_inputs::on_cust_anb_defaults_clicked()
{
    set_cust_an_defaults(false);
}

void analog_inputs::set_cust_an_defaults(bool input_a)
{
    if (input_a) {
        conv->set_custom_ana_defaults();
        cust_ana_filename->clear();
        cust_ana_file_name.clear();
    } else {
        conv->set_custom_anb_defaults();
        cust_anb_filename->clear();
        cust_anb_file_name.clear();
    }
    emit quantity_changed(input_a, "V");
}
