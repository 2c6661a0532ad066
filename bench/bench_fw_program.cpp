// SPDX-License-Identifier: GPL-3.0-or-later
// A whole firmware update into the simulated unit: reset into the bootloader, 2,500 records
// under the line handshake, identification of the new firmware. The transfer is compared
// with the handshake limit: each record waits for the unit's answers, which come after its
// link delay plus the time it takes to program the line.
#include "fw_image_text.h"
#include "rq7_worker.h"
#include "sim_backend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int record_count = 2500; // address record, data records, end-of-file record

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg && type != QtInfoMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });

    auto sim = std::make_shared<sim_backend>();
    const std::shared_ptr<rq7_sim_unit> unit = sim->attach_unit();
    d2xx_install_backend(sim);

    QTemporaryDir dir;
    const QString image = dir.filePath("RQ7_QUIL_bench.hex");
    if (!fw_text::write_file(image, fw_text::image(record_count - 2, true))) {
        std::printf("cannot write %s\n", qPrintable(image));
        return 1;
    }

    rq7_worker worker; // on this thread: every slot runs at once
    QElapsedTimer timer;
    qint64 transfer_start = 0, transfer_end = 0;
    FT_STATUS result = FT_OTHER_ERROR;
    QObject::connect(&worker, &rq7_worker::fw_progress, [&](int progress) {
        if (progress == 0)
            transfer_start = timer.nsecsElapsed();
        if (progress == 100)
            transfer_end = timer.nsecsElapsed();
    });
    QObject::connect(&worker, &rq7_worker::fw_programmed,
                     [&](FT_STATUS status, quint16, rq7_variant) { result = status; });
    worker.open();
    timer.start();
    worker.start_fw_program(image);
    const double whole_s = timer.nsecsElapsed() / 1e9;
    worker.close();
    d2xx_install_backend(nullptr);

    const int lines = unit->bootloader_lines().size();
    if (result != FT_OK || lines != record_count) {
        std::printf("update failed: status %lu, %d lines taken\n", result, lines);
        return 1;
    }
    const double per_line_s =
        std::chrono::duration<double>(unit->current_link_delay() + unit->line_program_time())
            .count();
    const double limit_s = lines * per_line_s;
    const double transfer_s = (transfer_end - transfer_start) / 1e9;
    std::printf("records:          %d (link delay %.1f ms + programming %.1f ms per line)\n", lines,
                std::chrono::duration<double, std::milli>(unit->current_link_delay()).count(),
                std::chrono::duration<double, std::milli>(unit->line_program_time()).count());
    std::printf("handshake limit:  %.2f s\n", limit_s);
    std::printf("transfer:         %.2f s  (%.2f x the limit, %.2f ms per line; target <= 1.5 x)\n",
                transfer_s, transfer_s / limit_s, 1000 * transfer_s / lines);
    std::printf("whole update:     %.2f s  (reset into the bootloader and identification "
                "included)\n",
                whole_s);
    return 0;
}
