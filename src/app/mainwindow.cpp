#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "converter.h"
#include "d2xx_backend.h"
#include "debug_log.h"
#include "duty_table.h"
#include "hotplug_monitor.h"
#include "rq7_controller.h"
#include "rq7_worker.h"
#include "sim_backend.h"
#include "vertical_label.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSpinBox>

namespace {

/// A widget of one table page, null where that page has none (the GPO pages have no limits).
template <typename T>
T* page_widget(const QObject* window, const QString& prefix, const char* name)
{
    return window->findChild<T*>(prefix + name);
}

} // namespace

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
    connect_table_graphs();
    init_tables();
    watch_user_edits();
    build_status_bar();
    set_connected_state(false);
    connect_worker();
    init_calibration();
    init_live_view();
    watch_hotplug();
    restore_preferences();
    init_firmware_and_log();
}

MainWindow::~MainWindow()
{
    save_preferences();
    set_debug_log_sink({}); // the worker's last words go to the console
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
    connect(w, &rq7_worker::log_paused, this, &MainWindow::when_log_paused);
    connect(w, &rq7_worker::log_stopped, this, &MainWindow::when_log_stopped);
    connect(w, &rq7_worker::log_file_failed, this, &MainWindow::when_log_file_failed);
    connect(w, &rq7_worker::parsed_log_file, this, &MainWindow::when_parsed_log_file);
    connect(w, &rq7_worker::log_file_refused, this, &MainWindow::when_log_file_refused);
    connect(w, &rq7_worker::recall_data_ready, this, &MainWindow::when_recall_data_ready);
    connect(w, &rq7_worker::map_cal_data_ready, this, &MainWindow::when_map_cal_data_ready);
    connect(w, &rq7_worker::map_cal_failed, this, &MainWindow::when_map_cal_failed);
    connect(w, &rq7_worker::override_failed, this, &MainWindow::when_override_failed);
    connect(w, &rq7_worker::backed_up, this, &MainWindow::when_backed_up);
}

void MainWindow::collect_table_widgets()
{
    // The four table pages are one arrangement under four name prefixes.
    const char* const prefixes[] = {"aux", "main", "gpo1", "gpo2"}; // by table_index
    for (table_index t : {t_aux, t_main, t_gpo1, t_gpo2}) {
        const QString prefix = QString(prefixes[t]) + "_";
        table_widgets& w = tabs[t];
        w.table = page_widget<duty_table>(this, prefix, "table");
        w.vert_axis = page_widget<QComboBox>(this, prefix, "vert_axis");
        w.vert_axis_label = page_widget<VerticalLabel>(this, prefix, "vert_axis_label");
        w.vert_axis_name = page_widget<QLabel>(this, prefix, "vert_axis_name");
        w.vert_axis_name_2 = page_widget<QLabel>(this, prefix, "vert_axis_name_2");
        w.vert_axis_units = page_widget<QLabel>(this, prefix, "vert_axis_units");
        w.vert_axis_units_2 = page_widget<QLabel>(this, prefix, "vert_axis_units_2");
        w.vert_axis_gt = page_widget<QDoubleSpinBox>(this, prefix, "vert_axis_gt");
        w.horz_axis_gt = page_widget<QSpinBox>(this, prefix, "horz_axis_gt");
        w.min_duty = page_widget<QSpinBox>(this, prefix, "min_duty");
        w.undercurrent_limit = page_widget<QDoubleSpinBox>(this, prefix, "undercurrent_limit");
        w.overcurrent_limit = page_widget<QDoubleSpinBox>(this, prefix, "overcurrent_limit");
        w.time_delay = page_widget<QSpinBox>(this, prefix, "time_delay");
        w.act_delay = page_widget<QSpinBox>(this, prefix, "act_delay");
        w.deact_delay = page_widget<QSpinBox>(this, prefix, "deact_delay");
    }
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

void MainWindow::when_fw_progress(uint) {}
