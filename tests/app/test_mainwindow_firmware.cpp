// SPDX-License-Identifier: GPL-3.0-or-later
// The window's firmware update against the simulated unit, the Reset command and the debug
// log through the real message handler.
#include "box_answerer.h"
#include "debug_log.h"
#include "dialog_answerer.h"
#include "fw_image_text.h"
#include "fw_program_status.h"
#include "window_fixture.h"

#include <QAction>
#include <QDesktopServices>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString title = "Velkaro Quorvane v2.11.0 : ";

/// Receives what the window asks the platform's viewer to open.
class url_catcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

} // namespace

class test_mainwindow_firmware : public QObject, public window_fixture
{
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setApplicationVersion("2.11.0"); }
    void init();
    void cleanup();
    void choosing_an_image();
    void update_flashes_the_unit();
    void cancel_or_broken_image_leaves_the_unit_alone();
    void failed_update_shows_the_bootloader();
    void reset_asks_first();
    void debug_log_gathers_both_threads_data();
    void debug_log_gathers_both_threads();
    void log_file_opens_in_the_viewer();
    void fatal_message_reaches_the_file();

private:
    void open_window(const QString& log_file);
    /// Writes the image, puts its name in the location field and presses Update.
    void start_update(const QByteArray& image);

    QTemporaryDir dir;
    std::unique_ptr<box_answerer> boxes;
};

void test_mainwindow_firmware::init()
{
    sim = std::make_unique<sim_fixture>();
    boxes = std::make_unique<box_answerer>();
    open_window(dir.filePath("rq7_debug_log.txt"));
}

void test_mainwindow_firmware::cleanup()
{
    window.reset();
    boxes.reset();
    sim.reset();
}

void test_mainwindow_firmware::open_window(const QString& log_file)
{
    window.reset();
    QSettings().clear();
    QSettings().setValue("MainWindow/debug_log_file_name", log_file);
    open();
    window->connect_attempt();
    QTRY_VERIFY_WITH_TIMEOUT(w<QLabel>("connection_status")->text().startsWith("Connected"), 10000);
}

void test_mainwindow_firmware::start_update(const QByteArray& image)
{
    const QString name = dir.filePath("RQ7_QUIL_2_2.hex");
    QVERIFY(fw_text::write_file(name, image));
    w<QLineEdit>("fw_location")->setText("  " + name + " ");
    QTest::mouseClick(w<QPushButton>("fw_update"), Qt::LeftButton);
}

void test_mainwindow_firmware::choosing_an_image()
{
    dialog_answerer dialogs;
    w<QLineEdit>("fw_location")->setText("/old/RQ7_QUIL_1.hex");
    dialogs.answers =
        QStringList{"", "/fw/RQ7_quil_2.hex", "/QUIL/rq7.hex", "/fw/RQ7_QUIL_2.vkhex"};
    for (int i = 0; i < 4; ++i)
        QTest::mouseClick(w<QPushButton>("fw_browse"), Qt::LeftButton);

    QCOMPARE(dialogs.asked.at(0).title, QString("Open FW file"));
    QCOMPARE(dialogs.asked.at(0).start, QString("/old/RQ7_QUIL_1.hex"));
    QCOMPARE(dialogs.asked.at(0).filter, QString("FW files (*QUIL*.hex *QUIL*.vkhex);;All (*.*)"));
    // The token is case-sensitive and belongs in the file's own name.
    QCOMPARE(boxes->boxes.size(), 2);
    QCOMPARE(boxes->boxes.at(0).text, QString("Incorrect FW version selected!"));
    QCOMPARE(w<QLineEdit>("fw_location")->text(), QString("/fw/RQ7_QUIL_2.vkhex"));
}

