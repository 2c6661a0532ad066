#include "debug_log.h"
#include "mainwindow.h"
#include "sim_backend.h"
#include "tty_backend.h"

#include <QApplication>
#include <QCommandLineParser>

namespace {

/// Chooses what serves the D2XX calls: the simulated unit when asked for, else real bridges
/// (only the given port with --port).
void install_bridge_backend(const QCommandLineParser& options)
{
    const bool simulate =
        options.isSet("simulate") || qEnvironmentVariableIntValue("QUORVANE_SIMULATE");
    if (simulate) {
        if (options.isSet("port"))
            qWarning("--port is ignored with --simulate");
        auto sim = std::make_shared<sim_backend>();
        sim->attach_unit();
        d2xx_install_backend(sim);
        return;
    }
    d2xx_install_backend(std::make_shared<tty_backend>("/sys", "/dev", options.value("port")));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Velkaro");
    QCoreApplication::setOrganizationDomain("velkaro.com");
    QCoreApplication::setApplicationName("Quorvane");
    QCoreApplication::setApplicationVersion(QUORVANE_VERSION);

    QCommandLineParser options;
    options.setApplicationDescription("Configure, watch and update RQ7 injection controllers.");
    options.addHelpOption();
    options.addVersionOption();
    options.addOption({"simulate", "Talk to a simulated RQ7 unit instead of a USB bridge "
                                   "(also QUORVANE_SIMULATE=1)."});
    options.addOption({"port",
                       "Talk to the unit on this serial port (such as /dev/ttyUSB0), whatever "
                       "its bridge calls itself.",
                       "device"});
    options.process(app);
    install_bridge_backend(options);

    MainWindow window;
    window.show();
    qInstallMessageHandler(debug_log_handler);
    window.connect_attempt();
    return app.exec();
}
