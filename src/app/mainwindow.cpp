#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "rq7_controller.h"
#include "rq7_worker.h"

#include <QCoreApplication>

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , controller(new rq7_controller)
{
    ui->setupUi(this);
    setWindowTitle("Velkaro Quorvane v" + QCoreApplication::applicationVersion());
    connect_worker();
}

MainWindow::~MainWindow()
{
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

void MainWindow::connect_attempt()
{
    worker()->open();
}

void MainWindow::when_device_opened(QString serial_number, quint16 fw_version, rq7_variant variant)
{
    qDebug("Device connected. sn:%s  v:%x  var:%d", qPrintable(serial_number), fw_version,
           int(variant));
}

void MainWindow::when_device_closed()
{
    qDebug("Device disconnected");
}
void MainWindow::when_wrote_data(FT_STATUS) {}
void MainWindow::when_read_data(FT_STATUS, QList<QByteArray>, QList<unsigned int>, QList<adc_trim>)
{}
void MainWindow::when_read_file(FT_STATUS, QList<QByteArray>, QList<quint32>, QList<adc_trim>,
                                QList<QString>)
{}
void MainWindow::when_fw_programmed(FT_STATUS, quint16, rq7_variant) {}
void MainWindow::when_fw_progress(uint) {}
void MainWindow::when_log_data_ready(rq7_frame) {}
void MainWindow::when_log_started() {}
void MainWindow::when_log_stopped() {}
void MainWindow::when_parsed_log_file() {}
void MainWindow::when_recall_data_ready(rq7_frame) {}
void MainWindow::when_map_cal_data_ready(QList<quint16>) {}
