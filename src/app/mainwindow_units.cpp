// The boost unit: every field that shows a boost pressure is re-expressed when the user picks
// PSI, Bar or kPa.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "converter.h"

#include <QSignalBlocker>

#include <algorithm>
#include <array>
#include <vector>

namespace {

// The deadband field's range as the form gives it, in PSI; it is scaled with the unit.
constexpr double deadband_min_psi = 1.0;
constexpr double deadband_max_psi = 1023.0;

/// The boost-valued fields of one table's tab.
struct table_boost_fields
{
    QComboBox* source;
    QDoubleSpinBox* threshold;
    QDoubleSpinBox* live;
};

std::array<table_boost_fields, 4> table_fields(const Ui::MainWindow& ui)
{
    return {{{ui.main_vert_axis, ui.main_vert_axis_gt, ui.main_vert_live_value},
             {ui.aux_vert_axis, ui.aux_vert_axis_gt, ui.aux_vert_live_value},
             {ui.gpo1_vert_axis, ui.gpo1_vert_axis_gt, ui.gpo1_vert_live_value},
             {ui.gpo2_vert_axis, ui.gpo2_vert_axis_gt, ui.gpo2_vert_live_value}}};
}

/// Every boost-valued field as MAP counts: what the unit stores, and what survives a change
/// of the shown unit.
struct boost_counts
{
    quint16 min_boost = 0;
    quint16 max_boost = 0;
    quint16 deadband = 0;
    std::array<quint16, 4> threshold{};
    std::array<quint16, 4> live{};
    bool live_map_is_boost = false;
    quint16 live_map = 0;
};

bool on_map_sensor(const table_boost_fields& table)
{
    return table.source->currentIndex() == 0;
}

boost_counts to_counts(const Ui::MainWindow& ui, const converter& conv)
{
    boost_counts counts;
    counts.min_boost = conv.boost2adc(ui.min_boost->value());
    counts.max_boost = conv.boost2adc(ui.max_boost->value());
    counts.deadband = conv.deadband2adc(ui.active_deadband->value());
    const auto tables = table_fields(ui);
    for (size_t i = 0; i < tables.size(); ++i) {
        counts.threshold[i] = conv.boost2adc(tables[i].threshold->value());
        counts.live[i] = conv.boost2adc(tables[i].live->value());
    }
    // The live MAP read-out holds boost only in the physical format; "VAC" stays "VAC", and
    // "0" before the first frame is no reading at all.
    bool is_number = false;
    const double live_map = ui.live_map->text().toDouble(&is_number);
    counts.live_map_is_boost =
        ui.live_display_format->currentIndex() == 0 && is_number && live_map > 0;
    counts.live_map = conv.boost2adc(live_map);
    return counts;
}

void set_boost_format(QDoubleSpinBox* box, const converter& conv)
{
    box->setDecimals(conv.boost_decimals());
    box->setSingleStep(conv.boost_step());
}

/// Writes the counts back in the converter's (new) unit, without any field announcing it.
/// Formats come first: a value set under the old number of decimals would be cut to them.
void from_counts(Ui::MainWindow& ui, converter& conv, const boost_counts& counts)
{
    const auto tables = table_fields(ui);
    std::vector<QSignalBlocker> quiet;
    for (QObject* field : std::initializer_list<QObject*>{ui.min_boost, ui.max_boost,
                                                          ui.active_deadband, ui.live_map})
        quiet.emplace_back(field);
    for (const table_boost_fields& table : tables) {
        quiet.emplace_back(table.threshold);
        quiet.emplace_back(table.live);
    }

    set_boost_format(ui.min_boost, conv);
    ui.min_boost->setValue(conv.adc2boost(counts.min_boost));
    set_boost_format(ui.max_boost, conv);
    ui.max_boost->setValue(conv.adc2boost(counts.max_boost));

    // The deadband carries a unit label of its own (boost_lbl_4): it is entered in the
    // shown unit and converted from it (deadband2adc), so it follows the unit too.
    set_boost_format(ui.active_deadband, conv);
    ui.active_deadband->setRange(deadband_min_psi * conv.boost_units,
                                 deadband_max_psi * conv.boost_units);
    ui.active_deadband->setValue(conv.adc2deadband(counts.deadband));
    conv.set_active_deadband(ui.active_deadband->value());

    // A table on an analog input shows volts, whatever the boost unit.
    for (size_t i = 0; i < tables.size(); ++i) {
        if (!on_map_sensor(tables[i]))
            continue;
        set_boost_format(tables[i].threshold, conv);
        tables[i].threshold->setValue(conv.adc2boost(counts.threshold[i]));
        // Vacuum shows as 0 here, as the live view does.
        tables[i].live->setValue(std::max(0.0, conv.adc2boost(counts.live[i])));
    }

    if (counts.live_map_is_boost) {
        const double boost = conv.adc2boost(counts.live_map);
        ui.live_map->setText(boost > 0 ? QString::number(boost, 'f', conv.boost_decimals())
                                       : QString("VAC"));
    }
}

} // namespace

void MainWindow::on_boost_select_currentIndexChanged(int index)
{
    const boost_counts counts = to_counts(*ui, *conv);
    conv->set_boost_units(index);
    for (QLabel* label : {ui->boost_lbl_1, ui->boost_lbl_2, ui->boost_lbl_3, ui->boost_lbl_4})
        label->setText(conv->boost_units_name);
    {
        // Each threshold takes the new unit's range before its value: 45 PSI is 310 kPa,
        // which the range that suited PSI would cut to 300.
        std::vector<QSignalBlocker> quiet;
        for (const table_widgets& tab : tabs)
            quiet.emplace_back(tab.vert_axis_gt);
        reapply_vertical_sources();
    }
    from_counts(*ui, *conv, counts);

    // The sensor's last count may round to a shown value just beyond what it measures.
    for (table_index t : {t_main, t_aux, t_gpo1, t_gpo2})
        clamp_vertical_threshold(t, tabs[t].vert_axis_gt->value());
    reapply_vertical_sources();
    main_field_changed();
    aux_field_changed();
    gpo1_field_changed();
    gpo2_field_changed();
}
