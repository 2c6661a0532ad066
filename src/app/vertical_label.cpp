// SPDX-License-Identifier: GPL-3.0-or-later
#include "vertical_label.h"

#include <QPainter>

VerticalLabel::VerticalLabel(QWidget* parent)
    : QLabel(parent)
{}

VerticalLabel::VerticalLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{}

QSize VerticalLabel::sizeHint() const
{
    const QSize hint = QLabel::sizeHint();
    return QSize(hint.height() + 5, hint.width());
}

QSize VerticalLabel::minimumSizeHint() const
{
    const QSize hint = QLabel::minimumSizeHint();
    return QSize(hint.height() + 5, hint.width());
}

void VerticalLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Qt::black);
    // Turned a quarter to the left, the painter's x axis points up: the text reads upwards.
    painter.translate(0, height());
    painter.rotate(270);
    painter.drawText(QRect(0, 0, height(), width()), int(alignment()), text());
}
