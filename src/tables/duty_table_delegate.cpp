// SPDX-License-Identifier: GPL-3.0-or-later
#include "duty_table_delegate.h"

#include "duty_table.h"
#include "duty_table_editor.h"

#include <QDebug>
#include <QIntValidator>
#include <QPainter>

namespace {

// A plain QIntValidator calls "150" intermediate (no more digits than 100), and a line edit
// lets intermediate text reach the cell when the editor loses focus. Refusing the keystroke
// that goes above the top keeps the cell within 0..100.
class percent_validator : public QIntValidator
{
public:
    using QIntValidator::QIntValidator;

    State validate(QString& input, int& pos) const override
    {
        const State state = QIntValidator::validate(input, pos);
        bool ok = false;
        const int value = input.toInt(&ok, 10);
        if (state == Intermediate && ok && value > top())
            return Invalid;
        return state;
    }
};

} // namespace

duty_table_delegate::duty_table_delegate(QObject* parent)
    : QStyledItemDelegate(parent)
{}

QWidget* duty_table_delegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                           const QModelIndex&) const
{
    auto* editor = new duty_table_editor(parent);
    editor->setValidator(new percent_validator(0, 100, editor));
    editor->setMaxLength(3);
    return editor;
}

void duty_table_delegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* line_edit = qobject_cast<QLineEdit*>(editor);
    if (!line_edit) {
        qCritical("Some kind of weird mixup opening up an editor at index %dx%d", index.column(),
                  index.row());
        return;
    }
    line_edit->setText(index.data(Qt::EditRole).toString());
}

void duty_table_delegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                       const QModelIndex& index) const
{
    auto* line_edit = qobject_cast<QLineEdit*>(editor);
    if (!line_edit)
        return;
    bool ok = false;
    const int value = line_edit->text().toInt(&ok, 10);
    model->setData(index, ok ? qBound(0, value, 100) : 0, Qt::EditRole);
}

void duty_table_delegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    const QString label = index.data(duty_table::coverage_role).toString();
    if (label.isEmpty())
        return;
    painter->save();
    QFont small = option.font;
    small.setPointSizeF(qMax(6.0, small.pointSizeF() * 0.7));
    painter->setFont(small);
    painter->setPen(index.data(Qt::ForegroundRole).value<QBrush>().color());
    painter->drawText(option.rect.adjusted(2, 1, -2, -1), Qt::AlignRight | Qt::AlignBottom, label);
    painter->restore();
}
