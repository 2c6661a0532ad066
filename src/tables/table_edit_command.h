// SPDX-License-Identifier: GPL-3.0-or-later
// One user edit of a duty table as an undo step: the cells it changed, each with its duty
// count before and after. Undo and redo put those counts back exactly and announce them as
// one bulk change, so the graph and the window's change tracking follow as for the edit.
#pragma once

#include <QUndoCommand>
#include <QVector>

class duty_table;

class table_edit_command : public QUndoCommand
{
public:
    struct change
    {
        int row = 0;
        int column = 0;
        quint16 before = 0;
        quint16 after = 0;
    };

    /// The edit has already been made: the first redo (QUndoStack::push) changes nothing.
    table_edit_command(duty_table* table, const QString& text, QVector<change> changes,
                       QUndoCommand* parent = nullptr);

    void undo() override;
    void redo() override;

    const QVector<change>& changes() const { return cells; }

private:
    void apply(bool after);

    duty_table* table;
    QVector<change> cells;
    bool done = true;
};
