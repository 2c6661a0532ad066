#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "converter.h"
#include "d2xx_backend.h"
#include "duty_table.h"
#include "hotplug_monitor.h"
#include "rq7_controller.h"
#include "rq7_worker.h"
#include "sim_backend.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>

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
    , hotplug(nullptr)
    , led_label(nullptr)
    , connection_status(nullptr)
{
    init_resources();
    ui->setupUi(this);
    setWindowTitle(title_base());
    red_icon = QIcon(":/icon/redled.ico");
    green_icon = QIcon(":/icon/greenled.ico");
    yellow_icon = QIcon(":/icon/yellowled.ico");
    ui->act_write->setIcon(green_icon);
    ui->act_live_log_to_file->setIcon(red_icon);
    // Log lines carry aligned time stamps and hex dumps.
    ui->debug_log_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    own_version = version_number(QUORVANE_VERSION);
    qInfo("Quorvane version %s %x", QUORVANE_VERSION, own_version);

    collect_table_widgets();
    init_tables();
    build_status_bar();
    set_connected_state(false);
    connect_worker();
    watch_hotplug();
    restore_preferences();
}

MainWindow::~MainWindow()
{
    save_preferences();
    delete controller;
    delete ui;
}

rq7_worker* MainWindow::worker() const
{
    return controller->worker();
}

void MainWindow::connect_worker()
{
    rq7_worker* w = worker();
    connect(w, &rq7_worker::opened, this, &MainWindow::when_device_opened);
    connect(w, &rq7_worker::closed, this, &MainWindow::when_device_closed);
    connect(w, &rq7_worker::wrote_data, this, &MainWindow::when_wrote_data);
    connect(w, &rq7_worker::read_data, this, &MainWindow::when_read_data);
    connect(w, &rq7_worker::read_file, this, &MainWindow::when_read_file);
    connect(w, &rq7_worker::fw_programmed, this, &MainWindow::when_fw_programmed);
    connect(w, &rq7_worker::fw_progress, this, &MainWindow::when_fw_progress);
    connect(w, &rq7_worker::log_data_ready, this, &MainWindow::when_log_data_ready);
    connect(w, &rq7_worker::log_started, this, &MainWindow::when_log_started);
    connect(w, &rq7_worker::log_stopped, this, &MainWindow::when_log_stopped);
    connect(w, &rq7_worker::parsed_log_file, this, &MainWindow::when_parsed_log_file);
    connect(w, &rq7_worker::recall_data_ready, this, &MainWindow::when_recall_data_ready);
    connect(w, &rq7_worker::map_cal_data_ready, this, &MainWindow::when_map_cal_data_ready);
}

