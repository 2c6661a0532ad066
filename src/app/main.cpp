// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge_choice.h"
#include "debug_log.h"
#include "mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>

namespace {

void name_application()
{
    QCoreApplication::setOrganizationName("Velkaro");
    QCoreApplication::setOrganizationDomain("velkaro.com");
    QCoreApplication::setApplicationName("Quorvane");
    QCoreApplication::setApplicationVersion(QUORVANE_VERSION);
}

void describe_options(QCommandLineParser& options)
{
    options.setApplicationDescription(
        "Configure, watch and update RQ7 injection controllers.\n\n"
        "FILE, when given, is opened as the window starts: a live-log file (.vklog) shows its "
        "samples on the Live View page and brings back the settings it was recorded with; any "
        "other file is opened as a settings file (.vkini), as File > Open does.");
    options.addHelpOption();
    options.addVersionOption();
    options.addOption({"simulate", "Talk to a simulated RQ7 unit instead of a USB bridge "
                                   "(also QUORVANE_SIMULATE=1)."});
    options.addOption({"port",
                       "Talk to the unit on this serial port (such as /dev/ttyUSB0), whatever "
                       "its bridge calls itself.",
                       "device"});
    options.addPositionalArgument("FILE",
                                  "A settings file (.vkini) or live-log file (.vklog) "
                                  "to open.",
                                  "[FILE]");
}

/// --help and --version are answered before the window's application exists: they need no
/// display, so they work over ssh and while the manual pages are made from them.
void answer_help_or_version(int& argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser options;
    describe_options(options);
    // The toolkit's own options (-platform, -style) are unknown here; the full parse below
    // takes those command lines.
    if (!options.parse(arguments) || !(options.isSet("help") || options.isSet("version")))
        return;
    QCoreApplication app(argc, argv);
    name_application();
    options.process(app); // prints and ends the program
}

} // namespace

int main(int argc, char* argv[])
{
    answer_help_or_version(argc, argv);
    QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    QApplication app(argc, argv);
    name_application();
    // Lets the desktop match the window to the menu entry and its icon.
    QGuiApplication::setDesktopFileName("quorvane");

    QCommandLineParser options;
    describe_options(options);
    options.process(app);
    const QStringList files = options.positionalArguments();
    if (files.size() > 1) {
        std::fprintf(stderr, "quorvane: one FILE at a time (see quorvane --help)\n");
        return 1;
    }
    install_bridge_backend(options.isSet("simulate"), options.value("port"));

    MainWindow window;
    window.show();
    qInstallMessageHandler(debug_log_handler);
    window.connect_attempt();
    // Queued behind the connection attempt: what the file holds is what the window shows.
    if (!files.isEmpty())
        window.open_given_file(QFileInfo(files.first()).absoluteFilePath());
    return app.exec();
}
