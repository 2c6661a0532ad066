// SPDX-License-Identifier: GPL-3.0-or-later
#include "live_view.h"
#include "ui_mainwindow.h"

#include "connect_slots_by_name.h"
#include "converter.h"
#include "duty_table.h"
#include "log_graph.h"
#include "rq7_worker.h"
#include "table_pages.h"

#include <qwt_plot_curve.h>

#include <QDebug>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>

#include <cmath>
#include <vector>

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

QIcon red_led()
{
    return QIcon(":/icon/redled.ico");
}

} // namespace

live_view::live_view(Ui::MainWindow& ui, QObject* form_root, rq7_worker* worker_, converter* conv_,
                     table_pages& pages_, QStatusBar* status_, QObject* parent)
    : QObject(parent)
    , worker(worker_)
    , conv(conv_)
    , pages(pages_)
    , status(status_)
    , graph(ui.live_log_graph)
    , act_logging(ui.act_logging)
    , live_display_format(ui.live_display_format)
    , live_collapse(ui.live_collapse)
    , live_data_group(ui.live_data_group)
    , live_log_settings_group(ui.live_log_settings_group)
    , map_units(ui.boost_lbl_3)
    , live_an_a_units(ui.live_an_a_units)
    , live_an_b_units(ui.live_an_b_units)
    , live_rpm(ui.live_rpm)
    , live_map(ui.live_map)
    , live_an_a_voltage(ui.live_an_a_voltage)
    , live_an_b_voltage(ui.live_an_b_voltage)
    , live_battery_voltage(ui.live_battery_voltage)
    , live_main_duty(ui.live_main_duty)
    , live_aux_duty(ui.live_aux_duty)
    , live_gpo1_duty(ui.live_gpo1_duty)
    , live_gpo2_duty(ui.live_gpo2_duty)
    , live_main_current(ui.live_main_current)
    , live_aux_current(ui.live_aux_current)
    , live_gpi1_state(ui.live_gpi1_state)
    , live_gpi2_state(ui.live_gpi2_state)
    , live_aux_master(ui.live_aux_master)
    , tables{{ui.aux_vert_live_value, ui.aux_horz_live_value, ui.aux_duty_live_value},
             {ui.main_vert_live_value, ui.main_horz_live_value, ui.main_duty_live_value},
             {ui.gpo1_vert_live_value, ui.gpo1_horz_live_value, ui.gpo1_duty_live_value},
             {ui.gpo2_vert_live_value, ui.gpo2_horz_live_value, ui.gpo2_duty_live_value}}
{
    setObjectName("live_view");
    connect_slots_by_name(this, form_root);
    connect(worker, &rq7_worker::log_data_ready, this, &live_view::when_log_data_ready);
    connect(worker, &rq7_worker::log_started, this, &live_view::when_log_started);
    connect(worker, &rq7_worker::log_stopped, this, &live_view::when_log_stopped);
    connect(worker, &rq7_worker::parsed_log_file, this, &live_view::when_parsed_log_file);
    connect(worker, &rq7_worker::recall_data_ready, this, &live_view::when_recall_data_ready);

    add_graph_curves();
    // Every frame moves the graph to the newest sample; it redraws at the screen's pace.
    connect(worker, &rq7_worker::log_data_ready, graph, &log_graph::when_data_updated);
    connect(graph, &log_graph::point_selected, worker,
            QOverload<QPointF>::of(&rq7_worker::recall_frame_at));

    live_display_timer = new QTimer(this);
    live_display_timer->setSingleShot(true);
    live_display_timer->setInterval(log_graph::replot_interval_ms);
    connect(live_display_timer, &QTimer::timeout, this, &live_view::show_newest_frame);
    set_live_widgets_enabled(false);
    set_connected(false);
}

