// Output modes and what they enable, the MAIN/AUX pump prime interlock, the value rules of
// the editable parameters, and re-expressing the boost fields in another unit.
#include "box_answerer.h"
#include "converter.h"
#include "duty_table.h"
#include "mainwindow.h"
#include "sim_fixture.h"
#include "window_access.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStatusBar>
#include <QtTest>

#include <memory>

namespace {

const QString delay_text = "Can only set delay in increments of 13.0";
const QString main_refused =
    "Cannot change MAIN control to duty + pump prime if AUX table is not already set to the same";
const QString main_released =
    "Cannot have MAIN control set to duty table + pump prime if AUX table is not set to the same";

/// Ends an edit the way the box does when it loses focus.
template <typename Box>
void finish(Box* box, double value)
{
    box->setValue(value);
    QMetaObject::invokeMethod(box, "editingFinished");
}

} // namespace

class test_mainwindow_modes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void values_snap_to_the_unit_steps_data();
    void values_snap_to_the_unit_steps();
    void aux_leaving_pump_delay_moves_main_with_a_box();
    void main_pump_delay_needs_aux_pump_delay();
    void loaded_mode_pair_data();
    void loaded_mode_pair();
    void output_modes_enable_their_tabs_data();
    void output_modes_enable_their_tabs();
    void gpo_modes_data();
    void gpo_modes();
    void gpi_not_used_disables_its_fields();
    void boost_span_data();
    void boost_span();
    void analog_span_data();
    void analog_span();
    void boost_unit_round_trip_data();
    void boost_unit_round_trip();

private:
    template <typename T>
    T* w(const char* name)
    {
        return child<T>(window.get(), name);
    }
    QString status() { return window->statusBar()->currentMessage(); }

    std::unique_ptr<sim_fixture> sim;
    std::unique_ptr<MainWindow> window;
};

void test_mainwindow_modes::initTestCase()
{
    QCoreApplication::setApplicationVersion("2.11.0");
    sim = std::make_unique<sim_fixture>(false);
}

void test_mainwindow_modes::init()
{
    window = std::make_unique<MainWindow>();
}

void test_mainwindow_modes::cleanup()
{
    window.reset();
}

void test_mainwindow_modes::values_snap_to_the_unit_steps_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<double>("entered");
    QTest::addColumn<double>("kept");
    QTest::addColumn<QString>("message");
    for (const char* delay : {"gpi1_act_delay", "gpi1_deact_delay", "gpi2_act_delay",
                              "gpi2_deact_delay", "pump_prime_delay"}) {
        QTest::addRow("%s 100", delay) << delay << 100.0 << 104.0 << delay_text;
        QTest::addRow("%s 130", delay) << delay << 130.0 << 130.0 << QString();
    }
    const QString rpm_text = "Can only set max engine RPM in increments of 500";
    QTest::newRow("rpm 8100") << "max_engine_speed" << 8100.0 << 8500.0 << rpm_text;
    QTest::newRow("rpm 19999") << "max_engine_speed" << 19999.0 << 20000.0 << rpm_text;
    QTest::newRow("rpm 9000") << "max_engine_speed" << 9000.0 << 9000.0 << QString();
    const QString pulses_text = "Can only set pulses per revolution in increments of 0.5";
    QTest::newRow("pulses 1.2") << "pulses_per_rev" << 1.2 << 1.5 << pulses_text;
    QTest::newRow("pulses 2.1") << "pulses_per_rev" << 2.1 << 2.5 << pulses_text;
    QTest::newRow("pulses 3.5") << "pulses_per_rev" << 3.5 << 3.5 << QString();
}

