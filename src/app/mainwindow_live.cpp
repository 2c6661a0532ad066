// The live read-outs of the Live View tab and of each table tab, the live-position lines in
// the tables, and the live log graph: Live Updates on and off, each live frame, and frames
// recalled from the graph.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "converter.h"
#include "duty_table.h"
#include "log_graph.h"
#include "rq7_worker.h"

#include <qwt_plot_curve.h>

#include <QDebug>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>

#include <cmath>

namespace {

enum display_format { f_physical = 0, f_raw_decimal = 1, f_raw_hex = 2 };

constexpr quint32 full_counts = 1023;
constexpr double counts_per_amp = 20.48;
constexpr double counts_per_volt = 204.6;

quint16 clamped(quint32 counts)
{
    return quint16(qMin(counts, full_counts));
}

int duty_percent(quint32 counts)
{
    return int(std::lround(clamped(counts) * 100.0 / full_counts));
}

QString hex(quint32 value, int digits)
{
    return "0x" + QString::number(value, 16).toUpper().rightJustified(digits, '0');
}

QString one_decimal(double value)
{
    return QString::number(value, 'f', 1);
}

QString aux_master_name(quint8 code)
{
    switch (code) {
    case 9:
        return "RQ7 PWM";
    case 5:
        return "T771 PWM";
    default:
        return "Unknown";
    }
}

/// Frames come 76 times a second and most read-outs keep their text from one to the next:
/// an unchanged field is left alone rather than laid out and redrawn again.
void show_text(QLineEdit* field, const QString& text)
{
    if (field->text() != text)
        field->setText(text);
}

/// Shows a 10-bit reading in the chosen format; `physical` is its value in the user's unit.
void show_counts(QLineEdit* field, int format, quint32 raw, const QString& physical)
{
    show_text(field, format == f_physical      ? physical
                     : format == f_raw_decimal ? QString::number(raw)
                                               : hex(raw, 3));
}

/// The duty spin box takes the colour its percent has in the table.
void colour_duty(QSpinBox* duty, int percent)
{
    QColor text, background;
    duty_table::calc_cell_colors(quint8(percent), text, background);
    // A palette change ripples through the widget; only pay for it when the colour changes.
    if (duty->palette().color(QPalette::Base) == background)
        return;
    QPalette palette = duty->palette();
    palette.setColor(QPalette::Base, background);
    duty->setPalette(palette);
}

} // namespace

void MainWindow::init_live_view()
{
    graph = ui->live_log_graph;
    add_graph_curves();
    rq7_worker* w = worker();
    // Every frame moves the graph to the newest sample; it redraws at the screen's pace.
    connect(w, &rq7_worker::log_data_ready, graph, &log_graph::when_data_updated);
    connect(graph, &log_graph::point_selected, w,
            QOverload<QPointF>::of(&rq7_worker::recall_frame_at));
    connect(ui->max_engine_speed, QOverload<int>::of(&QSpinBox::valueChanged), graph,
            &log_graph::scale_rpm_axis);

    live_display_timer = new QTimer(this);
    live_display_timer->setSingleShot(true);
    live_display_timer->setInterval(log_graph::replot_interval_ms);
    connect(live_display_timer, &QTimer::timeout, this, &MainWindow::show_newest_frame);

    live_log_countdown = new QTimer(this);
    live_log_countdown->setSingleShot(true);
    live_log_countdown->setInterval(1000);
    connect(live_log_countdown, &QTimer::timeout, this, &MainWindow::when_live_log_timer_expires);
    live_log_stop_timer = new QTimer(this);
    live_log_stop_timer->setSingleShot(true);
    connect(live_log_stop_timer, &QTimer::timeout, this,
            &MainWindow::when_live_log_stop_time_reached);

    // The page's button is the Log to File command in another place.
    connect(ui->live_log_to_file, &QPushButton::toggled, ui->act_live_log_to_file,
            &QAction::setChecked);
    connect(ui->act_live_log_to_file, &QAction::toggled, ui->live_log_to_file,
            &QPushButton::setChecked);
    connect(ui->act_live_log_to_file, &QAction::changed, this,
            [this] { ui->live_log_to_file->setEnabled(ui->act_live_log_to_file->isEnabled()); });
    ui->live_log_to_file->setEnabled(ui->act_live_log_to_file->isEnabled());
    set_live_widgets_enabled(false);
}

