// SPDX-License-Identifier: GPL-3.0-or-later
// The sections of the user guide that the program opens by name: each page of the window (F1)
// and each message box that points to the guide. A name is an anchor of one guide page; the
// tests check that every name here exists in the guide.
#pragma once

#include <QString>
#include <QStringList>

namespace guide_sections {

// Pages of the main window, by the object name of their tab.
inline const QString settings_page = QStringLiteral("settings-page");
inline const QString table_pages = QStringLiteral("table-pages");
inline const QString gpo_pages = QStringLiteral("gpo-pages");
inline const QString debug_log = QStringLiteral("debug-log");
inline const QString live_view = QStringLiteral("live-view");

// Topics the window's message boxes and dialogs refer to.
inline const QString start = QStringLiteral("start");
inline const QString connecting = QStringLiteral("connecting");
inline const QString not_connecting = QStringLiteral("not-connecting");
inline const QString old_firmware = QStringLiteral("old-firmware");
inline const QString write = QStringLiteral("write");
inline const QString write_failed = QStringLiteral("write-failed");
inline const QString nothing_read = QStringLiteral("nothing-read");
inline const QString settings_files = QStringLiteral("settings-files");
inline const QString file_versions = QStringLiteral("file-versions");
inline const QString backups = QStringLiteral("backups");
inline const QString value_rules = QStringLiteral("value-rules");
inline const QString output_modes = QStringLiteral("output-modes");
inline const QString scripts = QStringLiteral("scripts");
inline const QString script_errors = QStringLiteral("script-errors");
inline const QString wizard = QStringLiteral("wizard");
inline const QString map_calibration = QStringLiteral("map-calibration");
inline const QString map_calibrate = QStringLiteral("map-calibrate");
inline const QString map_factory = QStringLiteral("map-factory");
inline const QString map_questions = QStringLiteral("map-questions");
inline const QString output_overrides = QStringLiteral("output-overrides");
inline const QString analog_inputs = QStringLiteral("analog-inputs");
inline const QString recording = QStringLiteral("recording");
inline const QString recording_failed = QStringLiteral("recording-failed");
inline const QString opening_logs = QStringLiteral("opening-logs");
inline const QString playback = QStringLiteral("playback");
inline const QString coverage = QStringLiteral("coverage");
inline const QString export_csv = QStringLiteral("export-csv");
inline const QString undo = QStringLiteral("undo");
inline const QString compare = QStringLiteral("compare");
inline const QString firmware = QStringLiteral("firmware");
inline const QString firmware_failed = QStringLiteral("firmware-failed");
inline const QString firmware_invalid = QStringLiteral("firmware-invalid");
inline const QString reset = QStringLiteral("reset");
inline const QString cli = QStringLiteral("cli");
inline const QString licence = QStringLiteral("licence");

/// The section of a main-window page, by the object name of its tab ("basic", "main", ...);
/// the guide's start for a page it does not know.
QString of_page(const QString& page_name);

/// Every name above, for the tests.
QStringList all();

} // namespace guide_sections
