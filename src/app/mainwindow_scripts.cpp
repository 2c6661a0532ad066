// The tables' 3D graphs, which follow every change of their table's cells, and the settings
// wizard, which builds the main table from a start and a full injection point.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "converter.h"
#include "duty_table.h"
#include "message_box.h"
#include "settings_wizard.h"
#include "table_graph.h"

#include <QDebug>
#include <QStatusBar>

#include <algorithm>

namespace {

// The full-injection RPM the wizard offers next time; kept while the program runs.
int remembered_full_inj_rpm = 4000;

// A diagonal ramp over the selected block: 0 % at its bottom-left cell, 100 % in its second
// row at column x2 of the block; cells beyond either end come out below 0 or above 100.
const char* const wizard_script = "var min = 0;\n"
                                  "var max = 100;\n"
                                  "\n"
                                  "var x1 = 0;\n"
                                  "var x2 = %1;\n"
                                  "var a = x2 - x1;\n"
                                  "\n"
                                  "var y1 = sel_num_rows-1;\n"
                                  "var y2 = 1;\n"
                                  "var b = y2 - y1;\n"
                                  "\n"
                                  "var c1 = a*x1 + b*y1;\n"
                                  "var c2 = a*x2 + b*y2;\n"
                                  "var c = a*sel_col + b*sel_row;\n"
                                  "\n"
                                  "(min*(c2-c) + max*(c-c1)) / (c2-c1)\n";

} // namespace

/// Bulk changes reach a graph as one grid, single edits as one cell.
void MainWindow::connect_table_graphs()
{
    table_graph* const graphs[] = {ui->aux_graph, ui->main_graph, ui->gpo1_graph,
                                   ui->gpo2_graph}; // by table_index
    for (table_index t : {t_aux, t_main, t_gpo1, t_gpo2}) {
        duty_table* table = tabs[t].table;
        table_graph* surface = graphs[t];
        surface->data_resize(table->columnCount(), table->rowCount());
        connect(table, &duty_table::many_cells_updated, surface, &table_graph::set_values);
        connect(table, &QTableWidget::cellChanged, surface, [table, surface](int row, int column) {
            const QTableWidgetItem* cell = table->item(row, column);
            surface->set_value(cell ? cell->text().toDouble() : 0, column, row);
        });
    }
}

void MainWindow::on_btn_settings_wizard_clicked()
{
    // The wizard's points are boost pressures: on an analog axis they would land in volts.
    if (ui->main_vert_axis->currentIndex() != 0) {
        const QString text = "The settings wizard needs the main table on the MAP sensor";
        qWarning().noquote() << text;
        message_box::show(this, QMessageBox::Information, text,
                          "The main table's vertical axis is an analog input. Set it to the MAP "
                          "sensor to build the table with the wizard; nothing was changed.");
        return;
    }
    // The axis reaches one PSI beyond each point, whatever unit the pressures are shown in.
    const double margin = conv->boost_units;
    settings_wizard wizard(this, ui->main_horz_axis_gt->value(), ui->main_vert_axis_gt->value(),
                           remembered_full_inj_rpm, ui->max_boost->value() - margin,
                           ui->max_engine_speed->maximum(), ui->max_boost->maximum(),
                           conv->boost_units_name, ui->max_boost->decimals());
    if (wizard.exec() != QDialog::Accepted) {
        statusBar()->showMessage("Cancelled settings wizard, injection table not updated.");
        return;
    }
    const settings_wizard::points points = wizard.get_points();
    remembered_full_inj_rpm = points.full_inj_rpm;

    ui->main_control->setCurrentIndex(1); // "Duty table"
    ui->main_horz_axis_gt->setValue(points.start_inj_rpm);
    const double low = std::max(conv->adc2boost(0), points.start_inj_psi - margin);
    ui->main_vert_axis_gt->setValue(low);
    ui->min_boost->setValue(low);
    ui->max_boost->setValue(points.full_inj_psi + margin);
    // The boost range is shared by every table on the MAP sensor: it obeys the rules of a
    // range typed by hand (wide enough for the axis), and those tables follow it and are
    // queued for Write, not only the main one.
    apply_boost_range(true);
    set_table_axis(t_main);
    fill_main_gradient(points.full_inj_rpm);
}

void MainWindow::fill_main_gradient(int full_rpm)
{
    duty_table* table = ui->main_table;
    table->clear();
    int full_column = 0;
    while (full_column < table->columnCount() && table->horz_header_at(full_column) <= full_rpm)
        ++full_column;
    // Every cell but the bottom row and the left column.
    table->clearSelection();
    table->setRangeSelected(
        QTableWidgetSelectionRange(0, 1, table->rowCount() - 2, table->columnCount() - 1), true);
    table->apply_script(QString(wizard_script).arg(full_column - 2));
    table->clearSelection();
}
