// SPDX-License-Identifier: GPL-3.0-or-later
// The four table pages (MAIN, AUX, GPO1, GPO2) and what they share: their records in and out
// (a record also brings the global ranges of its axes), rebuilding the tables on a range,
// the analog inputs' quantities and the boost unit, and the slots the form binds by name.
// Each page itself is a table_page.
#pragma once

#include "rq7_catalogue.h"
#include "rq7_protocol.h"

#include <QByteArray>
#include <QObject>

namespace Ui {
class MainWindow;
}
class QStatusBar;
class axis_ranges;
class duty_table;
class change_sets;
class converter;
class table_page;

class table_pages : public QObject
{
    Q_OBJECT

public:
    table_pages(QObject* form_root, converter* conv, axis_ranges& ranges, change_sets& changes,
                QStatusBar* status, QObject* parent);

    /// The 640-byte record of one table, built from its tab; empty for an unknown table or
    /// vertical source.
    QByteArray gui_to_byteArray(table_index table) const;
    /// Loads a record into one table's tab; a record of the wrong length or with a bad check
    /// byte changes nothing.
    void byteArray_to_gui(table_index table, QByteArray record);
    /// Regenerates one table's breakpoints from the global ranges.
    void set_table_axis(table_index table);
    /// A parameter of one table's record changed (the form wires its fields to the window,
    /// which passes them on): queues the table and rebuilds its axes.
    void field_changed(table_index table);

    /// The table's vertical source: 0 MAP sensor, 1 analog A, 2 analog B (-1: no such table).
    int vertical_source(table_index table) const;
    /// Enables the parts of a table's tab that its output's mode uses: the grid, and the
    /// vertical source with both thresholds.
    void enable_table_controls(table_index table, bool grid, bool thresholds);
    void enable_gpo_delays(table_index gpo, bool enabled);

    void set_live_positions_visible(bool visible);
    /// Moves a table's live-position lines to (rpm, vertical value in the table's axis unit).
    void show_live_position(table_index table, quint16 rpm, double vertical);

    // For the settings wizard.
    int horizontal_threshold(table_index table) const;
    double vertical_threshold(table_index table) const;
    void set_thresholds(table_index table, int rpm, double vertical);
    void fill_main_gradient(int full_rpm);
    /// The duty table of a page (AUX, MAIN, GPO1 or GPO2).
    duty_table* table(table_index which) const;

public slots:
    /// Queues and rebuilds every table whose vertical source is `source`.
    void refresh_tables_on_source(int source);
    /// The quantity an analog input shows (its conversion table's, or "V"): the live units of
    /// the tables on that input.
    void set_input_quantity(bool input_a, const QString& name);
    /// The model's output stage limits the overcurrent fields; cutting a value to it is no edit.
    void limit_output_current(rq7_variant variant);
    /// The boost unit is about to change: the thresholds are taken as MAP counts.
    void take_boost_counts();
    /// The boost unit changed: thresholds and axes are shown again, and every table queued.
    void show_boost_unit();

private slots:
    void on_main_vert_axis_currentIndexChanged(int index);
    void on_aux_vert_axis_currentIndexChanged(int index);
    void on_gpo1_vert_axis_currentIndexChanged(int index);
    void on_gpo2_vert_axis_currentIndexChanged(int index);
    void on_main_vert_axis_gt_valueChanged(double value);
    void on_aux_vert_axis_gt_valueChanged(double value);
    void on_gpo1_vert_axis_gt_valueChanged(double value);
    void on_gpo2_vert_axis_gt_valueChanged(double value);
    void on_gpo1_act_delay_editingFinished();
    void on_gpo1_deact_delay_editingFinished();
    void on_gpo2_act_delay_editingFinished();
    void on_gpo2_deact_delay_editingFinished();
    void on_main_table_cellChanged(int row, int column);
    void on_aux_table_cellChanged(int row, int column);
    void on_gpo1_table_cellChanged(int row, int column);
    void on_gpo2_table_cellChanged(int row, int column);

private:
    table_page* page_of(table_index table) const;
    void apply_vertical_source(table_index table, int index);
    void reapply_vertical_sources();

    axis_ranges& ranges;
    change_sets& changes;
    table_page* pages[4]; // by table_index: AUX, MAIN, GPO1, GPO2
    /// Quantity names of the analog inputs' conversions (volts until a CSV file is loaded).
    QString input_a_quantity = "V";
    QString input_b_quantity = "V";
};
