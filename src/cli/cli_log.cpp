// SPDX-License-Identifier: GPL-3.0-or-later
// log: live data from the unit into a live-log file, exactly as the window records it, until
// a number of seconds has passed or the user presses Ctrl-C.
#include "cli_commands.h"
#include "cli_progress.h"

#include "rq7_worker.h"
#include "settings_backup.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

std::atomic<bool> interrupted{false};

extern "C" void on_interrupt(int)
{
    interrupted = true;
}

/// Ctrl-C ends the recording cleanly; a second one ends the program at once.
void catch_interrupts()
{
    struct sigaction action = {};
    action.sa_handler = on_interrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

/// Waits until the worker has run everything posted to it so far.
void settle(rq7_worker* worker)
{
    QMetaObject::invokeMethod(
        worker, [] {}, Qt::BlockingQueuedConnection);
}

} // namespace

int cli_log(const cli_options& options)
{
    if (options.args.size() != 1)
        return cli_fail(exit_code::usage, "log needs one file name: quorvane-cli log FILE "
                                          "[--seconds N]");
    const QString path = QFileInfo(options.args.first()).absoluteFilePath();
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if (!folder.isDir() || !folder.isWritable())
        return cli_fail(
            exit_code::local_file,
            QString("cannot write into %1 (does the folder exist, may you write there?)")
                .arg(folder.filePath()));

    cli_unit unit;
    QString error;
    if (!unit.connect_unit(error))
        return cli_fail(exit_code::no_unit, error);
    unit_settings settings;
    if (!unit.read_all(settings, error))
        return cli_fail(exit_code::no_unit, error);
    if (!unit.backup_error.isEmpty())
        cli_report_backup(unit);

    rq7_worker* worker = unit.worker();
    settings.ints[i_hw_version] =
        settings_files::version_number(QCoreApplication::applicationVersion());
    settings.ints[i_fw_version] = unit.fw_version;
    // Everything the window's Save writes, so the file's settings section is complete.
    worker->set_log_settings(settings.tables, settings.ints);
    QString file_failure;
    const auto file_failed =
        QObject::connect(worker, &rq7_worker::log_file_failed, &unit,
                         [&file_failure](const QString&, const QString& reason) {
                             if (file_failure.isEmpty())
                                 file_failure = reason;
                         });
    worker->set_log_file(path);
    worker->enable_log_to_file(true);
    settle(worker);
    QCoreApplication::processEvents(); // a file that could not be opened says so now
    if (!file_failure.isEmpty())
        return cli_fail(exit_code::local_file,
                        QString("cannot write %1: %2").arg(path, file_failure));

    qint64 samples = 0;
    bool stopped_by_unit = false;
    QElapsedTimer clock;
    cli_progress progress("log");
    const auto counter = QObject::connect(worker, &rq7_worker::log_data_ready, &unit,
                                          [&samples](const rq7_frame&) { ++samples; });
    if (!unit.call([worker] { worker->start_live_logging(); }, &rq7_worker::log_started, [] {},
                   5000)) {
        worker->enable_log_to_file(false);
        settle(worker);
        return cli_fail(exit_code::no_unit, "the unit did not start streaming live data");
    }
    catch_interrupts();
    const auto stopper = QObject::connect(worker, &rq7_worker::log_stopped, &unit,
                                          [&stopped_by_unit] { stopped_by_unit = true; });
    clock.start();
    const qint64 limit_ms = qint64(options.seconds * 1000);
    while (!interrupted && !stopped_by_unit && file_failure.isEmpty() &&
           (limit_ms <= 0 || clock.elapsed() < limit_ms)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        const int percent = limit_ms > 0 ? int(clock.elapsed() * 100 / limit_ms) : 0;
        progress.update(percent,
                        QString("%1 s, %2 samples").arg(clock.elapsed() / 1000).arg(samples));
    }
    QObject::disconnect(stopper);
    if (!stopped_by_unit)
        unit.call([worker] { worker->stop_live_logging(false); }, &rq7_worker::log_stopped, [] {},
                  5000);
    worker->enable_log_to_file(false);
    settle(worker);
    QCoreApplication::processEvents(); // the last frames' signals
    QObject::disconnect(counter);
    QObject::disconnect(file_failed);
    progress.finish(QString("%1 samples in %2").arg(samples).arg(path));
    if (!file_failure.isEmpty())
        return cli_fail(exit_code::local_file,
                        QString("could not write to %1: %2; it holds what was recorded before")
                            .arg(path, file_failure));
    if (stopped_by_unit && !interrupted)
        return cli_fail(exit_code::no_unit,
                        QString("live data stopped early (the unit went away or sent a damaged "
                                "frame); %1 holds the %2 samples recorded")
                            .arg(path)
                            .arg(samples));
    return exit_code::done;
}
