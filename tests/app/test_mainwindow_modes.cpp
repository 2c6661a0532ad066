// SPDX-License-Identifier: GPL-3.0-or-later
// Output modes and what they enable, the MAIN/AUX pump prime interlock, the value rules of
// the editable parameters, the boost unit, and the analog inputs' conversion files.
#include "box_answerer.h"
#include "converter.h"
#include "dialog_answerer.h"
#include "duty_table.h"
#include "mainwindow.h"
#include "sim_fixture.h"
#include "window_access.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString refused =
    "Cannot change MAIN control to duty + pump prime if AUX table is not already set to the same";
const QString released =
    "Cannot have MAIN control set to duty table + pump prime if AUX table is not set to the same";

} // namespace

class test_mainwindow_modes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationVersion("2.11.0");
        sim = std::make_unique<sim_fixture>(false);
    }
    void init()
    {
        QSettings().clear(); // every window starts from the default preferences
        window = std::make_unique<MainWindow>();
    }
    void cleanup() { window.reset(); }

    void values_snap_to_the_unit_steps_data();
    void values_snap_to_the_unit_steps();
    void pump_prime_interlock_both_ways();
    void modes_enable_their_widgets_data();
    void modes_enable_their_widgets();
    void range_spans_data();
    void range_spans();
    void boost_unit_round_trip();
    void custom_analog_files();

private:
    template <typename T>
    T* w(const QString& name)
    {
        return child<T>(window.get(), qPrintable(name));
    }
    double value(const QString& box) { return w<QWidget>(box)->property("value").toDouble(); }
    /// Sets a spin box and ends the edit as losing focus does.
    void finish(const QString& box, double v)
    {
        w<QWidget>(box)->setProperty("value", v);
        QMetaObject::invokeMethod(w<QWidget>(box), "editingFinished");
    }
    QString status() { return window->statusBar()->currentMessage(); }

    std::unique_ptr<sim_fixture> sim;
    std::unique_ptr<MainWindow> window;
};

void test_mainwindow_modes::values_snap_to_the_unit_steps_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<double>("entered");
    QTest::addColumn<double>("kept");
    QTest::addColumn<QString>("message");
    const QString delay = "Can only set delay in increments of 13.0";
    QTest::newRow("GPI delay 100") << "gpi1_act_delay" << 100.0 << 104.0 << delay;
    QTest::newRow("GPI delay 130") << "gpi2_deact_delay" << 130.0 << 130.0 << "";
    QTest::newRow("pump prime 100") << "pump_prime_delay" << 100.0 << 104.0 << delay;
    const QString rpm = "Can only set max engine RPM in increments of 500";
    QTest::newRow("rpm 8100") << "max_engine_speed" << 8100.0 << 8500.0 << rpm;
    QTest::newRow("rpm 9000") << "max_engine_speed" << 9000.0 << 9000.0 << "";
    QTest::newRow("pulses 1.2") << "pulses_per_rev" << 1.2 << 1.5
                                << "Can only set pulses per revolution in increments of 0.5";
}

void test_mainwindow_modes::values_snap_to_the_unit_steps()
{
    QFETCH(QString, box);
    QFETCH(double, entered);
    QFETCH(double, kept);
    QFETCH(QString, message);
    finish(box, entered);
    QCOMPARE(value(box), kept);
    QCOMPARE(status(), message);
    if (box == "pump_prime_delay")
        QCOMPARE(value("pump_prime_delay_2"), kept);
}

void test_mainwindow_modes::pump_prime_interlock_both_ways()
{
    box_answerer answerer;
    auto* main = w<QComboBox>("main_control");
    auto* aux = w<QComboBox>("aux_control");
    aux->setCurrentIndex(1);
    main->setCurrentIndex(2);
    QCOMPARE(main->currentText(), QString("Duty table"));
    QCOMPARE(status(), refused);
    QVERIFY(answerer.boxes.isEmpty());

    aux->setCurrentIndex(2);
    main->setCurrentIndex(2);
    aux->setCurrentIndex(1);
    QCOMPARE(answerer.boxes.size(), 1);
    QCOMPARE(answerer.boxes[0].icon, QMessageBox::Warning);
    QCOMPARE(answerer.boxes[0].text, released);
    QCOMPARE(answerer.boxes[0].informative_text,
             QString("MAIN control currently set to: Duty table + pump delay\n"
                     "MAIN control will be changed to: Duty table"));
    QCOMPARE(main->currentIndex(), 1);
    QCOMPARE(status(), released);

    // A load sets both quietly, then runs MAIN's handler and AUX's: a consistent pair
    // survives, an inconsistent one is mended without asking anybody.
    auto load = [&](int main_index, int aux_index) {
        const QSignalBlocker quiet_main(main);
        const QSignalBlocker quiet_aux(aux);
        main->setCurrentIndex(main_index);
        aux->setCurrentIndex(aux_index);
        QObject* modes = child<QObject>(window.get(), "output_modes");
        QMetaObject::invokeMethod(modes, "on_main_control_currentIndexChanged",
                                  Q_ARG(int, main_index));
        QMetaObject::invokeMethod(modes, "on_aux_control_currentIndexChanged",
                                  Q_ARG(int, aux_index));
    };
    load(2, 2);
    QCOMPARE(main->currentIndex(), 2);
    load(2, 4);
    QCOMPARE(main->currentIndex(), 1);
    QCOMPARE(answerer.boxes.size(), 1);
}

