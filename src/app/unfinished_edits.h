// SPDX-License-Identifier: GPL-3.0-or-later
// A field still being edited when a command comes is taken as if the user had left it.
// Several fields are queued only when their editing finishes, which a click on a tool bar
// button (it takes no focus) never brings about: this follows which spin boxes hold a changed
// value until then, and finishes the focused one, or commits a table's open cell editor, when
// Read, Write, Write All, Open, Save or Save As comes.
#pragma once

#include <QObject>
#include <QSet>

class QAbstractSpinBox;
class QWidget;
class change_sets;

class unfinished_edits : public QObject
{
    Q_OBJECT

public:
    unfinished_edits(QWidget* window, const change_sets& changes, QObject* parent);

    /// Starts following every spin box of the window. Called once the panels have bound their
    /// slots, so that a value their editingFinished slots correct stays finished.
    void follow_fields();
    /// Takes the value of a field the user is still editing, as leaving the field would.
    void finish_focused_edit();

private:
    QWidget* window;
    const change_sets& changes;
    /// Spin boxes whose value changed since their last editingFinished.
    QSet<QAbstractSpinBox*> unfinished;
};
