// SPDX-License-Identifier: GPL-3.0-or-later
// Scripts over the selected cells: the "Scripts" entry of the context menu and the settings
// wizard both end in apply_script.
#include "duty_table.h"

#include "help_button.h"
#include "script_runner.h"
#include "scripts_dialog.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMessageBox>
#include <QSignalBlocker>

void duty_table::script()
{
    scripts_dialog dialog(this, last_script);
    if (dialog.exec() != QDialog::Accepted)
        return;
    last_script = dialog.get_script();
    apply_script(last_script);
}

void duty_table::apply_script(QString script)
{
    record_edit("script on " + undo_name, [this, &script] { run_script(script); });
}

void duty_table::run_script(const QString& script)
{
    const QModelIndexList selected = sorted_selection();
    if (selected.isEmpty())
        return;
    const QModelIndex& first = selected.first();
    const QModelIndex& last = selected.last();
    const script_runner::selection block{first.row(), first.column(), last.row() - first.row() + 1,
                                         last.column() - first.column() + 1};
    // A cell that does not hold a number is left as it is.
    QVector<script_runner::cell> cells;
    for (const QModelIndex& index : selected) {
        bool ok = false;
        const int old = index.data(Qt::EditRole).toString().toInt(&ok, 10);
        if (ok)
            cells.append({index.row(), index.column(), old});
    }

    const script_runner::outcome out = script_runner::run(script, cells, block);
    {
        const QSignalBlocker block_signals(this);
        for (int i = 0; i < out.values.size(); ++i)
            set_cell(cells[i].row, cells[i].column, QString::number(double(out.values[i]), 'g', 6));
    }
    // A run stopped by an error keeps the cells it rewrote; the graph and the window's change
    // tracking must hear of those too, or the unit would never get them.
    if (!out.failed || !out.values.isEmpty())
        announce_cells();
    if (out.failed)
        show_script_error(script, out.error);
}

void duty_table::show_script_error(const QString& script, const QString& error)
{
    qCritical() << "Error trying to run script";
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(),
                    "Error trying to run script", QMessageBox::Ok, this);
    box.setDefaultButton(QMessageBox::Ok);
    box.setInformativeText("This script threw an error:\n\n" + script +
                           "\n\nSee the user guide for help with scripting\nError:\n" + error);
    if (open_script_help)
        help_button::add(box, open_script_help);
    box.exec();
}
