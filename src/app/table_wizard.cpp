// SPDX-License-Identifier: GPL-3.0-or-later
#include "table_wizard.h"

#include "axis_ranges.h"
#include "connect_slots_by_name.h"
#include "converter.h"
#include "guide_sections.h"
#include "message_box.h"
#include "output_modes.h"
#include "settings_wizard.h"
#include "table_pages.h"
#include "undo_history.h"

#include <QDebug>
#include <QStatusBar>

#include <algorithm>

namespace {

constexpr int mode_duty_table = 1; // MAIN's "Duty table"

} // namespace

table_wizard::table_wizard(QWidget* window_, converter* conv_, table_pages& pages_,
                           axis_ranges& ranges_, output_modes& modes_, undo_history& history_,
                           QStatusBar* status_, QObject* parent)
    : QObject(parent)
    , window(window_)
    , conv(conv_)
    , pages(pages_)
    , ranges(ranges_)
    , modes(modes_)
    , history(history_)
    , status(status_)
{
    setObjectName("table_wizard");
    connect_slots_by_name(this, window);
}

void table_wizard::on_btn_settings_wizard_clicked()
{
    // The wizard's points are boost pressures: on an analog axis they would land in volts.
    if (pages.vertical_source(t_main) != 0) {
        const QString text = "The settings wizard needs the main table on the MAP sensor";
        qWarning().noquote() << text;
        message_box::show_with_help(
            guide_sections::wizard, window, QMessageBox::Information, text,
            "The main table's vertical axis is an analog input. Set it to the MAP "
            "sensor to build the table with the wizard; nothing was changed.");
        return;
    }
    // The axis reaches one PSI beyond each point, whatever unit the pressures are shown in.
    const double margin = conv->boost_units;
    settings_wizard wizard(window, pages.horizontal_threshold(t_main),
                           pages.vertical_threshold(t_main), remembered_full_inj_rpm,
                           ranges.boost_max() - margin, ranges.engine_speed_limit(),
                           ranges.boost_limit(), conv->boost_units_name, ranges.boost_decimals());
    if (wizard.exec() != QDialog::Accepted) {
        status->showMessage("Cancelled settings wizard, injection table not updated.");
        return;
    }
    const settings_wizard::points points = wizard.get_points();
    remembered_full_inj_rpm = points.full_inj_rpm;
    // Everything it sets, fields and cells, is one step of Edit > Undo.
    history.as_one_step("settings wizard", [this, &points] { apply(points); });
}

void table_wizard::apply(const settings_wizard::points& points)
{
    const double margin = conv->boost_units;
    modes.set_main_mode(mode_duty_table);
    const double low = std::max(conv->adc2boost(0), points.start_inj_psi - margin);
    pages.set_thresholds(t_main, points.start_inj_rpm, low);
    ranges.set_boost_range(low, points.full_inj_psi + margin);
    // The boost range is shared by every table on the MAP sensor: it obeys the rules of a
    // range typed by hand (wide enough for the axis), and those tables follow it and are
    // queued for Write, not only the main one.
    ranges.apply_boost_range(true);
    pages.set_table_axis(t_main);
    pages.fill_main_gradient(points.full_inj_rpm);
}
