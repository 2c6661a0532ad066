// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog behind a table's "Scripts" entry: ready-made scripts to start from and an editor
// for the script that runs over the selected cells when the user presses OK.
#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class scripts_dialog;
}

class scripts_dialog : public QDialog
{
    Q_OBJECT

public:
    /// Opens on `initial`, or on the help text when that is empty.
    scripts_dialog(QWidget* parent, QString initial);
    ~scripts_dialog() override;

    /// The script as the editor holds it now.
    QString get_script() const;

private slots:
    void on_help_clicked();
    void on_add_clicked();
    void on_multiply_clicked();
    void on_divide_clicked();
    void on_blank_clicked();
    void on_invert_clicked();
    void on_h_gradient_clicked();
    void on_v_gradient_clicked();
    void on_hv_gradient_clicked();

private:
    void set_text(const char* text);

    Ui::scripts_dialog* ui;
};
