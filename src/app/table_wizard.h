// SPDX-License-Identifier: GPL-3.0-or-later
// The settings wizard's run: it asks for the point where injection starts and the one where
// it reaches full flow, then sets MAIN to its duty table, the main table's thresholds and the
// boost range around those points, and fills the main table with a ramp between them.
#pragma once

#include "settings_wizard.h"

#include <QObject>

namespace Ui {
class MainWindow;
}
class QStatusBar;
class QWidget;
class axis_ranges;
class converter;
class output_modes;
class table_pages;
class undo_history;

class table_wizard : public QObject
{
    Q_OBJECT

public:
    table_wizard(QWidget* window, converter* conv, table_pages& pages, axis_ranges& ranges,
                 output_modes& modes, undo_history& history, QStatusBar* status, QObject* parent);

private slots:
    void on_btn_settings_wizard_clicked();

private:
    void apply(const settings_wizard::points& points);

    QWidget* window;
    converter* conv;
    table_pages& pages;
    axis_ranges& ranges;
    output_modes& modes;
    undo_history& history;
    QStatusBar* status;
    /// The full-injection RPM the wizard offers next time; kept while the program runs.
    int remembered_full_inj_rpm = 4000;
};
