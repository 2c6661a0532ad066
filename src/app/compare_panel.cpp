// SPDX-License-Identifier: GPL-3.0-or-later
#include "compare_panel.h"
#include "ui_mainwindow.h"

#include "change_tracker.h"
#include "compare_fields.h"
#include "converter.h"
#include "duty_table.h"
#include "file_dialog.h"
#include "guide_sections.h"
#include "message_box.h"
#include "rq7_worker.h"
#include "settings_backup.h"
#include "settings_fields.h"
#include "table_pages.h"
#include "table_record.h"
#include "undo_history.h"
#include "unfinished_edits.h"

#include <QDebug>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

const char* const settings_filter = "VK settings (*.vkini);;All files (*.*)";
const char* const prefixes[] = {"aux", "main", "gpo1", "gpo2"}; // by table_index
const char* const mark_style = "border: 2px solid #c000c0;";
constexpr double delay_step_ms = 13;

// What an entry of the dock stands for.
enum entry_role {
    role_kind = Qt::UserRole,
    role_table,
    role_row,
    role_column,
    role_part,
    role_index
};
enum entry_kind { kind_none, kind_field, kind_cell };

} // namespace

compare_panel::compare_panel(Ui::MainWindow& ui_, QMainWindow* window_, rq7_worker* worker_,
                             converter* conv_, change_tracker& tracker_, table_pages& tables_,
                             undo_history& history_, unfinished_edits& edits_, QObject* parent)
    : QObject(parent)
    , window(window_)
    , ui(ui_)
    , worker(worker_)
    , conv(conv_)
    , tracker(tracker_)
    , tables(tables_)
    , history(history_)
    , edits(edits_)
{
    setObjectName("compare_panel");
    build_actions(ui);
    refresh.setSingleShot(true);
    refresh.setInterval(0);
    connect(&refresh, &QTimer::timeout, this, &compare_panel::show_differences);
    // Every step (an edit, its undo, a new history after Read or Open) may change what
    // differs.
    connect(&history, &undo_history::shown_changed, &refresh, qOverload<>(&QTimer::start));
    connect(worker, &rq7_worker::read_compare_data, this, &compare_panel::when_read_compare_data);
}

void compare_panel::build_actions(Ui::MainWindow& form)
{
    act_compare_file = new QAction("Compare with Settings File...", window);
    act_compare_file->setObjectName("act_compare_file");
    act_compare_file->setStatusTip("Show how the window's settings differ from a settings file");
    act_clear = new QAction("Clear Comparison", window);
    act_clear->setObjectName("act_clear_comparison");
    act_clear->setEnabled(false);
    form.menuMenu->insertActions(form.act_open_backups, {act_compare_file, act_clear});
    form.menuMenu->insertSeparator(form.act_open_backups);

    act_compare_unit = new QAction("Compare with Unit", window);
    act_compare_unit->setObjectName("act_compare_unit");
    act_compare_unit->setStatusTip("Show how the window's settings differ from the unit's; "
                                   "nothing is written");
    act_compare_unit->setEnabled(false);
    form.menuDevice->insertAction(form.act_write, act_compare_unit);

    act_take = new QAction("Take the Other Value", window);
    act_take->setObjectName("act_take_other_value");
    act_take->setEnabled(false);
    if (auto* edit_menu = window->findChild<QMenu*>("menuEdit")) {
        edit_menu->addSeparator();
        edit_menu->addAction(act_take);
    }

    connect(act_compare_file, &QAction::triggered, this, [this] {
        edits.finish_focused_edit();
        const QString name = file_dialog::open_file(window, "Compare with settings file", QString(),
                                                    settings_filter);
        if (!name.isEmpty())
            compare_with_file(name);
    });
    connect(act_compare_unit, &QAction::triggered, this, &compare_panel::compare_with_unit);
    connect(act_clear, &QAction::triggered, this, &compare_panel::clear_comparison);
    connect(act_take, &QAction::triggered, this, &compare_panel::take_other_value);

    dock = new QDockWidget("Differences", window);
    dock->setObjectName("differences_dock");
    auto* body = new QWidget(dock);
    auto* layout = new QVBoxLayout(body);
    list = new QListWidget(body);
    list->setObjectName("differences_list");
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setMinimumWidth(380); // a line of the list is as long as quorvane-cli prints it
    layout->addWidget(list);
    auto* buttons = new QHBoxLayout;
    auto* take = new QPushButton("Take the Other Value", body);
    take->setObjectName("btn_take_other_value");
    auto* clear = new QPushButton("Clear Comparison", body);
    clear->setObjectName("btn_clear_comparison");
    buttons->addWidget(take);
    buttons->addWidget(clear);
    layout->addLayout(buttons);
    dock->setWidget(body);
    window->addDockWidget(Qt::RightDockWidgetArea, dock);
    dock->hide();
    // The dock's own close button hides it and keeps the marks: this brings it back.
    act_show = dock->toggleViewAction();
    act_show->setText("Show Differences");
    act_show->setObjectName("act_show_differences");
    act_show->setEnabled(false);
    form.menuMenu->insertAction(act_clear, act_show);
    connect(take, &QPushButton::clicked, this, &compare_panel::take_other_value);
    connect(clear, &QPushButton::clicked, this, &compare_panel::clear_comparison);
    connect(list, &QListWidget::itemClicked, this, &compare_panel::go_to);
    connect(list, &QListWidget::itemActivated, this, &compare_panel::go_to);
}

