// SPDX-License-Identifier: GPL-3.0-or-later
#include "fw_program_status.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>

fw_program_status::fw_program_status(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , reset_label(new QLabel("Resetting", this))
    , reset_bar(new QProgressBar(this))
    , program_label(new QLabel("Programming", this))
    , program_bar(new QProgressBar(this))
{
    setObjectName("fw_program_status");
    setWindowTitle("FW Programming...");
    setModal(true);
    reset_bar->setObjectName("reset_bar");
    program_bar->setObjectName("program_bar");
    auto* layout = new QGridLayout(this);
    layout->addWidget(reset_label, 0, 0);
    layout->addWidget(reset_bar, 0, 1);
    layout->addWidget(program_label, 1, 0);
    layout->addWidget(program_bar, 1, 1);
    setMinimumWidth(320);
    reset_rows();
}

void fw_program_status::set_row(QLabel* label, QProgressBar* bar, int progress)
{
    const bool active = progress >= 0;
    label->setEnabled(active);
    bar->setEnabled(active);
    bar->setValue(active ? qMin(progress, 100) : 0);
}

void fw_program_status::set_reset_progress(int progress)
{
    set_row(reset_label, reset_bar, progress);
}

void fw_program_status::set_program_progress(int progress)
{
    set_row(program_label, program_bar, progress);
}

void fw_program_status::reset_rows()
{
    set_reset_progress(-1);
    set_program_progress(-1);
}

void fw_program_status::reject() {}
