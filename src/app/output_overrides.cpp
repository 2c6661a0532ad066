// SPDX-License-Identifier: GPL-3.0-or-later
#include "output_overrides.h"
#include "ui_mainwindow.h"

#include "connect_slots_by_name.h"
#include "guide_sections.h"
#include "message_box.h"
#include "rq7_worker.h"

#include <QDebug>

#include <algorithm>
#include <cmath>

namespace {

bool is_output(table_index output)
{
    return output == t_aux || output == t_main || output == t_gpo1 || output == t_gpo2;
}

} // namespace

output_overrides::output_overrides(Ui::MainWindow& ui, QWidget* window_, rq7_worker* worker_,
                                   QObject* parent)
    : QObject(parent)
    , window(window_)
    , worker(worker_)
    , percent{ui.aux_override, ui.main_override, ui.gpo1_override, ui.gpo2_override}
    , set_buttons{ui.aux_override_set, ui.main_override_set, ui.gpo1_override_set,
                  ui.gpo2_override_set}
    , reset_buttons{ui.aux_override_reset, ui.main_override_reset, ui.gpo1_override_reset,
                    ui.gpo2_override_reset}
{
    setObjectName("output_overrides");
    connect_slots_by_name(this, window);
    connect(worker, &rq7_worker::override_failed, this, &output_overrides::when_override_failed);
    set_connected(false);
}

void output_overrides::set_connected(bool connected)
{
    for (table_index output : {t_main, t_aux, t_gpo1, t_gpo2}) {
        set_buttons[output]->setEnabled(connected);
        reset_buttons[output]->setEnabled(connected);
    }
}

void output_overrides::send_override(table_index output)
{
    const int value = percent[output]->value();
    if (value == -1) // "__": no override to set
        return;
    const uint counts = uint(std::lround(std::min(value, 100) * 1023.0 / 100.0));
    worker->set_override(output, counts);
}

void output_overrides::release_override(table_index output)
{
    percent_before_reset[output] = percent[output]->value();
    worker->reset_override(output);
    percent[output]->setValue(-1);
}

void output_overrides::when_override_failed(FT_STATUS status, table_index output, bool reset)
{
    const char* const names[] = {"AUX", "MAIN", "GPO1", "GPO2"}; // by table_index
    if (!is_output(output))
        return; // only the four outputs have overrides
    // A Reset the unit did not take leaves the override in force: show it again.
    if (reset && percent[output]->value() == -1)
        percent[output]->setValue(percent_before_reset[output]);
    const QString name = names[output];
    const QString text =
        QString(reset ? "Could not reset the override of %1" : "Could not set the override of %1")
            .arg(name);
    qWarning().noquote() << text << "status" << status;
    message_box::show_with_help(guide_sections::output_overrides, window, QMessageBox::Critical,
                                text,
                                QString("The unit did not take the request (status %1).%2")
                                    .arg(status)
                                    .arg(reset ? " The output may still be overridden." : ""));
}

void output_overrides::on_main_override_set_clicked()
{
    send_override(t_main);
}

void output_overrides::on_aux_override_set_clicked()
{
    send_override(t_aux);
}

void output_overrides::on_gpo1_override_set_clicked()
{
    send_override(t_gpo1);
}

void output_overrides::on_gpo2_override_set_clicked()
{
    send_override(t_gpo2);
}

void output_overrides::on_main_override_reset_clicked()
{
    release_override(t_main);
}

void output_overrides::on_aux_override_reset_clicked()
{
    release_override(t_aux);
}

void output_overrides::on_gpo1_override_reset_clicked()
{
    release_override(t_gpo1);
}

void output_overrides::on_gpo2_override_reset_clicked()
{
    release_override(t_gpo2);
}
