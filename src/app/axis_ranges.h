// SPDX-License-Identifier: GPL-3.0-or-later
// The global ranges every table's axes are built from (boost, analog inputs A and B, engine
// speed), the rules their values obey, and the boost unit every boost value is shown in. The
// unit stores no range of its own, only each table's axis ends, which come with the tables.
#pragma once

#include "rq7_catalogue.h"

#include <QList>
#include <QObject>

#include <utility>

namespace Ui {
class MainWindow;
}
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;
class QStatusBar;
class change_sets;
class converter;

class axis_ranges : public QObject
{
    Q_OBJECT

public:
    axis_ranges(Ui::MainWindow& ui, QObject* form_root, converter* conv, const change_sets& changes,
                QStatusBar* status, QObject* parent);

    /// Bottom and top of the vertical range of a source (0 MAP sensor, 1 analog A, 2 analog B).
    std::pair<double, double> vertical_range(int source) const;
    /// The engine speed the horizontal axes reach.
    int engine_speed() const;
    /// The stepped axis lands on round PSI values; in other units its steps mean nothing.
    bool boost_in_psi() const;
    /// The range of a source from a table record's axis ends, without announcing it.
    void load_axis_ends(int source, quint16 bottom, quint16 top);
    /// The engine speed from a table record, without announcing it but to the graph.
    void load_max_engine_speed(int rpm);

    /// The raw value of a range parameter as shown; false for any other parameter.
    bool field_to_var(int_index parameter, quint32& raw) const;
    /// Shows the ranges that the unit or a file brought.
    void load(const QList<unsigned int>& ints);
    /// Puts the ranges shown into values read from the unit: what the worker holds for them is
    /// not the unit's (zero, before anything was written), and an input that no table uses
    /// must not be left spanning 0 to 0 V.
    void keep_shown_ranges(QList<unsigned int>& ints) const;

    // For the settings wizard.
    double boost_max() const;
    double boost_limit() const;
    int boost_decimals() const;
    int engine_speed_limit() const;
    void set_boost_range(double low, double high);
    /// Puts the edited end of the boost range on a MAP count and keeps the range at least
    /// 5 PSI wide (in the shown unit), then announces the range.
    void apply_boost_range(bool max_edited);

    /// The boost unit's name as the selector shows it ("PSI", "Bar", "kPa").
    QString boost_unit() const;
    void set_boost_unit(const QString& name);

signals:
    /// The range of a source changed: the tables on it rebuild their axes (and are queued).
    void range_changed(int source);
    void max_engine_speed_changed(int rpm);
    /// Before the boost unit changes: each panel takes its boost fields as MAP counts, which
    /// survive the change; after it, each shows them again in the new unit.
    void boost_unit_changing();
    void boost_unit_changed();

private slots:
    void on_boost_select_currentIndexChanged(int index);
    void on_max_engine_speed_editingFinished();
    void on_min_boost_editingFinished();
    void on_max_boost_editingFinished();
    void on_min_an1_input_valueChanged(double value);
    void on_max_an1_input_valueChanged(double value);
    void on_min_an2_input_valueChanged(double value);
    void on_max_an2_input_valueChanged(double value);

private:
    void apply_analog_range(QDoubleSpinBox* min, QDoubleSpinBox* max, bool max_changed, int source);
    void show_boost_range(quint16 min_counts, quint16 max_counts);

    converter* conv;
    const change_sets& changes;
    QStatusBar* status;
    QDoubleSpinBox* min_boost;
    QDoubleSpinBox* max_boost;
    QDoubleSpinBox* min_an1_input;
    QDoubleSpinBox* max_an1_input;
    QDoubleSpinBox* min_an2_input;
    QDoubleSpinBox* max_an2_input;
    QSpinBox* max_engine_speed;
    QComboBox* boost_select;
    QLabel* boost_labels[2];
};
