// SPDX-License-Identifier: GPL-3.0-or-later
// The window following the link to the simulated unit: connecting at start-up and on
// (Re)connect, the status bar's LED and text, the title, the device commands, firmware and
// model checks, and unplugging through the hot-plug relay.
#include "box_answerer.h"
#include "log_capture.h"
#include "window_fixture.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

namespace {

const QString title = "Velkaro Quorvane v2.11.0";
const QString connect_first = "Connect to device to enable this button";

bool same_image(const QPixmap& shown, const QString& path)
{
    return !shown.isNull() && shown.toImage() == QPixmap(path).toImage();
}

} // namespace

class test_mainwindow_connection : public QObject, public window_fixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { start(); }
    void cleanup() { stop(); }

    void starts_not_connected();
    void start_up_connects_to_the_unit();
    void no_unit_ends_not_connected();
    void firmware_check_data();
    void firmware_check();
    void model_sets_the_overcurrent_limit();
    void reconnect_disables_then_enables_the_device_commands();
    void unplugging_the_unit_disconnects();

private:
    QString connection() { return w<QLabel>("connection_status")->text(); }
    QPixmap led() { return w<QLabel>("connection_led")->pixmap(Qt::ReturnByValue); }
    bool wait_connected();
    void expect_device_commands(bool enabled);
};

void test_mainwindow_connection::initTestCase()
{
    QCoreApplication::setApplicationVersion("2.11.0");
}

bool test_mainwindow_connection::wait_connected()
{
    QElapsedTimer waited;
    waited.start();
    while (!connection().startsWith("Connected") && waited.elapsed() < 10000)
        QTest::qWait(5);
    return connection().startsWith("Connected");
}

void test_mainwindow_connection::expect_device_commands(bool enabled)
{
    for (const char* name : {"act_read", "act_write", "act_write_all", "act_reset", "act_logging",
                             "act_live_log_to_file"})
        QVERIFY2(w<QAction>(name)->isEnabled() == enabled, name);
    for (const char* name :
         {"map_cal_calibrate", "main_override_set", "main_override_reset", "aux_override_set",
          "aux_override_reset", "gpo1_override_set", "gpo1_override_reset", "gpo2_override_set",
          "gpo2_override_reset", "fw_update"})
        QVERIFY2(w<QWidget>(name)->isEnabled() == enabled, name);
    QCOMPARE(w<QAction>("act_read")->statusTip(),
             enabled
                 ? QString("Read from the device, will overwrite all changes in the application!")
                 : connect_first);
    QCOMPARE(w<QAction>("act_write")->statusTip(),
             enabled ? QString("Green: no changes to set    Red: will write changes to device")
                     : connect_first);
    QCOMPARE(w<QAction>("act_write_all")->statusTip(),
             enabled ? QString("Write all settings to device, regardless of what changed")
                     : connect_first);
    QCOMPARE(w<QAction>("act_logging")->statusTip(),
             enabled ? QString("Enable/disable live logging from device") : connect_first);
    QVERIFY(!w<QAction>("act_logging")->isChecked());
    QVERIFY(!w<QAction>("act_live_log_to_file")->isChecked());
    QVERIFY(!w<QPushButton>("map_cal_calibrate")->isChecked());
}

void test_mainwindow_connection::starts_not_connected()
{
    QCOMPARE(connection(), QString("Not Connected"));
    QVERIFY(same_image(led(), ":/icon/redled.ico"));
    QCOMPARE(window->windowTitle(), title);
    expect_device_commands(false);
    // Both status widgets stay in the status bar, whatever message it shows.
    QCOMPARE(w<QLabel>("connection_status")->parentWidget(), window->statusBar());
    QCOMPARE(w<QLabel>("connection_led")->parentWidget(), window->statusBar());
}

void test_mainwindow_connection::start_up_connects_to_the_unit()
{
    log_capture log;
    window->connect_attempt();
    QCOMPARE(connection(), QString("Connecting..."));
    QVERIFY(same_image(led(), ":/icon/yellowled.ico"));
    QCOMPARE(window->windowTitle(), title);
    QCOMPARE(window->statusBar()->currentMessage(), QString("Attempting reconnect..."));

    QVERIFY(wait_connected());
    QCOMPARE(connection(), QString("Connected fw v2.1 RQ7-NVS"));
    QVERIFY(same_image(led(), ":/icon/greenled.ico"));
    QVERIFY(!same_image(led(), ":/icon/redled.ico"));
    QCOMPARE(window->windowTitle(), title + " : Connected fw v2.1 RQ7-NVS");
    QCOMPARE(window->statusBar()->currentMessage(), QString("Device connected"));
    QVERIFY(log.contains("Device connected. sn:RQ7SIM01  v:201  var:0", QtDebugMsg));
    expect_device_commands(true);
    QCOMPARE(w<QDoubleSpinBox>("main_overcurrent_limit")->maximum(), 20.0);
}

