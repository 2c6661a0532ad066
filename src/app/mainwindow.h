// The main window: the only place where the user sees and edits the unit's settings. All
// traffic with the unit goes through the worker; results come back to the when_* slots.
//
// The class is split by concern: mainwindow.cpp builds and wires the window,
// mainwindow_connection.cpp follows the link to the unit, mainwindow_records.cpp codes the
// four table records and keeps the tables' axes, mainwindow_changes.cpp tracks edits and
// moves values between the widgets and the worker's variables, mainwindow_files.cpp keeps
// settings files and preferences, mainwindow_modes.cpp the output modes and the value rules,
// mainwindow_analog.cpp the analog inputs' conversion tables, mainwindow_units.cpp the boost
// unit, mainwindow_live.cpp the live read-outs and the live log graph, mainwindow_live_log.cpp
// logging live data to files and opening them again, mainwindow_calibration.cpp the MAP
// calibration and the output overrides, mainwindow_edits.cpp the user's edits on their way to
// the unit (bulk table edits, a field still being edited, writing over unread settings),
// mainwindow_firmware.cpp the firmware update, Reset and the debug log,
// mainwindow_scripts.cpp the tables' 3D graphs and the settings wizard,
// mainwindow_backups.cpp the backups taken before the unit is overwritten.
#pragma once

#include "d2xx.h"
#include "rq7_catalogue.h"
#include "rq7_frame.h"
#include "rq7_protocol.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QSet>


namespace Ui {
class MainWindow;
}
class QAbstractSpinBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;
class VerticalLabel;
class converter;
class QTimer;
class duty_table;
class fw_program_status;
class hotplug_monitor;
struct map_cal_set;
class debug_log_panel;
class log_graph;
class rq7_controller;
class rq7_worker;

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

    // ---- table records ----
    /// The 640-byte record of one table, built from its tab; empty for an unknown table or
    /// vertical source.
    QByteArray gui_to_byteArray(table_index table);
    /// Loads a record into one table's tab; a record of the wrong length or with a bad check
    /// byte changes nothing.
    void byteArray_to_gui(table_index table, QByteArray record);
    /// Vertical source index (0 MAP sensor, 1 analog A, 2 analog B) to the record's code.
    static quint8 encode_vertical_source(int index);
    static int decode_vertical_source(quint8 code);
    /// Regenerates one table's breakpoints from the global range widgets.
    void set_table_axis(table_index table);

    // ---- change tracking ----
    /// Marks an item as edited (ignored while the window fills its widgets itself).
    void add_to_set(table_index table);
    void add_to_set(int_index parameter);
    void add_to_set(adc_trim_index trim);
    /// Copies every queued item into the worker's variables and empties the sets.
    void fields_to_vars();
    /// Fills the widgets from the worker's variables; nothing counts as an edit.
    void vars_to_fields(QList<QByteArray> tables, QList<unsigned int> ints, QList<adc_trim> trims);
    /// True while edits wait to be written (the write button shows red).
    bool changes_are_pending() const { return changes_pending; }

    // ---- analog input conversions ----
    /// Loads a conversion CSV file for analog input A (`input_a`) or B. False (after telling
    /// the user) when the file does not parse; the input keeps its table.
    bool load_cust_an_conv(const QString& path, bool input_a);

