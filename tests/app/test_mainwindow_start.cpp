// The window against the simulated unit, as the program starts it.
#include "mainwindow.h"
#include "rq7_worker.h"
#include "sim_backend.h"

#include <QPointer>
#include <QtTest>

class test_mainwindow_start : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void shows_the_program_title();
    void closing_the_window_ends_the_worker_thread();
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

QTEST_MAIN(test_mainwindow_start)
#include "test_mainwindow_start.moc"
