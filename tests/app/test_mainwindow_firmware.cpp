// The window's firmware update against the simulated unit, the Reset command and the debug
// log with the real message handler.
#include "box_answerer.h"
#include "debug_log.h"
#include "dialog_answerer.h"
#include "fw_image_text.h"
#include "fw_program_status.h"
#include "mainwindow.h"
#include "rq7_worker.h"
#include "sim_fixture.h"
#include "window_access.h"

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

#include <memory>

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

/// "[2026-12-07 09:05:03.042] {  812} text" -> thread number and text.
QPair<QString, QString> split_line(const QString& line)
{
    static const QRegularExpression format(
        R"(^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] \{ *(\d+)\} (.*)$)");
    const QRegularExpressionMatch match = format.match(line);
    return match.hasMatch() ? qMakePair(match.captured(1), match.captured(2))
                            : qMakePair(QString(), line);
}

} // namespace

class test_mainwindow_firmware : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void choosing_an_image();
    void update_flashes_the_unit();
    void cancel_or_broken_image_leaves_the_unit_alone();
    void failed_update_shows_the_bootloader();
    void progress_rows();
    void reset_asks_first();
    void debug_log_gathers_both_threads_data();
    void debug_log_gathers_both_threads();
    void log_file_opens_in_the_viewer();
    void fatal_message_reaches_the_file();

private:
    template <typename T>
    T* w(const char* name)
    {
        return child<T>(window.get(), name);
    }
    void open_window(const QString& log_file = QString());
    bool wait_for(const std::function<bool()>& done, int ms = 15000);
    QString image_file(const QByteArray& text);
    void start_update(const QString& location);

    std::unique_ptr<sim_fixture> sim;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<box_answerer> boxes;
};

void test_mainwindow_firmware::initTestCase()
{
    QCoreApplication::setApplicationVersion("2.11.0");
}

void test_mainwindow_firmware::init()
{
    sim = std::make_unique<sim_fixture>();
    dir = std::make_unique<QTemporaryDir>();
    boxes = std::make_unique<box_answerer>();
}

void test_mainwindow_firmware::cleanup()
{
    window.reset();
    boxes.reset();
    sim.reset();
    dir.reset();
}

void test_mainwindow_firmware::open_window(const QString& log_file)
{
    QSettings().clear();
    QSettings().setValue("MainWindow/debug_log_file_name",
                         log_file.isEmpty() ? dir->filePath("rq7_debug_log.txt") : log_file);
    window = std::make_unique<MainWindow>();
    window->show();
    window->connect_attempt();
    QVERIFY(wait_for(
        [this] { return w<QLabel>("connection_status")->text().startsWith("Connected"); }));
}

bool test_mainwindow_firmware::wait_for(const std::function<bool()>& done, int ms)
{
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < ms)
        QTest::qWait(5);
    return done();
}

QString test_mainwindow_firmware::image_file(const QByteArray& text)
{
    const QString name = dir->filePath("RQ7_QUIL_2_2.hex");
    fw_text::write_file(name, text);
    return name;
}

void test_mainwindow_firmware::start_update(const QString& location)
{
    w<QLineEdit>("fw_location")->setText(location);
    QTest::mouseClick(w<QPushButton>("fw_update"), Qt::LeftButton);
}

