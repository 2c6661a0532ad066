// The unit's settings as a person reads them, without a window: every parameter by name in
// the user's units, and the differences between two sets of settings (two files, or a file
// and a unit). Boost values are converted with each set's own active MAP calibration.
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

    struct parameter
    {
        QString name;
        QString value; // with its unit
    };
    struct difference
    {
        QString name;
        QString a;
        QString b;
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