void test_mainwindow_connection::no_unit_ends_not_connected()
{
    sim->sim->detach("RQ7SIM01");
    window->connect_attempt();
    QTRY_COMPARE(connection(), QString("Not Connected"));
    QVERIFY(same_image(led(), ":/icon/redled.ico"));
    QCOMPARE(window->windowTitle(), title + " : Not Connected");
    QCOMPARE(window->statusBar()->currentMessage(), QString("Not connected."));
    expect_device_commands(false);
}

void test_mainwindow_connection::firmware_check_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("warned");
    QTest::addColumn<QString>("text");
    QTest::newRow("0x166") << 0x166 << true << "Connected fw v1.66 RQ7-NVS";
    QTest::newRow("0x001") << 0x001 << true << "Connected fw v0.1 RQ7-NVS";
    QTest::newRow("0x167") << 0x167 << false << "Connected fw v1.67 RQ7-NVS";
    QTest::newRow("bootloader") << 0 << false << "Connected bootloader";
    QTest::newRow("0x021a") << 0x021a << false << "Connected fw v2.1a RQ7-NVS";
}

void test_mainwindow_connection::firmware_check()
{
    QFETCH(int, version);
    QFETCH(bool, warned);
    QFETCH(QString, text);
    sim->unit->set_firmware_version(quint16(version));
    box_answerer answer;
    log_capture log;
    window->connect_attempt();
    QVERIFY(wait_connected());

    QCOMPARE(answer.boxes.size(), warned ? 1 : 0);
    const QString warning =
        QString("Incompatible firmware detected, need >= 0x167, have 0x%1").arg(version, 0, 16);
    QCOMPARE(log.contains(warning, QtWarningMsg), warned);
    if (warned) {
        const message_box::contents& box = answer.boxes.first();
        QCOMPARE(box.icon, QMessageBox::Warning);
        QCOMPARE(box.text, warning);
        QCOMPARE(box.informative_text,
                 QString("The connected device has an older firmware (FW) version, you need to "
                         "update the FW!\n\nUsing this version of Quorvane with your older FW "
                         "may break your device, your engine, or both (probably both).\n\n"));
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
    // The link stays open either way.
    QCOMPARE(connection(), text);
    QCOMPARE(window->windowTitle(), title + " : " + text);
    expect_device_commands(true);
}

void test_mainwindow_connection::model_sets_the_overcurrent_limit()
{
    sim->unit->set_variant_byte(0x55);
    window->connect_attempt();
    QVERIFY(wait_connected());
    QCOMPARE(connection(), QString("Connected fw v2.1 RQ7-NV"));
    QCOMPARE(w<QDoubleSpinBox>("main_overcurrent_limit")->maximum(), 10.0);
    QCOMPARE(w<QDoubleSpinBox>("aux_overcurrent_limit")->maximum(), 10.0);
    QCOMPARE(w<QDoubleSpinBox>("main_overcurrent_limit")->value(), 10.0);

    sim->unit->set_variant_byte(0xAA);
    w<QAction>("act_reconnect")->trigger();
    QVERIFY(wait_connected());
    QCOMPARE(connection(), QString("Connected fw v2.1 RQ7-NVS"));
    QCOMPARE(w<QDoubleSpinBox>("main_overcurrent_limit")->maximum(), 20.0);
    QCOMPARE(w<QDoubleSpinBox>("aux_overcurrent_limit")->maximum(), 20.0);
}

void test_mainwindow_connection::reconnect_disables_then_enables_the_device_commands()
{
    window->connect_attempt();
    QVERIFY(wait_connected());
    w<QAction>("act_live_log_to_file")->setChecked(true);

    w<QAction>("act_reconnect")->trigger();
    QCOMPARE(connection(), QString("Connecting..."));
    QCOMPARE(window->windowTitle(), title);
    expect_device_commands(false);

    QVERIFY(wait_connected());
    expect_device_commands(true);
    QVERIFY(same_image(led(), ":/icon/greenled.ico"));
}

void test_mainwindow_connection::unplugging_the_unit_disconnects()
{
    window->connect_attempt();
    QVERIFY(wait_connected());

    log_capture log;
    sim->sim->detach("RQ7SIM01"); // reaches the worker only through the hot-plug relay
    QTRY_COMPARE_WITH_TIMEOUT(connection(), QString("Not Connected"), 10000);
    QVERIFY(same_image(led(), ":/icon/redled.ico"));
    QCOMPARE(window->windowTitle(), title + " : Not Connected");
    QVERIFY(log.contains("Device disconnected", QtDebugMsg));
    expect_device_commands(false);

    // Plugging it back in connects again.
    sim->unit = sim->sim->attach_unit();
    QVERIFY(wait_connected());
    QCOMPARE(connection(), QString("Connected fw v2.1 RQ7-NVS"));
}

QTEST_MAIN(test_mainwindow_connection)
#include "test_mainwindow_connection.moc"
