// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "analog_inputs.h"
#include "axis_ranges.h"
#include "change_sets.h"
#include "change_tracker.h"
#include "compare_panel.h"
#include "connection_panel.h"
#include "converter.h"
#include "d2xx_backend.h"
#include "debug_log.h"
#include "debug_log_panel.h"
#include "firmware_panel.h"
#include "help_panel.h"
#include "hotplug_monitor.h"
#include "live_log_recorder.h"
#include "live_view.h"
#include "log_review.h"
#include "map_calibration.h"
#include "message_box.h"
#include "output_modes.h"
#include "output_overrides.h"
#include "preferences.h"
#include "rq7_controller.h"
#include "rq7_worker.h"
#include "settings_backup.h"
#include "settings_file_panel.h"
#include "sim_backend.h"
#include "table_pages.h"
#include "table_record.h"
#include "table_wizard.h"
#include "undo_history.h"
#include "unfinished_edits.h"
#include "unit_backups.h"

#include <QCoreApplication>
#include <QFileInfo>

// The icons are compiled into this library; a static library has to register them itself.
// (Outside any namespace: the macro declares the resource's registration function.)
static void init_resources()
{
    Q_INIT_RESOURCE(quorvane);
}

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , controller(new rq7_controller)
    , conv(new converter(this))
{
    init_resources();
    // Settings files record the version of the program that wrote them.
    if (QCoreApplication::applicationVersion().isEmpty())
        QCoreApplication::setApplicationVersion(QUORVANE_VERSION);
    ui->setupUi(this);
    qInfo("Quorvane version %s %x", QUORVANE_VERSION,
          settings_files::version_number(QUORVANE_VERSION));
    build_panels();
    connect_panels();
    watch_hotplug();
    kept->restore();
    debug_log_panel* log = debug_log.get();
    set_debug_log_sink(
        [log](QtMsgType type, const QString& line) { log->when_update_log(type, line); });
}

MainWindow::~MainWindow()
{
    kept->save();
    set_debug_log_sink({}); // the worker's last words go to the console
    delete controller;
    delete ui;
}

/// Each panel binds its own slots and worker signals as it is built: the order of building
/// is the order in which two panels hear the same signal (the live view before the recorder).
void MainWindow::build_panels()
{
    rq7_worker* w = worker();
    QStatusBar* status = statusBar();
    changes = std::make_unique<change_sets>(this);
    ranges = std::make_unique<axis_ranges>(*ui, this, conv, *changes, status, this);
    tables = std::make_unique<table_pages>(this, conv, *ranges, *changes, status, this);
    modes = std::make_unique<output_modes>(*ui, this, *tables, *changes, status, this);
    calibration = std::make_unique<map_calibration>(*ui, this, w, conv, *changes, this);
    overrides = std::make_unique<output_overrides>(*ui, this, w, this);
    inputs = std::make_unique<analog_inputs>(*ui, this, conv, this);
    connection = std::make_unique<connection_panel>(*ui, this, w, this);
    live = std::make_unique<live_view>(*ui, this, w, conv, *tables, status, this);
    backups = std::make_unique<unit_backups>(this, w, status, this);
    edits = std::make_unique<unfinished_edits>(this, *changes, this);
    tracker = std::make_unique<change_tracker>(*ui, this, w, *changes, *edits,
                                               change_tracker::pages{tables.get(), ranges.get(),
                                                                     modes.get(), calibration.get(),
                                                                     live.get()},
                                               *connection, *backups, this);
    recorder =
        std::make_unique<live_log_recorder>(*ui, this, w, *live, *changes, *tracker, status, this);
    review = std::make_unique<log_review>(
        this, w, conv, [this] { return recorder->folder(); }, this);
    connect(review.get(), &log_review::frame_to_show, live.get(),
            &live_view::when_recall_data_ready);
    connect(review.get(), &log_review::status_message, status,
            [status](const QString& text) { status->showMessage(text); });
    files = std::make_unique<settings_file_panel>(*ui, this, w, *changes, *tracker, *edits, status,
                                                  this);
    firmware = std::make_unique<firmware_panel>(*ui, this, w, *connection, *backups, this);
    debug_log = std::make_unique<debug_log_panel>(*ui, this, this);
    history =
        std::make_unique<undo_history>(*ui, this, w, *changes, *tracker, *tables, *edits, this);
    wizard = std::make_unique<table_wizard>(this, conv, *tables, *ranges, *modes, *history, status,
                                            this);
    compare = std::make_unique<compare_panel>(*ui, this, w, conv, *tracker, *tables, *history,
                                              *edits, this);
    // After every panel's slots, so that a value their editingFinished slots correct stays
    // finished.
    edits->follow_fields();
    kept = std::make_unique<preferences>(preferences::holders{
        files.get(), debug_log.get(), recorder.get(), ranges.get(), inputs.get(), changes.get()});
    help = std::make_unique<help_panel>(*ui, this, *connection, this);
}

