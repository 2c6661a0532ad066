// SPDX-License-Identifier: GPL-3.0-or-later
#include "log_review.h"

#include "converter.h"
#include "coverage_bar.h"
#include "duty_table.h"
#include "log_export.h"
#include "log_graph.h"
#include "log_playback.h"
#include "playback_bar.h"
#include "rq7_catalogue.h"
#include "rq7_worker.h"
#include "table_coverage.h"

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>

namespace {

template <typename T>
T* form_child(QObject* root, const QString& name)
{
    T* found = root->findChild<T*>(name);
    if (!found)
        qFatal("log_review: no %s in the form", qPrintable(name));
    return found;
}

} // namespace

log_review::log_review(QWidget* window_, rq7_worker* worker, converter* conv_,
                       std::function<QString()> folder_, QObject* parent)
    : QObject(parent)
    , window(window_)
    , conv(conv_)
    , folder(std::move(folder_))
    , log(worker->log_times(), [worker](e_data which) -> const tsafe_qvector<unsigned int>& {
        return worker->log_column(which);
    })
{
    graph = form_child<log_graph>(window, "live_log_graph");
    player = new log_playback(this);
    player->set_log(log);
    connect(player, &log_playback::frame_shown, this, &log_review::when_frame_shown);
    build_playback_bars();
    build_coverage(t_main, "main");
    build_coverage(t_aux, "aux");
    build_coverage(t_gpo1, "gpo1");
    build_coverage(t_gpo2, "gpo2");

    export_action = new QAction("Export Live Log as CSV...", window);
    export_action->setObjectName("act_export_log_csv");
    export_action->setStatusTip("Write the stored live log as CSV in physical units");
    connect(export_action, &QAction::triggered, this, &log_review::export_log);
    QMenu* file_menu = form_child<QMenu>(window, "menuMenu");
    file_menu->addSeparator();
    file_menu->addAction(export_action);

    reload_soon = new QTimer(this);
    reload_soon->setSingleShot(true);
    reload_soon->setInterval(0);
    connect(reload_soon, &QTimer::timeout, this, &log_review::reload_log);
    connect(worker, &rq7_worker::parsed_log_file, reload_soon, QOverload<>::of(&QTimer::start));
    connect(worker, &rq7_worker::log_started, this, [this] { set_live(true); });
    connect(worker, &rq7_worker::log_stopped, this, [this] { set_live(false); });
    // The frame that follows a stop lands in the store after log_stopped.
    connect(worker, &rq7_worker::log_data_ready, this, [this] {
        if (!live)
            reload_soon->start();
    });
    update_available();
}

void log_review::build_playback_bars()
{
    auto* live_bar = new playback_bar(player, QString(), window);
    form_child<QBoxLayout>(window, "live_layout")->addWidget(live_bar);
    live_bar->add_keys_to(form_child<QWidget>(window, "live"));
    bars << live_bar;
    // The table pages get a bar of their own but not the keys, which move through the cells.
    for (const char* page : {"main", "aux", "gpo1", "gpo2"}) {
        auto* bar = new playback_bar(player, QString(page) + "_", window);
        auto* layout = form_child<QGridLayout>(window, QString(page) + "_table_layout");
        layout->addWidget(bar, layout->rowCount(), 0, 1, 2);
        bars << bar;
    }
}

void log_review::build_coverage(int table, const char* name)
{
    const QString page(name);
    auto* grid = form_child<duty_table>(window, page + "_table");
    auto* bar = new coverage_bar(page + "_coverage", window);
    auto* layout = form_child<QGridLayout>(window, page + "_table_layout");
    layout->addWidget(bar, layout->rowCount(), 0, 1, 2);

    table_coverage::page_info info;
    auto* source = form_child<QComboBox>(window, page + "_vert_axis");
    info.source = [source] { return source->currentIndex(); };
    // MAIN and AUX have a minimum duty; a GPO is driven whenever its duty is above 0.
    auto* min_duty = window->findChild<QSpinBox*>(page + "_min_duty");
    info.min_duty = [min_duty] { return min_duty ? double(min_duty->value()) : 0.0; };
    const e_data duties[] = {e_aux_duty, e_main_duty, e_gpo1_duty, e_gpo2_duty};
    info.duty = duties[table];
    auto* units_a = form_child<QLabel>(window, "live_an_a_units");
    auto* units_b = form_child<QLabel>(window, "live_an_b_units");
    info.quantity = [units_a, units_b](bool a) { return (a ? units_a : units_b)->text(); };
    auto* coverage = new table_coverage(grid, bar, conv, info, this);
    coverage->set_log(log);
    // The active filter follows the output's minimum, the rows follow the source.
    connect(source, QOverload<int>::of(&QComboBox::currentIndexChanged), coverage,
            &table_coverage::recompute_soon);
    if (min_duty)
        connect(min_duty, QOverload<int>::of(&QSpinBox::valueChanged), coverage,
                &table_coverage::recompute_soon);
    coverages << coverage;
}

void log_review::set_live(bool live_)
{
    live = live_;
    if (live)
        player->pause();
    update_available();
    if (!live)
        reload_soon->start(); // the stored live log becomes the one to look at
}

void log_review::update_available()
{
    for (playback_bar* bar : bars)
        bar->set_available(!live);
    for (table_coverage* coverage : coverages)
        coverage->set_available(!live);
    export_action->setEnabled(!live);
}

void log_review::reload_log()
{
    if (live)
        return;
    player->reload();
    for (table_coverage* coverage : coverages)
        coverage->recompute_soon();
    update_available();
}

void log_review::when_frame_shown(int, rq7_frame frame)
{
    if (live)
        return;
    graph->follow_time(double(frame.timestamp));
    emit frame_to_show(frame);
}

void log_review::export_log()
{
    if (live)
        return;
    QString status;
    log_export::export_with_dialog(window, log, *conv, folder(), status);
    if (!status.isEmpty())
        emit status_message(status);
}
