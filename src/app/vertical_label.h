// SPDX-License-Identifier: GPL-3.0-or-later
// A label whose text runs from bottom to top, for the vertical axis captions of the tables.
#pragma once

#include <QLabel>

class VerticalLabel : public QLabel
{
    Q_OBJECT

public:
    explicit VerticalLabel(QWidget* parent = nullptr);
    explicit VerticalLabel(const QString& text, QWidget* parent = nullptr);

    /// The plain label's hints turned on their side (plus a little air across the text).
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
