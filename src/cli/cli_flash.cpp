// SPDX-License-Identifier: GPL-3.0-or-later
// flash: a firmware image into the unit through its bootloader, after a backup.
#include "cli_commands.h"
#include "cli_progress.h"

#include "fw_image.h"
#include "rq7_worker.h"
#include "settings_backup.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

constexpr int update_timeout_ms = 60 * 60 * 1000;

/// The same checks as the window's: "QUIL" in the file's name, and a whole Intel HEX image.
bool image_usable(const QString& path, QString& error)
{
    if (!QFileInfo(path).fileName().contains("QUIL")) {
        error = QString("%1 is not a firmware image for this unit (its name must contain "
                        "QUIL)")
                    .arg(path);
        return false;
    }
    error = fw_image::too_large(path);
    if (!error.isEmpty()) {
        error += "; the unit was not touched";
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QString("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    const fw_image::check_result checked = fw_image::check(file.readAll());
    if (!checked.valid) {
        error = QString("%1 is not a valid firmware image (%2); the unit was not touched")
                    .arg(path, fw_image::describe(checked));
        return false;
    }
    return true;
}

} // namespace

int cli_flash(const cli_options& options)
{
    if (options.args.size() != 1)
        return cli_fail(exit_code::usage, "flash needs one image: quorvane-cli flash IMAGE");
    const QString path = options.args.first();
    QString error;
    if (!image_usable(path, error))
        return cli_fail(exit_code::usage, error);

    cli_unit unit;
    if (!unit.connect_unit(error, true))
        return cli_fail(exit_code::no_unit, error);
    QString backup;
    if (unit.backup(backup, error))
        std::fprintf(stderr, "Backup of the unit's settings: %s\n", qPrintable(backup));
    else if (!options.no_backup)
        return cli_fail(unit.backup_error.isEmpty() ? exit_code::no_unit : exit_code::local_file,
                        error + "; nothing was flashed (--no-backup flashes without a backup, as "
                                "for a unit that is already in its bootloader)");
    else
        std::fprintf(stderr, "warning: %s; flashing without a backup\n", qPrintable(error));

    rq7_worker* worker = unit.worker();
    cli_progress progress("flash");
    QObject::connect(worker, &rq7_worker::reset_progress, &unit, [&progress](int percent) {
        progress.update(percent / 10, "restarting into the bootloader");
    });
    QObject::connect(worker, &rq7_worker::fw_progress, &unit, [&progress](int percent) {
        progress.update(10 + percent * 9 / 10, "programming");
    });
    FT_STATUS status = FT_OTHER_ERROR;
    quint16 version = 0;
    const bool answered =
        unit.call([worker, path] { worker->start_fw_program(path); }, &rq7_worker::fw_programmed,
                  [&](FT_STATUS s, quint16 fw, rq7_variant) {
                      status = s;
                      version = fw;
                  },
                  update_timeout_ms);
    if (!answered || status != FT_OK || version == 0) {
        progress.finish("failed");
        return cli_fail(exit_code::no_unit,
                        "the firmware was NOT updated: unplug the USB cable, plug it in again "
                        "and flash again (a unit left in its bootloader is flashed without a "
                        "reset)");
    }
    progress.finish("done");
    cli_print(QString("Flashed %1: unit %2 now runs firmware %3.")
                  .arg(path, unit.serial_number, cli_firmware_text(version)));
    return exit_code::done;
}
