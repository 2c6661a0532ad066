// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: the only place where the user sees and edits the unit's settings. It
// keeps the form (ui/mainwindow.ui) and its tool bar, builds one panel per concern on it and
// wires them; each panel owns its widgets and state, and talks to the worker itself:
//
//   change_sets, change_tracker    what was edited; Read, Write and Write All; fields <-> vars
//   unfinished_edits               a field still being edited when a command comes
//   table_pages, table_record      the four table pages and their 640-byte records
//   axis_ranges                    boost, analog and engine speed ranges; the boost unit
//   output_modes                   output and GPI modes, pump prime delay, pulses per rev
//   map_calibration                the MAP sensor's calibration
//   output_overrides               temporary duty overrides
//   analog_inputs                  the analog inputs' conversion tables
//   connection_panel               the link to the unit: LED, connection text, title
//   live_view                      Live Updates, the read-outs and the live log graph
//   live_log_recorder              Log to File, its countdown and timer; opening log files
//   settings_file_panel            Open, Save and Save As of settings files
//   preferences                    what is kept between runs
//   firmware_panel, unit_backups   firmware update and Reset; backups before overwriting
//   debug_log_panel                the Debug Log page and file
//   table_wizard                   the settings wizard's run
//   undo_history                   Edit > Undo and Redo of every edit
//   compare_panel                  comparing with a settings file or the unit
//   help_panel                     Help menu: the user guide (F1) and the About box
//
// The public functions below are the window's own interface (start-up, files named on the
// command line) and a thin façade over the panels for tests and tools.
#pragma once

#include "d2xx.h"
#include "rq7_catalogue.h"
#include "rq7_frame.h"
#include "rq7_protocol.h"

#include <QList>
#include <QMainWindow>

#include <memory>

namespace Ui {
class MainWindow;
}
class analog_inputs;
class axis_ranges;
class change_sets;
class change_tracker;
class connection_panel;
class converter;
class debug_log_panel;
class firmware_panel;
class help_panel;
class hotplug_monitor;
class live_log_recorder;
class log_review;
class live_view;
class map_calibration;
class output_modes;
class output_overrides;
class preferences;
class rq7_controller;
class rq7_worker;
class settings_file_panel;
class table_pages;
class table_wizard;
class undo_history;
class compare_panel;
class unfinished_edits;
class unit_backups;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    /// Asks the worker to (re)open the link; used at start-up and by (Re)connect.
    void connect_attempt();
    /// Opens a file named on the command line: a live-log file (.vklog) as the Live View's
    /// Open does, anything else as a settings file as File > Open does; no dialog is shown.
    void open_given_file(const QString& name);

    rq7_worker* worker() const;
    /// The window's converter, shared with the tables (and the dialogs that show values).
    converter* unit_converter() const { return conv; }

    QByteArray gui_to_byteArray(table_index table);
    void byteArray_to_gui(table_index table, QByteArray record);
    static quint8 encode_vertical_source(int index);
    static int decode_vertical_source(quint8 code);
    void set_table_axis(table_index table);
    void add_to_set(table_index table);
    void add_to_set(int_index parameter);
    void add_to_set(adc_trim_index trim);
    void fields_to_vars();
    void vars_to_fields(QList<QByteArray> tables, QList<unsigned int> ints, QList<adc_trim> trims);
    bool changes_are_pending() const;
    bool load_cust_an_conv(const QString& path, bool input_a);

public slots:
    void when_recall_data_ready(rq7_frame frame);

    // A parameter of one table's record changed (wired in the form).
    void main_field_changed();
    void aux_field_changed();
    void gpo1_field_changed();
    void gpo2_field_changed();

private:
    void build_panels();
    void connect_panels();
    void watch_hotplug();

    Ui::MainWindow* ui;
    rq7_controller* controller;
    converter* conv;
    hotplug_monitor* hotplug = nullptr;
    // The panels, in the order they are built; they go before the widgets do, so that no
    // signal of a widget being taken apart reaches a panel half gone.
    std::unique_ptr<change_sets> changes;
    std::unique_ptr<axis_ranges> ranges;
    std::unique_ptr<table_pages> tables;
    std::unique_ptr<output_modes> modes;
    std::unique_ptr<map_calibration> calibration;
    std::unique_ptr<output_overrides> overrides;
    std::unique_ptr<analog_inputs> inputs;
    std::unique_ptr<connection_panel> connection;
    std::unique_ptr<live_view> live;
    std::unique_ptr<unit_backups> backups;
    std::unique_ptr<unfinished_edits> edits;
    std::unique_ptr<change_tracker> tracker;
    std::unique_ptr<live_log_recorder> recorder;
    std::unique_ptr<log_review> review;
    std::unique_ptr<settings_file_panel> files;
    std::unique_ptr<firmware_panel> firmware;
    std::unique_ptr<debug_log_panel> debug_log;
    std::unique_ptr<undo_history> history;
    std::unique_ptr<table_wizard> wizard;
    std::unique_ptr<compare_panel> compare;
    std::unique_ptr<preferences> kept;
    std::unique_ptr<help_panel> help;
};
