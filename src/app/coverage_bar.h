// SPDX-License-Identifier: GPL-3.0-or-later
// The controls of a table page's log coverage: "Show log coverage", what the cells show (the
// share of time, or the mean or maximum of a channel), the fewest samples a cell needs, only
// samples with the output driven, and Copy.
#pragma once

#include "log_coverage.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;

class coverage_bar : public QWidget
{
    Q_OBJECT

public:
    /// Named `name`; its controls keep their own names ("coverage_show", ...).
    explicit coverage_bar(const QString& name, QWidget* parent = nullptr);

    bool is_shown() const;
    log_coverage::channel channel() const;
    bool maximum() const;
    int min_samples() const;
    bool only_active() const;
    /// Names the channels in the chooser, each with its unit ("Analog A [AFR]").
    void set_channel_names(const QStringList& names);

signals:
    void settings_changed();
    void copy_requested();

private:
    QCheckBox* show;
    QComboBox* channels;
    QComboBox* statistic;
    QSpinBox* least_samples;
    QCheckBox* active;
    QPushButton* copy;
};