// Rows name the widgets to check, "@" standing for the output, "-" for disabled; GPO rows
// also give the operate label and the comparison labels' text.
void test_mainwindow_modes::modes_enable_their_widgets_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("widgets");
    QTest::addColumn<QStringList>("labels");
    const QString tab = "@_table @_vert_axis @_vert_axis_gt @_horz_axis_gt";
    const QString off_tab = "-@_table -@_vert_axis -@_vert_axis_gt -@_horz_axis_gt";
    QTest::newRow("MAIN off") << "main" << 0 << off_tab << QStringList();
    QTest::newRow("MAIN table") << "main" << 1 << tab << QStringList();
    QTest::newRow("AUX pump") << "aux" << 2 << tab + " pump_prime_delay" << QStringList();
    QTest::newRow("AUX OEM") << "aux" << 3 << tab + " -pump_prime_delay" << QStringList();
    QTest::newRow("AUX pass") << "aux" << 4 << off_tab + " -pump_prime_delay" << QStringList();

    const QString ge = "is equal to or greater than:";
    const QString setpoint = "@_vert_axis @_vert_axis_gt @_horz_axis_gt @_act_delay @_deact_delay";
    for (const char* gpo : {"gpo1", "gpo2"}) {
        QTest::addRow("%s table", gpo) << gpo << 1 << tab + " -@_act_delay -@_deact_delay"
                                       << QStringList{"Duty table used when:", ge};
        QTest::addRow("%s on above", gpo)
            << gpo << 2 << "-@_table " + setpoint << QStringList{"100% duty when:", ge};
        QTest::addRow("%s off above", gpo)
            << gpo << 3 << "-@_table " + setpoint
            << QStringList{"100% duty when:", "is equal to or less than:"};
        for (int index : {0, 4, 7})
            QTest::addRow("%s %d", gpo, index)
                << gpo << index << off_tab + " -@_act_delay -@_deact_delay"
                << QStringList{"Duty table is not used.", ge};
    }
    for (const char* gpi : {"gpi1", "gpi2"}) {
        QTest::addRow("%s not used", gpi)
            << gpi << 0 << "-@_request -@_act_delay -@_deact_delay" << QStringList();
        QTest::addRow("%s used", gpi)
            << gpi << 4 << "@_request @_act_delay @_deact_delay" << QStringList();
    }
}

void test_mainwindow_modes::modes_enable_their_widgets()
{
    QFETCH(QString, output);
    QFETCH(int, index);
    QFETCH(QString, widgets);
    QFETCH(QStringList, labels);
    // Through a mode that differs in what is checked, so that each row is a change.
    w<QComboBox>(output + "_control")->setCurrentIndex(index == 1 ? 2 : 1);
    w<QComboBox>(output + "_control")->setCurrentIndex(index);
    for (QString name : widgets.split(' ')) {
        const bool enabled = !name.startsWith('-');
        name = name.remove('-').replace('@', output);
        QVERIFY2(w<QWidget>(name)->isEnabled() == enabled, qPrintable(name));
    }
    if (!labels.isEmpty()) {
        QCOMPARE(w<QLabel>(output + "_operate_label")->text(), labels[0]);
        QCOMPARE(w<QLabel>(output + "_vert_comp_label")->text(), labels[1]);
        QCOMPARE(w<QLabel>(output + "_horz_comp_label")->text(), labels[1]);
    }
}

