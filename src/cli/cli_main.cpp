// SPDX-License-Identifier: GPL-3.0-or-later
// quorvane-cli: the unit from a shell, without a window. The same worker, bridge layer and
// files as the window, on a QCoreApplication with no widget library linked.
#include "cli_commands.h"

#include "bridge_choice.h"
#include "d2xx_backend.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

namespace {

struct command
{
    int (*run)(const cli_options&);
    int arguments; // how many the command takes after its name
    const char* usage;
    const char* help;
};

const std::map<QString, command> commands = {
    {"list",
     {cli_list, 0, "list [--json]",
      "Lists every USB bridge found, with its serial number, description and port, and whether "
      "it answers as a unit."}},
    {"info",
     {cli_info, 0, "info [--json]",
      "Shows the serial number, firmware version and model of the unit."}},
    {"read",
     {cli_read, 1, "read FILE",
      "Reads all settings of the unit and saves them as a settings file (.vkini), the same file "
      "the window's Save writes. A backup is kept as with every read."}},
    {"write",
     {cli_write, 1, "write FILE [--with-map-cal] [--no-backup]",
      "Backs up the unit, writes the settings FILE holds (the four duty tables, pulses per "
      "revolution, pump prime delay and the output and input modes), reads them back and "
      "compares every value. The active MAP calibration in FILE is written only with "
      "--with-map-cal; the factory calibration never. Without a backup nothing is written unless "
      "--no-backup is given."}},
    {"diff",
     {cli_diff, 2, "diff A B [--boost-unit psi|bar|kpa] [--json]",
      "Compares two sets of settings, each a settings file or 'unit': every parameter that "
      "differs with both values in the user's units, and for each duty table how many cells "
      "differ and the largest difference with its engine speed and boost or analog value."}},
    {"log",
     {cli_log, 1, "log FILE [--seconds N]",
      "Records live data into a live-log file (.vklog), as the window's Log to File writes it, "
      "until N seconds pass or Ctrl-C is pressed. The file is complete after either."}},
    {"export",
     {cli_export, 1, "export LOG [-o OUT.csv] [--boost-unit psi|bar|kpa]",
      "Writes a live-log file as plain CSV: time in seconds from the first sample, then each "
      "quantity in physical units with its unit in the header, converted with the MAP "
      "calibration stored in the log. Without -o the CSV goes to standard output."}},
    {"flash",
     {cli_flash, 1, "flash IMAGE [--no-backup]",
      "Checks a firmware image (Intel HEX, 'QUIL' in its name) as the window does, backs up "
      "the unit, programs the image through the unit's bootloader and prints the new version."}},
    {"doctor",
     {cli_doctor, 0, "doctor",
      "Checks what on this computer keeps the unit from connecting, each with OK, WARN or FAIL "
      "and what to do about it: a \"MERIX 3\" bridge in sysfs and its driver, the port's device "
      "node and whether this user may open it, the bridge's latency timer (2 ms wanted), the "
      "package's udev rule, ModemManager and brltty, and whether the unit answers and with "
      "which firmware. Exits 0 when nothing fails."}},
};

const char* const exit_codes = "Exit codes:\n"
                               "  0   done (diff: the settings are equal)\n"
                               "  1   diff: the settings differ\n"
                               "  2   no unit found, or the link to it failed (doctor: a check "
                               "failed)\n"
                               "  3   write: the unit does not hold what was written\n"
                               "  4   a local file or folder could not be written or read "
                               "(backups, logs, exports, standard output)\n"
                               "  64  usage error, an input file that is missing or unusable, or "
                               "settings with values the unit does not take\n";

QString overview()
{
    QString text = "Usage: quorvane-cli [options] COMMAND [arguments]\n\n"
                   "Configure, record and update RQ7 injection controllers from a shell.\n\n"
                   "Commands:\n";
    for (const auto& entry : commands)
        text += QString("  %1\n").arg(entry.second.usage);
    text += "\n'quorvane-cli COMMAND --help' describes one command.\n\n";
    return text;
}

void add_options(QCommandLineParser& parser)
{
    parser.addOptions({
        {"simulate", "Talk to a simulated unit instead of a USB bridge."},
        {"port", "Talk to the unit on this serial port (such as /dev/ttyUSB0).", "device"},
        {"json", "Print the result as JSON (list, info, diff)."},
        {"boost-unit", "Boost in psi, bar or kpa (diff, export; default psi).", "unit", "psi"},
        {"seconds", "Record for this many seconds (log; default until Ctrl-C).", "N"},
        {"o", "Write the CSV to this file (export).", "file"},
        {"no-backup", "Go on when the unit cannot be backed up first (write, flash)."},
        {"with-map-cal", "Also write the active MAP calibration from the file (write)."},
        {"verbose", "Show the worker's progress messages on standard error."},
        {{"h", "help"}, "Show this help, or a command's with COMMAND --help."},
        {"version", "Show the version."},
    });
}

bool verbose = false;

void message_handler(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtDebugMsg || type == QtInfoMsg) {
        if (verbose)
            std::fprintf(stderr, "%s\n", qPrintable(text));
        return;
    }
    if (verbose || type == QtFatalMsg)
        std::fprintf(stderr, "%s: %s\n", type == QtWarningMsg ? "warning" : "error",
                     qPrintable(text));
    if (type == QtFatalMsg)
        std::abort();
}

