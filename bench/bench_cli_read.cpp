// SPDX-License-Identifier: GPL-3.0-or-later
// `quorvane-cli read` in-process against the simulated unit with its default link delay: the
// whole command and its phases (connect and identify, read every setting, save the file),
// the exchanges with the unit, and the read's time against the sum of the link delays of its
// exchanges, which no implementation can beat. Then the program itself, `quorvane-cli
// --simulate read FILE`, from its start to its exit.
#include "cli_commands.h"
#include "rq7_sim_unit.h"
#include "settings_backup.h"
#include "sim_backend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.filePath("data").toLocal8Bit()); // backups stay aside
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    auto sim = std::make_shared<sim_backend>();
    const auto unit = sim->attach_unit();
    d2xx_install_backend(sim);
    const double link_delay_ms = 2.0; // the simulated unit's default

    std::vector<double> connect_ms, read_ms, save_ms, whole_ms;
    int connect_exchanges = 0, read_exchanges = 0;
    for (int run = 0; run < 15; ++run) {
        QElapsedTimer whole, phase;
        whole.start();
        phase.start();
        cli_unit link;
        QString error;
        unit->clear_received_frames();
        if (!link.connect_unit(error))
            return std::fprintf(stderr, "connect failed: %s\n", qPrintable(error)), 1;
        connect_ms.push_back(phase.nsecsElapsed() / 1e6);
        connect_exchanges = unit->received_frames().size();
        unit->clear_received_frames();
        phase.restart();
        unit_settings settings;
        if (!link.read_all(settings, error))
            return std::fprintf(stderr, "read failed: %s\n", qPrintable(error)), 1;
        read_ms.push_back(phase.nsecsElapsed() / 1e6);
        read_exchanges = unit->received_frames().size();
        phase.restart();
        settings_files::write_complete(dir.filePath("bench.vkini"), settings.tables, settings.ints,
                                       settings.trims);
        save_ms.push_back(phase.nsecsElapsed() / 1e6);
        whole_ms.push_back(whole.nsecsElapsed() / 1e6);
    }
    std::vector<double> process_ms;
    for (int run = 0; run < 9; ++run) {
        QElapsedTimer whole;
        whole.start();
        QProcess cli;
        cli.setStandardOutputFile(QProcess::nullDevice());
        cli.setStandardErrorFile(QProcess::nullDevice());
        cli.start(QUORVANE_CLI, {"--simulate", "read", dir.filePath("process.vkini")});
        if (!cli.waitForFinished(30000) || cli.exitCode() != 0)
            return std::fprintf(stderr, "quorvane-cli read failed\n"), 1;
        process_ms.push_back(whole.nsecsElapsed() / 1e6);
    }
    const double read_limit = read_exchanges * link_delay_ms;
    std::printf(
        "quorvane-cli read against the simulated unit (link delay %.0f ms), medians of %zu:\n",
        link_delay_ms, whole_ms.size());
    std::printf("  connect and identify: %6.1f ms, %d requests (target 40 ms)\n",
                median(connect_ms), connect_exchanges);
    std::printf("  read every setting:   %6.1f ms, %d exchanges, link delays %.1f ms, ratio "
                "%.2f (target 1.5)\n",
                median(read_ms), read_exchanges, read_limit, median(read_ms) / read_limit);
    std::printf("  save file and backup: %6.1f ms\n", median(save_ms));
    std::printf("  whole command:        %6.1f ms\n", median(whole_ms));
    std::printf("  the program, start to exit (median of %zu): %6.1f ms (target 150 ms)\n",
                process_ms.size(), median(process_ms));
    d2xx_install_backend(nullptr);
    return 0;
}
