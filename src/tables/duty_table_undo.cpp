// SPDX-License-Identifier: GPL-3.0-or-later
// Each user edit of a duty table as one undo step. The step keeps duty counts, which is what
// the unit stores, so undoing gives back exactly the cells the edit found.
#include "duty_table.h"

#include "table_edit_command.h"

#include <QSignalBlocker>
#include <QUndoStack>

#include <cmath>

namespace {

quint16 to_count(const QTableWidgetItem* cell)
{
    const int percent = cell ? qBound(0, cell->text().toInt(), 100) : 0;
    return quint16(std::lround(percent * 1023 / 100.0));
}

int to_percent(quint16 count)
{
    return int(std::lround(qMin<int>(count, 1023) * 100 / 1023.0));
}

} // namespace

QVector<quint16> duty_table::counts() const
{
    QVector<quint16> out;
    out.reserve(rowCount() * columnCount());
    for (int row = 0; row < rowCount(); ++row)
        for (int column = 0; column < columnCount(); ++column)
            out.append(to_count(item(row, column)));
    return out;
}

void duty_table::load_counts(const QVector<cell_count>& cells)
{
    {
        const QSignalBlocker block(this);
        for (const cell_count& c : cells)
            if (c.row >= 0 && c.row < rowCount() && c.column >= 0 && c.column < columnCount())
                set_cell(c.row, c.column, QString::number(to_percent(c.count)));
    }
    announce_cells();
}

void duty_table::set_cells(const QVector<cell_count>& cells, const QString& what)
{
    record_edit(what, [this, &cells] { load_counts(cells); });
}

void duty_table::set_undo_stack(QUndoStack* stack, const QString& name)
{
    undo_stack = stack;
    undo_name = name;
}

void duty_table::record_edit(const QString& what, const std::function<void()>& edit)
{
    // An edit made of other edits (cut is a clear) is still one step.
    if (!undo_stack || recording) {
        edit();
        return;
    }
    recording = true;
    const QVector<quint16> before = counts();
    edit();
    const QVector<quint16> after = counts();
    recording = false;
    QVector<table_edit_command::change> changed;
    const int columns = columnCount();
    for (int i = 0; i < before.size() && i < after.size(); ++i)
        if (before[i] != after[i])
            changed.append({i / columns, i % columns, before[i], after[i]});
    if (!changed.isEmpty())
        undo_stack->push(new table_edit_command(this, what, changed));
}

void duty_table::commitData(QWidget* editor)
{
    record_edit("cell edit in " + undo_name, [this, editor] { QTableWidget::commitData(editor); });
}
