// Pictures of every page of the main window, connected to the simulated unit, for checking
// the layout by eye:
//
//     window_shots [output folder] [width height] [--live seconds]
//
// writes <folder>/quorvane_<page>.png (default folder /tmp, size 1280 x 800). With --live the
// pictures are taken after that many seconds of live updates from the simulated unit.
#include "mainwindow.h"
#include "sim_backend.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QTabWidget>
#include <QThread>

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Velkaro");
    QCoreApplication::setApplicationName("Quorvane");
    QCoreApplication::setApplicationVersion("2.11.0");
    QStringList args = app.arguments();
    int live_seconds = 0;
    const int live_at = args.indexOf("--live");
    if (live_at > 0 && live_at + 1 < args.size()) {
        live_seconds = args.at(live_at + 1).toInt();
        args.erase(args.begin() + live_at, args.begin() + live_at + 2);
    }
    const QString folder = args.size() > 1 ? args.at(1) : QDir::tempPath();
    const int width = args.size() > 3 ? args.at(2).toInt() : 1280;
    const int height = args.size() > 3 ? args.at(3).toInt() : 800;

    auto sim = std::make_shared<sim_backend>();
    sim->attach_unit();
    d2xx_install_backend(sim);

    MainWindow window;
    window.resize(width, height);
    window.show();
    window.connect_attempt();
    auto* status = window.findChild<QLabel*>("connection_status");
    QElapsedTimer waited;
    waited.start();
    while (!status->text().startsWith("Connected fw") && waited.elapsed() < 5000) {
        app.processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }

    auto* tabs = window.findChild<QTabWidget*>("main_tab");
    if (live_seconds > 0) {
        tabs->setCurrentWidget(window.findChild<QWidget*>("live"));
        window.findChild<QAction*>("act_logging")->trigger();
        waited.restart();
        while (waited.elapsed() < live_seconds * 1000) {
            app.processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(5);
        }
    }
    int failures = 0;
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        app.processEvents();
        const QString name = folder + "/quorvane_" + tabs->widget(page)->objectName() + ".png";
        if (!window.grab().save(name)) {
            qWarning("Could not write %s", qPrintable(name));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
