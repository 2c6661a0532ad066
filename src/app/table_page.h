// SPDX-License-Identifier: GPL-3.0-or-later
// One table page (MAIN, AUX, GPO1 or GPO2) and its table record: the duty table with its
// axes, vertical source and thresholds, the output's header (limits for MAIN and AUX, delays
// for the GPOs), the table's 3D graph following its cells, and its live-position lines.
// table_pages holds the four and what they share.
#pragma once

#include "rq7_catalogue.h"

#include <QByteArray>
#include <QObject>

namespace table_record {
struct fields;
}
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;
class QStatusBar;
class VerticalLabel;
class axis_ranges;
class change_sets;
class converter;
class duty_table;
class table_graph;

class table_page : public QObject
{
    Q_OBJECT

public:
    /// The page starts empty (all 0 %) on the default axes, disabled until its output's mode
    /// uses it.
    table_page(table_index which, QObject* form_root, converter* conv, const axis_ranges& ranges,
               change_sets& changes, QStatusBar* status, QObject* parent);

    /// The record as the page shows it; empty (and reported) when none can be built.
    QByteArray to_record() const;
    void load_cells(const QByteArray& cells);
    /// The output's header of a record: thresholds, and the limits (MAIN, AUX) or the
    /// delays (GPOs), which then keep to the unit's steps. No field announces its change.
    void load_header(const table_record::fields& f);
    /// Regenerates the breakpoints from the global ranges.
    void set_axis();

    /// The vertical source: 0 MAP sensor, 1 analog A, 2 analog B.
    int source() const;
    /// A loaded record's source, set without announcing it.
    void load_source(int index);
    /// Relabels the page for what its rows measure; the analog inputs' quantities name the
    /// live value's unit.
    void show_source(int index, const QString& input_a_quantity, const QString& input_b_quantity);
    /// Keeps a boost threshold within what the MAP sensor can measure (counts 0..1023),
    /// rounded inwards to the digits the box shows.
    void clamp_threshold(double value);
    /// A GPO delay's editing finished: it keeps to the unit's steps, and the table is queued.
    void finish_delay(bool activation);

    void enable_controls(bool grid, bool thresholds);
    void enable_delays(bool enabled);
    void limit_overcurrent(double max_current);
    void set_live_position_visible(bool visible);
    void show_live_position(quint16 rpm, double vertical);

    /// The boost unit is about to change: the threshold is taken as MAP counts.
    void take_boost_counts();
    /// The boost unit changed: the page is relabelled and its threshold shown in the new
    /// unit, without announcing it.
    void show_boost_unit(const QString& input_a_quantity, const QString& input_b_quantity);

    int horizontal_threshold() const;
    double vertical_threshold() const;
    void set_thresholds(int rpm, double vertical);
    /// Clears the table's selected cells, then ramps it from 0 % at the start corner to
    /// 100 % at the column of `full_rpm`, one row below the top (the settings wizard's table).
    void fill_gradient(int full_rpm);
    duty_table* grid() const { return table; }

private:
    quint16 vert_to_counts(int source, double value) const;
    void set_threshold_format(int source);
    void connect_graph(table_graph* graph);

    table_index which;
    converter* conv;
    const axis_ranges& ranges;
    change_sets& changes;
    QStatusBar* status;
    duty_table* table;
    QComboBox* vert_axis;
    VerticalLabel* vert_axis_label;
    QLabel* vert_axis_name;
    QLabel* vert_axis_name_2;
    QLabel* vert_axis_units;
    QLabel* vert_axis_units_2;
    QDoubleSpinBox* vert_axis_gt;
    QSpinBox* horz_axis_gt;
    // MAIN and AUX have the output limits, the GPOs their delays; the others are null.
    QSpinBox* min_duty;
    QDoubleSpinBox* undercurrent_limit;
    QDoubleSpinBox* overcurrent_limit;
    QSpinBox* time_delay;
    QSpinBox* act_delay;
    QSpinBox* deact_delay;
    /// The threshold as MAP counts while the boost unit changes.
    quint16 threshold_counts = 0;
};