constexpr double shortest_recording_s = 0.1;
constexpr double longest_recording_s = 7 * 24 * 3600.0;

int boost_unit_index(const QString& name)
{
    const QString unit = name.toLower();
    return unit == "psi" ? 0 : unit == "bar" ? 1 : unit == "kpa" ? 2 : -1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Velkaro");
    QCoreApplication::setOrganizationDomain("velkaro.com");
    QCoreApplication::setApplicationName("Quorvane");
    QCoreApplication::setApplicationVersion(QUORVANE_VERSION);

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    add_options(parser);
    if (!parser.parse(app.arguments()))
        return cli_fail(exit_code::usage, parser.errorText() + " (see quorvane-cli --help)");
    if (parser.isSet("version")) {
        std::printf("quorvane-cli %s\n", QUORVANE_VERSION);
        return exit_code::done;
    }
    QStringList positional = parser.positionalArguments();
    const QString name = positional.isEmpty() ? QString() : positional.takeFirst();
    const auto found = commands.find(name);
    if (parser.isSet("help") || name.isEmpty() || name == "help") {
        const auto topic = commands.find(name == "help" ? positional.value(0) : name);
        if (topic != commands.end())
            std::printf("Usage: quorvane-cli [options] %s\n\n%s\n\n", topic->second.usage,
                        topic->second.help);
        else
            std::printf("%s", qPrintable(overview()));
        std::printf("%s\n%s", qPrintable(parser.helpText().section('\n', 2)), exit_codes);
        return name.isEmpty() && !parser.isSet("help") ? exit_code::usage : exit_code::done;
    }
    if (found == commands.end())
        return cli_fail(exit_code::usage,
                        QString("unknown command '%1' (see quorvane-cli --help)").arg(name));
    if (positional.size() != found->second.arguments)
        return cli_fail(exit_code::usage, QString("%1 takes %2 argument%3: quorvane-cli %4")
                                              .arg(name)
                                              .arg(found->second.arguments)
                                              .arg(found->second.arguments == 1 ? "" : "s")
                                              .arg(found->second.usage));

    cli_options options;
    options.args = positional;
    options.json = parser.isSet("json");
    options.no_backup = parser.isSet("no-backup");
    options.with_map_cal = parser.isSet("with-map-cal");
    options.output = parser.value("o");
    options.port = parser.value("port");
    options.simulate =
        parser.isSet("simulate") || qEnvironmentVariableIntValue("QUORVANE_SIMULATE");
    options.boost_unit = boost_unit_index(parser.value("boost-unit"));
    if (options.boost_unit < 0)
        return cli_fail(exit_code::usage, "--boost-unit takes psi, bar or kpa");
    if (parser.isSet("seconds")) {
        bool number = false;
        options.seconds = parser.value("seconds").toDouble(&number);
        // Written so that "nan" fails too.
        if (!number ||
            !(options.seconds >= shortest_recording_s && options.seconds <= longest_recording_s))
            return cli_fail(exit_code::usage, QString("--seconds takes a duration from 0.1 s to 7 "
                                                      "days (%1 s), not '%2'")
                                                  .arg(longest_recording_s, 0, 'f', 0)
                                                  .arg(parser.value("seconds")));
    }
    verbose = parser.isSet("verbose");
    qInstallMessageHandler(message_handler);
    install_bridge_backend(parser.isSet("simulate"), parser.value("port"));
    int code = found->second.run(options);
    d2xx_install_backend(nullptr);
    // A result that never reached standard output (a full disk, a closed pipe) is no success.
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    if ((!flushed || std::ferror(stdout) || cli_stdout_error()) &&
        (code == exit_code::done || code == exit_code::differences)) {
        const int why = cli_stdout_error() ? cli_stdout_error() : errno;
        code = cli_fail(exit_code::local_file,
                        QString("cannot write to standard output%1")
                            .arg(why ? ": " + QString::fromLocal8Bit(std::strerror(why)) : ""));
    }
    return code;
}