void test_mainwindow_modes::range_spans_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("range"); // boost, an1 or an2
    QTest::addColumn<bool>("edit_max");
    QTest::addColumn<double>("other");
    QTest::addColumn<double>("edited");
    QTest::addColumn<double>("min_after");
    QTest::addColumn<double>("max_after");
    QTest::addColumn<QString>("message");
    QTest::newRow("PSI max 3 above") << 0 << "boost" << true << 10.0 << 13.0 << 10.0 << 15.0
                                     << "Max must be greater than 15.0 PSI";
    QTest::newRow("PSI min 3 below") << 0 << "boost" << false << 30.0 << 27.0 << 25.0 << 30.0
                                     << "Max - min boost must be greater than 5.0 PSI apart";
    QTest::newRow("Bar max too close")
        << 1 << "boost" << true << 1.0 << 1.2 << 1.0 << 1.34 << "Max must be greater than 1.3 Bar";
    QTest::newRow("Bar 0.34 apart") << 1 << "boost" << false << 2.0 << 1.66 << 1.66 << 2.0 << "";
    // 100 kPa lies between two MAP counts: it moves to the nearer one.
    QTest::newRow("kPa on a count") << 2 << "boost" << true << 0.0 << 100.0 << 0.0 << 99.94 << "";
    const QString volts = "Max - min must be greater than 0.5V";
    QTest::newRow("A max too low") << 0 << "an1" << true << 0.0 << 0.2 << 0.0 << 0.5 << volts;
    QTest::newRow("B min too high") << 0 << "an2" << false << 4.7 << 4.5 << 4.2 << 4.7 << volts;
    // 0.7 - 0.2 is a hair below 0.5 in binary, and still wide enough.
    QTest::newRow("A 0.5 apart") << 0 << "an1" << true << 0.2 << 0.7 << 0.2 << 0.7 << "";
}

void test_mainwindow_modes::range_spans()
{
    QFETCH(int, unit);
    QFETCH(QString, range);
    QFETCH(bool, edit_max);
    QFETCH(double, other);
    QFETCH(double, edited);
    QFETCH(double, min_after);
    QFETCH(double, max_after);
    QFETCH(QString, message);
    w<QComboBox>("boost_select")->setCurrentIndex(unit);
    // The AUX table reads the range; MAIN stays on the MAP sensor.
    w<QComboBox>("aux_vert_axis")->setCurrentIndex(range == "an1" ? 1 : range == "an2" ? 2 : 0);
    const QString min = "min_" + range + (range == "boost" ? "" : "_input");
    const QString max = "max_" + range + (range == "boost" ? "" : "_input");
    w<QWidget>(edit_max ? min : max)->setProperty("value", other);
    window->statusBar()->clearMessage();
    finish(edit_max ? max : min, edited); // the analog boxes act on the value change itself
    QCOMPARE(value(min), min_after);
    QCOMPARE(value(max), max_after);
    QCOMPARE(status(), message);
    QCOMPARE(w<duty_table>("aux_table")->vert_header_at(0), max_after);
    QCOMPARE(w<duty_table>("aux_table")->vert_header_at(15), min_after);
}

void test_mainwindow_modes::boost_unit_round_trip()
{
    const converter& conv = *window->unit_converter();
    w<QDoubleSpinBox>("max_boost")->setValue(37);
    w<QDoubleSpinBox>("main_vert_axis_gt")->setValue(12);
    w<QComboBox>("gpo1_vert_axis")->setCurrentIndex(1);
    w<QDoubleSpinBox>("gpo1_vert_axis_gt")->setValue(2.35);
    w<QLineEdit>("live_map")->setText("20.0");
    const int max_counts = conv.boost2adc(37);
    const quint16 map_counts = conv.boost2adc(20);

    w<QComboBox>("boost_select")->setCurrentIndex(1);
    for (const char* label : {"boost_lbl_1", "boost_lbl_2", "boost_lbl_3", "boost_lbl_4"})
        QCOMPARE(w<QLabel>(label)->text(), QString("Bar"));
    for (const char* box : {"min_boost", "max_boost", "main_vert_axis_gt", "active_deadband"}) {
        QCOMPARE(w<QDoubleSpinBox>(box)->decimals(), 2);
        QCOMPARE(w<QDoubleSpinBox>(box)->singleStep(), 0.1);
    }
    QVERIFY(std::abs(conv.boost2adc(value("max_boost")) - max_counts) <= 1);
    QCOMPARE(value("main_vert_axis_gt"), 0.83);
    QCOMPARE(value("active_deadband"), 0.21);
    QCOMPARE(w<QLineEdit>("live_map")->text(), QString::number(conv.adc2boost(map_counts), 'f', 2));
    QCOMPARE(value("gpo1_vert_axis_gt"), 2.35); // a voltage is no boost

    w<QComboBox>("boost_select")->setCurrentIndex(0);
    QVERIFY(std::abs(conv.boost2adc(value("max_boost")) - max_counts) <= 1);
    QCOMPARE(value("max_boost"), 37.0);
    QCOMPARE(value("main_vert_axis_gt"), 12.0);
    QCOMPARE(value("active_deadband"), 3.0);
    QCOMPARE(w<QDoubleSpinBox>("max_boost")->decimals(), 0);
    QCOMPARE(w<QLabel>("boost_lbl_4")->text(), QString("PSI"));

    // In kPa the sensor reaches past 300: a threshold up there is kept.
    w<QComboBox>("boost_select")->setCurrentIndex(2);
    w<QDoubleSpinBox>("main_vert_axis_gt")->setValue(320);
    QCOMPARE(value("main_vert_axis_gt"), 320.0);
}