void test_mainwindow_modes::values_snap_to_the_unit_steps()
{
    QFETCH(QString, box);
    QFETCH(double, entered);
    QFETCH(double, kept);
    QFETCH(QString, message);
    auto* field = window->findChild<QAbstractSpinBox*>(box);
    QVERIFY(field);
    if (auto* whole = qobject_cast<QSpinBox*>(field)) {
        finish(whole, entered);
        QCOMPARE(double(whole->value()), kept);
    } else {
        finish(qobject_cast<QDoubleSpinBox*>(field), entered);
        QCOMPARE(qobject_cast<QDoubleSpinBox*>(field)->value(), kept);
    }
    QCOMPARE(status(), message);
    if (box == "pump_prime_delay")
        QCOMPARE(double(w<QSpinBox>("pump_prime_delay_2")->value()), kept);
    if (box == "max_engine_speed")
        QCOMPARE(double(w<duty_table>("gpo2_table")->horz_header_at(15)), kept);
}

void test_mainwindow_modes::aux_leaving_pump_delay_moves_main_with_a_box()
{
    auto* main = w<QComboBox>("main_control");
    auto* aux = w<QComboBox>("aux_control");
    aux->setCurrentIndex(2);
    main->setCurrentIndex(2);
    QCOMPARE(main->currentIndex(), 2);

    box_answerer answerer;
    aux->setCurrentIndex(1);
    QCOMPARE(answerer.boxes.size(), 1);
    const message_box::contents& box = answerer.boxes.first();
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.text, main_released);
    QCOMPARE(box.informative_text,
             QString("MAIN control currently set to: Duty table + pump delay\n"
                     "MAIN control will be changed to: Duty table"));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(main->currentIndex(), 1);
    QCOMPARE(status(), main_released);
    QVERIFY(w<duty_table>("main_table")->isEnabled());
    QVERIFY(!w<QSpinBox>("pump_prime_delay")->isEnabled());

    // MAIN no longer uses pump prime: further AUX changes ask nothing.
    aux->setCurrentIndex(3);
    QCOMPARE(answerer.boxes.size(), 1);
}

void test_mainwindow_modes::main_pump_delay_needs_aux_pump_delay()
{
    box_answerer answerer;
    w<QComboBox>("aux_control")->setCurrentIndex(1);
    auto* main = w<QComboBox>("main_control");
    main->setCurrentIndex(2);
    QCOMPARE(main->currentIndex(), 1);
    QCOMPARE(main->currentText(), QString("Duty table"));
    QCOMPARE(status(), main_refused);
    QVERIFY(answerer.boxes.isEmpty());
    QVERIFY(w<duty_table>("main_table")->isEnabled());
}

// A load sets both combos quietly, then runs MAIN's handler and AUX's, in that order.
void test_mainwindow_modes::loaded_mode_pair_data()
{
    QTest::addColumn<int>("main");
    QTest::addColumn<int>("aux");
    QTest::addColumn<int>("main_after");
    QTest::newRow("both pump delay") << 2 << 2 << 2;
    QTest::newRow("AUX without pump delay") << 2 << 4 << 1;
    QTest::newRow("plain") << 1 << 0 << 1;
}

void test_mainwindow_modes::loaded_mode_pair()
{
    QFETCH(int, main);
    QFETCH(int, aux);
    QFETCH(int, main_after);
    box_answerer answerer;
    auto* main_control = w<QComboBox>("main_control");
    auto* aux_control = w<QComboBox>("aux_control");
    {
        const QSignalBlocker quiet_main(main_control);
        const QSignalBlocker quiet_aux(aux_control);
        main_control->setCurrentIndex(main);
        aux_control->setCurrentIndex(aux);
    }
    QVERIFY(QMetaObject::invokeMethod(window.get(), "on_main_control_currentIndexChanged",
                                      Q_ARG(int, main)));
    QVERIFY(QMetaObject::invokeMethod(window.get(), "on_aux_control_currentIndexChanged",
                                      Q_ARG(int, aux)));
    QCOMPARE(main_control->currentIndex(), main_after);
    QCOMPARE(aux_control->currentIndex(), aux);
    QVERIFY(answerer.boxes.isEmpty());
    QCOMPARE(w<duty_table>("aux_table")->isEnabled(), aux != 0 && aux != 4);
    QCOMPARE(w<QSpinBox>("pump_prime_delay")->isEnabled(), aux == 2);
}

