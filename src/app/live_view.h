// SPDX-License-Identifier: GPL-3.0-or-later
// Live data as the window shows it: Live Updates on and off, the read-outs of the Live View
// page (physical, raw decimal or raw hex) and the live values of each table page with the
// tables' live-position lines, and the live log graph, which follows the newest sample and
// recalls stored ones. Recording to a file is the live-log recorder's.
#pragma once

#include "rq7_catalogue.h"
#include "rq7_frame.h"

#include <QList>
#include <QObject>

#include <array>

namespace Ui {
class MainWindow;
}
class QAction;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QTimer;
class converter;
class log_graph;
class rq7_worker;
class table_pages;

class live_view : public QObject
{
    Q_OBJECT

public:
    live_view(Ui::MainWindow& ui, QObject* form_root, rq7_worker* worker, converter* conv,
              table_pages& pages, QStatusBar* status, QObject* parent);

    /// Between the worker's log_started and log_stopped.
    bool is_live() const { return live; }
    /// Shows the input states that a read of the unit (or a file) brought.
    void load(const QList<unsigned int>& ints);

public slots:
    void when_log_started();
    void when_log_stopped();
    void when_log_data_ready(rq7_frame data);
    void when_recall_data_ready(rq7_frame data);
    void when_parsed_log_file(QString file_name, int samples, int skipped_lines,
                              qint64 first_skipped_line);
    void set_connected(bool connected);
    /// The graph's RPM axis reaches the engine speed of the tables' axes.
    void scale_rpm_axis(int rpm);
    /// The quantity an analog input shows, next to its read-out.
    void set_input_units(bool input_a, const QString& name);
    void take_boost_counts();
    void show_boost_unit();

private slots:
    void on_act_logging_triggered(bool checked);
    void on_live_display_format_currentIndexChanged(int index);
    void on_live_collapse_toggled(bool checked);
    void show_newest_frame();

private:
    /// The live values of one table page.
    struct table_live
    {
        QDoubleSpinBox* vert;
        QSpinBox* horz;
        QSpinBox* duty;
    };

    void add_graph_curves();
    void reset_live_display();
    void set_live_widgets_enabled(bool enabled);
    /// Shows a live or recalled frame in the Live View fields and on the table pages.
    void show_frame(const rq7_frame& frame);
    void show_live_fields(const rq7_frame& frame);
    void show_table_live_values(const rq7_frame& frame);

    rq7_worker* worker;
    converter* conv;
    table_pages& pages;
    QStatusBar* status;
    log_graph* graph;
    QAction* act_logging;
    QComboBox* live_display_format;
    QPushButton* live_collapse;
    QGroupBox* live_data_group;
    QGroupBox* live_log_settings_group;
    QLabel* map_units; // boost_lbl_3
    QLabel* live_an_a_units;
    QLabel* live_an_b_units;
    QLineEdit* live_rpm;
    QLineEdit* live_map;
    QLineEdit* live_an_a_voltage;
    QLineEdit* live_an_b_voltage;
    QLineEdit* live_battery_voltage;
    QLineEdit* live_main_duty;
    QLineEdit* live_aux_duty;
    QLineEdit* live_gpo1_duty;
    QLineEdit* live_gpo2_duty;
    QLineEdit* live_main_current;
    QLineEdit* live_aux_current;
    QLineEdit* live_gpi1_state;
    QLineEdit* live_gpi2_state;
    QLineEdit* live_aux_master;
    table_live tables[4]; // by table_index: AUX, MAIN, GPO1, GPO2

    bool live = false;
    rq7_frame shown_frame; // shown again when the display format changes
    bool frame_shown = false;
    /// Live frames are shown at the screen's pace: the newest waits here for the timer.
    QTimer* live_display_timer;
    rq7_frame newest_frame;
    /// The boost read-outs as MAP counts while the boost unit changes.
    std::array<quint16, 4> live_counts{};
    bool live_map_is_boost = false;
    quint16 live_map_counts = 0;
};
