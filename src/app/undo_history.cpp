// SPDX-License-Identifier: GPL-3.0-or-later
#include "undo_history.h"
#include "ui_mainwindow.h"

#include "change_tracker.h"
#include "duty_table.h"
#include "field_edit_command.h"
#include "rq7_worker.h"
#include "settings_fields.h"
#include "table_pages.h"
#include "unfinished_edits.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace {

const char* const table_titles[] = {"AUX table", "Main table", "GPO1 table", "GPO2 table"};

/// The unit takes the modes as one message: they are pending together or not at all.
const int_index op_mode_parameters[] = {
    i_main_mode,        i_aux_mode,       i_pump_prime_delay, i_gpo1_mode,    i_gpo2_mode,
    i_gpi1_mode,        i_gpi1_request,   i_gpi2_mode,        i_gpi2_request, i_gpi1_act_delay,
    i_gpi1_deact_delay, i_gpi2_act_delay, i_gpi2_deact_delay,
};

bool is_op_mode(int_index parameter)
{
    return std::find(std::begin(op_mode_parameters), std::end(op_mode_parameters), parameter) !=
           std::end(op_mode_parameters);
}

} // namespace

undo_history::undo_history(Ui::MainWindow& ui, QMainWindow* window, rq7_worker* worker,
                           change_sets& changes_, change_tracker& tracker_, table_pages& tables,
                           unfinished_edits& edits_, QObject* parent)
    : QObject(parent)
    , changes(changes_)
    , tracker(tracker_)
    , edits(edits_)
    , fields(new settings_fields(window, this))
    , unit_tables(t_gpo2 + 1)
    , unit_ints(i_last)
    , unit_int_known(i_last, false)
{
    setObjectName("undo_history");
    for (table_index t : {t_aux, t_main, t_gpo1, t_gpo2})
        tables.table(t)->set_undo_stack(&steps, table_titles[t]);
    settle_timer.setSingleShot(true);
    settle_timer.setInterval(0);
    connect(&settle_timer, &QTimer::timeout, this, &undo_history::settle);
    connect(fields, &settings_fields::edited, this, &undo_history::field_edited);
    connect(fields, &settings_fields::left, this, &undo_history::field_left);
    connect(&steps, &QUndoStack::indexChanged, this, [this] {
        // A new history is no step: what Open queued stays queued.
        if (!clearing)
            drop_what_the_unit_holds();
        emit shown_changed();
    });
    settled = fields->values();
    build_menu(ui, window);

    // After the panels' own handlers: the window shows what came when these arrive.
    connect(worker, &rq7_worker::read_data, this, [this](FT_STATUS status) {
        if (status == FT_OK)
            unit_read();
    });
    connect(worker, &rq7_worker::read_file, this, [this](FT_STATUS status) {
        if (status == FT_OK)
            clear();
    });
    connect(worker, &rq7_worker::opened, this, &undo_history::unit_opened);
}

undo_history::~undo_history()
{
    // The tables may outlive the stack by a moment; they must not push onto it.
    steps.clear();
}

