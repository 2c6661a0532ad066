// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter.h"
#include "log_capture.h"

#include <QSignalSpy>
#include <QtTest>

class test_converter : public QObject
{
    Q_OBJECT

private slots:
    void volt2adc_data();
    void volt2adc();
    void current2adc_data();
    void current2adc();
    void negative_inputs_are_reported();
    void default_boost_is_vacuum_at_atmosphere();
    void boost_units_data();
    void boost_units();
    void invalid_boost_unit_falls_back_to_psi();
    void deadband_round_trip_data();
    void deadband_round_trip();
    void set_active_atm_moves_intercept();
    void calibration_takes_floor_of_mean();
    void empty_calibration_keeps_reading();
    void zero_slope_never_divides();
    void default_an_table();
    void custom_tables();
};

void test_converter::volt2adc_data()
{
    QTest::addColumn<double>("volts");
    QTest::addColumn<int>("counts");
    QTest::newRow("0") << 0.0 << 0;
    QTest::newRow("2.5 rounds 511.5 up") << 2.5 << 512;
    QTest::newRow("5.0") << 5.0 << 1023;
    QTest::newRow("5.1 clamps") << 5.1 << 1023;
    QTest::newRow("huge clamps") << 1e300 << 1023;
    QTest::newRow("nan") << qQNaN() << 0;
}

void test_converter::volt2adc()
{
    QFETCH(double, volts);
    QFETCH(int, counts);
    QCOMPARE(int(converter::volt2adc(volts)), counts);
}

void test_converter::current2adc_data()
{
    QTest::addColumn<double>("amps");
    QTest::addColumn<int>("counts");
    QTest::newRow("1 A") << 1.0 << 20;
    QTest::newRow("50 A clamps") << 50.0 << 1023;
    QTest::newRow("0.5 A is 10.24") << 0.5 << 10;
}

void test_converter::current2adc()
{
    QFETCH(double, amps);
    QFETCH(int, counts);
    QCOMPARE(int(converter::current2adc(amps)), counts);
}

void test_converter::negative_inputs_are_reported()
{
    log_capture log;
    QCOMPARE(int(converter::volt2adc(-0.1)), 0);
    QCOMPARE(log.count("voltage is < 0: -0.1", QtCriticalMsg), 1);
    QCOMPARE(int(converter::current2adc(-2)), 0);
    QCOMPARE(log.count("current is < 0: -2", QtCriticalMsg), 1);
}

void test_converter::default_boost_is_vacuum_at_atmosphere()
{
    converter conv;
    QCOMPARE(int(conv.boost2adc(0)), 222);
    QVERIFY(conv.adc2boost(222) < 0);
    QVERIFY(conv.adc2boost(223) > 0);
    QCOMPARE(int(conv.boost2adc(-1000)), 0);
    QCOMPARE(int(conv.boost2adc(1000)), 1023);
}

void test_converter::boost_units_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("one_psi");
    QTest::addColumn<int>("decimals");
    QTest::newRow("PSI") << 0 << "PSI" << 1.0 << 0;
    QTest::newRow("Bar") << 1 << "Bar" << 0.0689475729 << 2;
    QTest::newRow("kPa") << 2 << "kPa" << 6.89475729 << 2;
}

void test_converter::boost_units()
{
    QFETCH(int, index);
    QFETCH(QString, name);
    QFETCH(double, one_psi);
    QFETCH(int, decimals);
    converter conv;
    conv.set_boost_units(index);
    QCOMPARE(conv.boost_units_name, name);
    QCOMPARE(conv.boost_units, one_psi);
    QCOMPARE(conv.boost_decimals(), decimals);
    // 14.5037738 PSI (1 Bar, 100 kPa) is 233.83 counts above the 222.312 intercept.
    const double psi = 14.5037738;
    QCOMPARE(int(conv.boost2adc(psi * one_psi)), 456);
    QVERIFY(qAbs(conv.adc2boost(456) - psi * one_psi) < one_psi / 16.122);
}

void test_converter::invalid_boost_unit_falls_back_to_psi()
{
    converter conv;
    conv.set_boost_units(1);
    log_capture log;
    conv.set_boost_units(3);
    QCOMPARE(log.count("invalid boost_units 3", QtCriticalMsg), 1);
    QCOMPARE(conv.boost_units_name, QString("PSI"));
    QCOMPARE(conv.boost_units, 1.0);
    conv.set_boost_units(-1);
    QCOMPARE(log.count("invalid boost_units -1", QtCriticalMsg), 1);
}

void test_converter::deadband_round_trip_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("PSI") << 0;
    QTest::newRow("Bar") << 1;
    QTest::newRow("kPa") << 2;
}

