// SPDX-License-Identifier: GPL-3.0-or-later
// The window against the simulated unit, as the program starts it.
#include "mainwindow.h"
#include "rq7_worker.h"
#include "sim_backend.h"

#include <QLineEdit>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class test_mainwindow_start : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void shows_the_program_title();
    void closing_the_window_ends_the_worker_thread();
    void a_fresh_account_gets_a_documents_folder();
};

void test_mainwindow_start::initTestCase()
{
    QCoreApplication::setApplicationVersion("2.11.0");
    auto sim = std::make_shared<sim_backend>();
    sim->attach_unit();
    d2xx_install_backend(sim);
}

void test_mainwindow_start::shows_the_program_title()
{
    MainWindow window;
    window.show();
    QCOMPARE(window.windowTitle(), QString("Velkaro Quorvane v2.11.0"));
}

void test_mainwindow_start::closing_the_window_ends_the_worker_thread()
{
    auto* window = new MainWindow;
    window->show();
    window->connect_attempt();
    QPointer<rq7_worker> worker = window->worker();
    QVERIFY(worker->thread()->isRunning());
    window->close();
    delete window;
    QVERIFY(worker.isNull());
}

void test_mainwindow_start::a_fresh_account_gets_a_documents_folder()
{
    QTemporaryDir home;
    const QByteArray own_home = qgetenv("HOME");
    auto default_log = [] {
        QSettings().clear();
        MainWindow window;
        return window.findChild<QLineEdit*>("debug_log_file_name")->text();
    };
    qputenv("HOME", home.path().toLocal8Bit());
    QCOMPARE(default_log(), home.filePath("Documents/rq7_debug_log.txt"));
    QVERIFY(QFileInfo(home.filePath("Documents")).isDir());

    // Where none can be made, the program's data folder takes its place.
    QFile plain(home.filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    qputenv("HOME", plain.fileName().toLocal8Bit());
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCOMPARE(default_log(), data + "/rq7_debug_log.txt");
    QVERIFY(QFileInfo(data).isDir());
    qputenv("HOME", own_home);
    QSettings().clear();
}

QTEST_MAIN(test_mainwindow_start)
#include "test_mainwindow_start.moc"