public slots:
    void when_device_opened(QString serial_number, quint16 fw_version, rq7_variant variant);
    void when_device_closed();
    void when_wrote_data(FT_STATUS status);
    void when_read_data(FT_STATUS status, QList<QByteArray> tables, QList<unsigned int> ints,
                        QList<adc_trim> trims);
    void when_read_file(FT_STATUS status, QList<QByteArray> tables, QList<quint32> ints,
                        QList<adc_trim> trims, QList<QString> warnings);
    void when_fw_programmed(FT_STATUS status, quint16 fw_version, rq7_variant variant);
    void when_fw_progress(uint progress);
    void when_log_data_ready(rq7_frame data);
    void when_log_started();
    void when_log_paused();
    void when_log_stopped();
    /// The live-log file failed: Log to File goes off and the user is told why.
    void when_log_file_failed(QString file_name, QString reason);
    void when_parsed_log_file(QString file_name, int samples, int skipped_lines,
                              qint64 first_skipped_line);
    /// The file was not opened as a live log: says why; the log shown stays.
    void when_log_file_refused(QString file_name, QString reason);
    void when_recall_data_ready(rq7_frame data);
    void when_map_cal_data_ready(QList<quint16> values);
    void when_map_cal_failed(FT_STATUS status);
    void when_override_failed(FT_STATUS status, table_index output, bool reset);
    /// The backup asked for before Write All or a firmware update; goes on with that.
    void when_backed_up(FT_STATUS status, QString file_name);
    /// The converter moved the active intercept with the atmospheric reading.
    void when_act_intercept_recalc(double act_intercept);
    /// Writes one formatted debug-log line to the console and the log file and shows it in
    /// the log view; callable from any thread.
    void when_update_log(QtMsgType type, QString formatted);

    // A parameter of one table's record changed (wired in the form).
    void main_field_changed();
    void aux_field_changed();
    void gpo1_field_changed();
    void gpo2_field_changed();

    /// Queues the mode parameters, which the unit takes as one message.
    void add_op_modes_to_set();
    /// Queues everything and copies it into the worker's variables.
    void all_fields_to_vars();

private slots:
    // backups (mainwindow_backups.cpp)
    void on_act_open_backups_triggered();

    void on_act_reconnect_triggered();

    // firmware update, Reset and the debug log (mainwindow_firmware.cpp)
    void on_fw_browse_clicked();
    void on_fw_update_clicked();
    void on_act_reset_triggered();
    void on_act_rw_debug_toggled(bool checked);
    void on_open_debug_log_file_clicked();

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

    // change tracking (mainwindow_changes.cpp)
    void on_act_read_triggered();
    void on_act_write_triggered();
    void on_act_write_all_triggered();
    void on_main_table_cellChanged(int row, int column);
    void on_aux_table_cellChanged(int row, int column);
    void on_gpo1_table_cellChanged(int row, int column);
    void on_gpo2_table_cellChanged(int row, int column);

    // settings files (mainwindow_files.cpp)
    void on_act_open_triggered();
    void on_act_save_triggered();
    void on_act_save_as_triggered();

    // boost unit (mainwindow_units.cpp)
    void on_boost_select_currentIndexChanged(int index);

    // output modes and value rules (mainwindow_modes.cpp)
    void on_main_control_currentIndexChanged(int index);
    void on_aux_control_currentIndexChanged(int index);
    void on_gpo1_control_currentIndexChanged(int index);
    void on_gpo2_control_currentIndexChanged(int index);
    void on_gpi1_control_currentIndexChanged(int index);
    void on_gpi2_control_currentIndexChanged(int index);
    void on_gpi1_request_valueChanged(int value);
    void on_gpi1_act_delay_valueChanged(int value);
    void on_gpi1_deact_delay_valueChanged(int value);
    void on_gpi2_request_valueChanged(int value);
    void on_gpi2_act_delay_valueChanged(int value);
    void on_gpi2_deact_delay_valueChanged(int value);
    void on_gpi1_act_delay_editingFinished();
    void on_gpi1_deact_delay_editingFinished();
    void on_gpi2_act_delay_editingFinished();
    void on_gpi2_deact_delay_editingFinished();
    void on_pump_prime_delay_editingFinished();
    void on_max_engine_speed_editingFinished();
    void on_pulses_per_rev_editingFinished();
    void on_min_boost_editingFinished();
    void on_max_boost_editingFinished();
    void on_min_an1_input_valueChanged(double value);
    void on_max_an1_input_valueChanged(double value);
    void on_min_an2_input_valueChanged(double value);
    void on_max_an2_input_valueChanged(double value);

    // analog input conversions (mainwindow_analog.cpp)
    void on_cust_ana_load_file_clicked();
    void on_cust_anb_load_file_clicked();
    void on_cust_ana_defaults_clicked();
    void on_cust_anb_defaults_clicked();

    // MAP calibration and output overrides (mainwindow_calibration.cpp)
    void on_map_cal_calibrate_clicked();
    void on_map_cal_default_clicked();
    void on_map_cal_edit_defaults_clicked();
    void on_base_slope_valueChanged(double value);
    void on_base_intercept_valueChanged(double value);
    void on_base_atm_valueChanged(double value);
    void on_active_slope_valueChanged(double value);
    void on_active_intercept_valueChanged(double value);
    void on_active_atm_valueChanged(double value);
    void on_active_deadband_valueChanged(double value);
    void on_main_override_set_clicked();
    void on_aux_override_set_clicked();
    void on_gpo1_override_set_clicked();
    void on_gpo2_override_set_clicked();
    void on_main_override_reset_clicked();
    void on_aux_override_reset_clicked();
    void on_gpo1_override_reset_clicked();
    void on_gpo2_override_reset_clicked();
    // 3D graphs and the settings wizard (mainwindow_scripts.cpp)
    void on_btn_settings_wizard_clicked();
    // live view (mainwindow_live.cpp, mainwindow_live_log.cpp)
    void on_act_logging_triggered(bool checked);
    void on_live_display_format_currentIndexChanged(int index);
    void on_live_collapse_toggled(bool checked);
    void on_act_live_log_to_file_toggled(bool checked);
    void on_live_log_use_timer_toggled(bool checked);
    void on_live_log_timer_start_valueChanged(QString text);
    void when_live_log_timer_expires();
    void when_live_log_stop_time_reached();
    void on_live_log_pre_trigger_valueChanged(int seconds);
    void on_set_live_log_folder_clicked();
    void on_open_live_log_file_clicked();

