// SPDX-License-Identifier: GPL-3.0-or-later
// The progress dialog of a firmware update: one row for the reset into the bootloader, one
// for the transfer. It cannot be closed by the user: the update runs to its end either way,
// and the window hides the dialog when the worker reports the outcome.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

class fw_program_status : public QDialog
{
    Q_OBJECT

public:
    explicit fw_program_status(QWidget* parent = nullptr);

public slots:
    /// 0..100 (more shows as 100) enables the row and sets its bar; negative: initial state.
    void set_reset_progress(int progress);
    void set_program_progress(int progress);
    /// Both rows back to their initial state.
    void reset_rows();
    /// Escape does not close the dialog either.
    void reject() override;

private:
    static void set_row(QLabel* label, QProgressBar* bar, int progress);

    QLabel* reset_label;
    QProgressBar* reset_bar;
    QLabel* program_label;
    QProgressBar* program_bar;
};
