// The user's edits on their way to the unit: every way of changing a table's cells queues it,
// a field still being edited when a command comes is taken as if the user had left it, and
// settings that nobody has seen are not written over without asking.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "duty_table.h"
#include "message_box.h"

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

} // namespace

void MainWindow::watch_user_edits()
{
    // Paste, cut, Delete and scripts rewrite many cells with the table's signals blocked and
    // announce them only in one summary; without this they would never be written.
    for (table_index t : {t_aux, t_main, t_gpo1, t_gpo2})
        connect(tabs[t].table, &duty_table::many_cells_updated, &edit_watch,
                [this, t] { add_to_set(t); });

    // Several fields are queued only when their editing finishes, which a click on a tool bar
    // button (it takes no focus) never brings about. Remember which field holds a changed
    // value until then.
    for (QAbstractSpinBox* box : findChildren<QAbstractSpinBox*>()) {
        auto changed = [this, box] {
            if (!loading)
                unfinished_fields.insert(box);
        };
        if (auto* spin = qobject_cast<QSpinBox*>(box))
            connect(spin, qOverload<int>(&QSpinBox::valueChanged), &edit_watch, changed);
        else if (auto* spin_d = qobject_cast<QDoubleSpinBox*>(box))
            connect(spin_d, qOverload<double>(&QDoubleSpinBox::valueChanged), &edit_watch, changed);
        // Connected after the form's slots, so that a value they correct stays finished.
        connect(box, &QAbstractSpinBox::editingFinished, &edit_watch,
                [this, box] { unfinished_fields.remove(box); });
    }
}

void MainWindow::finish_focused_edit()
{
    QWidget* focused = focusWidget();
    if (!focused)
        return;
    if (QAbstractSpinBox* box = spin_box_of(focused)) {
        // A field merely visited holds nothing new; finishing it would queue what it shows.
        if (!unfinished_fields.contains(box))
            return;
        box->interpretText();
        emit box->editingFinished();
        return;
    }
    // A cell editor still open: commit it as the table would when it loses the focus.
    for (const table_widgets& tab : tabs) {
        // Of the widgets on a table's viewport only a cell editor takes the focus.
        if (focused->parentWidget() != tab.table->viewport())
            continue;
        QAbstractItemDelegate* delegate = tab.table->itemDelegate();
        emit delegate->commitData(focused);
        emit delegate->closeEditor(focused, QAbstractItemDelegate::NoHint);
        return;
    }
}

bool MainWindow::may_write_over_unit()
{
    if (unit_settings_known || settings_file_opened)
        return true;
    // The window may show nothing but its start values (all-zero tables).
    return message_box::show(this, QMessageBox::Warning,
                             "Nothing has been read from this unit yet. Writing replaces its "
                             "settings with what the window shows.",
                             QString(), QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel,
                             {{QMessageBox::Ok, "Write"}}) == QMessageBox::Ok;
}
