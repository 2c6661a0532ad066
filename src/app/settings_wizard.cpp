// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_wizard.h"
#include "ui_settings_wizard.h"

#include "guide_sections.h"
#include "help_panel.h"

#include <QPushButton>

namespace {

// Full injection falls on the table's RPM breakpoints, which step in 500s.
constexpr int rpm_step = 500;

} // namespace

settings_wizard::settings_wizard(QWidget* parent, int start_rpm, double start_psi, int full_rpm,
                                 double full_psi, int rpm_max, double psi_max,
                                 const QString& boost_units, int boost_decimals)
    : QDialog(parent)
    , ui(new Ui::settings_wizard)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    // Decimals first: a value set under fewer decimals would be cut to them.
    ui->start_inj_psi->setDecimals(boost_decimals);
    ui->full_inj_psi->setDecimals(boost_decimals);
    ui->start_inj_psi_units->setText(boost_units);
    ui->full_inj_psi_units->setText(boost_units);
    ui->start_inj_psi->setMaximum(psi_max);
    ui->full_inj_psi->setMaximum(psi_max);
    ui->start_inj_rpm->setMaximum(rpm_max);
    ui->full_inj_rpm->setMaximum(rpm_max);
    ui->start_inj_psi->setValue(start_psi);
    ui->start_inj_rpm->setValue(start_rpm);
    ui->full_inj_psi->setValue(full_psi);
    ui->full_inj_rpm->setValue(full_rpm);
    add_help_button();
}

// The guide is a window of its own: blocking only the main window leaves it readable.
void settings_wizard::add_help_button()
{
    help_panel* help = help_panel::of(parentWidget());
    if (!help)
        return;
    setWindowModality(Qt::WindowModal);
    QPushButton* button = ui->button_box->addButton(QDialogButtonBox::Help);
    button->setShortcut(QKeySequence::HelpContents);
    connect(ui->button_box, &QDialogButtonBox::helpRequested, help,
            [help] { help->show_section(guide_sections::wizard); });
}

settings_wizard::~settings_wizard()
{
    delete ui;
}

settings_wizard::points settings_wizard::get_points() const
{
    return {ui->start_inj_psi->value(), ui->start_inj_rpm->value(), ui->full_inj_psi->value(),
            ui->full_inj_rpm->value()};
}

void settings_wizard::on_full_inj_rpm_editingFinished()
{
    const int rpm = ui->full_inj_rpm->value();
    if (rpm % rpm_step != 0)
        ui->full_inj_rpm->setValue((rpm / rpm_step + 1) * rpm_step);
}
