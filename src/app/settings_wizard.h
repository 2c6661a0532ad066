// SPDX-License-Identifier: GPL-3.0-or-later
// Asks for the two points a main injection table is built from: where injection starts and
// where it reaches full flow, each as boost pressure and engine speed.
#pragma once

#include <QDialog>

namespace Ui {
class settings_wizard;
}

class settings_wizard : public QDialog
{
    Q_OBJECT

public:
    /// The wizard's answers, in the order the window reads them.
    struct points
    {
        double start_inj_psi = 0;
        int start_inj_rpm = 0;
        double full_inj_psi = 0;
        int full_inj_rpm = 0;
    };

    /// The pressures are in `boost_units` (the unit the window shows), with as many decimals
    /// as the window's boost fields.
    settings_wizard(QWidget* parent, int start_rpm, double start_psi, int full_rpm, double full_psi,
                    int rpm_max, double psi_max, const QString& boost_units = "PSI",
                    int boost_decimals = 0);
    ~settings_wizard() override;

    points get_points() const;

private slots:
    void on_full_inj_rpm_editingFinished();

private:
    void add_help_button();

    Ui::settings_wizard* ui;
};
