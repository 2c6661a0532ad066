// SPDX-License-Identifier: GPL-3.0-or-later
// Edit > Undo and Redo: every change the user makes to the settings (a table's cells, any
// settings field, the boost unit) is one step on one stack; what the program does itself
// (Read, opening a file, connecting, loading) is none, and Read, opening a settings file and
// connecting to another unit start a new history. After every step the tables and
// parameters that are back to what the unit holds are no longer waiting to be written, so
// the Write button's colour tells the truth.
#pragma once

#include "change_sets.h"
#include "d2xx.h"
#include "rq7_catalogue.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <QUndoStack>
#include <QVariant>
#include <QVector>

#include <functional>

namespace Ui {
class MainWindow;
}
class QAction;
class QMainWindow;
class change_tracker;
class field_edit_command;
class rq7_worker;
class settings_fields;
class table_pages;
class unfinished_edits;

class undo_history : public QObject
{
    Q_OBJECT

public:
    undo_history(Ui::MainWindow& ui, QMainWindow* window, rq7_worker* worker, change_sets& changes,
                 change_tracker& tracker, table_pages& tables, unfinished_edits& edits,
                 QObject* parent);
    ~undo_history() override;

    QUndoStack& stack() { return steps; }
    QAction* undo_action() const { return act_undo; }
    QAction* redo_action() const { return act_redo; }
    /// Runs what the user asked for as one step named `what` (the settings wizard, taking
    /// the other value of a comparison), whatever fields and cells it changes.
    void as_one_step(const QString& what, const std::function<void()>& action);

signals:
    /// What the window shows may have changed: a step, its undo or redo, or a new history.
    void shown_changed();

public slots:
    /// A new history: what the window shows now is where it starts.
    void clear();
    /// A write reached the unit: it holds these items as the window shows them.
    void written(const queued_items& items);

private:
    void build_menu(Ui::MainWindow& ui, QMainWindow* window);
    void undo();
    void redo();
    void field_edited(int field);
    void field_left(int field);
    /// Turns the field changes of the last pass of the event loop into a step.
    void settle();
    void push_fields(const QList<QVariant>& now);
    /// Takes out of the pending writes what is back to what the unit holds.
    void drop_what_the_unit_holds();
    void unit_read();
    void unit_opened(const QString& serial_number);

    change_sets& changes;
    change_tracker& tracker;
    unfinished_edits& edits;
    settings_fields* fields;
    QUndoStack steps;
    QAction* act_undo = nullptr;
    QAction* act_redo = nullptr;

    QTimer settle_timer;
    QList<QVariant> settled;                    // the fields' values after the last step
    bool user_edit = false;                     // the pending field changes include the user's own
    int first_field = -1;                       // the field the user changed first in this pass
    bool close_after = false;                   // the user left the field: its typing step ends
    field_edit_command* open_command = nullptr; // the typing step that goes on, if any

    // What the unit holds, as the window shows it; an empty record or unknown parameter
    // where the window does not know.
    QVector<QByteArray> unit_tables;
    QVector<quint32> unit_ints;
    QVector<bool> unit_int_known;
    QString unit_serial;
    bool clearing = false;
};
