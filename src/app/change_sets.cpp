// SPDX-License-Identifier: GPL-3.0-or-later
#include "change_sets.h"

#include <QDebug>

namespace {

/// The parameters the unit takes in one IO-mode message, with the pump prime delay that the
/// AUX mode depends on.
const int_index op_mode_parameters[] = {
    i_main_mode,        i_aux_mode,       i_pump_prime_delay, i_gpo1_mode,    i_gpo2_mode,
    i_gpi1_mode,        i_gpi1_request,   i_gpi2_mode,        i_gpi2_request, i_gpi1_act_delay,
    i_gpi1_deact_delay, i_gpi2_act_delay, i_gpi2_deact_delay,
};

} // namespace

change_sets::loading_scope::loading_scope(change_sets& sets_)
    : sets(sets_)
    , was_loading(sets_.is_loading)
{
    sets.is_loading = true;
}

change_sets::loading_scope::~loading_scope()
{
    sets.is_loading = was_loading;
}

change_sets::change_sets(QObject* parent)
    : QObject(parent)
{
    setObjectName("change_sets");
}

void change_sets::show_changes_pending(bool pending_)
{
    pending = pending_;
    emit pending_changed(pending);
}

void change_sets::add_to_set(table_index table)
{
    if (is_loading)
        return;
    qDebug().noquote() << "Adding " + table_names[table];
    items.tables.insert(table);
    show_changes_pending(true);
}

void change_sets::add_to_set(int_index parameter)
{
    if (is_loading)
        return;
    qDebug().noquote() << "Adding " + int_names[parameter];
    items.parameters.insert(parameter);
    show_changes_pending(true);
}

void change_sets::add_to_set(adc_trim_index trim)
{
    if (is_loading)
        return;
    qDebug().noquote() << "Adding " + trim_names[trim];
    trims.insert(trim);
    show_changes_pending(true);
}

void change_sets::add_op_modes_to_set()
{
    for (int_index parameter : op_mode_parameters)
        add_to_set(parameter);
}

void change_sets::queue_everything()
{
    for (table_index table : {t_aux, t_main, t_gpo1, t_gpo2})
        add_to_set(table);
    add_to_set(i_rpm_scaler);
    add_to_set(i_pump_prime_delay);
    for (int parameter = i_main_mode; parameter <= i_fw_version; ++parameter)
        add_to_set(int_index(parameter));
}

void change_sets::remove_from_set(int_index parameter)
{
    // Only what this removed can turn the button green; a full copy still waits for Write.
    if (items.parameters.remove(parameter) && items.tables.isEmpty() &&
        items.parameters.isEmpty() && trims.isEmpty())
        show_changes_pending(false);
}

void change_sets::remove_from_set(table_index table)
{
    if (items.tables.remove(table) && items.tables.isEmpty() && items.parameters.isEmpty() &&
        trims.isEmpty())
        show_changes_pending(false);
}

queued_items change_sets::take()
{
    queued_items taken;
    std::swap(taken, items);
    trims.clear();
    return taken;
}

void change_sets::requeue(const queued_items& again)
{
    items.tables += again.tables;
    items.parameters += again.parameters;
}

void change_sets::clear()
{
    items = queued_items();
    trims.clear();
}
