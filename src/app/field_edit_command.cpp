// SPDX-License-Identifier: GPL-3.0-or-later
#include "field_edit_command.h"

#include "settings_fields.h"

field_edit_command::field_edit_command(settings_fields& fields_, const QString& text,
                                       QList<change> changes_)
    : QUndoCommand(text)
    , fields(fields_)
    , changes(std::move(changes_))
{}

void field_edit_command::undo()
{
    QList<QPair<int, QVariant>> values;
    for (const change& c : qAsConst(changes))
        values.append({c.field, c.before});
    fields.restore(values);
    done = false;
}

void field_edit_command::redo()
{
    if (done) // pushed after the edit itself
        return;
    QList<QPair<int, QVariant>> values;
    for (const change& c : qAsConst(changes))
        values.append({c.field, c.after});
    fields.restore(values);
    done = true;
}

bool field_edit_command::extend(const QList<change>& next)
{
    if (changes.size() != 1 || next.size() != 1 || next.first().field != changes.first().field)
        return false;
    changes.first().after = next.first().after;
    return true;
}