void MainWindow::add_graph_curves()
{
    const rq7_worker* w = worker();
    const tsafe_qvector<qint64>* times = &w->log_times();
    auto column = [w](e_data which) { return &w->log_column(which); };
    graph->add_shade("Logged to file", QColor(Qt::darkBlue), times, &w->logged_to_file_marks(), 0,
                     1, [](double flag) { return flag * 1280.0; });
    struct line
    {
        const char* name;
        const char* colour;
        e_data data;
        bool visible;
    };
    const line lines[] = {
        {"MAP", "Blue", e_map_adc, true},
        {"RPM", "Red", e_rpm, true},
        {"AN_A", "CadetBlue", e_an1_adc, false},
        {"AN_B", "Chocolate", e_an2_adc, false},
        {"AUX Duty", "Green", e_aux_duty, true},
        {"Main Duty", "DeepPink", e_main_duty, true},
        {"GPO1 Duty", "LightSeaGreen", e_gpo1_duty, false},
        {"GPO2 Duty", "DarkBlue", e_gpo2_duty, false},
        {"AUX Current", "DarkCyan", e_aux_current, false},
        {"Main Current", "DarkMagenta", e_main_current, false},
        {"Battery", "Black", e_batt_adc, false},
    };
    for (const line& l : lines)
        graph->add_curve(l.name, QColor(l.colour), times, column(l.data), 0,
                         l.data == e_rpm ? 10000 : 1023);
    // An input's state 0 or 1 draws at 0 % or 100 %.
    auto full_scale = [](double state) { return state * 1023.0; };
    graph->add_curve("GPI1", QColor("DarkMagenta"), times, column(e_gpi1_state), 0, 1, full_scale);
    graph->add_curve("GPI2", QColor("DarkOrange"), times, column(e_gpi2_state), 0, 1, full_scale);
    graph->get_curve("RPM")->setYAxis(QwtPlot::yRight);
    for (const line& l : lines)
        if (!l.visible)
            graph->show_curve(l.name, false);
    graph->show_curve("GPI1", false);
    graph->show_curve("GPI2", false);
}

// ---- Live Updates ----

void MainWindow::on_act_logging_triggered(bool checked)
{
    if (!checked) {
        worker()->stop_live_logging(false);
        return;
    }
    worker()->clear_live_logs();
    graph->when_log_cleared();
    worker()->start_live_logging();
}

void MainWindow::when_log_started()
{
    live = true;
    pause = live_pause::none;
    ui->act_logging->setIcon(green_icon);
    ui->act_logging->setChecked(true);
    set_live_widgets_enabled(true);
    for (const table_widgets& w : tabs)
        w.table->set_highlight_visible(true);
    reset_live_display();
    // After a pause the file being written, or its countdown, simply carries on.
    if (!ui->act_live_log_to_file->isChecked() || recording_to_file ||
        live_log_countdown->isActive())
        return;
    if (ui->live_log_use_timer->isChecked())
        arm_live_log_countdown();
    else
        start_logging_to_file();
}

void MainWindow::when_log_paused()
{
    pause = live_pause::asked;
}

void MainWindow::when_log_stopped()
{
    // The stop of a pause keeps the recording; any other stop (the user's, the unit's, a
    // pause that could not start the stream again) ends it.
    const bool pausing = pause == live_pause::asked;
    pause = pausing ? live_pause::stopped : live_pause::none;
    live = false;
    live_display_timer->stop();
    ui->act_logging->setIcon(red_icon);
    set_live_widgets_enabled(false);
    ui->act_logging->setChecked(false);
    for (const table_widgets& w : tabs)
        w.table->set_highlight_visible(false);
    reset_live_display();
    if (!pausing)
        stop_logging_to_file();
}

void MainWindow::when_log_data_ready(rq7_frame frame)
{
    // Stopping takes one more frame after log_stopped; it is stored and plotted, but must
    // not fill the read-outs that the stop has just reset.
    if (!live)
        return;
    // 76 frames a second are more than a screen shows: each redraw of the read-outs (and of
    // the group boxes behind them) shows the newest frame, at the graph's pace.
    newest_frame = frame;
    if (!live_display_timer->isActive())
        live_display_timer->start();
}

