// SPDX-License-Identifier: GPL-3.0-or-later
// Opens a duty_table_editor on a cell and moves whole-number percentages between it and the
// table.
#pragma once

#include <QStyledItemDelegate>

class duty_table_delegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit duty_table_delegate(QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    /// The cell as usual, and a log's coverage label small in its lower right corner.
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
