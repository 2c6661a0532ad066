// SPDX-License-Identifier: GPL-3.0-or-later
// diff: two sets of settings, each a settings file or the unit, compared in the user's units.
#include "cli_commands.h"

#include "settings_report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

/// One side of the comparison: "unit" reads the attached unit, anything else is a file.
bool load_side(const QString& name, cli_unit& unit, bool& unit_open, unit_settings& out,
               QString& error)
{
    if (name != "unit") {
        QStringList warnings;
        if (!cli_load_settings_file(name, out, warnings, error))
            return false;
        for (const QString& warning : qAsConst(warnings))
            std::fprintf(stderr, "warning: %s: %s\n", qPrintable(name), qPrintable(warning));
        return true;
    }
    if (!unit_open && !unit.connect_unit(error))
        return false;
    unit_open = true;
    if (!unit.read_all(out, error))
        return false;
    if (!unit.backup_error.isEmpty())
        cli_report_backup(unit);
    return true;
}

QJsonObject to_json(const QList<settings_report::difference>& parameters,
                    const QList<settings_report::table_difference>& tables)
{
    QJsonArray p;
    for (const auto& d : parameters)
        p.append(QJsonObject{{"name", d.name}, {"a", d.a}, {"b", d.b}});
    QJsonArray t;
    for (const auto& d : tables) {
        QJsonObject o{{"table", d.table}, {"cells", d.cells}, {"unreadable", d.unreadable}};
        if (!d.unreadable) {
            o.insert("largest_difference_percent", d.largest);
            o.insert("rpm", d.rpm);
            o.insert("vertical", d.vertical);
        }
        t.append(o);
    }
    return QJsonObject{{"equal", p.isEmpty() && t.isEmpty()}, {"parameters", p}, {"tables", t}};
}

} // namespace

int cli_diff(const cli_options& options)
{
    if (options.args.size() != 2)
        return cli_fail(exit_code::usage, "diff needs two sides: quorvane-cli diff A B (each a "
                                          "settings file or 'unit')");
    cli_unit unit;
    bool unit_open = false;
    unit_settings sides[2];
    for (int n = 0; n < 2; ++n) {
        // The unit against itself: one read (and one backup) serves both sides.
        if (n == 1 && options.args.at(0) == "unit" && options.args.at(1) == "unit") {
            sides[1] = sides[0];
            break;
        }
        QString error;
        if (!load_side(options.args.at(n), unit, unit_open, sides[n], error)) {
            const bool unit_side = options.args.at(n) == "unit";
            return cli_fail(unit_side ? exit_code::no_unit : exit_code::usage, error);
        }
    }
    const settings_report a(sides[0].tables, sides[0].ints, options.boost_unit);
    const settings_report b(sides[1].tables, sides[1].ints, options.boost_unit);
    const auto parameters = a.parameter_differences(b);
    const auto tables = a.table_differences(b);

    if (options.json) {
        cli_write_stdout(QJsonDocument(to_json(parameters, tables)).toJson());
    } else {
        for (const auto& d : parameters)
            cli_print(settings_report::line(d));
        for (const auto& d : tables)
            cli_print(settings_report::line(d));
        if (parameters.isEmpty() && tables.isEmpty())
            cli_print("The settings are equal.");
    }
    return parameters.isEmpty() && tables.isEmpty() ? exit_code::done : exit_code::differences;
}
