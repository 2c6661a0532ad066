// SPDX-License-Identifier: GPL-3.0-or-later
// Files that are not what they claim, and the debug log, in the real main window (offscreen,
// simulated unit, the program's own message handler and debug log file):
//   junk   a 20 MiB text file of the line "x" (10,485,760 lines) opened as a live log;
//   log    a real 1-hour live log (273,000 samples, settings section first) opened;
//   kept   the junk file again, with the 1-hour log shown: how many samples stay shown;
//   trace  debug-log lines per second: a flood of read/write tracing lines from another
//          thread, then live updates with "Read/write tracing" on.
// For each open: the time until the window is idle again (the worker has parsed and the
// window has handled everything the parse sent it, the graph redrawn), the longest time the
// window's thread did not get to a 10 ms timer, the peak resident memory, and how much the
// debug log file grew.
//
//     bench_open_files [junk|log|kept|trace|flood|live|all] [timeout seconds]
//                                                          (default all, 120)
#include "bench_gui.h"
#include "bench_support.h"
#include "box_answerer.h"
#include "debug_log.h"
#include "dialog_answerer.h"
#include "log_graph.h"
#include "mainwindow.h"
#include "rq7_log_file.h"
#include "rq7_worker.h"
#include "sim_backend.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <fcntl.h>
#include <unistd.h>

namespace {

/// Where the figures go: the console the benchmark was started from.
FILE* report = stdout;

constexpr int hour_samples = 273000;
constexpr qint64 junk_bytes = 20 * 1024 * 1024;

double mb(qint64 kb)
{
    return kb / 1024.0;
}

struct bench_env
{
    QApplication& app;
    MainWindow& window;
    QString debug_log;
    double timeout_s;
};

/// The debug log file and the one kept from before it was last started anew, together.
qint64 debug_log_bytes(const QString& name)
{
    const QFileInfo info(name);
    const QString old = info.path() + "/" + info.completeBaseName() + ".1." + info.suffix();
    return QFileInfo(name).size() + QFileInfo(old).size();
}

/// Runs the window's events until `done` or the time-out; returns the longest gap between
/// two ticks of a 10 ms timer on the window's thread, in ms.
double run_until(bench_env& env, const std::function<bool()>& done, QElapsedTimer& clock)
{
    QTimer ticker;
    ticker.setInterval(10);
    qint64 last = clock.elapsed();
    qint64 longest = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = qMax(longest, now - last);
        last = now;
    });
    ticker.start();
    while (!done() && clock.elapsed() < qint64(env.timeout_s * 1000))
        env.app.processEvents(QEventLoop::AllEvents, 20);
    longest = qMax(longest, clock.elapsed() - last);
    return double(longest);
}