private:
    /// The widgets of one table's tab and record. MAIN and AUX have the output limits, the
    /// GPOs their delays; the pointers of the other kind are null.
    struct table_widgets
    {
        duty_table* table = nullptr;
        QComboBox* vert_axis = nullptr;
        VerticalLabel* vert_axis_label = nullptr;
        QLabel* vert_axis_name = nullptr;
        QLabel* vert_axis_name_2 = nullptr;
        QLabel* vert_axis_units = nullptr;
        QLabel* vert_axis_units_2 = nullptr;
        QDoubleSpinBox* vert_axis_gt = nullptr;
        QSpinBox* horz_axis_gt = nullptr;
        QSpinBox* min_duty = nullptr;
        QDoubleSpinBox* undercurrent_limit = nullptr;
        QDoubleSpinBox* overcurrent_limit = nullptr;
        QSpinBox* time_delay = nullptr;
        QSpinBox* act_delay = nullptr;
        QSpinBox* deact_delay = nullptr;
    };

    // ---- construction (mainwindow.cpp) ----
    void connect_worker();
    void collect_table_widgets();
    void init_tables();
    void build_status_bar();
    void watch_hotplug();

    // ---- connection (mainwindow_connection.cpp) ----
    QString title_base() const;
    static QString connection_text(quint16 fw_version, rq7_variant variant);
    void set_connected_state(bool connected);
    void show_connection(quint16 fw_version, rq7_variant variant);
    void show_led(const QString& path);
    void warn_old_firmware(quint16 fw_version);

    // ---- records and axes (mainwindow_records.cpp) ----
    const table_widgets* widgets_of(table_index table) const;
    quint16 vert_to_counts(int source, double value) const;
    void load_axis_ends(int source, quint16 bottom, quint16 top);
    void load_header(table_index table, const table_widgets& w, const QByteArray& record);
    void apply_vertical_source(table_index table, int index);
    void set_threshold_format(const table_widgets& w, int source);
    void clamp_vertical_threshold(table_index table, double value);
    bool snap_delay(QSpinBox* delay);
    static void fit_table_to_grid(duty_table* table);

    // ---- change tracking (mainwindow_changes.cpp) ----
    void show_changes_pending(bool pending);
    void queue_everything();
    /// The raw value of a parameter as its widget shows it.
    quint32 field_to_var(int_index parameter) const;
    /// Shows a raw parameter value in its widget.
    void var_to_field(int_index parameter, quint32 raw);
    /// The MAP calibration read from the unit or a file, settled with the user.
    void load_map_cal(const QList<unsigned int>& ints);
    /// Both output modes are set before the MAIN/AUX interlock looks at them.
    void load_output_modes(quint32 main_raw, quint32 aux_raw);
    /// Puts the window's own boost and analog ranges into values read from the unit.
    void keep_shown_ranges(QList<unsigned int>& ints) const;

    // ---- the user's edits on their way to the unit (mainwindow_edits.cpp) ----
    /// Queues every table edit, also the bulk ones, and follows which field is mid-edit.
    void watch_user_edits();
    /// Takes the value of a field the user is still editing, as leaving the field would.
    void finish_focused_edit();
    /// Whether a write may replace the unit's settings; asks when nothing was read from the
    /// unit, written to it or opened from a file since it connected.
    bool may_write_over_unit();

    // ---- backups (mainwindow_backups.cpp) ----
    enum class after_backup { nothing, write_all, firmware };
    /// Reads the unit into a backup, then does `next` (asking first when the backup failed).
    void backup_then(after_backup next);
    bool go_on_without_backup(after_backup next);
    /// Write All once the unit is backed up.
    void write_everything();
    /// The firmware update once the unit is backed up.
    void program_firmware(const QString& location);

    // ---- settings files and preferences (mainwindow_files.cpp) ----
    void restore_preferences();
    void save_preferences() const;
    void set_settings_file_name(const QString& name);
    void save_to(QString name);
    void open_settings_file(const QString& name);
    void report_file_version(quint32 file_version, const QList<QString>& warnings);
    /// "2.11.0" as settings files record versions: (major << 24) | (minor << 8) | patch.
    static quint32 version_number(const QString& version);

    // ---- output modes and value rules (mainwindow_modes.cpp) ----
    void release_main_pump_delay();
    void enable_table_controls(table_index table, bool grid, bool thresholds);
    void show_gpo_mode(table_index gpo, QLabel* operate, QLabel* vert_comp, QLabel* horz_comp,
                       int index);
    void apply_boost_range(bool max_edited);
    void apply_analog_range(QDoubleSpinBox* min, QDoubleSpinBox* max, bool max_changed, int source);
    void refresh_tables_on_source(int source);
    void table_field_changed(table_index table);

    // ---- analog input conversions (mainwindow_analog.cpp) ----
    void choose_cust_an_file(bool input_a);
    void set_cust_an_defaults(bool input_a);
    /// Runs each table's vertical-source handler again with its current source.
    void reapply_vertical_sources();

    // ---- MAP calibration and overrides (mainwindow_calibration.cpp) ----
    /// Gives the converter the fields' calibration and follows its recalculations.
    void init_calibration();
    void queue_active_map_cal();
    /// Disables the factory fields and takes them out of the pending writes.
    void lock_map_cal_defaults();
    /// Asks whether a calibration set read from the unit or a file replaces the window's.
    bool ask_map_cal(bool active, const map_cal_set& now, const map_cal_set& read);
    /// Shows a set in its fields (quietly) and gives it to the converter.
    void show_map_cal(bool active, const map_cal_set& values);
    void send_override(table_index output, const QSpinBox* percent);
    void release_override(table_index output, QSpinBox* percent);
    QSpinBox* override_field(table_index output) const;
    // ---- 3D graphs and the settings wizard (mainwindow_scripts.cpp) ----
    void connect_table_graphs();
    /// Clears the main table's selected cells, then ramps the table from 0 % at the start
    /// corner to 100 % at the column of `full_rpm`, one row below the top.
    void fill_main_gradient(int full_rpm);

    // ---- live read-outs and graph (mainwindow_live.cpp) ----
    void init_live_view();
    void add_graph_curves();
    void reset_live_display();
    void set_live_widgets_enabled(bool enabled);
    /// Shows a live or recalled frame in the Live View fields and on the table tabs.
    void show_frame(const rq7_frame& frame);
    void show_live_fields(const rq7_frame& frame);
    void show_table_live_values(const rq7_frame& frame);
    void show_newest_frame();

    // ---- live log files (mainwindow_live_log.cpp) ----
    void arm_live_log_countdown();
    /// Gives the worker what the window shows, for the settings section of a new log file.
    void send_log_settings();
    void start_logging_to_file();
    void stop_logging_to_file();
    QString new_live_log_file_name() const;
    /// False while live updates run, or when the user keeps pending changes.
    bool may_open_log_file();
    void open_log_file(const QString& name);

    // ---- firmware update and debug log (mainwindow_firmware.cpp) ----
    void init_firmware_and_log();
    /// False (after telling the user) for an image that is not for the unit's bootloader.
    bool fw_image_usable(const QString& location);
    void show_bootloader_state();

    Ui::MainWindow* ui;
    rq7_controller* controller;
    converter* conv;
    hotplug_monitor* hotplug;
    QLabel* led_label;
    QLabel* connection_status;
    QIcon red_icon;
    QIcon green_icon;
    QIcon yellow_icon;
    table_widgets tabs[4]; // by table_index: AUX, MAIN, GPO1, GPO2

    /// Set while the window fills widgets itself, so that nothing counts as an edit.
    bool loading = false;
    bool connected = false;
    quint16 connected_fw_version = 0; // 0 while not connected (or in the bootloader)
    /// Quantity names of the analog inputs' conversions (volts until a CSV file is loaded).
    QString cust_ana_name = "V";
    QString cust_anb_name = "V";
    /// Files the analog inputs' conversions came from (empty: volts).
    QString cust_ana_file_name;
    QString cust_anb_file_name;

    // Items edited since the last copy into the worker's variables.
    QSet<table_index> changed_tables;
    QSet<int_index> changed_ints;
    QSet<adc_trim_index> changed_trims;
    // What the running write carries: queued again if it fails, so that Write sends it anew.
    QSet<table_index> writing_tables;
    QSet<int_index> writing_ints;
    bool changes_pending = false;
    /// Spin boxes whose value changed since their last editingFinished.
    QSet<QAbstractSpinBox*> unfinished_fields;
    /// Context of the connections that follow the fields: it goes before the widgets do, so
    /// that no focus change while the window is taken apart reaches a set already gone.
    QObject edit_watch;
    /// The window holds the connected unit's settings (read from or written to it).
    bool unit_settings_known = false;
    after_backup pending_after_backup = after_backup::nothing;
    QString firmware_after_backup;
    /// The window holds settings opened from a file.
    bool settings_file_opened = false;
    /// This program's version as settings files record it: (major << 24) | (minor << 8) | patch.
    quint32 own_version = 0;

    // Live view.
    log_graph* graph = nullptr;
    bool live = false; // between the worker's log_started and log_stopped
    QTimer* live_log_countdown = nullptr;
    /// Ends a recording after "Stop logging after" seconds.
    QTimer* live_log_stop_timer = nullptr;
    /// Between start_logging_to_file and stop_logging_to_file.
    bool recording_to_file = false;
    /// A worker operation pauses the stream (log_paused, log_stopped, later log_started): the
    /// recording and its countdown carry on across it.
    enum class live_pause { none, asked, stopped };
    live_pause pause = live_pause::none;
    rq7_frame shown_frame; // shown again when the display format changes
    bool frame_shown = false;
    /// Live frames are shown at the screen's pace: the newest waits here for the timer.
    QTimer* live_display_timer = nullptr;
    rq7_frame newest_frame;

    // Preferences.
    QString settings_file_name;
    QString debug_log_file_name;
    QString live_log_folder_name;

    fw_program_status* fw_status = nullptr;
    /// Each output's override percent before its last Reset, shown again if the Reset fails.
    int percent_before_reset[4] = {-1, -1, -1, -1};
    debug_log_panel* log_panel = nullptr;
    /// The log file name shown before a log file was asked for, shown again if it is refused.
    QString live_log_file_name_before_open;
};
