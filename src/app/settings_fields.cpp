// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_fields.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QWidget>

namespace {

/// The boost unit first: boost values are shown in it, so it goes back before they do.
const char* const field_names[] = {
    "boost_select",
    // ranges
    "max_engine_speed", "min_boost", "max_boost", "min_an1_input", "max_an1_input", "min_an2_input",
    "max_an2_input",
    // modes and inputs
    "pulses_per_rev", "pump_prime_delay", "main_control", "aux_control", "gpo1_control",
    "gpo2_control", "gpi1_control", "gpi1_request", "gpi1_act_delay", "gpi1_deact_delay",
    "gpi2_control", "gpi2_request", "gpi2_act_delay", "gpi2_deact_delay",
    // the tables' records
    "main_vert_axis", "main_vert_axis_gt", "main_horz_axis_gt", "main_min_duty",
    "main_undercurrent_limit", "main_overcurrent_limit", "main_time_delay", "aux_vert_axis",
    "aux_vert_axis_gt", "aux_horz_axis_gt", "aux_min_duty", "aux_undercurrent_limit",
    "aux_overcurrent_limit", "aux_time_delay", "gpo1_vert_axis", "gpo1_vert_axis_gt",
    "gpo1_horz_axis_gt", "gpo1_act_delay", "gpo1_deact_delay", "gpo2_vert_axis",
    "gpo2_vert_axis_gt", "gpo2_horz_axis_gt", "gpo2_act_delay", "gpo2_deact_delay",
    // MAP calibration
    "base_slope", "base_intercept", "base_atm", "active_slope", "active_intercept", "active_atm",
    "active_deadband"};

} // namespace

settings_fields::settings_fields(QWidget* window, QObject* parent)
    : QObject(parent)
{
    setObjectName("settings_fields");
    for (const char* name : field_names) {
        QWidget* field = window->findChild<QWidget*>(name);
        if (!field) {
            qWarning("No settings field %s on the form", name);
            continue;
        }
        fields.append(field);
        follow(fields.size() - 1);
    }
}

void settings_fields::follow(int field)
{
    QWidget* w = fields.at(field);
    auto changed = [this, field] {
        if (!is_restoring)
            emit edited(field);
    };
    if (auto* combo = qobject_cast<QComboBox*>(w))
        connect(combo, qOverload<int>(&QComboBox::currentIndexChanged), this, changed);
    else if (auto* spin = qobject_cast<QSpinBox*>(w))
        connect(spin, qOverload<int>(&QSpinBox::valueChanged), this, changed);
    else if (auto* spin_d = qobject_cast<QDoubleSpinBox*>(w))
        connect(spin_d, qOverload<double>(&QDoubleSpinBox::valueChanged), this, changed);
    if (auto* box = qobject_cast<QAbstractSpinBox*>(w))
        connect(box, &QAbstractSpinBox::editingFinished, this, [this, field] {
            if (!is_restoring)
                emit left(field);
        });
}

QList<QVariant> settings_fields::values() const
{
    QList<QVariant> out;
    for (int field = 0; field < fields.size(); ++field)
        out.append(value_of(fields.at(field)));
    return out;
}

int settings_fields::index_of(const QString& object_name) const
{
    for (int field = 0; field < fields.size(); ++field)
        if (fields.at(field)->objectName() == object_name)
            return field;
    return -1;
}

QString settings_fields::name(int field) const
{
    QString text = fields.at(field)->objectName();
    text.replace("_select", " unit").replace("_gt", " threshold").replace("an1", "analog A");
    text.replace("an2", "analog B")
        .replace("horz_axis", "engine speed")
        .replace("vert_axis", "vertical axis");
    text.replace("_atm", " atmospheric").replace("_control", " mode").replace('_', ' ');
    return text;
}

bool settings_fields::is_spin_box(int field) const
{
    return qobject_cast<QAbstractSpinBox*>(fields.at(field)) != nullptr;
}

QVariant settings_fields::value_of(const QWidget* w)
{
    if (auto* combo = qobject_cast<const QComboBox*>(w))
        return combo->currentIndex();
    if (auto* spin = qobject_cast<const QSpinBox*>(w))
        return spin->value();
    if (auto* spin_d = qobject_cast<const QDoubleSpinBox*>(w))
        return spin_d->value();
    return QVariant();
}

void settings_fields::put(QWidget* w, const QVariant& value)
{
    if (auto* combo = qobject_cast<QComboBox*>(w))
        combo->setCurrentIndex(value.toInt());
    else if (auto* spin = qobject_cast<QSpinBox*>(w))
        spin->setValue(value.toInt());
    else if (auto* spin_d = qobject_cast<QDoubleSpinBox*>(w))
        spin_d->setValue(value.toDouble());
    if (auto* box = qobject_cast<QAbstractSpinBox*>(w))
        emit box->editingFinished();
}

void settings_fields::restore(const QList<QPair<int, QVariant>>& targets)
{
    is_restoring = true;
    // A second pass puts back what a field's rules moved while its neighbours were still at
    // the other values (a range's minimum span, the MAIN/AUX interlock).
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& target : targets) {
            if (value_of(fields.at(target.first)) != target.second)
                put(fields.at(target.first), target.second);
        }
    }
    is_restoring = false;
}
