// SPDX-License-Identifier: GPL-3.0-or-later
// The fields of the window that hold the unit's settings (modes, ranges, thresholds, limits,
// delays, the MAP calibration) and the boost unit they are shown in, as one list: their
// values, a way to put values back as the user would set them, and a signal for each change.
#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QVariant>

class QWidget;

class settings_fields : public QObject
{
    Q_OBJECT

public:
    /// Finds the fields on the window's form; the boost unit comes first.
    settings_fields(QWidget* window, QObject* parent);

    int count() const { return fields.size(); }
    QList<QVariant> values() const;
    QWidget* widget(int field) const { return fields.at(field); }
    /// The field's position, or -1.
    int index_of(const QString& object_name) const;
    /// "max boost", for the menu's "Undo change of max boost".
    QString name(int field) const;
    bool is_spin_box(int field) const;

    /// Puts values back as if typed: each field's slots run and a spin box's editing finishes,
    /// so the panels check and queue them as for the user's own value.
    void restore(const QList<QPair<int, QVariant>>& values);
    bool restoring() const { return is_restoring; }
    /// Sets a field as if the user had typed or chosen `value`: its slots run and a spin
    /// box's editing finishes.
    static void put(QWidget* field, const QVariant& value);
    static QVariant value_of(const QWidget* field);

signals:
    /// A field's value changed, not by restore().
    void edited(int field);
    /// The user left a spin box (its editing finished).
    void left(int field);

private:
    void follow(int field);

    QList<QWidget*> fields;
    bool is_restoring = false;
};
