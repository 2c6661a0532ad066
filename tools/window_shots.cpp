// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of every page of the main window, connected to the simulated unit, for checking
// the layout by eye:
//
//     window_shots [output folder] [width height] [--live seconds] [--guide]
//
// writes <folder>/quorvane_<page>.png (default folder /tmp, size 1280 x 800). With --live the
// pictures are taken after that many seconds of live updates from the simulated unit.
//
// --guide takes the pictures of the user guide instead: the pages it shows, after a read and a
// few seconds of live data, as <folder>/<page>.png scaled to the guide's width in 256 colours,
// so that they stay small in the program's resources. The debug log goes to the documents
// folder, and its name shows on the Debug Log page: give the program a home of its own.
//
//     HOME=/tmp/owner window_shots doc/guide/images 1180 820 --guide
#include "debug_log.h"
#include "mainwindow.h"
#include "sim_backend.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
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
    const bool guide = args.removeAll("--guide") > 0;
    if (guide)
        live_seconds = 6;
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
    if (guide) // the Debug Log page shows what the program did, as it does for a user
        qInstallMessageHandler(debug_log_handler);
    window.connect_attempt();
    auto* status = window.findChild<QLabel*>("connection_status");
    QElapsedTimer waited;
    waited.start();
    while (!status->text().startsWith("Connected fw") && waited.elapsed() < 5000) {
        app.processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }

    auto* tabs = window.findChild<QTabWidget*>("main_tab");
    if (guide) {
        // The guide shows a unit's tables, not the window's empty start values.
        QAction* read = window.findChild<QAction*>("act_read");
        read->trigger();
        waited.restart();
        while (!read->isEnabled() && waited.elapsed() < 5000) {
            app.processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(5);
        }
    }
    if (live_seconds > 0) {
        tabs->setCurrentWidget(window.findChild<QWidget*>("live"));
        window.findChild<QAction*>("act_logging")->trigger();
        waited.restart();
        while (waited.elapsed() < live_seconds * 1000) {
            app.processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(5);
        }
    }
    // The guide shows one page of each kind; its help window shows pictures this wide. GPO1
    // comes last, switched to a setpoint mode, which uses more of its page than "Output OFF".
    const QStringList guide_pages = {"basic", "main", "log", "live", "gpo1"};
    const int guide_width = 720;
    QStringList pages;
    for (int page = 0; page < tabs->count(); ++page)
        pages << tabs->widget(page)->objectName();
    int failures = 0;
    for (const QString& page_name : guide ? guide_pages : pages) {
        if (guide && page_name == "gpo1")
            window.findChild<QComboBox*>("gpo1_control")->setCurrentIndex(2);
        tabs->setCurrentWidget(window.findChild<QWidget*>(page_name));
        app.processEvents();
        QImage picture = window.grab().toImage();
        if (guide)
            picture = picture.scaledToWidth(guide_width, Qt::SmoothTransformation)
                          .convertToFormat(QImage::Format_Indexed8, Qt::DiffuseDither);
        const QString name = folder + (guide ? "/" : "/quorvane_") + page_name + ".png";
        if (!picture.save(name)) {
            qWarning("Could not write %s", qPrintable(name));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