void live_view::add_graph_curves()
{
    const tsafe_qvector<qint64>* times = &worker->log_times();
    auto column = [this](e_data which) { return &worker->log_column(which); };
    graph->add_shade("Logged to file", QColor(Qt::darkBlue), times, &worker->logged_to_file_marks(),
                     0, 1, [](double flag) { return flag * 1280.0; });
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

void live_view::scale_rpm_axis(int rpm)
{
    graph->scale_rpm_axis(rpm);
}

void live_view::set_connected(bool connected)
{
    reset_live_display();
    act_logging->setEnabled(connected);
    act_logging->setChecked(false);
    act_logging->setIcon(red_led());
    act_logging->setStatusTip(connected ? "Enable/disable live logging from device"
                                        : "Connect to device to enable this button");
}

void live_view::load(const QList<unsigned int>& ints)
{
    if (ints.size() > i_gpi1_state)
        live_gpi1_state->setText(QString::number(ints[i_gpi1_state]));
    if (ints.size() > i_gpi2_state)
        live_gpi2_state->setText(QString::number(ints[i_gpi2_state]));
}

// ---- Live Updates ----

void live_view::on_act_logging_triggered(bool checked)
{
    if (!checked) {
        worker->stop_live_logging(false);
        return;
    }
    worker->clear_live_logs();
    graph->when_log_cleared();
    worker->start_live_logging();
}

void live_view::when_log_started()
{
    live = true;
    act_logging->setIcon(QIcon(":/icon/greenled.ico"));
    act_logging->setChecked(true);
    set_live_widgets_enabled(true);
    pages.set_live_positions_visible(true);
    reset_live_display();
}

void live_view::when_log_stopped()
{
    live = false;
    live_display_timer->stop();
    act_logging->setIcon(red_led());
    set_live_widgets_enabled(false);
    act_logging->setChecked(false);
    pages.set_live_positions_visible(false);
    reset_live_display();
}

void live_view::when_log_data_ready(rq7_frame frame)
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

void live_view::show_newest_frame()
{
    if (live)
        show_frame(newest_frame);
}

void live_view::when_recall_data_ready(rq7_frame frame)
{
    if (live)
        return;
    pages.set_live_positions_visible(true);
    show_frame(frame);
    // The marker goes to the sample recalled, which the log really holds.
    graph->when_point_selected(QPointF(double(frame.timestamp), 0.0));
}

void live_view::when_parsed_log_file(QString file_name, int samples, int skipped_lines,
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
    status->showMessage(text);
}

void live_view::on_live_collapse_toggled(bool checked)
{
    live_data_group->setVisible(!checked);
    live_log_settings_group->setVisible(!checked);
    live_collapse->setText(checked ? "vvv Show Options vvv" : "^^^ Hide Options ^^^");
}

void live_view::on_live_display_format_currentIndexChanged(int)
{
    if (frame_shown)
        show_live_fields(shown_frame);
}

void live_view::set_input_units(bool input_a, const QString& name)
{
    (input_a ? live_an_a_units : live_an_b_units)->setText(name);
}

// ---- the read-outs ----

void live_view::set_live_widgets_enabled(bool enabled)
{
    for (QWidget* widget : std::initializer_list<QWidget*>{
             live_rpm, live_map, live_main_duty, live_main_current, live_gpo2_duty, live_gpo1_duty,
             live_gpi2_state, live_gpi1_state, live_battery_voltage, live_aux_master, live_aux_duty,
             live_aux_current, live_an_b_voltage, live_an_a_voltage})
        widget->setEnabled(enabled);
    for (const table_live& table : tables)
        for (QWidget* widget : std::initializer_list<QWidget*>{table.vert, table.horz, table.duty})
            widget->setEnabled(enabled);
}

/// Every read-out back to 0, as when no frame has arrived yet.
void live_view::reset_live_display()
{
    frame_shown = false;
    for (const table_live& table : tables) {
        table.vert->setValue(0);
        table.horz->setValue(0);
        table.duty->setValue(0);
        colour_duty(table.duty, 0);
    }
    for (QLineEdit* field :
         {live_rpm, live_map, live_an_a_voltage, live_an_b_voltage, live_battery_voltage,
          live_main_duty, live_aux_duty, live_gpo1_duty, live_gpo2_duty, live_main_current,
          live_aux_current, live_gpi1_state, live_gpi2_state})
        field->setText("0");
    live_aux_master->clear();
}

void live_view::show_frame(const rq7_frame& frame)
{
    shown_frame = frame;
    frame_shown = true;
    show_live_fields(frame);
    show_table_live_values(frame);
}

void live_view::show_live_fields(const rq7_frame& f)
{
    const int format = live_display_format->currentIndex();
    const double boost = conv->adc2boost(clamped(f.map_adc));
    show_counts(live_battery_voltage, format, f.batt_adc,
                one_decimal(converter::adc2batt(clamped(f.batt_adc))));
    show_counts(live_map, format, f.map_adc, boost <= 0 ? "VAC" : one_decimal(boost));
    show_counts(live_an_a_voltage, format, f.an1_adc, one_decimal(conv->adc2cust_ana(f.an1_adc)));
    show_counts(live_an_b_voltage, format, f.an2_adc, one_decimal(conv->adc2cust_anb(f.an2_adc)));
    show_counts(live_aux_current, format, f.aux_current,
                one_decimal(clamped(f.aux_current) / counts_per_amp));
    show_counts(live_main_current, format, f.main_current,
                one_decimal(clamped(f.main_current) / counts_per_amp));
    show_text(live_rpm, format == f_raw_hex ? hex(f.rpm, 4) : QString::number(f.rpm));
    const std::pair<QLineEdit*, quint16> duties[] = {{live_aux_duty, f.aux_duty},
                                                     {live_main_duty, f.main_duty},
                                                     {live_gpo1_duty, f.gpo1_duty},
                                                     {live_gpo2_duty, f.gpo2_duty}};
    for (const auto& duty : duties)
        show_counts(duty.first, format, duty.second, QString::number(duty_percent(duty.second)));
    for (const auto& gpi : {std::make_pair(live_gpi1_state, f.gpi1_state),
                            std::make_pair(live_gpi2_state, f.gpi2_state)})
        show_text(gpi.first, format == f_physical ? (gpi.second ? "High" : "Low")
                                                  : QString::number(gpi.second));
    show_text(live_aux_master, format == f_physical      ? aux_master_name(f.aux_master)
                               : format == f_raw_decimal ? QString::number(f.aux_master)
                                                         : hex(f.aux_master, 2));
}

void live_view::show_table_live_values(const rq7_frame& f)
{
    const std::pair<table_index, quint16> rows[] = {
        {t_main, f.main_duty}, {t_aux, f.aux_duty}, {t_gpo1, f.gpo1_duty}, {t_gpo2, f.gpo2_duty}};
    const double boost = conv->adc2boost(clamped(f.map_adc));
    for (const auto& [table, duty_counts] : rows) {
        const table_live& row = tables[table];
        row.horz->setValue(f.rpm);
        const int percent = duty_percent(duty_counts);
        row.duty->setValue(percent);
        colour_duty(row.duty, percent);
        double shown = 0, position = 0;
        switch (pages.vertical_source(table)) {
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
        pages.show_live_position(table, f.rpm, position);
    }
}

// ---- boost unit ----

void live_view::take_boost_counts()
{
    for (table_index t : {t_aux, t_main, t_gpo1, t_gpo2})
        live_counts[t] = conv->boost2adc(tables[t].vert->value());
    // The live MAP read-out holds boost only in the physical format; "VAC" stays "VAC", and
    // "0" before the first frame is no reading at all.
    bool is_number = false;
    const double shown = live_map->text().toDouble(&is_number);
    live_map_is_boost = live_display_format->currentIndex() == f_physical && is_number && shown > 0;
    live_map_counts = conv->boost2adc(shown);
}

void live_view::show_boost_unit()
{
    map_units->setText(conv->boost_units_name);
    std::vector<QSignalBlocker> quiet;
    quiet.emplace_back(live_map);
    for (const table_live& table : tables)
        quiet.emplace_back(table.vert);
    // A table on an analog input shows its quantity, whatever the boost unit; vacuum shows
    // as 0 here, as the live view does.
    for (table_index t : {t_main, t_aux, t_gpo1, t_gpo2})
        if (pages.vertical_source(t) == 0)
            tables[t].vert->setValue(std::max(0.0, conv->adc2boost(live_counts[t])));
    if (live_map_is_boost) {
        const double boost = conv->adc2boost(live_map_counts);
        live_map->setText(boost > 0 ? QString::number(boost, 'f', conv->boost_decimals())
                                    : QString("VAC"));
    }
}
