// SPDX-License-Identifier: GPL-3.0-or-later
// One user edit of the settings fields as an undo step: the value of every field it changed
// before and after (the boost unit first, so that boost values are put back in the unit they
// were taken in and give the same counts). Typing into one field is one step until the field
// is left (the window decides when).
#pragma once

#include <QList>
#include <QUndoCommand>
#include <QVariant>

class settings_fields;

class field_edit_command : public QUndoCommand
{
public:
    struct change
    {
        int field = 0; // position in settings_fields
        QVariant before;
        QVariant after;
    };

    /// The edit has already been made: the first redo (QUndoStack::push) changes nothing.
    field_edit_command(settings_fields& fields, const QString& text, QList<change> changes);

    void undo() override;
    void redo() override;
    /// Typing on in the same one field extends the step; false for any other change.
    bool extend(const QList<change>& next);

private:
    settings_fields& fields;
    QList<change> changes;
    bool done = true;
};
