// SPDX-License-Identifier: GPL-3.0-or-later
// The user's edits of a duty table: keys, context menu and the clipboard. The clipboard text
// is spreadsheet-like: cells of a row separated by tabs, each row ended by a newline.
#include "duty_table.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDebug>
#include <QKeyEvent>
#include <QMenu>
#include <QRegularExpression>
#include <QSignalBlocker>

#include <algorithm>

namespace {

// The rest of the table (editor, byte coding, colours) works in 0..100, so pasted numbers
// outside it are brought into it rather than stored as they came.
bool to_percent(const QString& part, int& percent)
{
    bool ok = false;
    const int value = part.toInt(&ok, 10);
    if (!ok) {
        qWarning() << "Text in clipboard not a valid number" << part;
        return false;
    }
    percent = qBound(0, value, 100);
    return true;
}

} // namespace

void duty_table::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy))
        copy();
    else if (event->matches(QKeySequence::Paste))
        paste();
    else if (event->matches(QKeySequence::Delete))
        clear();
    else if (event->matches(QKeySequence::Cut))
        cut();
    else
        QTableWidget::keyPressEvent(event);
}

void duty_table::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction("Cut (ctrl+x)", this, &duty_table::cut);
    menu.addAction("Copy (ctrl+c)", this, &duty_table::copy);
    menu.addAction("Paste (ctrl+v)", this, &duty_table::paste);
    menu.addAction("Delete (del)", this, &duty_table::clear);
    menu.addSeparator();
    menu.addAction("Scripts", this, &duty_table::script);
    menu.exec(event->globalPos());
}

/// The selected cells row by row, left to right within a row.
QModelIndexList duty_table::sorted_selection() const
{
    QModelIndexList indexes = selectedIndexes();
    std::sort(indexes.begin(), indexes.end(), [](const QModelIndex& a, const QModelIndex& b) {
        return a.row() != b.row() ? a.row() < b.row() : a.column() < b.column();
    });
    return indexes;
}

void duty_table::copy()
{
    const QModelIndexList selected = sorted_selection();
    if (selected.isEmpty())
        return;
    QString text;
    for (int i = 0; i < selected.size(); ++i) {
        if (i > 0)
            text += selected[i].row() == selected[i - 1].row() ? '\t' : '\n';
        text += selected[i].data(Qt::DisplayRole).toString();
    }
    text += '\n';
    QApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

void duty_table::cut()
{
    copy();
    record_edit("cut from " + undo_name, [this] { clear_selected(); });
}

void duty_table::clear()
{
    record_edit("delete in " + undo_name, [this] { clear_selected(); });
}

void duty_table::clear_selected()
{
    const QModelIndexList selected = selectedIndexes();
    if (selected.isEmpty())
        return;
    {
        const QSignalBlocker block(this);
        for (const QModelIndex& index : selected)
            set_cell(index.row(), index.column(), "0");
    }
    announce_cells();
}

void duty_table::paste()
{
    record_edit("paste into " + undo_name, [this] { paste_clipboard(); });
}

void duty_table::paste_clipboard()
{
    const QString text = QApplication::clipboard()->text(QClipboard::Clipboard);
    if (text.isEmpty())
        return;
    static const QRegularExpression separators("\n|\t");
    QStringList parts = text.split(separators);
    while (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    // Trailing empty lines are gone from the parts but still count as rows.
    const int rows = text.count('\n');
    if (rows == 0 || parts.size() / rows == 0 || parts.size() % rows != 0)
        return;
    const int cols = parts.size() / rows;
    if (rows == 1 && cols == 1) {
        if (!paste_single(parts.first()))
            return;
    } else {
        paste_block(parts, rows, cols);
    }
    announce_cells();
}

// One value fills the whole selection; a value that is not a number changes nothing.
bool duty_table::paste_single(const QString& part)
{
    const QModelIndexList selected = selectedIndexes();
    int percent = 0;
    if (selected.isEmpty() || !to_percent(part, percent))
        return false;
    const QSignalBlocker block(this);
    for (const QModelIndex& index : selected)
        set_cell(index.row(), index.column(), QString::number(percent));
    return true;
}

// A block lands with its top-left corner on the current cell; what falls outside the table is
// dropped, an empty part is 0 and a part that is not a number leaves its cell alone.
void duty_table::paste_block(const QStringList& parts, int rows, int cols)
{
    const QSignalBlocker block(this);
    for (int r = 0; r < rows; ++r) {
        const int row = currentRow() + r;
        if (row < 0 || row >= rowCount())
            continue;
        for (int k = 0; k < cols; ++k) {
            const int column = currentColumn() + k;
            if (column < 0 || column >= columnCount())
                continue;
            const QString& part = parts[r * cols + k];
            int percent = 0;
            if (!part.isEmpty() && !to_percent(part, percent))
                continue;
            set_cell(row, column, QString::number(percent));
        }
    }
}