void compare_panel::set_connected(bool on)
{
    connected = on;
    act_compare_unit->setEnabled(on && !reading_unit);
}

// ---- the other side ----

bool compare_panel::compare_with_file(const QString& name)
{
    // What the file lacks compares equal, as opening it would keep the window's values.
    QList<QByteArray> theirs;
    QList<quint32> ints;
    tracker.current_settings(theirs, ints);
    QList<adc_trim> trims;
    for (int n = 0; n < a_last; ++n)
        trims.append(adc_trim());
    while (theirs.size() < t_last)
        theirs.append(QByteArray());
    QStringList warnings;
    QString error;
    if (!settings_files::read_file(name, theirs, ints, trims, warnings, error)) {
        qWarning().noquote() << "Cannot compare with" << name + ":" << error;
        message_box::show_with_help(guide_sections::compare, window, QMessageBox::Warning,
                                    QString("Cannot compare with %1").arg(name),
                                    error + ".\nThe window and its comparison stay as they were.");
        return false;
    }
    for (const QString& warning : qAsConst(warnings))
        qWarning().noquote() << name + ":" << warning;
    start(name, theirs, ints);
    return true;
}

void compare_panel::compare_with_unit()
{
    edits.finish_focused_edit();
    reading_unit = true;
    act_compare_unit->setEnabled(false);
    window->statusBar()->showMessage("Reading the unit to compare...");
    worker->start_compare_read();
}

void compare_panel::when_read_compare_data(FT_STATUS status, QList<QByteArray> theirs,
                                           QList<quint32> ints)
{
    reading_unit = false;
    act_compare_unit->setEnabled(connected);
    if (status != FT_OK) {
        qWarning("Could not read the unit to compare");
        window->statusBar()->clearMessage();
        message_box::show_with_help(
            guide_sections::compare, window, QMessageBox::Warning,
            "Could not read the unit to compare",
            "The unit did not answer; nothing was compared and nothing changed.");
        return;
    }
    start("the unit", theirs, ints);
}

void compare_panel::start(const QString& name, const QList<QByteArray>& theirs,
                          const QList<quint32>& ints)
{
    other_name = name;
    other_tables = theirs;
    other_ints = ints;
    active = true;
    act_clear->setEnabled(true);
    act_show->setEnabled(true);
    act_take->setEnabled(true);
    dock->setWindowTitle("Differences with " + name);
    dock->show();
    show_differences();
    const bool equal = list->count() == 1 && list->item(0)->data(role_kind).toInt() == kind_none;
    window->statusBar()->showMessage(
        equal ? QString("Compared with %1: no differences").arg(name)
              : QString("Compared with %1: %2 differences").arg(name).arg(list->count()));
}

void compare_panel::clear_comparison()
{
    active = false;
    other_tables.clear();
    other_ints.clear();
    other_cells.clear();
    unmark();
    list->clear();
    dock->hide();
    act_clear->setEnabled(false);
    act_show->setEnabled(false);
    act_take->setEnabled(false);
}

// ---- marks and the list ----