void test_converter::deadband_round_trip()
{
    QFETCH(int, index);
    converter conv;
    conv.set_boost_units(index);
    for (int counts = 0; counts <= 1023; ++counts)
        QCOMPARE(int(conv.deadband2adc(conv.adc2deadband(quint16(counts)))), counts);
    const double one_count = conv.boost_units / conv.active_slope;
    for (double x = 0; x < 60 * conv.boost_units; x += 0.37 * conv.boost_units) {
        const double back = conv.adc2deadband(conv.deadband2adc(x));
        QVERIFY2(qAbs(back - x) <= one_count / 2 + 1e-12, qPrintable(QString::number(x)));
    }
    // 3 PSI shown in the current unit is always the same 48 counts the unit stores.
    QCOMPARE(int(conv.deadband2adc(3.0 * conv.boost_units)), 48);
}

void test_converter::set_active_atm_moves_intercept()
{
    converter conv;
    QSignalSpy spy(&conv, &converter::act_intercept_recalc);
    conv.set_active_atm(230);
    QCOMPARE(conv.active_atm, quint16(230));
    QCOMPARE(conv.active_intercept, 229.312);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toDouble(), 229.312);
}

void test_converter::calibration_takes_floor_of_mean()
{
    converter conv;
    QSignalSpy spy(&conv, &converter::act_intercept_recalc);
    const QList<quint16> samples = {223, 223, 223, 223, 223, 223, 223, 223, 223, 222};
    QVERIFY(conv.set_active_atm_from_samples(samples)); // mean 222.9
    QCOMPARE(conv.active_atm, quint16(222));
    QCOMPARE(conv.active_intercept - conv.active_atm, conv.base_intercept - conv.base_atm);
    QCOMPARE(spy.count(), 1);
    QVERIFY(conv.set_active_atm_from_samples({1023, 1023, 1023, 1023, 1023}));
    QCOMPARE(conv.active_atm, quint16(1023));
}

void test_converter::empty_calibration_keeps_reading()
{
    converter conv;
    conv.set_active_atm(230);
    QSignalSpy spy(&conv, &converter::act_intercept_recalc);
    log_capture log;
    QVERIFY(!conv.set_active_atm_from_samples({}));
    QCOMPARE(conv.active_atm, quint16(230));
    QCOMPARE(conv.active_intercept, 229.312);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(log.count("No MAP samples", QtWarningMsg), 1);
}

void test_converter::zero_slope_never_divides()
{
    converter conv;
    log_capture log;
    conv.set_active_slope(0);
    conv.set_base_slope(-2);
    QCOMPARE(conv.active_slope, 16.122);
    QCOMPARE(conv.base_slope, 16.122);
    QCOMPARE(log.count("MAP slope must be above 0", QtCriticalMsg), 2);
    conv.active_slope = 0; // the member itself is public
    QCOMPARE(conv.adc2boost(500), 0.0);
    QCOMPARE(conv.adc2deadband(48), 0.0);
}

void test_converter::default_an_table()
{
    const QVector<double>& table = converter::default_an_table;
    QCOMPARE(table.size(), 1024);
    QCOMPARE(table[0], 0.0);
    QCOMPARE(table[1], 0.004887586);
    QCOMPARE(table[2], 0.009775171);
    QCOMPARE(table[1022], 4.995112414);
    QCOMPARE(table[1023], 5.0);
}

void test_converter::custom_tables()
{
    converter conv;
    QVector<double> table(1024);
    for (int i = 0; i < table.size(); ++i)
        table[i] = 100 + i;
    QVERIFY(conv.set_cust_ana(table));
    QCOMPARE(conv.adc2cust_ana(0), 100.0);
    QCOMPARE(conv.adc2cust_ana(2000), 1123.0);
    QCOMPARE(conv.adc2cust_anb(2000), 5.0);

    log_capture log;
    QVERIFY(!conv.set_cust_anb(QVector<double>(1023, 1.0)));
    QCOMPARE(conv.adc2cust_anb(1023), 5.0);
    QCOMPARE(log.count("conversion table must have 1024 values, not 1023", QtCriticalMsg), 1);

    conv.set_custom_ana_defaults();
    QCOMPARE(conv.adc2cust_ana(1023), 5.0);
    QVERIFY(QMetaObject::invokeMethod(&conv, "set_custom_anb_defaults"));

    // The tables are open members; a short one must not be read past its end.
    conv.cust_ana = QVector<double>(10, 7.0);
    QCOMPARE(conv.adc2cust_ana(500), 7.0);
    conv.cust_ana.clear();
    QCOMPARE(conv.adc2cust_ana(500), 0.0);
}

QTEST_GUILESS_MAIN(test_converter)
#include "test_converter.moc"
