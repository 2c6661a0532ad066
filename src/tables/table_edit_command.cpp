// SPDX-License-Identifier: GPL-3.0-or-later
#include "table_edit_command.h"

#include "duty_table.h"

table_edit_command::table_edit_command(duty_table* table_, const QString& text,
                                       QVector<change> changes, QUndoCommand* parent)
    : QUndoCommand(text, parent)
    , table(table_)
    , cells(std::move(changes))
{}

void table_edit_command::undo()
{
    apply(false);
    done = false;
}

void table_edit_command::redo()
{
    if (done) // pushed after the edit itself
        return;
    apply(true);
    done = true;
}

void table_edit_command::apply(bool after)
{
    QVector<duty_table::cell_count> counts;
    counts.reserve(cells.size());
    for (const change& c : qAsConst(cells))
        counts.append({c.row, c.column, after ? c.after : c.before});
    table->load_counts(counts);
}
