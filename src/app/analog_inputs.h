// SPDX-License-Identifier: GPL-3.0-or-later
// The analog inputs' conversion tables: a CSV file makes input A or B show a quantity of the
// user's own instead of volts, and Set to Default goes back to volts. The file in use is
// remembered for the next start.
#pragma once

#include <QObject>
#include <QString>

namespace Ui {
class MainWindow;
}
class QLineEdit;
class QWidget;
class converter;

class analog_inputs : public QObject
{
    Q_OBJECT

public:
    analog_inputs(Ui::MainWindow& ui, QWidget* window, converter* conv, QObject* parent);

    /// Loads a conversion CSV file for input A (`input_a`) or B. False (after telling the
    /// user) when the file does not parse; the input keeps its table.
    bool load_cust_an_conv(const QString& path, bool input_a);
    /// The file an input's conversion came from (empty: volts).
    QString file_name(bool input_a) const;
    /// Loads the files remembered from the last run (empty: volts).
    void restore(const QString& file_a, const QString& file_b);

signals:
    /// The quantity an input shows changed: its conversion table's name, or "V".
    void quantity_changed(bool input_a, const QString& name);

private slots:
    void on_cust_ana_load_file_clicked();
    void on_cust_anb_load_file_clicked();
    void on_cust_ana_defaults_clicked();
    void on_cust_anb_defaults_clicked();

private:
    void choose_cust_an_file(bool input_a);
    void set_cust_an_defaults(bool input_a);

    QWidget* window;
    converter* conv;
    QLineEdit* cust_ana_filename;
    QLineEdit* cust_anb_filename;
    /// Files the inputs' conversions came from (empty: volts).
    QString cust_ana_file_name;
    QString cust_anb_file_name;
};