void compare_panel::show_differences()
{
    if (!active)
        return;
    QList<QByteArray> ours;
    QList<quint32> our_ints;
    tracker.current_settings(ours, our_ints);
    const int unit = ui.boost_select->currentIndex();
    const settings_report a(ours, our_ints, unit);
    const settings_report b(other_tables, other_ints, unit);
    unmark();
    list->clear();
    other_cells.clear();
    for (const settings_report::difference& d : a.parameter_differences(b)) {
        auto* entry = new QListWidgetItem(settings_report::line(d), list);
        entry->setData(role_kind, kind_field);
        entry->setData(role_part, int(d.from.part));
        entry->setData(role_index, d.from.index);
        const QList<field_value> targets = other_values(d.from);
        for (const field_value& target : targets)
            mark_field(target.first, d.b);
    }
    for (const settings_report::table_difference& d : a.table_differences(b))
        if (d.unreadable)
            new QListWidgetItem(settings_report::line(d), list);
    for (const settings_report::cell_difference& d : a.cell_differences(b)) {
        auto* entry = new QListWidgetItem(settings_report::line(d), list);
        entry->setData(role_kind, kind_cell);
        entry->setData(role_table, d.table);
        entry->setData(role_row, d.row);
        entry->setData(role_column, d.column);
        other_cells.insert(cell_key(d.table, d.row, d.column), d.b);
        tables.table(table_index(d.table))
            ->set_mark(d.row, d.column, QString("%1 %").arg(compare_fields::percent_of(d.b)));
    }
    if (list->count() == 0) {
        auto* entry = new QListWidgetItem("The settings are equal.", list);
        entry->setData(role_kind, kind_none);
    }
}

void compare_panel::unmark()
{
    for (table_index t : {t_aux, t_main, t_gpo1, t_gpo2})
        tables.table(t)->clear_marks();
    for (auto it = marked_fields.cbegin(); it != marked_fields.cend(); ++it) {
        it.key()->setStyleSheet(it.value().first);
        it.key()->setToolTip(it.value().second);
    }
    marked_fields.clear();
}

void compare_panel::mark_field(QWidget* w, const QString& other)
{
    if (!w || marked_fields.contains(w))
        return;
    marked_fields.insert(w, {w->styleSheet(), w->toolTip()});
    w->setStyleSheet(mark_style);
    w->setToolTip("Other value: " + other);
}

QWidget* compare_panel::page_of(QWidget* w) const
{
    while (w && ui.main_tab->indexOf(w) < 0)
        w = w->parentWidget();
    return w;
}

void compare_panel::go_to(QListWidgetItem* entry)
{
    if (!entry)
        return;
    const int kind = entry->data(role_kind).toInt();
    if (kind == kind_cell) {
        duty_table* table = tables.table(table_index(entry->data(role_table).toInt()));
        if (QWidget* page = page_of(table))
            ui.main_tab->setCurrentWidget(page);
        table->setCurrentCell(entry->data(role_row).toInt(), entry->data(role_column).toInt());
        return;
    }
    if (kind != kind_field)
        return;
    settings_report::origin from;
    from.part = settings_report::origin::part_kind(entry->data(role_part).toInt());
    from.index = entry->data(role_index).toInt();
    const QList<field_value> targets = other_values(from);
    if (targets.isEmpty())
        return;
    if (QWidget* page = page_of(targets.first().first))
        ui.main_tab->setCurrentWidget(page);
    targets.first().first->setFocus();
}

// ---- taking the other value ----

QWidget* compare_panel::field(const QString& name) const
{
    return window->findChild<QWidget*>(name);
}