void test_mainwindow_firmware::choosing_an_image()
{
    open_window();
    dialog_answerer dialogs;
    auto* location = w<QLineEdit>("fw_location");
    location->setText("/old/RQ7_QUIL_1.hex");
    dialogs.answers =
        QStringList{"", "/fw/RQ7_quil_2.hex", "/QUIL/rq7.hex", "/fw/RQ7_QUIL_2.vkhex"};
    for (int i = 0; i < 4; ++i)
        QTest::mouseClick(w<QPushButton>("fw_browse"), Qt::LeftButton);

    QCOMPARE(dialogs.asked.size(), 4);
    QCOMPARE(dialogs.asked.at(0).title, QString("Open FW file"));
    QCOMPARE(dialogs.asked.at(0).start, QString("/old/RQ7_QUIL_1.hex"));
    QCOMPARE(dialogs.asked.at(0).filter, QString("FW files (*QUIL*.hex *QUIL*.vkhex);;All (*.*)"));
    // The token is case-sensitive and belongs in the file's own name.
    QCOMPARE(boxes->boxes.size(), 2);
    QCOMPARE(boxes->boxes.at(0).text, QString("Incorrect FW version selected!"));
    QCOMPARE(boxes->boxes.at(0).informative_text,
             QString("You must select a FW load for the RQ7-NVS. These usually have 'QUIL' in "
                     "the name"));
    QCOMPARE(boxes->boxes.at(0).buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(location->text(), QString("/fw/RQ7_QUIL_2.vkhex"));
}

void test_mainwindow_firmware::update_flashes_the_unit()
{
    open_window();
    const QByteArray image = fw_text::image(30);
    auto* status = window->findChild<fw_program_status*>("fw_program_status");
    QVERIFY(status);
    QSignalSpy transfer(w<QProgressBar>("program_bar"), &QProgressBar::valueChanged);
    start_update("  " + image_file(image) + " ");
    QVERIFY(status->isVisible());
    QVERIFY(!w<QProgressBar>("reset_bar")->isEnabled());

    QVERIFY(wait_for([this] { return boxes->boxes.size() == 2; }));
    const message_box::contents ask = boxes->boxes.at(0);
    QCOMPARE(ask.text, QString("About to program the FW!"));
    QVERIFY(ask.informative_text.startsWith("Before proceeding, ensure unit is ready for FW "
                                            "programming:\n  - Turn engine OFF"));
    QCOMPARE(ask.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(ask.default_button, QMessageBox::Ok);
    QCOMPARE(boxes->boxes.at(1).text, QString("FW Update Successful!"));
    QVERIFY(!status->isVisible());
    QCOMPARE(transfer.last().at(0).toInt(), 0); // the rows were reset after the update
    QVERIFY(transfer.contains(QVariantList{100}));
    QCOMPARE(window->windowTitle(), title + "Connected fw v2.2 RQ7-NVS");
    QCOMPARE(sim->unit->bootloader_lines().size(), 32);
    QCOMPARE(sim->unit->firmware_version(), quint16(0x0202));
}

void test_mainwindow_firmware::cancel_or_broken_image_leaves_the_unit_alone()
{
    open_window();
    sim->unit->clear_received_frames();
    boxes->press = QMessageBox::Cancel;
    start_update(image_file(fw_text::image(3)));
    QCOMPARE(boxes->boxes.size(), 1);

    boxes->press = QMessageBox::Ok;
    start_update(image_file(fw_text::image(3).replace(":00000001FF", ":00000001FE")));
    QCOMPARE(boxes->boxes.size(), 2);
    QCOMPARE(boxes->boxes.at(1).text, QString("Invalid FW image!"));
    QVERIFY(boxes->boxes.at(1).informative_text.contains("line 4: bad checksum"));
    QTest::qWait(300);
    QVERIFY(sim->unit->received_frames().isEmpty());
    QCOMPARE(sim->unit->bootloader_entries(), 0);
    QCOMPARE(window->windowTitle(), title + "Connected fw v2.1 RQ7-NVS");
}

void test_mainwindow_firmware::failed_update_shows_the_bootloader()
{
    open_window();
    sim->unit->fault_refuse_line(3);
    start_update(image_file(fw_text::image(5)));
    QVERIFY(wait_for([this] { return boxes->boxes.size() == 2; }));
    QCOMPARE(boxes->boxes.at(1).text, QString("FW Update Failed!"));
    QVERIFY(boxes->boxes.at(1).informative_text.startsWith(
        "Unit's Firmware was NOT successfully updated.\n"));
    QCOMPARE(window->windowTitle(), title + "Connected bootloader");
    QCOMPARE(w<QLabel>("connection_status")->text(), QString("Connected bootloader"));
    // The model is not known in the bootloader: the limits stay those of the RQ7-NVS.
    QCOMPARE(w<QDoubleSpinBox>("main_overcurrent_limit")->maximum(), 20.0);
    QVERIFY(w<QPushButton>("fw_update")->isEnabled()); // a new attempt can be made
}

void test_mainwindow_firmware::progress_rows()
{
    fw_program_status status;
    auto* bar = status.findChild<QProgressBar*>("program_bar");
    QCOMPARE(status.windowTitle(), QString("FW Programming..."));
    QVERIFY(!(status.windowFlags() & Qt::WindowCloseButtonHint));
    status.set_program_progress(150);
    QVERIFY(bar->isEnabled());
    QCOMPARE(bar->value(), 100);
    status.set_program_progress(-1);
    QVERIFY(!bar->isEnabled());
    QCOMPARE(bar->value(), 0);
    status.show();
    QTest::keyClick(&status, Qt::Key_Escape);
    QVERIFY(status.isVisible()); // only the update's end hides it
}

void test_mainwindow_firmware::reset_asks_first()
{
    open_window();
    boxes->press = QMessageBox::No;
    w<QAction>("act_reset")->trigger();
    QCOMPARE(boxes->boxes.size(), 1);
    QCOMPARE(boxes->boxes.at(0).text, QString("Reset the device?"));
    QCOMPARE(boxes->boxes.at(0).informative_text,
             QString("WARNING: Make sure the engine is not running before proceeding!"));
    QCOMPARE(boxes->boxes.at(0).default_button, QMessageBox::No);
    boxes->press = QMessageBox::Yes;
    w<QAction>("act_reset")->trigger();
    QVERIFY(wait_for([this] { return sim->unit->reset_count() == 1; }));
    QTest::qWait(50);
    QCOMPARE(sim->unit->reset_count(), 1);
}

void test_mainwindow_firmware::debug_log_gathers_both_threads_data()
{
    QTest::addColumn<bool>("writable");
    QTest::newRow("file") << true;
    QTest::newRow("unwritable file") << false;
}

void test_mainwindow_firmware::debug_log_gathers_both_threads()
{
    QFETCH(bool, writable);
    const QString file_name =
        writable ? dir->filePath("rq7_debug_log.txt") : dir->filePath("missing/rq7_debug_log.txt");
    open_window(file_name);
    const QtMessageHandler previous = qInstallMessageHandler(debug_log_handler);
    QScopedPointer<QThread> other(QThread::create([] {
        for (int i = 0; i < 50; ++i)
            qDebug("other %d", i);
        qWarning("other done");
    }));
    other->start();
    for (int i = 0; i < 50; ++i)
        qDebug("window %d", i);
    other->wait();
    QTest::qWait(50);
    qInstallMessageHandler(previous);

    QStringList shown = w<QPlainTextEdit>("debug_log_text")->toPlainText().split('\n');
    QStringList window_texts, other_texts;
    QSet<QString> threads;
    for (const QString& line : shown) {
        const auto [thread, text] = split_line(line);
        if (text.startsWith("window "))
            window_texts << text;
        else if (text.startsWith("other ") || text.contains("other done"))
            other_texts << text;
        if (!thread.isEmpty() && (text.startsWith("window") || text.contains("other")))
            threads << thread;
    }
    QStringList window_expected, other_expected;
    for (int i = 0; i < 50; ++i) {
        window_expected << QString("window %1").arg(i);
        other_expected << QString("other %1").arg(i);
    }
    QCOMPARE(window_texts, window_expected); // each thread's lines whole and in order
    QCOMPARE(other_texts.mid(0, 50), other_expected);
    QVERIFY(other_texts.last().endsWith(": other done"));
    QVERIFY(other_texts.last().contains("[Warning] "));
    QCOMPARE(threads.size(), 2);

    QFile file(file_name);
    QCOMPARE(file.open(QIODevice::ReadOnly), writable);
    QCOMPARE(shown.filter("cannot be written; lines are only shown here").size(), writable ? 0 : 1);
    if (writable) {
        int window_lines = 0;
        for (const QByteArray& line : file.readAll().split('\n'))
            window_lines += line.contains("} window ") && line.endsWith('\r') ? 1 : 0;
        QCOMPARE(window_lines, 50);
    }
}

void test_mainwindow_firmware::log_file_opens_in_the_viewer()
{
    open_window();
    url_catcher viewer;
    QDesktopServices::setUrlHandler("file", &viewer, "open");
    QTest::mouseClick(w<QPushButton>("open_debug_log_file"), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(viewer.urls, QList<QUrl>{QUrl::fromLocalFile(dir->filePath("rq7_debug_log.txt"))});
}

// A fatal message ends the program, so it runs in a child process: the line reaches the file
// although the worker's thread logged it and the window's thread never got to it.
void test_mainwindow_firmware::fatal_message_reaches_the_file()
{
    const QString file_name = dir->filePath("fatal_log.txt");
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--fatal-child", file_name});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QFile file(file_name);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY2(text.contains("[Fatal] ") &&
                 text.contains("Cannot create device info list, FTDI drivers are probably locked "
                               "up (windows error)\r\n"),
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
