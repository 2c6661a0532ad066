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
// few seconds of live data, as <folder>/<page>.png scaled to the guide's width in 256 colours
// without dithering (a dithered picture takes three to five times the room), so that they stay
// small in the program's resources. Then, with live updates off, the Main
// Table page's table with its playback bar and coverage (coverage.png), and the window after a
// few cells were edited and compared with the unit (compare.png). The debug log goes to the
// documents folder, and its name shows on the Debug Log page: give the program a new, empty
// home of its own, named as a user's could be.
//
//     mkdir /home/owner && HOME=/home/owner window_shots doc/guide/images 1180 820 --guide
#include "debug_log.h"
#include "duty_table.h"
#include "mainwindow.h"
#include "sim_backend.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QTabWidget>
#include <QThread>

#include <functional>

namespace {

/// PNG's strongest compression: the guide's pictures are built into the program.
constexpr int png_smallest = 0;

/// Runs the window until `done` holds or `ms` pass.
void wait_for(const std::function<bool()>& done, int ms = 5000)
{
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

/// At most the guide's width, in 256 colours, so that it stays small in the resources.
QImage for_guide(const QImage& picture, int width)
{
    const QImage fitted =
        picture.width() > width ? picture.scaledToWidth(width, Qt::SmoothTransformation) : picture;
    return fitted.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
}

/// The Main Table page's table with the playback bar and the coverage of the stored log, and
/// the window after a few edited cells were compared with the unit.
QList<QPair<QString, QImage>> review_pictures(MainWindow& window, QTabWidget* tabs)
{
    QList<QPair<QString, QImage>> out;
    QAction* live = window.findChild<QAction*>("act_logging");
    if (live->isChecked())
        live->trigger();
    auto* bar = window.findChild<QWidget*>("main_playback_bar");
    wait_for([bar] { return bar->isEnabled(); });
    tabs->setCurrentWidget(window.findChild<QWidget*>("main"));
    auto* coverage = window.findChild<QWidget*>("main_coverage");
    coverage->findChild<QCheckBox*>("coverage_show")->setChecked(true);
    wait_for([] { return false; }, 300); // the coverage is worked out in the next turns
    auto* table = window.findChild<duty_table*>("main_table");
    QRect area = table->geometry().united(bar->geometry()).united(coverage->geometry());
    area.moveTopLeft(table->parentWidget()->mapTo(&window, area.topLeft()));
    out.append({"coverage", window.grab(area.adjusted(-4, -4, 4, 4)).toImage()});

    coverage->findChild<QCheckBox*>("coverage_show")->setChecked(false);
    table->set_cells({{3, 5, 700}, {3, 6, 720}, {4, 5, 690}}, "edit");
    window.findChild<QAction*>("act_compare_unit")->trigger();
    auto* list = window.findChild<QListWidget*>("differences_list");
    wait_for([list] { return list->count() > 0; });
    QCoreApplication::processEvents();
    out.append({"compare", window.grab().toImage()});
    return out;
}

} // namespace

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
            picture = for_guide(picture, guide_width);
        const QString name = folder + (guide ? "/" : "/quorvane_") + page_name + ".png";
        if (!picture.save(name, "PNG", guide ? png_smallest : -1)) {
            qWarning("Could not write %s", qPrintable(name));
            ++failures;
        }
    }
    if (guide) {
        for (const auto& shot : review_pictures(window, tabs)) {
            const QString name = folder + "/" + shot.first + ".png";
            if (!for_guide(shot.second, guide_width).save(name, "PNG", png_smallest)) {
                qWarning("Could not write %s", qPrintable(name));
                ++failures;
            }
        }
    }
    return failures == 0 ? 0 : 1;
}