void test_mainwindow_firmware::update_flashes_the_unit()
{
    auto* status = window->findChild<fw_program_status*>("fw_program_status");
    QSignalSpy transfer(w<QProgressBar>("program_bar"), &QProgressBar::valueChanged);
    start_update(fw_text::image(30));
    QCOMPARE(status->windowTitle(), QString("FW Programming..."));
    QTRY_VERIFY(status->isVisible()); // once the unit is backed up
    QTest::keyClick(status, Qt::Key_Escape);
    QVERIFY(status->isVisible()); // only the update's end hides it

    QTRY_COMPARE_WITH_TIMEOUT(boxes->boxes.size(), 2, 15000);
    QCOMPARE(boxes->boxes.at(0).text, QString("About to program the FW!"));
    QCOMPARE(boxes->boxes.at(0).buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(boxes->boxes.at(0).default_button, QMessageBox::Ok);
    QCOMPARE(boxes->boxes.at(1).text, QString("FW Update Successful!"));
    QVERIFY(!status->isVisible());
    QVERIFY(transfer.contains(QVariantList{100}));
    QCOMPARE(transfer.last().at(0).toInt(), 0); // the rows were reset for the next update
    QCOMPARE(window->windowTitle(), title + "Connected fw v2.2 RQ7-NVS");
    QCOMPARE(sim->unit->bootloader_lines().size(), 32);
}

void test_mainwindow_firmware::cancel_or_broken_image_leaves_the_unit_alone()
{
    sim->unit->clear_received_frames();
    boxes->press = QMessageBox::Cancel;
    start_update(fw_text::image(3));
    boxes->press = QMessageBox::Ok;
    start_update(fw_text::image(3).replace(":00000001FF", ":00000001FE"));

    QCOMPARE(boxes->boxes.size(), 2); // the broken image was refused without asking
    QCOMPARE(boxes->boxes.at(1).text, QString("Invalid FW image!"));
    QVERIFY(boxes->boxes.at(1).informative_text.contains("line 4: bad checksum"));
    QTest::qWait(300);
    QVERIFY(sim->unit->received_frames().isEmpty());
    QCOMPARE(window->windowTitle(), title + "Connected fw v2.1 RQ7-NVS");
}

void test_mainwindow_firmware::failed_update_shows_the_bootloader()
{
    sim->unit->fault_refuse_line(3);
    start_update(fw_text::image(5));
    QTRY_COMPARE_WITH_TIMEOUT(boxes->boxes.size(), 2, 15000);
    QCOMPARE(boxes->boxes.at(1).text, QString("FW Update Failed!"));
    QCOMPARE(window->windowTitle(), title + "Connected bootloader");
    // The bootloader does not tell the model: the limits stay those of the RQ7-NVS.
    QCOMPARE(w<QDoubleSpinBox>("main_overcurrent_limit")->maximum(), 20.0);
    QVERIFY(w<QPushButton>("fw_update")->isEnabled()); // a new attempt can be made
}

void test_mainwindow_firmware::reset_asks_first()
{
    boxes->press = QMessageBox::No;
    w<QAction>("act_reset")->trigger();
    QCOMPARE(boxes->boxes.at(0).text, QString("Reset the device?"));
    QCOMPARE(boxes->boxes.at(0).default_button, QMessageBox::No);
    boxes->press = QMessageBox::Yes;
    w<QAction>("act_reset")->trigger();
    QTRY_COMPARE(sim->unit->reset_count(), 1);
    QTest::qWait(50);
    QCOMPARE(sim->unit->reset_count(), 1);
}

void test_mainwindow_firmware::debug_log_gathers_both_threads_data()
{
    QTest::addColumn<QString>("file_name");
    QTest::newRow("file") << "rq7_debug_log.txt";
    QTest::newRow("unwritable file") << "missing/rq7_debug_log.txt";
}

void test_mainwindow_firmware::debug_log_gathers_both_threads()
{
    QFETCH(QString, file_name);
    open_window(dir.filePath(file_name));
    const QtMessageHandler previous = qInstallMessageHandler(debug_log_handler);
    QScopedPointer<QThread> other(QThread::create([] {
        for (int i = 0; i < 50; ++i)
            qDebug("other %d", i);
    }));
    other->start();
    for (int i = 0; i < 50; ++i)
        qWarning("window %d", i);
    other->wait();
    QTest::qWait(50);
    qInstallMessageHandler(previous);

    // "[2026-12-08 07:44:42.734] { 2568} other 7": each thread's lines whole and in order.
    const QRegularExpression format(R"(^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] \{ *\d+\} )");
    const QStringList shown = w<QPlainTextEdit>("debug_log_text")->toPlainText().split('\n');
    QStringList window_lines, other_lines;
    for (const QString& line : shown) {
        if (line.contains(QRegularExpression(R"(\[Warning\] .*: window \d+$)")))
            window_lines << line.section(": ", -1);
        else if (line.contains(QRegularExpression(R"(\} other \d+$)")))
            other_lines << line.section("} ", -1);
        else
            continue;
        QVERIFY2(line.contains(format), qPrintable(line));
    }
    QStringList window_expected, other_expected;
    for (int i = 0; i < 50; ++i) {
        window_expected << QString("window %1").arg(i);
        other_expected << QString("other %1").arg(i);
    }
    QCOMPARE(window_lines, window_expected);
    QCOMPARE(other_lines, other_expected);

    QFile file(dir.filePath(file_name));
    const bool written = file.open(QIODevice::ReadOnly);
    QCOMPARE(written, !file_name.contains('/'));
    QCOMPARE(shown.filter("cannot be written; lines are only shown here").size(), written ? 0 : 1);
    if (written)
        QCOMPARE(file.readAll().count("} other "), 50);
}

void test_mainwindow_firmware::log_file_opens_in_the_viewer()
{
    url_catcher viewer;
    QDesktopServices::setUrlHandler("file", &viewer, "open");
    QTest::mouseClick(w<QPushButton>("open_debug_log_file"), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(viewer.urls, QList<QUrl>{QUrl::fromLocalFile(dir.filePath("rq7_debug_log.txt"))});
}

// A fatal message ends the program, so it runs in a child process: the worker's thread logs
// it, and it reaches the file although the window's thread never gets to it.
void test_mainwindow_firmware::fatal_message_reaches_the_file()
{
    const QString file_name = dir.filePath("fatal_log.txt");
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--fatal-child", file_name});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QFile file(file_name);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY2(text.contains("[Fatal] ") && text.contains("Cannot create device info list, FTDI "
                                                        "drivers are probably locked up (windows "
                                                        "error)\r\n"),
             text.constData());
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int child_at = app.arguments().indexOf("--fatal-child");
    if (child_at > 0) {
        sim_fixture f;
        f.sim->fail_enumeration(FT_OTHER_ERROR);
        QSettings().setValue("MainWindow/debug_log_file_name", app.arguments().value(child_at + 1));
        MainWindow window;
        qInstallMessageHandler(debug_log_handler);
        window.connect_attempt();
        QTest::qWait(20000);
        return 0; // not reached: the fatal message ends the process
    }
    test_mainwindow_firmware test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_mainwindow_firmware.moc"
