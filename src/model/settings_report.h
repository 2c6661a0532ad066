// SPDX-License-Identifier: GPL-3.0-or-later
// The unit's settings as a person reads them, without a window: every parameter by name in
// the user's units, and the differences between two sets of settings (two files, a file and
// a unit, or the window and either), per parameter and per table cell. Boost values are
// converted with each set's own active MAP calibration.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

class converter;

class settings_report
{
public:
    ~settings_report();
    /// 0 PSI, 1 Bar, 2 kPa.
    settings_report(const QList<QByteArray>& tables, const QList<quint32>& ints, int boost_unit);

    /// Where a parameter comes from: an integer parameter, or a part of a table's record.
    struct origin
    {
        enum part_kind {
            parameter, // `index` is an int_index
            // the others are parts of the record of table `index`
            source,
            vertical_range,
            rpm_range,
            min_duty,
            undercurrent,
            overcurrent,
            time_delay,
            act_delay,
            deact_delay,
            vertical_threshold,
            rpm_threshold,
            record, // no valid record
        };
        part_kind part = parameter;
        int index = -1;
    };
    struct parameter
    {
        QString name;
        QString value; // with its unit
        origin from;
    };
    struct difference
    {
        QString name;
        QString a;
        QString b;
        origin from;
    };
    /// One table cell that differs, in duty counts (0..1023).
    struct cell_difference
    {
        int table = 0; // table_index
        int row = 0;   // 0 the top row
        int column = 0;
        quint16 a = 0;
        quint16 b = 0;
        int rpm = 0;      // the column's engine speed...
        QString vertical; // ...and the row's boost or analog value, with its unit
    };
    struct table_difference
    {
        QString table;
        int cells = 0;           // how many of the 256 cells differ
        int largest = 0;         // the largest difference, in percent points
        int rpm = 0;             // where it lies: the column's engine speed...
        QString vertical;        // ...and the row's boost or analog value, with its unit
        bool unreadable = false; // one side holds no valid table record
    };

    /// Every parameter, in the order of the window's pages.
    QList<parameter> parameters() const;
    QList<difference> parameter_differences(const settings_report& other) const;
    QList<table_difference> table_differences(const settings_report& other) const;
    /// Every cell whose duty differs in percent (what a table shows), table by table in the
    /// order of the window's pages.
    QList<cell_difference> cell_differences(const settings_report& other) const;

    /// "MAIN mode: Duty table | Output OFF", as quorvane-cli diff prints it.
    static QString line(const difference& d);
    static QString line(const table_difference& d);
    /// "MAIN table, 3000 RPM, 12.50 PSI: 40 % | 55 %".
    static QString line(const cell_difference& d);

private:
    void describe_general(QList<parameter>& out) const;
    void describe_calibration(QList<parameter>& out) const;
    void describe_table(int table, QList<parameter>& out) const;
    QString vertical_text(int source, quint16 counts) const;
    std::unique_ptr<converter> boost_converter() const;

    QList<QByteArray> tables;
    QList<quint32> ints;
    int boost_unit;
    double slope;
    double intercept;
};
