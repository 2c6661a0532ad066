// SPDX-License-Identifier: GPL-3.0-or-later
// Which of the unit's settings were edited since they were last copied into the worker's
// variables, whether anything waits to be written (the Write button's red), and the loading
// flag: while the window fills its widgets itself, from the unit, a file or its preferences,
// nothing counts as an edit. Every panel queues its edits here; the change tracker takes
// them when it copies them into the worker.
#pragma once

#include "rq7_catalogue.h"

#include <QObject>
#include <QSet>

/// Tables and parameters waiting to be copied into the worker's variables.
struct queued_items
{
    QSet<table_index> tables;
    QSet<int_index> parameters;
};

class change_sets : public QObject
{
    Q_OBJECT

public:
    /// Sets the loading flag until it goes out of scope, then restores it.
    class loading_scope
    {
    public:
        explicit loading_scope(change_sets& sets);
        ~loading_scope();
        loading_scope(const loading_scope&) = delete;
        loading_scope& operator=(const loading_scope&) = delete;

    private:
        change_sets& sets;
        bool was_loading;
    };

    explicit change_sets(QObject* parent = nullptr);

    /// Marks an item as edited (ignored while loading).
    void add_to_set(table_index table);
    void add_to_set(int_index parameter);
    void add_to_set(adc_trim_index trim);
    /// Queues the mode parameters, which the unit takes as one message.
    void add_op_modes_to_set();
    /// Queues every table and parameter the window sends to the unit.
    void queue_everything();
    /// Takes a parameter out of the pending writes; Write turns green if nothing else waits.
    void remove_from_set(int_index parameter);
    void remove_from_set(table_index table);

    const queued_items& queued() const { return items; }
    /// Empties the sets and returns what they held; trims are shown only and never sent.
    queued_items take();
    /// Queues again what a failed write carried.
    void requeue(const queued_items& again);
    /// Empties the sets (the pending flag stays as it is).
    void clear();

    /// True while edits wait to be written (the write button shows red).
    bool changes_are_pending() const { return pending; }
    void show_changes_pending(bool pending);

    bool loading() const { return is_loading; }

signals:
    void pending_changed(bool pending);

private:
    queued_items items;
    QSet<adc_trim_index> trims;
    bool pending = false;
    bool is_loading = false;
};