void test_mainwindow_modes::output_modes_enable_their_tabs_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("pump_prime");
    QTest::newRow("MAIN off") << "main" << 0 << false << false;
    QTest::newRow("MAIN duty table") << "main" << 1 << true << false;
    QTest::newRow("AUX off") << "aux" << 0 << false << false;
    QTest::newRow("AUX duty table") << "aux" << 1 << true << false;
    QTest::newRow("AUX pump delay") << "aux" << 2 << true << true;
    QTest::newRow("AUX OEM control") << "aux" << 3 << true << false;
    QTest::newRow("AUX OEM pass-through") << "aux" << 4 << false << false;
}

void test_mainwindow_modes::output_modes_enable_their_tabs()
{
    QFETCH(QString, output);
    QFETCH(int, index);
    QFETCH(bool, enabled);
    QFETCH(bool, pump_prime);
    // From the other end of the list, so that every row is a change.
    auto* control = window->findChild<QComboBox*>(output + "_control");
    control->setCurrentIndex(index == 0 ? 1 : 0);
    control->setCurrentIndex(index);
    for (const char* part : {"_table", "_vert_axis", "_vert_axis_gt", "_horz_axis_gt"})
        QVERIFY2(window->findChild<QWidget*>(output + part)->isEnabled() == enabled, part);
    QCOMPARE(w<QSpinBox>("pump_prime_delay")->isEnabled(), pump_prime);
}

void test_mainwindow_modes::gpo_modes_data()
{
    QTest::addColumn<QString>("gpo");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("operate");
    QTest::addColumn<QString>("compare");
    QTest::addColumn<bool>("table");
    QTest::addColumn<bool>("thresholds");
    QTest::addColumn<bool>("delays");
    const QString unused = "Duty table is not used.";
    const QString above = "is equal to or greater than:";
    for (const char* gpo : {"gpo1", "gpo2"}) {
        QTest::addRow("%s 1", gpo)
            << gpo << 1 << "Duty table used when:" << above << true << true << false;
        QTest::addRow("%s 2", gpo)
            << gpo << 2 << "100% duty when:" << above << false << true << true;
        QTest::addRow("%s 3", gpo) << gpo << 3 << "100% duty when:"
                                   << "is equal to or less than:" << false << true << true;
        for (int index : {0, 4, 5, 6, 7})
            QTest::addRow("%s %d", gpo, index)
                << gpo << index << unused << above << false << false << false;
    }
}

void test_mainwindow_modes::gpo_modes()
{
    QFETCH(QString, gpo);
    QFETCH(int, index);
    QFETCH(QString, operate);
    QFETCH(QString, compare);
    QFETCH(bool, table);
    QFETCH(bool, thresholds);
    QFETCH(bool, delays);
    auto* control = window->findChild<QComboBox*>(gpo + "_control");
    control->setCurrentIndex(3); // labels and widgets that every row changes
    control->setCurrentIndex(index == 3 ? 1 : index);
    control->setCurrentIndex(index);
    auto widget = [&](const char* part) { return window->findChild<QWidget*>(gpo + part); };
    auto label = [&](const char* part) { return window->findChild<QLabel*>(gpo + part)->text(); };
    QCOMPARE(label("_operate_label"), operate);
    QCOMPARE(label("_vert_comp_label"), compare);
    QCOMPARE(label("_horz_comp_label"), compare);
    QCOMPARE(widget("_table")->isEnabled(), table);
    for (const char* part : {"_vert_axis", "_vert_axis_gt", "_horz_axis_gt"})
        QVERIFY2(widget(part)->isEnabled() == thresholds, part);
    for (const char* part : {"_act_delay", "_deact_delay"})
        QVERIFY2(widget(part)->isEnabled() == delays, part);
}