void MainWindow::show_newest_frame()
{
    if (live)
        show_frame(newest_frame);
}

void MainWindow::when_recall_data_ready(rq7_frame frame)
{
    if (live)
        return;
    for (const table_widgets& w : tabs)
        w.table->set_highlight_visible(true);
    show_frame(frame);
    // The marker goes to the sample recalled, which the log really holds.
    graph->when_point_selected(QPointF(double(frame.timestamp), 0.0));
}

void MainWindow::when_parsed_log_file(QString file_name, int samples, int skipped_lines,
                                      qint64 first_skipped_line)
{
    graph->when_data_updated();
    // Told once, however many lines were damaged; each of the first few is in the debug log.
    QString text = QString("Opened %1: %2 samples").arg(file_name).arg(samples);
    if (skipped_lines > 0)
        text += QString("; %1 damaged %2 skipped, the first at line %3")
                    .arg(skipped_lines)
                    .arg(skipped_lines == 1 ? "line was" : "lines were")
                    .arg(first_skipped_line);
    statusBar()->showMessage(text);
}

void MainWindow::on_live_collapse_toggled(bool checked)
{
    ui->live_data_group->setVisible(!checked);
    ui->live_log_settings_group->setVisible(!checked);
    ui->live_collapse->setText(checked ? "vvv Show Options vvv" : "^^^ Hide Options ^^^");
}

void MainWindow::on_live_display_format_currentIndexChanged(int)
{
    if (frame_shown)
        show_live_fields(shown_frame);
}

// ---- the read-outs ----

void MainWindow::set_live_widgets_enabled(bool enabled)
{
    for (QWidget* widget : std::initializer_list<QWidget*>{
             ui->live_rpm, ui->live_map, ui->live_main_duty, ui->live_main_current,
             ui->live_gpo2_duty, ui->live_gpo1_duty, ui->live_gpi2_state, ui->live_gpi1_state,
             ui->live_battery_voltage, ui->live_aux_master, ui->live_aux_duty, ui->live_aux_current,
             ui->live_an_b_voltage, ui->live_an_a_voltage})
        widget->setEnabled(enabled);
    for (QWidget* widget : std::initializer_list<QWidget*>{
             ui->main_vert_live_value, ui->main_horz_live_value, ui->main_duty_live_value,
             ui->aux_vert_live_value, ui->aux_horz_live_value, ui->aux_duty_live_value,
             ui->gpo1_vert_live_value, ui->gpo1_horz_live_value, ui->gpo1_duty_live_value,
             ui->gpo2_vert_live_value, ui->gpo2_horz_live_value, ui->gpo2_duty_live_value})
        widget->setEnabled(enabled);
}

/// Every read-out back to 0, as when no frame has arrived yet.
void MainWindow::reset_live_display()
{
    frame_shown = false;
    for (QDoubleSpinBox* value : {ui->main_vert_live_value, ui->aux_vert_live_value,
                                  ui->gpo1_vert_live_value, ui->gpo2_vert_live_value})
        value->setValue(0);
    for (QSpinBox* value : {ui->main_horz_live_value, ui->aux_horz_live_value,
                            ui->gpo1_horz_live_value, ui->gpo2_horz_live_value})
        value->setValue(0);
    for (QSpinBox* duty : {ui->main_duty_live_value, ui->aux_duty_live_value,
                           ui->gpo1_duty_live_value, ui->gpo2_duty_live_value}) {
        duty->setValue(0);
        colour_duty(duty, 0);
    }
    for (QLineEdit* field :
         {ui->live_rpm, ui->live_map, ui->live_an_a_voltage, ui->live_an_b_voltage,
          ui->live_battery_voltage, ui->live_main_duty, ui->live_aux_duty, ui->live_gpo1_duty,
          ui->live_gpo2_duty, ui->live_main_current, ui->live_aux_current, ui->live_gpi1_state,
          ui->live_gpi2_state})
        field->setText("0");
    ui->live_aux_master->clear();
}