void MainWindow::collect_table_widgets()
{
    table_widgets& aux_tab = tabs[t_aux];
    aux_tab.table = ui->aux_table;
    aux_tab.vert_axis = ui->aux_vert_axis;
    aux_tab.vert_axis_label = ui->aux_vert_axis_label;
    aux_tab.vert_axis_name = ui->aux_vert_axis_name;
    aux_tab.vert_axis_name_2 = ui->aux_vert_axis_name_2;
    aux_tab.vert_axis_units = ui->aux_vert_axis_units;
    aux_tab.vert_axis_units_2 = ui->aux_vert_axis_units_2;
    aux_tab.vert_axis_gt = ui->aux_vert_axis_gt;
    aux_tab.horz_axis_gt = ui->aux_horz_axis_gt;
    aux_tab.min_duty = ui->aux_min_duty;
    aux_tab.undercurrent_limit = ui->aux_undercurrent_limit;
    aux_tab.overcurrent_limit = ui->aux_overcurrent_limit;
    aux_tab.time_delay = ui->aux_time_delay;

    table_widgets& main_tab = tabs[t_main];
    main_tab.table = ui->main_table;
    main_tab.vert_axis = ui->main_vert_axis;
    main_tab.vert_axis_label = ui->main_vert_axis_label;
    main_tab.vert_axis_name = ui->main_vert_axis_name;
    main_tab.vert_axis_name_2 = ui->main_vert_axis_name_2;
    main_tab.vert_axis_units = ui->main_vert_axis_units;
    main_tab.vert_axis_units_2 = ui->main_vert_axis_units_2;
    main_tab.vert_axis_gt = ui->main_vert_axis_gt;
    main_tab.horz_axis_gt = ui->main_horz_axis_gt;
    main_tab.min_duty = ui->main_min_duty;
    main_tab.undercurrent_limit = ui->main_undercurrent_limit;
    main_tab.overcurrent_limit = ui->main_overcurrent_limit;
    main_tab.time_delay = ui->main_time_delay;

    table_widgets& gpo1_tab = tabs[t_gpo1];
    gpo1_tab.table = ui->gpo1_table;
    gpo1_tab.vert_axis = ui->gpo1_vert_axis;
    gpo1_tab.vert_axis_label = ui->gpo1_vert_axis_label;
    gpo1_tab.vert_axis_name = ui->gpo1_vert_axis_name;
    gpo1_tab.vert_axis_name_2 = ui->gpo1_vert_axis_name_2;
    gpo1_tab.vert_axis_units = ui->gpo1_vert_axis_units;
    gpo1_tab.vert_axis_units_2 = ui->gpo1_vert_axis_units_2;
    gpo1_tab.vert_axis_gt = ui->gpo1_vert_axis_gt;
    gpo1_tab.horz_axis_gt = ui->gpo1_horz_axis_gt;
    gpo1_tab.act_delay = ui->gpo1_act_delay;
    gpo1_tab.deact_delay = ui->gpo1_deact_delay;

    table_widgets& gpo2_tab = tabs[t_gpo2];
    gpo2_tab.table = ui->gpo2_table;
    gpo2_tab.vert_axis = ui->gpo2_vert_axis;
    gpo2_tab.vert_axis_label = ui->gpo2_vert_axis_label;
    gpo2_tab.vert_axis_name = ui->gpo2_vert_axis_name;
    gpo2_tab.vert_axis_name_2 = ui->gpo2_vert_axis_name_2;
    gpo2_tab.vert_axis_units = ui->gpo2_vert_axis_units;
    gpo2_tab.vert_axis_units_2 = ui->gpo2_vert_axis_units_2;
    gpo2_tab.vert_axis_gt = ui->gpo2_vert_axis_gt;
    gpo2_tab.horz_axis_gt = ui->gpo2_horz_axis_gt;
    gpo2_tab.act_delay = ui->gpo2_act_delay;
    gpo2_tab.deact_delay = ui->gpo2_deact_delay;
}

/// Every table starts empty (all 0 %) on the default axes, disabled until its output's mode
/// uses it.
void MainWindow::init_tables()
{
    loading = true;
    for (table_index t : {t_aux, t_main, t_gpo1, t_gpo2}) {
        duty_table* table = tabs[t].table;
        table->conv = conv;
        table->fill_all("0");
        set_table_axis(t);
        table->setEnabled(false);
    }
    loading = false;
}

void MainWindow::build_status_bar()
{
    led_label = new QLabel(this);
    led_label->setObjectName("connection_led");
    connection_status = new QLabel("Not Connected", this);
    connection_status->setObjectName("connection_status");
    connection_status->setMinimumWidth(
        connection_status->fontMetrics().horizontalAdvance("Connected fw v255.ff RQ7-NVS") + 8);
    statusBar()->addPermanentWidget(led_label);
    statusBar()->addPermanentWidget(connection_status);
    show_led(":/icon/redled.ico");
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

void MainWindow::when_fw_programmed(FT_STATUS, quint16, rq7_variant) {}
void MainWindow::when_fw_progress(uint) {}
void MainWindow::when_log_data_ready(rq7_frame) {}
void MainWindow::when_log_started() {}
void MainWindow::when_log_stopped() {}
void MainWindow::when_parsed_log_file() {}
void MainWindow::when_recall_data_ready(rq7_frame) {}
void MainWindow::when_map_cal_data_ready(QList<quint16>) {}