void test_mainwindow_modes::gpi_not_used_disables_its_fields()
{
    for (const QString& gpi : {QString("gpi1"), QString("gpi2")}) {
        auto* control = window->findChild<QComboBox*>(gpi + "_control");
        for (int index : {3, 0, 1, 0, 4}) {
            control->setCurrentIndex(index);
            for (const char* part : {"_request", "_act_delay", "_deact_delay"})
                QVERIFY2(window->findChild<QWidget*>(gpi + part)->isEnabled() == (index != 0),
                         qPrintable(gpi + part));
        }
    }
}

void test_mainwindow_modes::boost_span_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("edited");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("min_after");
    QTest::addColumn<double>("max_after");
    QTest::addColumn<QString>("message");
    QTest::newRow("PSI max 3 above")
        << 0 << "max_boost" << 10.0 << 13.0 << 10.0 << 15.0 << "Max must be greater than 15.0 PSI";
    QTest::newRow("PSI min 3 below") << 0 << "min_boost" << 27.0 << 30.0 << 25.0 << 30.0
                                     << "Max - min boost must be greater than 5.0 PSI apart";
    QTest::newRow("PSI 5 apart") << 0 << "max_boost" << 10.0 << 15.0 << 10.0 << 15.0 << "";
    QTest::newRow("Bar max 0.2 above")
        << 1 << "max_boost" << 1.0 << 1.2 << 1.0 << 1.34 << "Max must be greater than 1.3 Bar";
    QTest::newRow("Bar min too close") << 1 << "min_boost" << 1.9 << 2.0 << 1.66 << 2.0
                                       << "Max - min boost must be greater than 0.3 Bar apart";
    QTest::newRow("Bar 0.34 apart") << 1 << "min_boost" << 1.66 << 2.0 << 1.66 << 2.0 << "";
    // 100 kPa lies between two MAP counts: it moves to the nearer one.
    QTest::newRow("kPa snaps to a count") << 2 << "max_boost" << 0.0 << 100.0 << 0.0 << 99.94 << "";
}

void test_mainwindow_modes::boost_span()
{
    QFETCH(int, unit);
    QFETCH(QString, edited);
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, min_after);
    QFETCH(double, max_after);
    QFETCH(QString, message);
    w<QComboBox>("boost_select")->setCurrentIndex(unit);
    window->statusBar()->clearMessage();
    auto* min_boost = w<QDoubleSpinBox>("min_boost");
    auto* max_boost = w<QDoubleSpinBox>("max_boost");
    (edited == "min_boost" ? max_boost : min_boost)->setValue(edited == "min_boost" ? max : min);
    finish(edited == "min_boost" ? min_boost : max_boost, edited == "min_boost" ? min : max);
    QCOMPARE(min_boost->value(), min_after);
    QCOMPARE(max_boost->value(), max_after);
    QCOMPARE(status(), message);
    // The tables on the MAP sensor are rebuilt on the new range.
    QCOMPARE(w<duty_table>("main_table")->vert_header_at(0), max_after);
}

void test_mainwindow_modes::analog_span_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("edit_max");
    QTest::addColumn<double>("other");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("min_after");
    QTest::addColumn<double>("max_after");
    QTest::addColumn<bool>("corrected");
    for (const char* input : {"an1", "an2"}) {
        QTest::addRow("%s max too low", input) << input << true << 0.0 << 0.2 << 0.0 << 0.5 << true;
        QTest::addRow("%s min too high", input)
            << input << false << 4.7 << 4.5 << 4.2 << 4.7 << true;
        // 0.6 - 0.1 is a hair below 0.5 in binary, and still wide enough.
        QTest::addRow("%s 0.5 apart", input) << input << true << 0.1 << 0.6 << 0.1 << 0.6 << false;
    }
}

