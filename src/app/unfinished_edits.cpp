// SPDX-License-Identifier: GPL-3.0-or-later
#include "unfinished_edits.h"

#include "change_sets.h"
#include "duty_table.h"

#include <QAbstractItemDelegate>
#include <QDoubleSpinBox>
#include <QSpinBox>

namespace {

/// The spin box that `focused` is, or belongs to (its line edit).
QAbstractSpinBox* spin_box_of(QWidget* focused)
{
    if (auto* box = qobject_cast<QAbstractSpinBox*>(focused))
        return box;
    return qobject_cast<QAbstractSpinBox*>(focused->parentWidget());
}

/// The table whose cell editor `focused` is: of the widgets on a table's viewport only a
/// cell editor takes the focus.
duty_table* table_editing_in(QWidget* focused)
{
    QWidget* viewport = focused->parentWidget();
    auto* table = viewport ? qobject_cast<duty_table*>(viewport->parentWidget()) : nullptr;
    return table && table->viewport() == viewport ? table : nullptr;
}

} // namespace

unfinished_edits::unfinished_edits(QWidget* window_, const change_sets& changes_, QObject* parent)
    : QObject(parent)
    , window(window_)
    , changes(changes_)
{
    setObjectName("unfinished_edits");
}

void unfinished_edits::follow_fields()
{
    for (QAbstractSpinBox* box : window->findChildren<QAbstractSpinBox*>()) {
        auto changed = [this, box] {
            if (!changes.loading())
                unfinished.insert(box);
        };
        if (auto* spin = qobject_cast<QSpinBox*>(box))
            connect(spin, qOverload<int>(&QSpinBox::valueChanged), this, changed);
        else if (auto* spin_d = qobject_cast<QDoubleSpinBox*>(box))
            connect(spin_d, qOverload<double>(&QDoubleSpinBox::valueChanged), this, changed);
        connect(box, &QAbstractSpinBox::editingFinished, this,
                [this, box] { unfinished.remove(box); });
    }
}

void unfinished_edits::finish_focused_edit()
{
    QWidget* focused = window->focusWidget();
    if (!focused)
        return;
    if (QAbstractSpinBox* box = spin_box_of(focused)) {
        // A field merely visited holds nothing new; finishing it would queue what it shows.
        if (!unfinished.contains(box))
            return;
        box->interpretText();
        emit box->editingFinished();
        return;
    }
    // A cell editor still open: commit it as the table would when it loses the focus.
    if (duty_table* table = table_editing_in(focused)) {
        QAbstractItemDelegate* delegate = table->itemDelegate();
        emit delegate->commitData(focused);
        emit delegate->closeEditor(focused, QAbstractItemDelegate::NoHint);
    }
}