/// The fields behind a difference and the other side's value for each, in the units the
/// fields show now; counts go through the window's own calibration, so that what is written
/// is the other side's counts.
QList<compare_panel::field_value>
compare_panel::other_values(const settings_report::origin& from) const
{
    using origin = settings_report::origin;
    QList<field_value> out;
    if (from.part == origin::parameter) {
        const quint32 raw = other_ints.value(from.index);
        const char* name = compare_fields::parameter_field(from.index);
        QWidget* w = name ? field(name) : nullptr;
        if (!w)
            return out;
        QVariant value;
        switch (from.index) {
        case i_rpm_scaler:
            value = raw * 0.5;
            break;
        case i_pump_prime_delay:
        case i_gpi1_act_delay:
        case i_gpi1_deact_delay:
        case i_gpi2_act_delay:
        case i_gpi2_deact_delay:
            value = int(raw * delay_step_ms);
            break;
        case i_gpi1_request:
        case i_gpi2_request:
            value = compare_fields::percent_of(raw);
            break;
        case i_base_slope:
        case i_base_intercept:
        case i_active_slope:
        case i_active_intercept:
            value = raw / 1000.0;
            break;
        case i_base_atmospheric:
        case i_active_atmospheric:
            value = double(raw);
            break;
        case i_active_deadband:
            value = conv->adc2deadband(quint16(std::min<quint32>(raw, 1023)));
            break;
        case i_gpo1_mode:
            value = raw == 0xD8 ? 0 : int(raw & 0x0F);
            break;
        default:
            value = int(raw & 0x0F);
            break; // the modes
        }
        out.append({w, value});
        return out;
    }
    table_record::fields r;
    if (from.index < 0 || from.index > t_gpo2 ||
        !table_record::decode(other_tables.value(from.index), r))
        return out;
    const QString p = prefixes[from.index];
    const int source = std::max(0, table_record::decode_vertical_source(r.source));
    auto vertical = [this, source](quint16 counts) {
        return source == 0 ? conv->adc2boost(counts) : converter::adc2volt(counts);
    };
    const int last = table_record::breakpoints - 1;
    switch (from.part) {
    case origin::source:
        out.append({field(p + "_vert_axis"), source});
        break;
    case origin::vertical_range: {
        const QString low[] = {"min_boost", "min_an1_input", "min_an2_input"};
        const QString high[] = {"max_boost", "max_an1_input", "max_an2_input"};
        const int s = std::min(source, 2);
        out.append({field(low[s]), vertical(r.vert[0])}); // bottom row first
        out.append({field(high[s]), vertical(r.vert[last])});
        break;
    }
    case origin::rpm_range:
        out.append({field("max_engine_speed"), int(r.horz[last])});
        break;
    case origin::min_duty:
        out.append({field(p + "_min_duty"), compare_fields::percent_of(r.min_duty & 0x3FF)});
        break;
    case origin::undercurrent:
        out.append({field(p + "_undercurrent_limit"), converter::adc2current(r.undercurrent)});
        break;
    case origin::overcurrent:
        out.append({field(p + "_overcurrent_limit"), converter::adc2current(r.overcurrent)});
        break;
    case origin::time_delay:
        out.append({field(p + "_time_delay"), int(r.time_delay)});
        break;
    case origin::act_delay:
        out.append({field(p + "_act_delay"), int(r.act_delay * delay_step_ms)});
        break;
    case origin::deact_delay:
        out.append({field(p + "_deact_delay"), int(r.deact_delay * delay_step_ms)});
        break;
    case origin::vertical_threshold:
        out.append({field(p + "_vert_axis_gt"), vertical(r.vert_threshold)});
        break;
    case origin::rpm_threshold:
        out.append({field(p + "_horz_axis_gt"), int(r.horz_threshold)});
        break;
    default:
        break;
    }
    out.erase(std::remove_if(out.begin(), out.end(), [](const field_value& v) { return !v.first; }),
              out.end());
    return out;
}

void compare_panel::take_other_value()
{
    if (!active)
        return;
    edits.finish_focused_edit();
    // The marked cells selected in the table shown, and the cells of the entries selected.
    QHash<duty_table*, QVector<duty_table::cell_count>> cells;
    auto take_cell = [this, &cells](table_index t, int row, int column) {
        duty_table* table = tables.table(t);
        const auto other = other_cells.constFind(cell_key(t, row, column));
        if (other == other_cells.cend())
            return;
        const quint16 count = other.value();
        for (const duty_table::cell_count& c : cells[table])
            if (c.row == row && c.column == column)
                return;
        cells[table].append({row, column, count});
    };
    for (table_index t : {t_aux, t_main, t_gpo1, t_gpo2}) {
        duty_table* table = tables.table(t);
        if (page_of(table) != ui.main_tab->currentWidget())
            continue;
        for (const QModelIndex& index : table->selectionModel()->selectedIndexes())
            take_cell(t, index.row(), index.column());
    }
    QList<field_value> fields;
    for (QListWidgetItem* entry : list->selectedItems()) {
        if (entry->data(role_kind).toInt() == kind_cell) {
            take_cell(table_index(entry->data(role_table).toInt()), entry->data(role_row).toInt(),
                      entry->data(role_column).toInt());
        } else if (entry->data(role_kind).toInt() == kind_field) {
            settings_report::origin from;
            from.part = settings_report::origin::part_kind(entry->data(role_part).toInt());
            from.index = entry->data(role_index).toInt();
            fields += other_values(from);
        }
    }
    if (cells.isEmpty() && fields.isEmpty()) {
        window->statusBar()->showMessage("Select differing cells or entries of the Differences "
                                         "list to take their other value",
                                         5000);
        return;
    }
    history.as_one_step("take the other value", [&cells, &fields] {
        for (auto it = cells.cbegin(); it != cells.cend(); ++it)
            it.key()->set_cells(it.value(), "take the other value");
        for (const field_value& f : qAsConst(fields))
            settings_fields::put(f.first, f.second);
    });
}
