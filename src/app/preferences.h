// SPDX-License-Identifier: GPL-3.0-or-later
// The user's preferences, kept between runs under "MainWindow/...": the debug log file, the
// settings file, the live log folder, the boost unit and the analog inputs' conversion files.
// Read once as the window is built, written once as it closes, beside their place and
// renamed into it.
#pragma once

class analog_inputs;
class axis_ranges;
class change_sets;
class debug_log_panel;
class live_log_recorder;
class settings_file_panel;

class preferences
{
public:
    /// The panels that hold what is kept.
    struct holders
    {
        settings_file_panel* files;
        debug_log_panel* debug_log;
        live_log_recorder* recorder;
        axis_ranges* ranges;
        analog_inputs* inputs;
        change_sets* changes;
    };

    explicit preferences(const holders& kept);

    void restore();
    void save() const;

private:
    holders kept;
};
