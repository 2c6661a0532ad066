// SPDX-License-Identifier: GPL-3.0-or-later
// The in-cell editor of a duty table. Arrow keys are left to the table, so that they move to
// the neighbouring cell (committing the edit) instead of moving the text cursor.
#pragma once

#include <QLineEdit>

class duty_table_editor : public QLineEdit
{
    Q_OBJECT

public:
    explicit duty_table_editor(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