void undo_history::build_menu(Ui::MainWindow& ui, QMainWindow* window)
{
    auto* menu = new QMenu("&Edit", window);
    menu->setObjectName("menuEdit");
    ui.menuBar->insertMenu(ui.menuDevice->menuAction(), menu);
    act_undo = menu->addAction("Undo");
    act_undo->setObjectName("act_undo");
    act_undo->setShortcut(QKeySequence("Ctrl+Z"));
    act_redo = menu->addAction("Redo");
    act_redo->setObjectName("act_redo");
    act_redo->setShortcuts({QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")});
    act_undo->setEnabled(false);
    act_redo->setEnabled(false);
    connect(act_undo, &QAction::triggered, this, &undo_history::undo);
    connect(act_redo, &QAction::triggered, this, &undo_history::redo);
    connect(&steps, &QUndoStack::canUndoChanged, act_undo, &QAction::setEnabled);
    connect(&steps, &QUndoStack::canRedoChanged, act_redo, &QAction::setEnabled);
    connect(&steps, &QUndoStack::undoTextChanged, act_undo, [this](const QString& text) {
        act_undo->setText(text.isEmpty() ? "Undo" : "Undo " + text);
    });
    connect(&steps, &QUndoStack::redoTextChanged, act_redo, [this](const QString& text) {
        act_redo->setText(text.isEmpty() ? "Redo" : "Redo " + text);
    });
}

// ---- steps ----

void undo_history::undo()
{
    // A value still being typed is an edit of its own, undone first.
    edits.finish_focused_edit();
    settle();
    open_command = nullptr; // a step taken back is never typed on
    steps.undo();
    settled = fields->values();
}

void undo_history::redo()
{
    edits.finish_focused_edit();
    settle();
    open_command = nullptr;
    steps.redo();
    settled = fields->values();
}

void undo_history::as_one_step(const QString& what, const std::function<void()>& action)
{
    settle();
    steps.beginMacro(what);
    action();
    settle();
    steps.endMacro();
}

void undo_history::clear()
{
    settle_timer.stop();
    user_edit = false;
    first_field = -1;
    close_after = false;
    open_command = nullptr;
    clearing = true;
    steps.clear();
    clearing = false;
    settled = fields->values();
    emit shown_changed();
}

// ---- the fields ----

void undo_history::field_edited(int field)
{
    if (changes.loading()) {
        settle_timer.start(); // taken in as the new starting point, not as a step
        return;
    }
    if (!user_edit)
        first_field = field;
    user_edit = true;
    settle_timer.start();
}

void undo_history::field_left(int)
{
    if (settle_timer.isActive()) {
        close_after = true;
        return;
    }
    open_command = nullptr;
}

void undo_history::settle()
{
    settle_timer.stop();
    const QList<QVariant> now = fields->values();
    if (user_edit)
        push_fields(now);
    if (close_after)
        open_command = nullptr;
    settled = now;
    user_edit = false;
    first_field = -1;
    close_after = false;
}

void undo_history::push_fields(const QList<QVariant>& now)
{
    QList<field_edit_command::change> changed;
    for (int field = 0; field < now.size(); ++field)
        if (now[field] != settled[field])
            changed.append({field, settled[field], now[field]});
    if (changed.isEmpty())
        return;
    // Typing on in the same field, which is still the last step, extends that step.
    const bool top_is_open = open_command && steps.index() == steps.count() && steps.count() > 0 &&
                             steps.command(steps.index() - 1) == open_command;
    if (top_is_open && open_command->extend(changed)) {
        drop_what_the_unit_holds();
        return;
    }
    const int named = first_field >= 0 ? first_field : changed.first().field;
    auto* command = new field_edit_command(*fields, "change of " + fields->name(named), changed);
    const bool typing = changed.size() == 1 && fields->is_spin_box(changed.first().field);
    open_command = typing && !close_after && !steps.isActive() ? command : nullptr;
    steps.push(command);
}

// ---- what the unit holds ----

void undo_history::unit_read()
{
    clear();
    QList<QByteArray> tables;
    QList<quint32> ints;
    tracker.current_settings(tables, ints);
    for (int t = 0; t < unit_tables.size(); ++t)
        unit_tables[t] = tables.value(t);
    for (int p = 0; p < i_last; ++p) {
        unit_ints[p] = ints.value(p);
        unit_int_known[p] = true;
    }
}

void undo_history::written(const queued_items& items)
{
    QList<QByteArray> tables;
    QList<quint32> ints;
    tracker.current_settings(tables, ints);
    const queued_items& still = changes.queued(); // edited while the write ran
    for (table_index t : items.tables)
        if (t < unit_tables.size() && !still.tables.contains(t))
            unit_tables[t] = tables.value(t);
    for (int_index p : items.parameters) {
        if (still.parameters.contains(p))
            continue;
        unit_ints[p] = ints.value(p);
        unit_int_known[p] = true;
    }
}

void undo_history::unit_opened(const QString& serial_number)
{
    if (serial_number == unit_serial)
        return; // the same unit again: its settings and the history stay
    unit_serial = serial_number;
    clear();
    for (QByteArray& record : unit_tables)
        record.clear();
    unit_int_known.fill(false);
}

void undo_history::drop_what_the_unit_holds()
{
    QList<QByteArray> tables;
    QList<quint32> ints;
    tracker.current_settings(tables, ints);
    for (int t = 0; t < unit_tables.size(); ++t)
        if (!unit_tables[t].isEmpty() && tables.value(t) == unit_tables[t])
            changes.remove_from_set(table_index(t));
    auto held = [&](int_index p) { return unit_int_known[p] && ints.value(p) == unit_ints[p]; };
    const QSet<int_index> queued = changes.queued().parameters;
    for (int_index p : queued)
        if (!is_op_mode(p) && held(p))
            changes.remove_from_set(p);
    if (std::all_of(std::begin(op_mode_parameters), std::end(op_mode_parameters), held))
        for (int_index p : op_mode_parameters)
            changes.remove_from_set(p);
}