void MainWindow::show_frame(const rq7_frame& frame)
{
    shown_frame = frame;
    frame_shown = true;
    show_live_fields(frame);
    show_table_live_values(frame);
}

void MainWindow::show_live_fields(const rq7_frame& f)
{
    const int format = ui->live_display_format->currentIndex();
    const double boost = conv->adc2boost(clamped(f.map_adc));
    show_counts(ui->live_battery_voltage, format, f.batt_adc,
                one_decimal(converter::adc2batt(clamped(f.batt_adc))));
    show_counts(ui->live_map, format, f.map_adc, boost <= 0 ? "VAC" : one_decimal(boost));
    show_counts(ui->live_an_a_voltage, format, f.an1_adc,
                one_decimal(conv->adc2cust_ana(f.an1_adc)));
    show_counts(ui->live_an_b_voltage, format, f.an2_adc,
                one_decimal(conv->adc2cust_anb(f.an2_adc)));
    show_counts(ui->live_aux_current, format, f.aux_current,
                one_decimal(clamped(f.aux_current) / counts_per_amp));
    show_counts(ui->live_main_current, format, f.main_current,
                one_decimal(clamped(f.main_current) / counts_per_amp));
    show_text(ui->live_rpm, format == f_raw_hex ? hex(f.rpm, 4) : QString::number(f.rpm));
    const std::pair<QLineEdit*, quint16> duties[] = {{ui->live_aux_duty, f.aux_duty},
                                                     {ui->live_main_duty, f.main_duty},
                                                     {ui->live_gpo1_duty, f.gpo1_duty},
                                                     {ui->live_gpo2_duty, f.gpo2_duty}};
    for (const auto& duty : duties)
        show_counts(duty.first, format, duty.second, QString::number(duty_percent(duty.second)));
    for (const auto& gpi : {std::make_pair(ui->live_gpi1_state, f.gpi1_state),
                            std::make_pair(ui->live_gpi2_state, f.gpi2_state)})
        show_text(gpi.first, format == f_physical ? (gpi.second ? "High" : "Low")
                                                  : QString::number(gpi.second));
    show_text(ui->live_aux_master, format == f_physical      ? aux_master_name(f.aux_master)
                                   : format == f_raw_decimal ? QString::number(f.aux_master)
                                                             : hex(f.aux_master, 2));
}

void MainWindow::show_table_live_values(const rq7_frame& f)
{
    struct live_row
    {
        table_index table;
        QDoubleSpinBox* vert;
        QSpinBox* horz;
        QSpinBox* duty;
        quint16 duty_counts;
    };
    const live_row rows[] = {
        {t_main, ui->main_vert_live_value, ui->main_horz_live_value, ui->main_duty_live_value,
         f.main_duty},
        {t_aux, ui->aux_vert_live_value, ui->aux_horz_live_value, ui->aux_duty_live_value,
         f.aux_duty},
        {t_gpo1, ui->gpo1_vert_live_value, ui->gpo1_horz_live_value, ui->gpo1_duty_live_value,
         f.gpo1_duty},
        {t_gpo2, ui->gpo2_vert_live_value, ui->gpo2_horz_live_value, ui->gpo2_duty_live_value,
         f.gpo2_duty},
    };
    const double boost = conv->adc2boost(clamped(f.map_adc));
    for (const live_row& row : rows) {
        const table_widgets& w = tabs[row.table];
        row.horz->setValue(f.rpm);
        const int percent = duty_percent(row.duty_counts);
        row.duty->setValue(percent);
        colour_duty(row.duty, percent);
        double shown = 0, position = 0;
        switch (w.vert_axis->currentIndex()) {
        case 0:
            shown = qMax(0.0, boost);
            position = boost;
            break;
        case 1:
            shown = conv->adc2cust_ana(f.an1_adc);
            position = clamped(f.an1_adc) / counts_per_volt;
            break;
        case 2:
            shown = conv->adc2cust_anb(f.an2_adc);
            position = clamped(f.an2_adc) / counts_per_volt;
            break;
        default:
            qCritical("Unhandled vert axis");
            return;
        }
        row.vert->setValue(shown);
        w.table->set_highlight_position(f.rpm, position);
    }
}
