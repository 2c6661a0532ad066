// The main window: the only place where the user sees and edits the unit's settings. All
// traffic with the unit goes through the worker; results come back to the when_* slots.
#pragma once

#include "d2xx.h"
#include "rq7_catalogue.h"
#include "rq7_frame.h"
#include "rq7_protocol.h"

#include <QList>
#include <QMainWindow>

namespace Ui {
class MainWindow;
}
class rq7_controller;
class rq7_worker;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    /// The first connection attempt, made once the message handler is installed.
    void connect_attempt();

    rq7_worker* worker() const;

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
    void when_log_stopped();
    void when_parsed_log_file();
    void when_recall_data_ready(rq7_frame data);
    void when_map_cal_data_ready(QList<quint16> values);

private:
    void connect_worker();

    Ui::MainWindow* ui;
    rq7_controller* controller;
};