void test_mainwindow_modes::custom_analog_files()
{
    QTemporaryDir dir;
    auto write = [&](const QString& file, int values) {
        QByteArray content = "# data sheet\n  Oil   temp , C\n";
        for (int i = 0; i < values; ++i)
            content += QByteArray::number(i) + ", " + QByteArray::number(i / 4.0) + "\n";
        QFile out(dir.filePath(file));
        out.open(QIODevice::WriteOnly);
        out.write(content);
        return out.fileName();
    };
    const QString good = write("oil.csv", 1024);
    const QString bad = write("short.csv", 1023);
    const converter& conv = *window->unit_converter();
    w<QComboBox>("gpo2_vert_axis")->setCurrentIndex(1); // GPO2 reads input A
    auto* file_name = w<QLineEdit>("cust_ana_filename");
    auto* load = w<QPushButton>("cust_ana_load_file");
    box_answerer boxes;
    dialog_answerer dialogs;

    dialogs.answers << good << "" << bad;
    load->click();
    QCOMPARE(dialogs.asked[0].title, QString("Open conversion CSV file"));
    QCOMPARE(dialogs.asked[0].filter, QString("CSV files (*.csv);;All (*.*)"));
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QCOMPARE(dialogs.asked[0].start, documents + "/cust_ana.csv");
    QCOMPARE(file_name->text(), QString("oil.csv"));
    QCOMPARE(w<QLabel>("live_an_a_units")->text(), QString("Oil temp"));
    QCOMPARE(w<QLabel>("gpo2_vert_axis_units_2")->text(), QString("Oil temp"));
    QCOMPARE(conv.adc2cust_ana(100), 25.0);
    QCOMPARE(conv.adc2cust_anb(1023), 5.0);

    load->click(); // cancelled: nothing changes
    QCOMPARE(dialogs.asked[1].start, good);
    QCOMPARE(file_name->text(), QString("oil.csv"));

    load->click(); // does not parse: named, reported, not used
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(boxes.boxes[0].text, QString("Could not parse custom analog conversion CSV file"));
    QCOMPARE(boxes.boxes[0].informative_text,
             "Custom CSV file " + bad +
                 " could not be successfully parsed\n\nMake sure the file:\n  * Has 1024 values\n"
                 "  * Each value follows the format: ADC, converted value\n"
                 "     * Automatic if edited in excel and saved as CSV\n"
                 "  * Every value is a number\n"
                 "  * Any comments start with a '#' at the beginning");
    QCOMPARE(boxes.boxes[0].default_button, QMessageBox::Ok);
    QCOMPARE(file_name->text(), QString("short.csv"));
    QCOMPARE(w<QLabel>("live_an_a_units")->text(), QString("Oil temp"));
    QCOMPARE(conv.adc2cust_ana(100), 25.0);
    load->click(); // the table in use stays the remembered one
    QCOMPARE(dialogs.asked[3].start, good);

    w<QPushButton>("cust_ana_defaults")->click();
    QCOMPARE(w<QLabel>("live_an_a_units")->text(), QString("V"));
    QCOMPARE(w<QLabel>("gpo2_vert_axis_units_2")->text(), QString("V"));
    QCOMPARE(file_name->text(), QString());
    QCOMPARE(conv.adc2cust_ana(1023), 5.0);
    load->click();
    QCOMPARE(dialogs.asked[4].start, documents + "/cust_ana.csv");
}

QTEST_MAIN(test_mainwindow_modes)
#include "test_mainwindow_modes.moc"