/// True once everything posted to the worker so far has run and everything it posted to the
/// window meanwhile has been handled, and the graph has redrawn.
std::function<bool()> idle_probe(MainWindow& window, std::shared_ptr<std::atomic<bool>> flag)
{
    QMetaObject::invokeMethod(
        window.worker(),
        [&window, flag] {
            QMetaObject::invokeMethod(
                &window, [flag] { *flag = true; }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    auto* graph = window.findChild<log_graph*>("live_log_graph");
    return [flag, graph] { return flag->load() && !graph->replot_pending(); };
}

void open_and_measure(bench_env& env, const char* what, const QString& file)
{
    const qint64 log_before = debug_log_bytes(env.debug_log);
    const qint64 rss_before = bench::status_kb("VmRSS");
    const bool peak_reset = bench::reset_peak();
    box_answerer boxes;
    QElapsedTimer clock;
    clock.start();
    env.window.open_given_file(file);
    const auto idle = idle_probe(env.window, std::make_shared<std::atomic<bool>>(false));
    const double stall = run_until(env, idle, clock);
    const double seconds = clock.nsecsElapsed() / 1e9;
    const bool was_idle = idle();
    const qint64 peak = bench::status_kb("VmHWM");
    std::fprintf(report, "%s (%.1f MB):\n", what, QFileInfo(file).size() / 1e6);
    if (was_idle)
        std::fprintf(report, "  idle again after %.2f s\n", seconds);
    else
        std::fprintf(report, "  STILL BUSY after %.0f s (time-out)\n", seconds);
    std::fprintf(report, "  longest the window's thread was held: %.0f ms\n", stall);
    if (peak_reset)
        std::fprintf(report, "  peak resident memory %.0f MB (%.0f MB above the window before)\n",
                     mb(peak), mb(peak - rss_before));
    else
        std::fprintf(report,
                     "  peak resident memory of the process %.0f MB (the peak could not be "
                     "reset)\n",
                     mb(peak));
    std::fprintf(report, "  debug log file grew by %.1f KB\n",
                 (debug_log_bytes(env.debug_log) - log_before) / 1024.0);
    for (const message_box::contents& box : boxes.boxes)
        std::fprintf(report, "  box: \"%s\" / %s\n", qPrintable(box.text),
                     qPrintable(box.informative_text.left(120).replace('\n', ' ')));
    const auto* status = env.window.statusBar();
    std::fprintf(report, "  status bar: \"%s\"\n", qPrintable(status->currentMessage()));
    std::fprintf(report, "  samples shown: %d\n", env.window.worker()->log_times().size());
    std::fflush(report);
    if (!was_idle) {
        std::fprintf(report, "giving up: the window is still busy\n");
        std::fflush(report);
        std::_Exit(2);
    }
}

bool write_junk(const QString& name)
{
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block;
    for (int i = 0; i < 512 * 1024; ++i)
        block += "x\n";
    for (qint64 written = 0; written < junk_bytes; written += block.size())
        if (file.write(block) != block.size())
            return false;
    return true;
}

/// The window saves its settings, as Save As does; the recording follows them as the worker
/// writes it.
bool write_hour_log(bench_env& env, const QString& name)
{
    {
        dialog_answerer dialogs;
        dialogs.answers << name;
        env.window.findChild<QAction*>("act_save_as")->trigger();
        QElapsedTimer clock;
        clock.start();
        auto saved = std::make_shared<std::atomic<bool>>(false);
        const auto idle = idle_probe(env.window, saved);
        run_until(env, idle, clock);
        if (QFileInfo(name).size() == 0)
            return false;
    }
    rq7_log_file file;
    file.set_file_name(name);
    if (!file.open_for_append())
        return false;
    qint64 t = 1700000000000;
    for (int i = 0; i < hour_samples; ++i) {
        t += 13;
        if (!file.write_frame(rq7_frame(bench::live_record(i), t)))
            return false;
    }
    file.close();
    return true;
}

/// Counts what reaches the program's own handler.
std::atomic<qint64> lines_logged{0};

void counting_handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    ++lines_logged;
    debug_log_handler(type, context, message);
}

void trace_flood(bench_env& env)
{
    constexpr int lines = 200000;
    auto* view = env.window.findChild<QPlainTextEdit*>("debug_log_text");
    const qint64 log_before = debug_log_bytes(env.debug_log);
    const QByteArray record = bench::live_record(7).toHex();
    QElapsedTimer clock;
    clock.start();
    const double cpu_before = bench::thread_cpu_seconds();
    QScopedPointer<QThread> other(QThread::create([&record] {
        for (int i = 0; i < lines; ++i)
            qDebug("read  0x%s", record.constData());
    }));
    other->start();
    double stall = run_until(
        env, [&] { return other->isFinished(); }, clock);
    // What the thread posted to the window is ahead of this.
    std::atomic<bool> shown{false};
    QMetaObject::invokeMethod(
        &env.window, [&shown] { shown = true; }, Qt::QueuedConnection);
    stall = qMax(stall, run_until(
                            env, [&] { return shown.load(); }, clock));
    const double seconds = clock.nsecsElapsed() / 1e9;
    const double cpu = bench::thread_cpu_seconds() - cpu_before;
    std::fprintf(report, "debug log, %d tracing lines (%d bytes each) from another thread:\n",
                 lines, int(record.size() + 6));
    std::fprintf(report,
                 "  all shown after %.2f s: %.0f lines/s; window's thread busy %.2f s, held at "
                 "most %.0f ms at a time\n",
                 seconds, lines / seconds, cpu, stall);
    std::fprintf(report, "  the view holds %d lines; the debug log file grew by %.1f MB\n",
                 view->document()->blockCount(),
                 (debug_log_bytes(env.debug_log) - log_before) / 1048576.0);
}

void trace_live(bench_env& env, int seconds)
{
    auto* status = env.window.findChild<QLabel*>("connection_status");
    env.window.connect_attempt();
    QElapsedTimer clock;
    clock.start();
    run_until(
        env, [&] { return status->text().startsWith("Connected fw"); }, clock);
    if (!status->text().startsWith("Connected fw")) {
        std::fprintf(report, "could not connect to the simulated unit\n");
        return;
    }
    for (bool tracing : {false, true}) {
        env.window.findChild<QAction*>("act_rw_debug")->setChecked(tracing);
        env.window.findChild<QAction*>("act_logging")->trigger();
        int frames = 0;
        const auto counting = QObject::connect(env.window.worker(), &rq7_worker::log_data_ready,
                                               &env.window, [&frames] { ++frames; });
        clock.restart();
        run_until(
            env, [&] { return clock.elapsed() > 1000; }, clock); // settle
        frames = 0;
        const qint64 lines_before = lines_logged;
        const double cpu_before = bench::thread_cpu_seconds();
        clock.restart();
        const double stall = run_until(
            env, [&] { return clock.elapsed() > seconds * 1000; }, clock);
        const double elapsed = clock.nsecsElapsed() / 1e9;
        const double cpu = bench::thread_cpu_seconds() - cpu_before;
        const qint64 lines = lines_logged - lines_before;
        QObject::disconnect(counting);
        env.window.findChild<QAction*>("act_logging")->trigger();
        clock.restart();
        run_until(
            env, [&] { return clock.elapsed() > 500; }, clock);
        std::fprintf(report,
                     "live updates, tracing %s, %.0f s: %.1f frames/s, %.0f debug-log lines/s, "
                     "window's thread %.1f %% of a core, held at most %.0f ms\n",
                     tracing ? "on " : "off", elapsed, frames / elapsed, lines / elapsed,
                     100.0 * cpu / elapsed, stall);
    }
    env.window.findChild<QAction*>("act_rw_debug")->setChecked(false);
}

} // namespace

int main(int argc, char* argv[])
{
    // The program's own console lines (every debug-log line) go where they go for a program
    // started from the desktop menu, not between the figures.
    report = fdopen(dup(STDOUT_FILENO), "w");
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    bench::prepare_platform();
    QApplication app(argc, argv);
    bench::name_application();
    const QString which = argc > 1 ? QString(argv[1]) : QString("all");
    const double timeout_s = argc > 2 ? QString(argv[2]).toDouble() : 120.0;

    QTemporaryDir dir(QDir::tempPath() + "/quorvane_bench_XXXXXX");
    const QString debug_log = dir.filePath("rq7_debug_log.txt");
    {
        QSettings preferences;
        preferences.clear();
        preferences.setValue("MainWindow/debug_log_file_name", debug_log);
        preferences.setValue("MainWindow/live_log_folder_name", dir.path());
        preferences.setValue("MainWindow/settings_file_name", dir.filePath("s.vkini"));
    }
    const auto sim = bench::attach_simulated_unit();
    {
        MainWindow window;
        window.resize(1280, 900);
        window.show();
        qInstallMessageHandler(counting_handler);
        bench_env env{app, window, debug_log, timeout_s};

        const QString junk = dir.filePath("junk.vklog");
        const QString hour = dir.filePath("hour.vklog");
        if (!write_junk(junk) || !write_hour_log(env, hour)) {
            std::fprintf(report, "cannot write the files in %s\n", qPrintable(dir.path()));
            return 1;
        }
        const bool all = which == "all";
        if (all || which == "junk")
            open_and_measure(env, "20 MiB junk file opened as a live log", junk);
        if (all || which == "log" || which == "kept")
            open_and_measure(env, "1-hour live log (273,000 samples) opened", hour);
        if (all || which == "kept")
            open_and_measure(env, "20 MiB junk file opened over the 1-hour log", junk);
        if (all || which == "trace" || which == "flood")
            trace_flood(env);
        if (all || which == "trace" || which == "live")
            trace_live(env, 10);
        qInstallMessageHandler(nullptr);
    }
    d2xx_install_backend(nullptr);
    QSettings().clear();
    return 0;
}