void MainWindow::connect_panels()
{
    connect(changes.get(), &change_sets::pending_changed, tracker.get(),
            &change_tracker::show_changes_pending);
    connect(tracker.get(), &change_tracker::settings_written, calibration.get(),
            &map_calibration::end_factory_edit);
    connect(tracker.get(), &change_tracker::items_written, history.get(), &undo_history::written);
    connect(backups.get(), &unit_backups::started, tracker.get(), &change_tracker::backup_started);
    connect(backups.get(), &unit_backups::finished, tracker.get(),
            &change_tracker::backup_finished);

    connect(ranges.get(), &axis_ranges::range_changed, tables.get(),
            &table_pages::refresh_tables_on_source);
    connect(ranges.get(), &axis_ranges::max_engine_speed_changed, live.get(),
            &live_view::scale_rpm_axis);
    connect(ranges.get(), &axis_ranges::boost_unit_changing, tables.get(),
            &table_pages::take_boost_counts);
    connect(ranges.get(), &axis_ranges::boost_unit_changing, calibration.get(),
            &map_calibration::take_boost_counts);
    connect(ranges.get(), &axis_ranges::boost_unit_changing, live.get(),
            &live_view::take_boost_counts);
    connect(ranges.get(), &axis_ranges::boost_unit_changed, tables.get(),
            &table_pages::show_boost_unit);
    connect(ranges.get(), &axis_ranges::boost_unit_changed, calibration.get(),
            &map_calibration::show_boost_unit);
    connect(ranges.get(), &axis_ranges::boost_unit_changed, live.get(),
            &live_view::show_boost_unit);
    connect(inputs.get(), &analog_inputs::quantity_changed, live.get(),
            &live_view::set_input_units);
    connect(inputs.get(), &analog_inputs::quantity_changed, tables.get(),
            &table_pages::set_input_quantity);

    // Connecting and disconnecting: each panel enables what needs the unit.
    connection_panel* link = connection.get();
    connect(link, &connection_panel::connected_changed, live.get(), &live_view::set_connected);
    connect(link, &connection_panel::connected_changed, tracker.get(),
            &change_tracker::set_connected);
    connect(link, &connection_panel::connected_changed, firmware.get(),
            &firmware_panel::set_connected);
    connect(link, &connection_panel::connected_changed, recorder.get(),
            &live_log_recorder::set_connected);
    connect(link, &connection_panel::connected_changed, calibration.get(),
            &map_calibration::set_connected);
    connect(link, &connection_panel::connected_changed, overrides.get(),
            &output_overrides::set_connected);
    connect(link, &connection_panel::connected_changed, compare.get(),
            &compare_panel::set_connected);
    connect(link, &connection_panel::unit_opened, tracker.get(), &change_tracker::unit_connected);
    connect(link, &connection_panel::unit_closed, recorder.get(), &live_log_recorder::link_closed);
    connect(link, &connection_panel::model_known, tables.get(), &table_pages::limit_output_current);
}

/// USB arrivals and removals reach the worker, which decides whether to open or close the
/// link; the window itself only follows the worker's opened and closed.
void MainWindow::watch_hotplug()
{
    hotplug = new hotplug_monitor(this);
    connect(hotplug, &hotplug_monitor::device_event, worker(), &rq7_worker::smart_reconnect);
    if (auto sim = std::dynamic_pointer_cast<sim_backend>(d2xx_installed_backend()))
        sim->set_change_listener(hotplug->change_relay());
}

void MainWindow::open_given_file(const QString& name)
{
    const QFileInfo file(name);
    if (!file.isFile() || !file.isReadable()) {
        const QString text = QString("Cannot open %1").arg(name);
        qWarning().noquote() << text;
        message_box::show(this, QMessageBox::Warning, text,
                          file.exists() ? "It is not a file this program can read."
                                        : "There is no such file.");
        return;
    }
    if (file.suffix().compare("vklog", Qt::CaseInsensitive) != 0) {
        files->open_settings_file(name);
        return;
    }
    ui->main_tab->setCurrentWidget(ui->live); // where its samples are shown
    recorder->open_given_log_file(name);
}

// ---- the façade ----

void MainWindow::connect_attempt()
{
    connection->connect_attempt();
}

rq7_worker* MainWindow::worker() const
{
    return controller->worker();
}

QByteArray MainWindow::gui_to_byteArray(table_index table)
{
    return tables->gui_to_byteArray(table);
}

void MainWindow::byteArray_to_gui(table_index table, QByteArray record)
{
    tables->byteArray_to_gui(table, record);
}

quint8 MainWindow::encode_vertical_source(int index)
{
    return table_record::encode_vertical_source(index);
}

int MainWindow::decode_vertical_source(quint8 code)
{
    return table_record::decode_vertical_source(code);
}

void MainWindow::set_table_axis(table_index table)
{
    tables->set_table_axis(table);
}

void MainWindow::add_to_set(table_index table)
{
    changes->add_to_set(table);
}

void MainWindow::add_to_set(int_index parameter)
{
    changes->add_to_set(parameter);
}

void MainWindow::add_to_set(adc_trim_index trim)
{
    changes->add_to_set(trim);
}

void MainWindow::fields_to_vars()
{
    tracker->fields_to_vars();
}

void MainWindow::vars_to_fields(QList<QByteArray> tables_, QList<unsigned int> ints,
                                QList<adc_trim> trims)
{
    tracker->vars_to_fields(tables_, ints, trims);
}

bool MainWindow::changes_are_pending() const
{
    return changes->changes_are_pending();
}

bool MainWindow::load_cust_an_conv(const QString& path, bool input_a)
{
    return inputs->load_cust_an_conv(path, input_a);
}

void MainWindow::when_recall_data_ready(rq7_frame frame)
{
    live->when_recall_data_ready(frame);
}

void MainWindow::main_field_changed()
{
    tables->field_changed(t_main);
}

void MainWindow::aux_field_changed()
{
    tables->field_changed(t_aux);
}

void MainWindow::gpo1_field_changed()
{
    tables->field_changed(t_gpo1);
}

void MainWindow::gpo2_field_changed()
{
    tables->field_changed(t_gpo2);
}
