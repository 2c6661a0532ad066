// SPDX-License-Identifier: GPL-3.0-or-later
#include "table_coverage.h"

#include "converter.h"
#include "coverage_bar.h"
#include "duty_table.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QClipboard>
#include <QTimer>

#include <cmath>

namespace {

const char* const channel_bases[] = {
    "",        "Boost",     "Analog A", "Analog B",  "MAIN current", "AUX current",
    "Battery", "MAIN duty", "AUX duty", "GPO1 duty", "GPO2 duty"};

} // namespace

table_coverage::table_coverage(duty_table* table_, coverage_bar* bar_, const converter* conv_,
                               page_info info_, QObject* parent)
    : QObject(parent)
    , table(table_)
    , bar(bar_)
    , conv(conv_)
    , info(std::move(info_))
{
    pending = new QTimer(this);
    pending->setSingleShot(true);
    pending->setInterval(0);
    connect(pending, &QTimer::timeout, this, &table_coverage::recompute);
    connect(bar, &coverage_bar::settings_changed, this, &table_coverage::recompute_soon);
    connect(bar, &coverage_bar::copy_requested, this, &table_coverage::copy_to_clipboard);
    // A new range rewrites every header: the cells then stand for other breakpoints.
    connect(table->model(), &QAbstractItemModel::headerDataChanged, this,
            &table_coverage::recompute_soon);
    name_channels();
}

void table_coverage::set_log(const rq7_log_view& log_)
{
    log = log_;
    recompute_soon();
}

void table_coverage::set_available(bool available_)
{
    available = available_;
    bar->setEnabled(available);
    recompute_soon();
}

void table_coverage::name_channels()
{
    QStringList names;
    for (int c = log_coverage::c_time + 1; c < log_coverage::c_count; ++c)
        names << QString("%1 [%2]").arg(channel_bases[c], unit_of(log_coverage::channel(c)));
    if (names == channel_names)
        return;
    channel_names = names;
    bar->set_channel_names(names);
}

QString table_coverage::unit_of(log_coverage::channel which) const
{
    switch (which) {
    case log_coverage::c_boost:
        return conv->boost_units_name;
    case log_coverage::c_analog_a:
    case log_coverage::c_analog_b:
        return info.quantity ? info.quantity(which == log_coverage::c_analog_a) : "V";
    case log_coverage::c_main_current:
    case log_coverage::c_aux_current:
        return "A";
    case log_coverage::c_battery:
        return "V";
    case log_coverage::c_time:
        return "%";
    default:
        return "%";
    }
}

void table_coverage::recompute_soon()
{
    if (!pending->isActive())
        pending->start();
}

void table_coverage::recompute()
{
    pending->stop();
    name_channels(); // the boost unit or an input's conversion may have changed
    if (!available || !bar->is_shown() || log.size() == 0) {
        coverage = log_coverage();
        table->clear_coverage();
        return;
    }
    log_coverage::filter f;
    f.min_samples = bar->min_samples();
    f.only_active = bar->only_active();
    f.duty = info.duty;
    f.min_duty = info.min_duty ? info.min_duty() : 0;
    coverage = log_coverage::compute(log, table_axes(), f, bar->channel(), *conv);
    show_in_table();
}

log_coverage::axes table_coverage::table_axes() const
{
    log_coverage::axes a;
    for (int c = 0; c < table->columnCount(); ++c)
        a.rpm.append(table->horz_header_at(c));
    for (int r = 0; r < table->rowCount(); ++r)
        a.vertical.append(table->vert_header_at(r));
    a.source = info.source ? info.source() : log_coverage::v_map;
    return a;
}

// Time: shaded by the share against the largest share. A channel: by its value between the
// smallest and the largest shown, so that the cells that need work stand out.
void table_coverage::show_in_table()
{
    const bool maximum = bar->maximum();
    const log_coverage::channel shown = coverage.shown_channel();
    double low = 0, high = 0;
    bool any = false;
    for (int r = 0; r < coverage.rows(); ++r) {
        for (int c = 0; c < coverage.columns(); ++c) {
            if (!coverage.shown_at(r, c))
                continue;
            const double v = coverage.value(r, c, maximum);
            low = any ? qMin(low, v) : (shown == log_coverage::c_time ? 0 : v);
            high = any ? qMax(high, v) : v;
            any = true;
        }
    }
    const QString unit = unit_of(shown);
    const QString name = channel_bases[shown];
    QVector<duty_table::cell_coverage> cells(coverage.rows() * coverage.columns());
    for (int r = 0; r < coverage.rows(); ++r) {
        for (int c = 0; c < coverage.columns(); ++c) {
            if (!coverage.shown_at(r, c))
                continue;
            const log_coverage::cell& cell = coverage.at(r, c);
            const double v = coverage.value(r, c, maximum);
            duty_table::cell_coverage& out = cells[r * coverage.columns() + c];
            out.shown = true;
            out.strength = high > low ? (v - low) / (high - low) : 1.0;
            out.label = QString::number(v, 'f', 1);
            out.tip = QString("%1 s (%2 % of the log), %3 samples")
                          .arg(cell.seconds, 0, 'f', 1)
                          .arg(coverage.share(r, c) * 100, 0, 'f', 1)
                          .arg(cell.samples);
            if (shown != log_coverage::c_time)
                out.tip += QString("\n%1: mean %2 %4, maximum %3 %4")
                               .arg(name)
                               .arg(cell.mean(), 0, 'f', 2)
                               .arg(cell.max, 0, 'f', 2)
                               .arg(unit);
        }
    }
    table->set_coverage(cells);
}

void table_coverage::copy_to_clipboard()
{
    if (coverage.rows() == 0)
        return;
    QApplication::clipboard()->setText(coverage.to_tsv(bar->maximum()));
}