void test_mainwindow_modes::analog_span()
{
    QFETCH(QString, input);
    QFETCH(bool, edit_max);
    QFETCH(double, other);
    QFETCH(double, value);
    QFETCH(double, min_after);
    QFETCH(double, max_after);
    QFETCH(bool, corrected);
    // The AUX table reads this input.
    w<QComboBox>("aux_vert_axis")->setCurrentIndex(input == "an1" ? 1 : 2);
    auto* min = window->findChild<QDoubleSpinBox*>("min_" + input + "_input");
    auto* max = window->findChild<QDoubleSpinBox*>("max_" + input + "_input");
    (edit_max ? min : max)->setValue(other);
    window->statusBar()->clearMessage();
    (edit_max ? max : min)->setValue(value);
    QCOMPARE(min->value(), min_after);
    QCOMPARE(max->value(), max_after);
    QCOMPARE(status(), corrected ? QString("Max - min must be greater than 0.5V") : QString());
    QCOMPARE(w<duty_table>("aux_table")->vert_header_at(0), max_after);
    QCOMPARE(w<duty_table>("aux_table")->vert_header_at(15), min_after);
}

void test_mainwindow_modes::boost_unit_round_trip_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("step");
    QTest::newRow("Bar") << 1 << "Bar" << 2 << 0.1;
    QTest::newRow("kPa") << 2 << "kPa" << 2 << 0.1;
}

void test_mainwindow_modes::boost_unit_round_trip()
{
    QFETCH(int, unit);
    QFETCH(QString, name);
    QFETCH(int, decimals);
    QFETCH(double, step);
    const converter& conv = *window->unit_converter();
    auto* max_boost = w<QDoubleSpinBox>("max_boost");
    auto* threshold = w<QDoubleSpinBox>("main_vert_axis_gt");
    auto* volts = w<QDoubleSpinBox>("gpo1_vert_axis_gt");
    auto* deadband = w<QDoubleSpinBox>("active_deadband");
    max_boost->setValue(37);
    threshold->setValue(12);
    w<QComboBox>("gpo1_vert_axis")->setCurrentIndex(1);
    volts->setValue(2.35);
    w<QLineEdit>("live_map")->setText("20.0");
    const int max_counts = conv.boost2adc(37);
    const quint16 threshold_counts = conv.boost2adc(12);
    const quint16 map_counts = conv.boost2adc(20);
    const int deadband_counts = conv.deadband2adc(3);

    auto* select = w<QComboBox>("boost_select");
    select->setCurrentIndex(unit);
    for (const char* label : {"boost_lbl_1", "boost_lbl_2", "boost_lbl_3", "boost_lbl_4"})
        QCOMPARE(w<QLabel>(label)->text(), name);
    QCOMPARE(w<QLabel>("main_vert_axis_units")->text(), name);
    for (auto* box : {w<QDoubleSpinBox>("min_boost"), max_boost, threshold, deadband}) {
        QCOMPARE(box->decimals(), decimals);
        QCOMPARE(box->singleStep(), step);
    }
    QVERIFY(std::abs(conv.boost2adc(max_boost->value()) - max_counts) <= 1);
    QVERIFY(std::abs(conv.deadband2adc(deadband->value()) - deadband_counts) <= 1);
    QCOMPARE(threshold->value(), std::round(conv.adc2boost(threshold_counts) * 100) / 100);
    QCOMPARE(w<QLineEdit>("live_map")->text(), QString::number(conv.adc2boost(map_counts), 'f', 2));
    QCOMPARE(volts->value(), 2.35); // a voltage is no boost
    QCOMPARE(volts->decimals(), 2);

    select->setCurrentIndex(0);
    QVERIFY(std::abs(conv.boost2adc(max_boost->value()) - max_counts) <= 1);
    QCOMPARE(max_boost->value(), 37.0);
    QCOMPARE(threshold->value(), 12.0);
    QCOMPARE(deadband->value(), 3.0);
    QCOMPARE(max_boost->decimals(), 0);
    QCOMPARE(w<QLabel>("boost_lbl_4")->text(), QString("PSI"));
}

QTEST_MAIN(test_mainwindow_modes)
#include "test_mainwindow_modes.moc"
