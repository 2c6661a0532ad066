// SPDX-License-Identifier: GPL-3.0-or-later
// Cells that differ from a compared settings file or unit: an outline on the cell and the
// other side's value in its tooltip. The marks belong to the places, not to the items, so
// they stay while the cells are edited (the comparison redraws them).
#include "duty_table.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace {

const QColor mark_color(192, 0, 192);

} // namespace

void duty_table::set_mark(int row, int column, const QString& other)
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    if (marks.size() != rowCount() * columnCount())
        marks = QVector<QString>(rowCount() * columnCount());
    QString& m = marks[row * columnCount() + column];
    marked += int(!other.isEmpty()) - int(!m.isEmpty());
    m = other;
    viewport()->update(visualRect(model()->index(row, column)));
}

void duty_table::clear_marks()
{
    marks.clear();
    marked = 0;
    viewport()->update();
}

QString duty_table::mark(int row, int column) const
{
    const int at = row * columnCount() + column;
    return at >= 0 && at < marks.size() && column < columnCount() ? marks.at(at) : QString();
}

void duty_table::paintEvent(QPaintEvent* event)
{
    QTableWidget::paintEvent(event);
    if (marked == 0)
        return;
    QPainter painter(viewport());
    painter.setPen(QPen(mark_color, 2));
    for (int row = 0; row < rowCount(); ++row)
        for (int column = 0; column < columnCount(); ++column)
            if (!mark(row, column).isEmpty())
                painter.drawRect(visualRect(model()->index(row, column)).adjusted(1, 1, -2, -2));
}

bool duty_table::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && marked > 0) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString other = index.isValid() ? mark(index.row(), index.column()) : QString();
        if (!other.isEmpty()) {
            QToolTip::showText(help->globalPos(), "Other value: " + other, viewport(),
                               visualRect(index));
            return true;
        }
    }
    return QTableWidget::viewportEvent(event);
}
