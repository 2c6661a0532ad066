// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage_bar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

coverage_bar::coverage_bar(const QString& name, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(name);
    show = new QCheckBox("Show log coverage", this);
    show->setObjectName("coverage_show");
    show->setToolTip("Shade each cell by the share of the stored log's time the engine spent "
                     "there");
    channels = new QComboBox(this);
    channels->setObjectName("coverage_channel");
    channels->setToolTip("What each cell shows: its share of the time, or a channel's value");
    set_channel_names({});
    statistic = new QComboBox(this);
    statistic->setObjectName("coverage_statistic");
    statistic->addItems({"Mean", "Maximum"});
    least_samples = new QSpinBox(this);
    least_samples->setObjectName("coverage_min_samples");
    least_samples->setRange(1, 100000);
    least_samples->setPrefix("at least ");
    least_samples->setSuffix(" sample(s)");
    least_samples->setToolTip("Cells with fewer samples are not shown");
    active = new QCheckBox("Only with the output driven", this);
    active->setObjectName("coverage_only_active");
    active->setToolTip("Count only samples where the table's output was above its minimum duty");
    copy = new QPushButton("Copy", this);
    copy->setObjectName("coverage_copy");
    copy->setToolTip("Copy the coverage grid as tab-separated text");

    // Two rows, so that the page keeps the width it had without them.
    channels->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    channels->setMinimumContentsLength(16);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(show, 0, 0);
    layout->addWidget(channels, 0, 1);
    layout->addWidget(statistic, 0, 2);
    layout->addWidget(least_samples, 1, 0);
    layout->addWidget(active, 1, 1);
    layout->addWidget(copy, 1, 2);
    layout->setColumnStretch(3, 1);

    auto changed = [this] {
        const bool on = show->isChecked();
        const bool with_channel = channels->currentIndex() > 0;
        channels->setEnabled(on);
        statistic->setEnabled(on && with_channel);
        least_samples->setEnabled(on);
        active->setEnabled(on);
        copy->setEnabled(on);
        emit settings_changed();
    };
    connect(show, &QCheckBox::toggled, this, changed);
    connect(channels, QOverload<int>::of(&QComboBox::currentIndexChanged), this, changed);
    connect(statistic, QOverload<int>::of(&QComboBox::currentIndexChanged), this, changed);
    connect(least_samples, QOverload<int>::of(&QSpinBox::valueChanged), this, changed);
    connect(active, &QCheckBox::toggled, this, changed);
    connect(copy, &QPushButton::clicked, this, &coverage_bar::copy_requested);
    const QSignalBlocker block(this);
    changed();
}

bool coverage_bar::is_shown() const
{
    return show->isChecked();
}

log_coverage::channel coverage_bar::channel() const
{
    return log_coverage::channel(qBound(0, channels->currentIndex(), log_coverage::c_count - 1));
}

bool coverage_bar::maximum() const
{
    return statistic->currentIndex() == 1;
}

int coverage_bar::min_samples() const
{
    return least_samples->value();
}

bool coverage_bar::only_active() const
{
    return active->isChecked();
}

void coverage_bar::set_channel_names(const QStringList& names)
{
    const QSignalBlocker block(channels);
    const int current = qMax(0, channels->currentIndex());
    channels->clear();
    channels->addItem("Time share [%]");
    for (int c = log_coverage::c_time + 1; c < log_coverage::c_count; ++c)
        channels->addItem(c - 1 < names.size() ? names[c - 1] : QString("channel %1").arg(c));
    channels->setCurrentIndex(current);
}
