// SPDX-License-Identifier: GPL-3.0-or-later
#include "guide_sections.h"

namespace guide_sections {

QString of_page(const QString& page_name)
{
    if (page_name == "basic")
        return settings_page;
    if (page_name == "main" || page_name == "aux")
        return table_pages;
    if (page_name == "gpo1" || page_name == "gpo2")
        return gpo_pages;
    if (page_name == "log")
        return debug_log;
    if (page_name == "live")
        return live_view;
    return start;
}

QStringList all()
{
    return {settings_page,
            table_pages,
            gpo_pages,
            debug_log,
            live_view,
            start,
            connecting,
            not_connecting,
            old_firmware,
            write,
            write_failed,
            nothing_read,
            settings_files,
            file_versions,
            backups,
            value_rules,
            output_modes,
            scripts,
            script_errors,
            wizard,
            map_calibration,
            map_calibrate,
            map_factory,
            map_questions,
            output_overrides,
            analog_inputs,
            recording,
            recording_failed,
            opening_logs,
            playback,
            coverage,
            export_csv,
            undo,
            compare,
            firmware,
            firmware_failed,
            firmware_invalid,
            reset,
            cli,
            licence};
}

} // namespace guide_sections
