// SPDX-License-Identifier: GPL-3.0-or-later
#include "log_export.h"

#include "file_dialog.h"
#include "guide_sections.h"
#include "log_csv_export.h"
#include "message_box.h"
#include "rq7_log_view.h"

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QProgressDialog>

namespace log_export {

void export_with_dialog(QWidget* window, const rq7_log_view& log, const converter& conv,
                        const QString& folder, QString& status)
{
    status.clear();
    if (log.size() == 0) {
        message_box::show(window, QMessageBox::Information, "There is no live log to export",
                          "Record live data or open a live-log file first.");
        return;
    }
    const QString start =
        folder + "/quorvane_log_" +
        QDateTime::fromMSecsSinceEpoch(log.time_at(0)).toString("yyyy-MM-dd_hh-mm-ss") + ".csv";
    const QString path = file_dialog::save_file(window, "Export live log as CSV", start,
                                                "CSV files (*.csv);;All (*.*)");
    if (path.isEmpty())
        return;
    QString error;
    if (write_with_progress(window, path, log, conv, error)) {
        status = QString("Exported %1 samples to %2").arg(log.size()).arg(path);
        return;
    }
    if (error.isEmpty()) {
        status = "Export cancelled; nothing was written";
        return;
    }
    qWarning().noquote() << "Could not export the live log:" << error;
    message_box::show_with_help(guide_sections::export_csv, window, QMessageBox::Critical,
                                "Could not export the live log", error);
}

bool write_with_progress(QWidget* window, const QString& path, const rq7_log_view& log,
                         const converter& conv, QString& error)
{
    error.clear();
    QProgressDialog progress("Exporting the live log...", "Cancel", 0, log.size(), window);
    progress.setWindowTitle("Export live log");
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500); // a short log finishes before the dialog would show
    const log_csv_export::result done =
        log_csv_export::save(path, log, conv, error, [&progress](int written, int) {
            progress.setValue(written); // also keeps the window answering
            return !progress.wasCanceled();
        });
    progress.reset();
    if (done == log_csv_export::r_cancelled)
        error.clear();
    return done == log_csv_export::r_written;
}

} // namespace log_export
